#include "app/drop_hook.h"

namespace app {

void DropHook::attach_drop_hook(DropSource& window, Handler handler) {
  if (attached()) return;
  window_ = &window;
  handler_ = std::move(handler);
  window.set_drop_receiver([this](const std::vector<std::string>& paths) { on_drop(paths); });
}

void DropHook::detach_drop_hook() {
  if (!attached()) return;
  window_->set_drop_receiver({});
  window_ = nullptr;
  handler_ = {};
}

void DropHook::on_drop(const std::vector<std::string>& paths) const {
  // Copies: a handler may run a nested loop (a message box) in which the drop list or the
  // hook itself changes.
  const Handler handler = handler_;
  const std::vector<std::string> copy = paths;
  for (const std::string& path : copy)
    if (handler) handler(path);
}

}  // namespace app
