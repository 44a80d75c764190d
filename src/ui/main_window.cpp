#include "ui/main_window.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QDropEvent>
#include <QEvent>
#include <QFont>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QScreen>
#include <QStackedWidget>
#include <QTextEdit>
#include <QTimer>
#include <QTreeWidget>
#include <QUrl>

#include "app/catalogue.h"
#include "ui/layout.h"
#include "ui/widgets.h"

namespace ui {

namespace {

QString qs(std::string_view utf8) {
  return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

QString hex(uint32_t colour) {
  return rgb(colour).name();
}

QPalette palette_of(QPalette p, uint32_t text, uint32_t background) {
  for (auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
    p.setColor(group, QPalette::WindowText, rgb(text));
    p.setColor(group, QPalette::Text, rgb(text));
    p.setColor(group, QPalette::ButtonText, rgb(text));
    p.setColor(group, QPalette::Window, rgb(background));
    p.setColor(group, QPalette::Base, rgb(background));
    p.setColor(group, QPalette::Button, rgb(background));
  }
  return p;
}

}  // namespace

QFont layout_font(int pixel_height) {
  // The face is substituted by an installed CJK sans font at the same pixel height.
  static const bool substituted = [] {
    QFont::insertSubstitutions(
        qs(kFontFace), {QStringLiteral("WenQuanYi Micro Hei"), QStringLiteral("Noto Sans CJK SC"),
                        QStringLiteral("Droid Sans Fallback")});
    return true;
  }();
  (void)substituted;
  QFont f(qs(kFontFace));
  f.setPixelSize(pixel_height);
  f.setWeight(QFont::Normal);
  f.setItalic(false);
  f.setUnderline(false);
  f.setStrikeOut(false);
  return f;
}

MainWindow::MainWindow(QWidget* parent) : QMainWindow(parent) {
  const WindowSpec& w = window_spec();
  setObjectName(QStringLiteral("主窗口"));
  setWindowTitle(qs(w.caption));
  setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                 Qt::WindowCloseButtonHint);
  client_ = new QWidget(this);
  client_->setObjectName(QStringLiteral("客户区"));
  client_->setFixedSize(w.client_width, w.client_height);
  client_->setAutoFillBackground(true);
  client_->setPalette(palette_of(client_->palette(), 0xC0C0C0, w.background));
  setCentralWidget(client_);
  build_menus();
  build_controls();
  // Fixed frame: the client area and the menu bar decide the size.
  setFixedSize(w.client_width, w.client_height + menuBar()->sizeHint().height());
}

void MainWindow::centre_on_screen() {
  QScreen* s = screen();
  if (!s) return;
  QRect frame = frameGeometry();
  frame.moveCenter(s->availableGeometry().center());
  move(frame.topLeft());
}

void MainWindow::build_menus() {
  for (const Menu& m : menus()) {
    QMenu* menu = menuBar()->addMenu(qs(m.caption));
    menu->setObjectName(qs(m.caption));
    menus_.insert(qs(m.caption), menu);
    for (const MenuItem& item : m.items) {
      if (item.caption == "-") {
        menu->addSeparator();
        continue;
      }
      QString name = qs(item.caption);
      QAction* action = menu->addAction(name);
      action->setObjectName(name);
      actions_.insert(name, action);
      connect(action, &QAction::triggered, this,
              [this, name] { report(name, app::Event::clicked); });
    }
  }
}

void MainWindow::build_controls() {
  for (const Control& c : controls()) {
    QString name = qs(c.name);
    QWidget* parent = client_;
    if (!c.parent.empty()) {
      QWidget* container = widgets_.value(qs(c.parent));
      if (auto* stack = qobject_cast<QStackedWidget*>(container)) {
        // A panel lies on a page of the tab container.
        while (stack->count() <= c.page) {
          auto* page = new QWidget(stack);
          page->setObjectName(qs(c.parent) + QStringLiteral(".页") +
                              QString::number(stack->count()));
          stack->addWidget(page);
        }
        parent = stack->widget(c.page);
      } else if (container) {
        parent = container;
      }
    }

    QWidget* widget = nullptr;
    auto has = [&](app::Event e) {
      for (int i = 0; i < c.event_count; ++i)
        if (c.events[i] == e) return true;
      return false;
    };

    switch (c.kind) {
      case Kind::holder:
      case Kind::panel: {
        auto* h = new HolderWidget(parent);
        h->set_colours(c.line, c.fill);
        widget = h;
        break;
      }
      case Kind::tab_container: {
        auto* stack = new QStackedWidget(parent);
        stack->setAutoFillBackground(true);
        stack->setPalette(palette_of(stack->palette(), c.text_colour, c.background));
        widget = stack;
        break;
      }
      case Kind::label: {
        auto* l = new QLabel(parent);
        QString caption = qs(c.caption);
        caption.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
        l->setText(caption);
        l->setTextFormat(Qt::PlainText);
        l->setAutoFillBackground(true);
        l->setPalette(palette_of(l->palette(), c.text_colour, c.background));
        l->setWordWrap(c.word_wrap);
        Qt::Alignment h = c.align == Align::centre ? Qt::AlignHCenter : Qt::AlignLeft;
        l->setAlignment(h | (c.word_wrap ? Qt::AlignTop : Qt::AlignVCenter));
        if (has(app::Event::double_clicked)) {
          l->installEventFilter(this);
          double_click_labels_.insert(l, name);
        }
        widget = l;
        break;
      }
      case Kind::edit: {
        QString style = QStringLiteral("border: 1px solid %1; color: %2; background: %3;")
                            .arg(hex(0x808080), hex(c.text_colour), hex(c.background));
        if (c.multi_line) {
          auto* e = new QTextEdit(parent);
          e->setAcceptRichText(false);
          e->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
          e->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
          QTextOption option = e->document()->defaultTextOption();
          option.setAlignment(Qt::AlignHCenter);
          e->document()->setDefaultTextOption(option);
          e->setStyleSheet(QStringLiteral("QTextEdit {") + style + QStringLiteral("}"));
          widget = e;
        } else {
          auto* e = new QLineEdit(parent);
          e->setStyleSheet(QStringLiteral("QLineEdit {") + style + QStringLiteral("}"));
          if (has(app::Event::text_changed))
            connect(e, &QLineEdit::textChanged, this,
                    [this, name] { report(name, app::Event::text_changed); });
          widget = e;
        }
        break;
      }
      case Kind::combo: {
        auto* combo = new QComboBox(parent);
        for (const app::Category& cat : app::kCatalogue) combo->addItem(qs(cat.label));
        combo->setEditable(false);
        combo->setCurrentIndex(-1);
        combo->view()->setMinimumHeight(160);
        combo->setStyleSheet(QStringLiteral("QComboBox, QComboBox QAbstractItemView { color: %1; "
                                            "background: %2; }")
                                 .arg(hex(c.text_colour), hex(c.background)));
        if (has(app::Event::item_selected))
          connect(combo, &QComboBox::activated, this,
                  [this, name](int index) { report(name, app::Event::item_selected, index); });
        widget = combo;
        break;
      }
      case Kind::flat_button: {
        auto* b =
            new FlatButton({c.normal.text, c.normal.background}, {c.hover.text, c.hover.background},
                           {c.focus.text, c.focus.background}, parent);
        b->setText(qs(c.caption));
        if (has(app::Event::clicked))
          connect(b, &QPushButton::clicked, this,
                  [this, name] { report(name, app::Event::clicked); });
        widget = b;
        break;
      }
      case Kind::animation_box: {
        auto* box = new AnimationBox(parent);
        box->setAutoFillBackground(true);
        box->setPalette(palette_of(box->palette(), c.text_colour, c.background));
        if (has(app::Event::slot_double_clicked))
          connect(box, &AnimationBox::slot_double_clicked, this,
                  [this, name](int slot) { report(name, app::Event::slot_double_clicked, slot); });
        if (has(app::Event::slot_right_pressed))
          connect(box, &AnimationBox::slot_right_pressed, this,
                  [this, name](int slot) { report(name, app::Event::slot_right_pressed, slot); });
        widget = box;
        break;
      }
      case Kind::list_view: {
        auto* list = new QTreeWidget(parent);
        QStringList headers;
        for (const Column& col : list_columns()) headers << qs(col.header);
        list->setColumnCount(headers.size());
        list->setHeaderLabels(headers);
        int i = 0;
        for (const Column& col : list_columns()) list->setColumnWidth(i++, col.width);
        list->setRootIsDecorated(false);
        list->setItemsExpandable(false);
        list->setUniformRowHeights(true);
        list->setSelectionMode(QAbstractItemView::SingleSelection);
        list->setSelectionBehavior(QAbstractItemView::SelectRows);
        list->setEditTriggers(QAbstractItemView::NoEditTriggers);
        list->setSortingEnabled(false);
        list->header()->setSectionsClickable(false);
        list->header()->setSectionsMovable(false);
        list->header()->setStretchLastSection(false);
        list->setContextMenuPolicy(Qt::CustomContextMenu);
        QPalette p = palette_of(list->palette(), c.text_colour, c.background);
        // The selection shows only while the list has the focus.
        p.setColor(QPalette::Inactive, QPalette::Highlight, rgb(c.background));
        p.setColor(QPalette::Inactive, QPalette::HighlightedText, rgb(c.text_colour));
        list->setPalette(p);
        if (has(app::Event::right_clicked))
          connect(list, &QWidget::customContextMenuRequested, this,
                  [this, name] { report(name, app::Event::right_clicked); });
        if (has(app::Event::double_clicked)) list->viewport()->installEventFilter(this);
        widget = list;
        break;
      }
      case Kind::drawing_surface:
      case Kind::drop_target:
        widget = new QWidget(parent);
        break;
      case Kind::timer: {
        auto* t = new QTimer(this);
        t->setObjectName(name);
        timers_.insert(name, t);
        if (has(app::Event::tick))
          connect(t, &QTimer::timeout, this, [this, name] { report(name, app::Event::tick); });
        continue;
      }
      case Kind::file_dialog: {
        auto* d = new QObject(this);
        d->setObjectName(name);
        d->setProperty("filter", QString());
        dialogs_.insert(name, d);
        continue;
      }
    }

    widget->setObjectName(name);
    widget->setGeometry(c.left, c.top, c.width, c.height);
    int pixels = font_pixel_height(c.font);
    if (pixels > 0) widget->setFont(layout_font(pixels));
    widget->setEnabled(c.enabled);
    widget->setVisible(c.visible);
    widget->raise();
    widgets_.insert(name, widget);
  }
}

QTreeWidget* MainWindow::tool_list() const {
  return qobject_cast<QTreeWidget*>(widgets_.value(QStringLiteral("超级列表框1")));
}

void MainWindow::report(const QString& name, app::Event event, int arg) {
  if (!sink_) return;
  QByteArray utf8 = name.toUtf8();
  sink_(std::string_view(utf8.constData(), static_cast<size_t>(utf8.size())), event, arg);
}

namespace {

// Native paths of the dropped local files and folders, in the order the desktop gives them.
std::vector<std::string> local_paths(const QMimeData* data) {
  std::vector<std::string> paths;
  if (!data || !data->hasUrls()) return paths;
  for (const QUrl& url : data->urls()) {
    if (!url.isLocalFile()) continue;
    QByteArray utf8 = url.toLocalFile().toUtf8();
    if (!utf8.isEmpty()) paths.emplace_back(utf8.constData(), static_cast<size_t>(utf8.size()));
  }
  return paths;
}

}  // namespace

void MainWindow::set_drop_receiver(Receiver receiver) {
  drop_receiver_ = std::move(receiver);
  setAcceptDrops(static_cast<bool>(drop_receiver_));
  // Edit boxes take drops themselves (as text); the window answers for them.
  if (drop_receiver_ && !drop_filters_installed_) {
    for (QWidget* w : findChildren<QWidget*>())
      if (w->acceptDrops()) w->installEventFilter(this);
    drop_filters_installed_ = true;
  }
}

bool MainWindow::take_drop(QEvent* event) {
  if (!drop_receiver_) return false;
  const QEvent::Type type = event->type();
  if (type != QEvent::DragEnter && type != QEvent::DragMove && type != QEvent::Drop) return false;
  auto* drop = static_cast<QDropEvent*>(event);
  std::vector<std::string> paths = local_paths(drop->mimeData());
  if (paths.empty()) return false;
  drop->setDropAction(Qt::CopyAction);
  drop->accept();
  if (type == QEvent::Drop) {
    // Handed over once the drop has finished, so the desktop's drag is not held while the
    // add panel asks something.
    QMetaObject::invokeMethod(
        this,
        [this, paths = std::move(paths)] {
          if (drop_receiver_) drop_receiver_(paths);
        },
        Qt::QueuedConnection);
  }
  return true;
}

void MainWindow::dragEnterEvent(QDragEnterEvent* event) {
  if (!take_drop(event)) QMainWindow::dragEnterEvent(event);
}

void MainWindow::dragMoveEvent(QDragMoveEvent* event) {
  if (!take_drop(event)) QMainWindow::dragMoveEvent(event);
}

void MainWindow::dropEvent(QDropEvent* event) {
  if (!take_drop(event)) QMainWindow::dropEvent(event);
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
  if (watched != this && take_drop(event)) return true;
  if (event->type() == QEvent::MouseButtonDblClick) {
    if (QTreeWidget* list = tool_list(); list && watched == list->viewport()) {
      report(list->objectName(), app::Event::double_clicked);
      return false;
    }
    auto it = double_click_labels_.constFind(watched);
    if (it != double_click_labels_.constEnd()) {
      report(it.value(), app::Event::double_clicked);
      return true;
    }
  }
  return QMainWindow::eventFilter(watched, event);
}

}  // namespace ui
