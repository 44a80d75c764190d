#include "ui/qt_port.h"

#include <QAction>
#include <QComboBox>
#include <QCursor>
#include <QFileDialog>
#include <QFontMetrics>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QStackedWidget>
#include <QTextEdit>
#include <QTimer>
#include <QTreeWidget>

#include "ui/widgets.h"

namespace ui {

namespace {

QString qname(std::string_view utf8) {
  return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

std::string to_std(const QString& s) {
  QByteArray b = s.toUtf8();
  return std::string(b.constData(), static_cast<size_t>(b.size()));
}

// Host texts break lines with CR LF; Qt's widgets with LF.
QString to_widget_lines(QString s) {
  return s.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
}
QString to_host_lines(QString s) {
  s.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  return s.replace(QStringLiteral("\n"), QStringLiteral("\r\n"));
}

}  // namespace

QString from_host(std::string_view gbk) {
  return QString::fromStdString(platform::gbk_to_utf8(gbk));
}

QWidget* QtWindowPort::widget(std::string_view control) {
  return window_.widget(qname(control));
}

void QtWindowPort::set_text(std::string_view control, std::string_view text) {
  platform::EditableText editable{std::string(text)};
  QString shown = QString::fromStdString(editable.shown());
  QWidget* w = widget(control);
  if (auto* e = qobject_cast<QLineEdit*>(w)) {
    e->setText(shown);
  } else if (auto* t = qobject_cast<QTextEdit*>(w)) {
    t->setPlainText(to_widget_lines(shown));
  } else if (auto* b = qobject_cast<QPushButton*>(w)) {
    b->setText(shown);  // the flat button draws CR LF as a line break
  } else if (auto* l = qobject_cast<QLabel*>(w)) {
    l->setText(to_widget_lines(shown));
  } else {
    return;
  }
  auto it = texts_.find(control);
  if (it == texts_.end())
    texts_.emplace(std::string(control), std::move(editable));
  else
    it->second = std::move(editable);
}

QString QtWindowPort::shown_text(std::string_view control) {
  QWidget* w = widget(control);
  if (auto* e = qobject_cast<QLineEdit*>(w)) return e->text();
  if (auto* t = qobject_cast<QTextEdit*>(w)) return to_host_lines(t->toPlainText());
  if (auto* b = qobject_cast<QPushButton*>(w)) return b->text();
  if (auto* l = qobject_cast<QLabel*>(w)) return to_host_lines(l->text());
  return {};
}

std::string QtWindowPort::text(std::string_view control) {
  std::string shown = to_std(shown_text(control));
  std::string gbk;
  auto it = texts_.find(control);
  if (it != texts_.end()) {
    if (it->second.to_gbk(shown, &gbk)) return gbk;
    return {};
  }
  if (platform::utf8_to_gbk(shown, &gbk)) return gbk;
  return {};
}

std::string QtWindowPort::text_refusal(std::string_view control) {
  std::string shown = to_std(shown_text(control));
  std::string gbk;
  auto it = texts_.find(control);
  bool ok =
      it != texts_.end() ? it->second.to_gbk(shown, &gbk) : platform::utf8_to_gbk(shown, &gbk);
  if (ok) return {};
  // The message quotes the character itself, which GBK cannot carry across the port; its
  // code stays to name it.
  std::string utf8 = platform::gbk_refusal_message(shown);
  std::string quoted = "“" + platform::first_character_without_gbk(shown) + "”";
  if (size_t at = utf8.find(quoted); at != std::string::npos) utf8.erase(at, quoted.size());
  std::string message;
  if (!platform::utf8_to_gbk(utf8, &message)) return {};
  return message;
}

void QtWindowPort::set_enabled(std::string_view control, bool enabled) {
  if (QWidget* w = widget(control)) w->setEnabled(enabled);
}

bool QtWindowPort::enabled(std::string_view control) {
  QWidget* w = widget(control);
  return w && w->isEnabled();
}

void QtWindowPort::set_visible(std::string_view control, bool visible) {
  if (QWidget* w = widget(control)) w->setVisible(visible);
}

// Visible as the layout means it: the control's own flag, whether or not the window is
// on screen yet.
bool QtWindowPort::visible(std::string_view control) {
  QWidget* w = widget(control);
  return w && !w->isHidden();
}

void QtWindowPort::set_focus(std::string_view control) {
  if (QWidget* w = widget(control)) w->setFocus(Qt::OtherFocusReason);
}

void QtWindowPort::move(std::string_view control, int left, int top) {
  if (QWidget* w = widget(control)) w->move(left, top);
}

void QtWindowPort::set_holder_colors(std::string_view control, uint32_t line, uint32_t fill) {
  if (auto* h = qobject_cast<HolderWidget*>(widget(control))) h->set_colours(line, fill);
}

void QtWindowPort::set_current_page(std::string_view control, int page) {
  auto* s = qobject_cast<QStackedWidget*>(widget(control));
  if (s && page >= 0 && page < s->count()) s->setCurrentIndex(page);
}

int QtWindowPort::current_page(std::string_view control) {
  auto* s = qobject_cast<QStackedWidget*>(widget(control));
  return s ? s->currentIndex() : -1;
}

void QtWindowPort::set_current_index(std::string_view control, int index) {
  auto* c = qobject_cast<QComboBox*>(widget(control));
  if (c) c->setCurrentIndex(index >= 0 && index < c->count() ? index : -1);
}

int QtWindowPort::current_index(std::string_view control) {
  auto* c = qobject_cast<QComboBox*>(widget(control));
  return c ? c->currentIndex() : -1;
}

void QtWindowPort::clear_rows(std::string_view list) {
  if (auto* t = qobject_cast<QTreeWidget*>(widget(list))) t->clear();
}

void QtWindowPort::append_row(std::string_view list, const std::vector<std::string>& cells) {
  auto* t = qobject_cast<QTreeWidget*>(widget(list));
  if (!t) return;
  auto* item = new QTreeWidgetItem();
  for (size_t i = 0; i < cells.size() && static_cast<int>(i) < t->columnCount(); ++i)
    item->setText(static_cast<int>(i), from_host(cells[i]));
  t->addTopLevelItem(item);
}

int QtWindowPort::row_count(std::string_view list) {
  auto* t = qobject_cast<QTreeWidget*>(widget(list));
  return t ? t->topLevelItemCount() : 0;
}

std::string QtWindowPort::cell(std::string_view list, int row, int column) {
  auto* t = qobject_cast<QTreeWidget*>(widget(list));
  if (!t || row < 0 || row >= t->topLevelItemCount()) return {};
  std::string gbk;
  platform::utf8_to_gbk(to_std(t->topLevelItem(row)->text(column)), &gbk);
  return gbk;
}

int QtWindowPort::selected_row(std::string_view list) {
  auto* t = qobject_cast<QTreeWidget*>(widget(list));
  if (!t) return -1;
  int first = -1;
  for (QTreeWidgetItem* item : t->selectedItems()) {
    int row = t->indexOfTopLevelItem(item);
    if (first == -1 || row < first) first = row;
  }
  return first;
}

void QtWindowPort::select_row(std::string_view list, int row) {
  auto* t = qobject_cast<QTreeWidget*>(widget(list));
  if (!t || row < 0 || row >= t->topLevelItemCount()) return;
  // Selected and focused, without scrolling.
  QModelIndex index = t->model()->index(row, 0);
  t->selectionModel()->setCurrentIndex(
      index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
}

void QtWindowPort::set_menu_enabled(std::string_view menu, bool enabled) {
  if (QMenu* m = window_.menu(qname(menu))) {
    m->setEnabled(enabled);
    m->menuAction()->setEnabled(enabled);
  } else if (QAction* a = window_.action(qname(menu))) {
    a->setEnabled(enabled);
  }
}

bool QtWindowPort::menu_enabled(std::string_view menu) {
  if (QMenu* m = window_.menu(qname(menu))) return m->menuAction()->isEnabled();
  if (QAction* a = window_.action(qname(menu))) return a->isEnabled();
  return false;
}

void QtWindowPort::set_menu_item_visible(std::string_view item, bool visible) {
  if (QAction* a = window_.action(qname(item))) a->setVisible(visible);
}

bool QtWindowPort::menu_item_visible(std::string_view item) {
  QAction* a = window_.action(qname(item));
  return a && a->isVisible();
}

void QtWindowPort::popup_menu(std::string_view menu) {
  if (QMenu* m = window_.menu(qname(menu))) m->exec(QCursor::pos());
}

void QtWindowPort::set_timer_interval(std::string_view timer, int ms) {
  QTimer* t = window_.timer(qname(timer));
  if (!t) return;
  t->setInterval(ms > 0 ? ms : 0);
  if (ms > 0)
    t->start();
  else
    t->stop();
}

int QtWindowPort::timer_interval(std::string_view timer) {
  QTimer* t = window_.timer(qname(timer));
  return t && t->isActive() ? t->interval() : 0;
}

int QtWindowPort::add_slot(std::string_view box, int left, int top) {
  auto* b = qobject_cast<AnimationBox*>(widget(box));
  return b ? b->add_slot(left, top) : -1;
}

void QtWindowPort::set_slot_picture(std::string_view box, int slot, std::string_view bytes,
                                    bool animate) {
  if (auto* b = qobject_cast<AnimationBox*>(widget(box)))
    b->set_picture(slot, QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size())), animate);
}

app::MessageAnswer QtWindowPort::show_message(const app::Message& message) {
  QMessageBox::Icon icon = QMessageBox::NoIcon;
  switch (message.icon) {
    case app::MessageIcon::none:
      icon = QMessageBox::NoIcon;
      break;
    case app::MessageIcon::warning:
      icon = QMessageBox::Warning;
      break;
    case app::MessageIcon::error:
      icon = QMessageBox::Critical;
      break;
    case app::MessageIcon::question:
      icon = QMessageBox::Question;
      break;
  }
  bool yes_no = message.buttons == app::MessageButtons::yes_no;
  // No owner window; modal to the whole application.
  QMessageBox box(icon, from_host(message.caption), to_widget_lines(from_host(message.text)),
                  yes_no ? (QMessageBox::Yes | QMessageBox::No) : QMessageBox::Ok);
  box.setObjectName(QStringLiteral("消息框"));
  box.setWindowModality(Qt::ApplicationModal);
  int answer = box.exec();
  if (!yes_no) return app::MessageAnswer::ok;
  return answer == QMessageBox::Yes ? app::MessageAnswer::yes : app::MessageAnswer::no;
}

QString qt_filter(const QString& host_filter) {
  if (host_filter.isEmpty()) return {};
  QStringList parts = host_filter.split(QLatin1Char('|'));
  QStringList out;
  for (int i = 0; i + 1 < parts.size(); i += 2) {
    QString description = parts[i];
    QString pattern = parts[i + 1];
    pattern.replace(QLatin1Char(';'), QLatin1Char(' '));
    // Qt takes the patterns from the trailing parentheses.
    if (!description.endsWith(QStringLiteral("(") + pattern + QStringLiteral(")")))
      description += QStringLiteral(" (") + pattern + QStringLiteral(")");
    out << description;
  }
  return out.join(QStringLiteral(";;"));
}

void QtWindowPort::set_dialog_filter(std::string_view dialog, std::string_view filter) {
  if (QObject* d = window_.dialog(qname(dialog))) d->setProperty("filter", from_host(filter));
}

std::string QtWindowPort::dialog_filter(std::string_view dialog) {
  QObject* d = window_.dialog(qname(dialog));
  if (!d) return {};
  std::string gbk;
  platform::utf8_to_gbk(to_std(d->property("filter").toString()), &gbk);
  return gbk;
}

std::optional<std::string> QtWindowPort::choose_open_file(std::string_view dialog) {
  QObject* d = window_.dialog(qname(dialog));
  if (!d) return std::nullopt;
  QString path = QFileDialog::getOpenFileName(&window_, QString(), QString(),
                                              qt_filter(d->property("filter").toString()));
  if (path.isEmpty()) return std::nullopt;
  return to_std(path);
}

int QtWindowPort::text_width(std::string_view text) {
  QWidget* surface = window_.widget(QStringLiteral("画板1"));
  QFont font = surface ? surface->font() : window_.font();
  return QFontMetrics(font).horizontalAdvance(from_host(text));
}

void QtWindowPort::request_close() {
  close_requested_ = true;
  QMetaObject::invokeMethod(&window_, &QWidget::close, Qt::QueuedConnection);
}

}  // namespace ui
