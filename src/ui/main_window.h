// The main window, built once from the layout data. Every widget, menu, menu item and timer
// carries its layout name as object name; bound events are reported by name.
#pragma once

#include <QHash>
#include <QMainWindow>
#include <QString>
#include <functional>
#include <string_view>

#include "app/events.h"

class QMenu;
class QAction;
class QTimer;
class QTreeWidget;

namespace ui {

QFont layout_font(int pixel_height);

class MainWindow : public QMainWindow {
  Q_OBJECT
 public:
  using EventSink = std::function<void(std::string_view control, app::Event event, int arg)>;

  explicit MainWindow(QWidget* parent = nullptr);

  void set_event_sink(EventSink sink) { sink_ = std::move(sink); }

  QWidget* widget(const QString& name) const { return widgets_.value(name); }
  QMenu* menu(const QString& name) const { return menus_.value(name); }
  QAction* action(const QString& name) const { return actions_.value(name); }
  QTimer* timer(const QString& name) const { return timers_.value(name); }
  QObject* dialog(const QString& name) const { return dialogs_.value(name); }
  QTreeWidget* tool_list() const;
  QWidget* client_area() const { return client_; }

  // Places the window at the centre of its screen.
  void centre_on_screen();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void build_menus();
  void build_controls();
  void report(const QString& name, app::Event event, int arg = 0);

  EventSink sink_;
  QWidget* client_ = nullptr;
  QHash<QString, QWidget*> widgets_;
  QHash<QString, QMenu*> menus_;
  QHash<QString, QAction*> actions_;
  QHash<QString, QTimer*> timers_;
  QHash<QString, QObject*> dialogs_;
  QHash<QObject*, QString> double_click_labels_;
};

}  // namespace ui
