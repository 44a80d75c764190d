// The tool manager: one window over the category tables of the host toolbox in the working
// directory.
#include <QApplication>
#include <QMessageBox>
#include <QTimer>
#include <cstdlib>

#include "app/shell.h"
#include "platform/host_path.h"
#include "storage/database.h"
#include "ui/main_window.h"
#include "ui/qt_port.h"
#include "ui/screenshot.h"

int main(int argc, char** argv) {
  QApplication application(argc, argv);

  // A fatal misuse of the storage layer ends the process after telling the user why.
  storage::set_fatal_handler([](std::string_view report) {
    QMessageBox box(QMessageBox::Critical, QStringLiteral("错误"),
                    QString::fromUtf8(report.data(), static_cast<qsizetype>(report.size())),
                    QMessageBox::Ok);
    box.setWindowModality(Qt::ApplicationModal);
    box.exec();
    std::_Exit(-1);
  });

  ui::MainWindow window;
  ui::QtWindowPort port(window);
  storage::Database database;
  app::Shell shell(port, database, {platform::program_directory(argc > 0 ? argv[0] : "")});
  window.set_event_sink([&shell](std::string_view control, app::Event event, int argument) {
    shell.events().dispatch(control, event, argument);
  });

  if (std::optional<int> code = shell.start()) return *code;
  if (port.close_requested()) {
    shell.shutdown();
    return 0;
  }
  window.show();
  window.centre_on_screen();
  ui::arm_screenshot_from_environment(window);
  int code = application.exec();
  shell.shutdown();
  return code;
}
