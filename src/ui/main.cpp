// The tool manager: one window over the category tables of the host toolbox in the working
// directory.
#include <QApplication>

#include "app/drop_hook.h"
#include "app/editor_panels.h"
#include "app/shell.h"
#include "imaging/imaging.h"
#include "platform/host_path.h"
#include "storage/database.h"
#include "ui/fatal.h"
#include "ui/main_window.h"
#include "ui/qt_port.h"
#include "ui/screenshot.h"
#include "ui/theme_icons.h"

int main(int argc, char** argv) {
  QApplication application(argc, argv);

  ui::install_fatal_handler();
  ui::QtThemeIconProvider theme_icons;
  imaging::set_theme_icon_provider(&theme_icons);

  // The drop hook outlives the window; start-up attaches it, shutdown detaches it.
  app::DropHook drop_hook;
  ui::MainWindow window;
  ui::QtWindowPort port(window);
  storage::Database database;
  app::Shell shell(port, database, {platform::program_directory(argc > 0 ? argv[0] : "")});
  app::EditorPanels panels(shell, &drop_hook, &window);
  window.set_event_sink([&shell](std::string_view control, app::Event event, int argument) {
    shell.events().dispatch(control, event, argument);
  });

  if (std::optional<int> code = shell.start()) return *code;
  int code = 0;
  if (!port.close_requested()) {
    window.show();
    window.centre_on_screen();
    ui::arm_screenshot_from_environment(window);
    code = application.exec();
  }
  shell.shutdown();
  imaging::set_theme_icon_provider(nullptr);
  return code;
}
