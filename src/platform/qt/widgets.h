#pragma once
// The widgets of the window: the full-screen overlay that shows the core's
// image, and the panel frames and picture surfaces of the control table.
#include <QColor>
#include <QFont>
#include <QImage>
#include <QWidget>
#include <functional>
#include <vector>

#include "render/image.h"

namespace pet::qt {

// Wraps the core's pixels without copying them; 0x00RRGGBB reads as RGB32.
QImage wrap(const Image& image);

// The overlay: a frameless, topmost window painted straight from the core's
// overlay image. Mouse events arrive only over the window's shape.
class OverlayWindow : public QWidget {
 public:
  enum class MouseKind { Down, Move, Up, DoubleClick };
  using MouseHandler = std::function<void(MouseKind, int button, int shift, QPoint pos)>;

  // `translucent`: a 32-bit window whose key-colour pixels are painted fully
  // transparent, for a compositor to blend; otherwise opaque, cut out by a shape.
  explicit OverlayWindow(bool translucent = false);
  void setMouseHandler(MouseHandler h) { mouse_ = std::move(h); }
  // A close from the window manager (Alt+F4, a taskbar's menu) asks this
  // instead of hiding the window and leaving the program running unseen.
  void setCloseHandler(std::function<void()> h) { close_ = std::move(h); }
  // The image to paint from; painting reads it, never copies it whole.
  void setPicture(const Image* image);
  // The colour a translucent window paints as fully transparent.
  void setKey(uint32_t rgb) { key_ = rgb; }
  bool translucent() const { return translucent_; }
  // Paints nothing of the picture (the pets are hidden); panels still show.
  void setPictureHidden(bool hidden);
  // Hides the window and drops its native window, so the next winId() or
  // show() makes one of the other kind: a window's visual (32-bit with alpha
  // or not) is fixed when the X server creates it.
  void dropNativeWindow(bool translucent);

 protected:
  void paintEvent(QPaintEvent* e) override;
  void mousePressEvent(QMouseEvent* e) override;
  void mouseMoveEvent(QMouseEvent* e) override;
  void mouseReleaseEvent(QMouseEvent* e) override;
  void mouseDoubleClickEvent(QMouseEvent* e) override;
  void closeEvent(QCloseEvent* e) override;

 private:
  void send(MouseKind kind, QMouseEvent* e, int button);
  void paintTranslucent(QPainter& p, const QRect& r);
  const Image* image_ = nullptr;
  QImage wrapped_;
  MouseHandler mouse_;
  std::function<void()> close_;
  bool translucent_;
  bool pictureHidden_ = false;
  uint32_t key_ = 0;
  // A few rows of converted pixels at a time, so a full-screen paint needs
  // no second screen-sized buffer.
  QImage strip_;
};

// Text the program printed into its pictures, kept so that a picture shown
// scaled up (a screen at 2x) can have its text printed again at the screen's
// real resolution instead of with doubled pixels.
class PrintedTexts {
 public:
  struct Print {
    const Image* image = nullptr;
    QRect rect;     // the image pixels the print touched
    QImage before;  // those pixels before it, and after it
    QImage after;
    QFont font;  // the same face, drawn anti-aliased this time
    QColor colour;
    QPoint baseline;
    QString text;
  };
  // What lies under `rect` of `image` now, without the texts printed there
  // that are still whole: the background a new print goes onto.
  QImage background(const Image& image, const QRect& rect) const;
  void add(Print print);
  // Prints the texts of `image` that are still as they were printed, each
  // over its own background; the painter's scale does the rest.
  void paint(QPainter& p, const Image& image) const;

 private:
  static bool intact(const Print& print);
  // A few slot list pages' worth; older ones go first.
  static constexpr size_t kLimit = 96;
  std::vector<Print> prints_;
};

// The inner area of a picture box: shows the image the core hands over and
// reports presses and double-clicks in its own pixels.
class PictureSurface : public QWidget {
 public:
  using PressHandler = std::function<void(int button, QPoint pos)>;
  using DoubleClickHandler = std::function<void()>;

  explicit PictureSurface(QWidget* parent);
  void setPicture(const Image* image);
  void setPressHandler(PressHandler h) { press_ = std::move(h); }
  void setDoubleClickHandler(DoubleClickHandler h) { dbl_ = std::move(h); }
  // Whole notches of the mouse wheel, away from the user positive.
  void setWheelHandler(std::function<void(int)> h) { wheel_ = std::move(h); }
  // Texts to print sharp over the picture when the screen is scaled up.
  void setPrintedTexts(const PrintedTexts* texts) { texts_ = texts; }

 protected:
  void paintEvent(QPaintEvent* e) override;
  void mousePressEvent(QMouseEvent* e) override;
  void mouseDoubleClickEvent(QMouseEvent* e) override;
  void wheelEvent(QWheelEvent* e) override;

 private:
  const Image* image_ = nullptr;
  const PrintedTexts* texts_ = nullptr;
  PressHandler press_;
  DoubleClickHandler dbl_;
  std::function<void(int)> wheel_;
  int wheelRest_ = 0;  // eighths of a degree not yet a whole notch
};

// A panel frame (light green, flat one-pixel border) or a picture box. Its
// children live in its inner area, `client()`, which also shows the picture.
class PanelWidget : public QWidget {
 public:
  PanelWidget(QWidget* parent, bool filled, bool bordered);
  PictureSurface* client() const { return client_; }
  int border() const { return border_; }
  void resizeTo(int w, int h);

 protected:
  void paintEvent(QPaintEvent* e) override;
  // Presses on the panel itself stop here: they are not the overlay's.
  void mousePressEvent(QMouseEvent* e) override;
  void mouseReleaseEvent(QMouseEvent* e) override;
  void mouseDoubleClickEvent(QMouseEvent* e) override;
  void mouseMoveEvent(QMouseEvent* e) override;

 private:
  bool filled_;
  int border_;
  PictureSurface* client_;
};

// The program's button numbers: 1 left, 2 right, 4 middle.
int buttonNumber(Qt::MouseButton b);
int buttonMask(Qt::MouseButtons b);
// Shift 1, Ctrl 2, Alt 4.
int shiftMask(Qt::KeyboardModifiers m);

}  // namespace pet::qt
