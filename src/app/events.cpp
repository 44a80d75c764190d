#include "app/events.h"

namespace app {

void EventTable::bind(std::string_view control, Event event, Handler handler) {
  handlers_[{std::string(control), event}] = std::move(handler);
}

void EventTable::bind(std::string_view control, Event event, std::function<void()> handler) {
  bind(control, event, Handler([h = std::move(handler)](int) { h(); }));
}

bool EventTable::is_bound(std::string_view control, Event event) const {
  return handlers_.count({std::string(control), event}) != 0;
}

bool EventTable::dispatch(std::string_view control, Event event, int argument) const {
  auto it = handlers_.find({std::string(control), event});
  if (it == handlers_.end() || !it->second) return false;
  // Copy: a handler may rebind its own event.
  Handler handler = it->second;
  handler(argument);
  return true;
}

}  // namespace app
