#include "ui/widgets.h"

#include <QBuffer>
#include <QEnterEvent>
#include <QImageReader>
#include <QMouseEvent>
#include <QMovie>
#include <QPainter>
#include <QPixmap>

namespace ui {

QColor rgb(uint32_t colour) {
  return QColor((colour >> 16) & 0xFF, (colour >> 8) & 0xFF, colour & 0xFF);
}

HolderWidget::HolderWidget(QWidget* parent) : QWidget(parent) {}

void HolderWidget::set_colours(uint32_t line, uint32_t fill) {
  line_ = line;
  fill_ = fill;
  update();
}

void HolderWidget::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.fillRect(rect(), rgb(fill_));
  p.setPen(rgb(line_));
  p.drawRect(rect().adjusted(0, 0, -1, -1));
}

FlatButton::FlatButton(Colours normal, Colours hover, Colours focus, QWidget* parent)
    : QPushButton(parent), normal_(normal), hover_(hover), focus_(focus) {
  setFlat(true);
  setAttribute(Qt::WA_Hover);
}

FlatButton::Colours FlatButton::current_colours() const {
  if (under_mouse_ && isEnabled()) return hover_;
  if (hasFocus()) return focus_;
  return normal_;
}

void FlatButton::paintEvent(QPaintEvent*) {
  QPainter p(this);
  Colours c = current_colours();
  p.fillRect(rect(), rgb(c.background));
  QColor text = rgb(c.text);
  if (!isEnabled()) text = text.darker(140);
  p.setPen(text);
  p.setFont(font());
  // The stored captions break lines with CR LF.
  QString caption = this->text();
  caption.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  p.drawText(rect(), Qt::AlignCenter, caption);
}

void FlatButton::enterEvent(QEnterEvent* event) {
  under_mouse_ = true;
  update();
  QPushButton::enterEvent(event);
}

void FlatButton::leaveEvent(QEvent* event) {
  under_mouse_ = false;
  update();
  QPushButton::leaveEvent(event);
}

AnimationBox::AnimationBox(QWidget* parent) : QWidget(parent) {}
AnimationBox::~AnimationBox() = default;

int AnimationBox::add_slot(int left, int top) {
  Slot s;
  s.label = new QLabel(this);
  s.label->setObjectName(objectName() + QStringLiteral(".图标") + QString::number(slots_.size()));
  s.label->move(left, top);
  s.label->resize(32, 32);  // an empty slot still takes a double-click
  s.label->installEventFilter(this);
  s.label->show();
  slots_.push_back(std::move(s));
  return static_cast<int>(slots_.size()) - 1;
}

QLabel* AnimationBox::slot_label(int slot) const {
  if (slot < 0 || slot >= slot_count()) return nullptr;
  return slots_[slot].label;
}

void AnimationBox::set_picture(int slot, const QByteArray& bytes, bool animate) {
  if (slot < 0 || slot >= slot_count()) return;
  Slot& s = slots_[slot];
  s.label->setMovie(nullptr);
  s.movie.reset();
  s.buffer.reset();
  s.bytes = bytes;
  s.label->clear();
  if (bytes.isEmpty()) {
    s.label->resize(32, 32);
    return;
  }
  // A picture the reader cannot decode, or one of absurd size, shows an empty slot.
  QBuffer probe(&s.bytes);
  probe.open(QIODevice::ReadOnly);
  QImageReader reader(&probe);
  QSize size = reader.size();
  if (!size.isValid() || size.width() > 4096 || size.height() > 4096) {
    s.label->resize(32, 32);
    return;
  }
  s.label->resize(std::min(size.width(), width()), std::min(size.height(), height()));
  if (animate) {
    s.buffer = std::make_unique<QBuffer>(&s.bytes);
    s.buffer->open(QIODevice::ReadOnly);
    s.movie = std::make_unique<QMovie>(s.buffer.get());
    if (s.movie->isValid()) {
      s.label->setMovie(s.movie.get());
      s.movie->start();
      return;
    }
    s.movie.reset();
    s.buffer.reset();
  }
  QPixmap pixmap;
  if (pixmap.loadFromData(s.bytes)) s.label->setPixmap(pixmap);
}

bool AnimationBox::eventFilter(QObject* watched, QEvent* event) {
  for (int i = 0; i < slot_count(); ++i) {
    if (slots_[i].label != watched) continue;
    if (event->type() == QEvent::MouseButtonDblClick) {
      emit slot_double_clicked(i);
      return true;
    }
    if (event->type() == QEvent::MouseButtonPress &&
        static_cast<QMouseEvent*>(event)->button() == Qt::RightButton) {
      emit slot_right_pressed(i);
      return true;
    }
  }
  return QWidget::eventFilter(watched, event);
}

}  // namespace ui
