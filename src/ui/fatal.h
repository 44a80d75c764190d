// The report of a fatal misuse of the storage layer: a modal error box captioned "错误",
// then the process ends with exit code -1.
#pragma once

namespace ui {

void install_fatal_handler();

}  // namespace ui
