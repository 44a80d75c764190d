// The main window, built once from the layout data. Every widget, menu, menu item and timer
// carries its layout name as object name; bound events are reported by name.
#pragma once

#include <QHash>
#include <QMainWindow>
#include <QString>
#include <functional>
#include <string_view>

#include "app/drop_hook.h"
#include "app/events.h"

class QMenu;
class QAction;
class QTimer;
class QTreeWidget;

namespace ui {

QFont layout_font(int pixel_height);

// Files and folders dropped anywhere on the window (its edit boxes included) go to the drop
// receiver while one is set; without one every widget takes drops as Qt's own would.
class MainWindow : public QMainWindow, public app::DropSource {
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

  void set_drop_receiver(Receiver receiver) override;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dragMoveEvent(QDragMoveEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private:
  void build_menus();
  void build_controls();
  void report(const QString& name, app::Event event, int arg = 0);
  // Takes a drag or drop of local files for the receiver; false leaves the event alone.
  bool take_drop(QEvent* event);

  EventSink sink_;
  QWidget* client_ = nullptr;
  QHash<QString, QWidget*> widgets_;
  QHash<QString, QMenu*> menus_;
  QHash<QString, QAction*> actions_;
  QHash<QString, QTimer*> timers_;
  QHash<QString, QObject*> dialogs_;
  QHash<QObject*, QString> double_click_labels_;
  Receiver drop_receiver_;
  bool drop_filters_installed_ = false;
};

}  // namespace ui
