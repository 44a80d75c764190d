// TOOLMGR_SCREENSHOT=path: save a picture of the window once its first frame is drawn and
// quit, so that the window can be seen from machines without a display.
#pragma once

class QWidget;

namespace ui {

// Returns false when the variable is not set.
bool arm_screenshot_from_environment(QWidget& window);

}  // namespace ui
