#include "ui/screenshot.h"

#include <QApplication>
#include <QPixmap>
#include <QTimer>
#include <QWidget>
#include <cstdio>

namespace ui {

bool arm_screenshot_from_environment(QWidget& window) {
  QString path = qEnvironmentVariable("TOOLMGR_SCREENSHOT");
  if (path.isEmpty()) return false;
  // Give the first frame time to be laid out and painted.
  QTimer::singleShot(300, &window, [&window, path] {
    QPixmap picture = window.grab();
    if (!picture.save(path)) std::fprintf(stderr, "toolmgr: cannot write %s\n", qPrintable(path));
    QApplication::quit();
  });
  return true;
}

}  // namespace ui
