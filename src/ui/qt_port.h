// The window port over the Qt main window. Texts are converted between the host's bytes
// (GBK) and Qt's strings here and nowhere else.
#pragma once

#include <QHash>
#include <QString>
#include <map>
#include <string>

#include "app/window_port.h"
#include "platform/gbk.h"
#include "ui/main_window.h"

namespace ui {

QString from_host(std::string_view gbk);

class QtWindowPort : public app::WindowPort {
 public:
  explicit QtWindowPort(MainWindow& window) : window_(window) {}

  void set_text(std::string_view control, std::string_view text) override;
  std::string text(std::string_view control) override;
  std::string text_refusal(std::string_view control) override;
  void set_enabled(std::string_view control, bool enabled) override;
  bool enabled(std::string_view control) override;
  void set_visible(std::string_view control, bool visible) override;
  bool visible(std::string_view control) override;
  void set_focus(std::string_view control) override;
  void move(std::string_view control, int left, int top) override;
  void set_holder_colors(std::string_view control, uint32_t line, uint32_t fill) override;
  void set_current_page(std::string_view control, int page) override;
  int current_page(std::string_view control) override;
  void set_current_index(std::string_view control, int index) override;
  int current_index(std::string_view control) override;
  void clear_rows(std::string_view list) override;
  void append_row(std::string_view list, const std::vector<std::string>& cells) override;
  int row_count(std::string_view list) override;
  std::string cell(std::string_view list, int row, int column) override;
  int selected_row(std::string_view list) override;
  void select_row(std::string_view list, int row) override;
  void set_menu_enabled(std::string_view menu, bool enabled) override;
  bool menu_enabled(std::string_view menu) override;
  void set_menu_item_visible(std::string_view item, bool visible) override;
  bool menu_item_visible(std::string_view item) override;
  void popup_menu(std::string_view menu) override;
  void set_timer_interval(std::string_view timer, int ms) override;
  int timer_interval(std::string_view timer) override;
  int add_slot(std::string_view box, int left, int top) override;
  void set_slot_picture(std::string_view box, int slot, std::string_view bytes,
                        bool animate) override;
  app::MessageAnswer show_message(const app::Message& message) override;
  void set_dialog_filter(std::string_view dialog, std::string_view filter) override;
  std::string dialog_filter(std::string_view dialog) override;
  std::optional<std::string> choose_open_file(std::string_view dialog) override;
  int text_width(std::string_view text) override;
  void request_close() override;

  bool close_requested() const { return close_requested_; }

 private:
  QString shown_text(std::string_view control);
  QWidget* widget(std::string_view control);

  MainWindow& window_;
  // Host bytes of every text set through the port, so unedited texts go back unchanged.
  std::map<std::string, platform::EditableText, std::less<>> texts_;
  bool close_requested_ = false;
};

// Converts the host's file-dialog filter ("描述|*.png|...") to Qt's form.
QString qt_filter(const QString& host_filter);

}  // namespace ui
