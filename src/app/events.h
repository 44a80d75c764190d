// Control events and the handlers bound to them. The window reports every bound event of
// its layout here by control name; the shell and the editor panels bind their handlers.
#pragma once

#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <utility>

namespace app {

enum class Event {
  clicked,              // button or menu item
  double_clicked,       // list (on a row) or label
  right_clicked,        // list: an item right-clicked
  item_selected,        // combo box: a list item chosen
  text_changed,         // edit box
  tick,                 // timer
  slot_double_clicked,  // animation box: argument is the slot
  slot_right_pressed,   // animation box: argument is the slot
};

class EventTable {
 public:
  using Handler = std::function<void(int argument)>;

  // A later binding of the same control and event replaces the earlier one.
  void bind(std::string_view control, Event event, Handler handler);
  void bind(std::string_view control, Event event, std::function<void()> handler);
  bool is_bound(std::string_view control, Event event) const;
  // Runs the bound handler; false when none is bound.
  bool dispatch(std::string_view control, Event event, int argument = 0) const;

 private:
  std::map<std::pair<std::string, Event>, Handler, std::less<>> handlers_;
};

}  // namespace app
