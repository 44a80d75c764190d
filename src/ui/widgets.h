// The few widget kinds of the layout that Qt has no ready equivalent for.
#pragma once

#include <QColor>
#include <QLabel>
#include <QPushButton>
#include <QWidget>
#include <memory>
#include <vector>

class QMovie;
class QBuffer;

namespace ui {

QColor rgb(uint32_t colour);

// A plain rectangle with a one-pixel line and a fill that only groups its children.
class HolderWidget : public QWidget {
  Q_OBJECT
 public:
  explicit HolderWidget(QWidget* parent = nullptr);
  void set_colours(uint32_t line, uint32_t fill);
  uint32_t line_colour() const { return line_; }
  uint32_t fill_colour() const { return fill_; }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  uint32_t line_ = 0, fill_ = 0;
};

// Flat push button: no border line and no focus rectangle, one colour pair each when
// normal, under the mouse and focused.
class FlatButton : public QPushButton {
  Q_OBJECT
 public:
  struct Colours {
    uint32_t text, background;
  };
  FlatButton(Colours normal, Colours hover, Colours focus, QWidget* parent = nullptr);
  Colours current_colours() const;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void enterEvent(QEnterEvent* event) override;
  void leaveEvent(QEvent* event) override;

 private:
  Colours normal_, hover_, focus_;
  bool under_mouse_ = false;
};

// A picture area hosting movable picture objects (the icon slots); reports double-clicks
// and right-button presses on an object.
class AnimationBox : public QWidget {
  Q_OBJECT
 public:
  explicit AnimationBox(QWidget* parent = nullptr);
  ~AnimationBox() override;
  int add_slot(int left, int top);
  int slot_count() const { return static_cast<int>(slots_.size()); }
  // Bytes of a PNG or GIF file; empty clears the slot. `animate` plays a GIF's frames.
  void set_picture(int slot, const QByteArray& bytes, bool animate);
  QLabel* slot_label(int slot) const;

 signals:
  void slot_double_clicked(int slot);
  void slot_right_pressed(int slot);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  struct Slot {
    QLabel* label = nullptr;
    std::unique_ptr<QBuffer> buffer;
    std::unique_ptr<QMovie> movie;
    QByteArray bytes;
  };
  std::vector<Slot> slots_;
};

}  // namespace ui
