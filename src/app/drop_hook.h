// The intake of files dropped on the main window: each dropped path reaches the handler on
// its own, in the order the desktop gives them.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace app {

// What the window offers: while a receiver is set, the whole window accepts dropped files
// and folders and hands over their native paths, in order, once per drop. Without one it
// behaves as if it had never heard of drops.
class DropSource {
 public:
  using Receiver = std::function<void(const std::vector<std::string>& native_paths)>;
  virtual ~DropSource() = default;
  virtual void set_drop_receiver(Receiver receiver) = 0;
};

class DropHook {
 public:
  using Handler = std::function<void(std::string_view native_path)>;

  DropHook() = default;
  ~DropHook() { detach_drop_hook(); }
  DropHook(const DropHook&) = delete;
  DropHook& operator=(const DropHook&) = delete;

  // Does nothing when attached already: the first attachment stays.
  void attach_drop_hook(DropSource& window, Handler handler);
  // Does nothing when not attached.
  void detach_drop_hook();
  bool attached() const { return window_ != nullptr; }

 private:
  void on_drop(const std::vector<std::string>& paths) const;

  DropSource* window_ = nullptr;
  Handler handler_;
};

}  // namespace app
