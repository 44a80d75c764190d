// The tool manager: one window over the category tables of the host toolbox in the working
// directory.
#include <QApplication>

#include "app/shell.h"
#include "platform/host_path.h"
#include "storage/database.h"
#include "ui/fatal.h"
#include "ui/main_window.h"
#include "ui/qt_port.h"
#include "ui/screenshot.h"

int main(int argc, char** argv) {
  QApplication application(argc, argv);

  ui::install_fatal_handler();

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
