#include "platform/qt/widgets.h"

#include <QCloseEvent>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QWheelEvent>
#include <algorithm>

namespace pet::qt {

QImage wrap(const Image& image) {
  return QImage(reinterpret_cast<const uchar*>(image.data()), image.width(), image.height(),
                qsizetype(image.width()) * 4, QImage::Format_RGB32);
}

int buttonNumber(Qt::MouseButton b) {
  switch (b) {
    case Qt::LeftButton:
      return 1;
    case Qt::RightButton:
      return 2;
    case Qt::MiddleButton:
      return 4;
    default:
      return 0;
  }
}

int buttonMask(Qt::MouseButtons b) {
  return (b & Qt::LeftButton ? 1 : 0) | (b & Qt::RightButton ? 2 : 0) |
         (b & Qt::MiddleButton ? 4 : 0);
}

int shiftMask(Qt::KeyboardModifiers m) {
  return (m & Qt::ShiftModifier ? 1 : 0) | (m & Qt::ControlModifier ? 2 : 0) |
         (m & Qt::AltModifier ? 4 : 0);
}

OverlayWindow::OverlayWindow(bool translucent)
    : QWidget(nullptr, Qt::Window | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint |
                           Qt::WindowDoesNotAcceptFocus | Qt::NoDropShadowWindowHint),
      translucent_(translucent) {
  // Before the native window exists: it decides the window's visual.
  if (translucent) setAttribute(Qt::WA_TranslucentBackground);
  setAttribute(Qt::WA_ShowWithoutActivating);
  setAttribute(Qt::WA_OpaquePaintEvent);
  setAttribute(Qt::WA_NoSystemBackground);
  setAttribute(Qt::WA_QuitOnClose, false);
  setMouseTracking(true);
  setFocusPolicy(Qt::NoFocus);
  setWindowTitle(QStringLiteral("もこぽん"));
}

void OverlayWindow::dropNativeWindow(bool translucent) {
  hide();
  destroy();
  translucent_ = translucent;
  setAttribute(Qt::WA_TranslucentBackground, translucent);
  // Cleared along with translucency; the window paints every pixel itself.
  setAttribute(Qt::WA_NoSystemBackground);
}

void OverlayWindow::setPictureHidden(bool hidden) {
  if (hidden == pictureHidden_) return;
  pictureHidden_ = hidden;
  if (translucent_) update();
}

void OverlayWindow::setPicture(const Image* image) {
  image_ = image;
  wrapped_ = image ? wrap(*image) : QImage();
}

void OverlayWindow::paintEvent(QPaintEvent* e) {
  QPainter p(this);
  p.setCompositionMode(QPainter::CompositionMode_Source);
  if (wrapped_.isNull() || pictureHidden_) {
    p.fillRect(e->rect(), translucent_ ? QColor(Qt::transparent) : QColor(98, 164, 172));
    return;
  }
  for (const QRect& r : e->region()) {
    if (translucent_)
      paintTranslucent(p, r & wrapped_.rect());
    else
      p.drawImage(r.topLeft(), wrapped_, r);
  }
}

void OverlayWindow::paintTranslucent(QPainter& p, const QRect& r) {
  constexpr int kStripRows = 64;
  if (r.isEmpty()) return;
  if (strip_.width() < r.width())
    strip_ = QImage(wrapped_.width(), kStripRows, QImage::Format_ARGB32_Premultiplied);
  for (int top = r.top(); top <= r.bottom(); top += kStripRows) {
    const int rows = std::min(kStripRows, r.bottom() + 1 - top);
    // Locals, so that the stores cannot alias them and the loop vectorises.
    const uint32_t key = key_;
    const int width = r.width();
    for (int i = 0; i < rows; ++i) {
      const uint32_t* src = image_->row(top + i) + r.left();
      auto* dst = reinterpret_cast<uint32_t*>(strip_.scanLine(i));
      for (int x = 0; x < width; ++x) dst[x] = src[x] == key ? 0u : src[x] | 0xFF000000u;
    }
    p.drawImage(QPoint(r.left(), top), strip_, QRect(0, 0, r.width(), rows));
  }
}

void OverlayWindow::send(MouseKind kind, QMouseEvent* e, int button) {
  if (mouse_) mouse_(kind, button, shiftMask(e->modifiers()), e->position().toPoint());
}
void OverlayWindow::mousePressEvent(QMouseEvent* e) {
  send(MouseKind::Down, e, buttonNumber(e->button()));
}
void OverlayWindow::mouseMoveEvent(QMouseEvent* e) {
  send(MouseKind::Move, e, buttonMask(e->buttons()));
}
void OverlayWindow::mouseReleaseEvent(QMouseEvent* e) {
  send(MouseKind::Up, e, buttonNumber(e->button()));
}
void OverlayWindow::mouseDoubleClickEvent(QMouseEvent* e) {
  // Qt sends this instead of the second press; it is a press all the same
  // (two quick right clicks toggle chasing twice).
  send(MouseKind::Down, e, buttonNumber(e->button()));
  send(MouseKind::DoubleClick, e, buttonNumber(e->button()));
}

void OverlayWindow::closeEvent(QCloseEvent* e) {
  e->ignore();
  if (close_) close_();
}

PanelWidget::PanelWidget(QWidget* parent, bool filled, bool bordered)
    : QWidget(parent),
      filled_(filled),
      border_(bordered ? 1 : 0),
      client_(new PictureSurface(this)) {
  setAttribute(Qt::WA_OpaquePaintEvent);
}

void PanelWidget::mousePressEvent(QMouseEvent* e) {
  e->accept();
}
void PanelWidget::mouseReleaseEvent(QMouseEvent* e) {
  e->accept();
}
void PanelWidget::mouseDoubleClickEvent(QMouseEvent* e) {
  e->accept();
}
void PanelWidget::mouseMoveEvent(QMouseEvent* e) {
  e->accept();
}

void PanelWidget::resizeTo(int w, int h) {
  resize(w, h);
  client_->setGeometry(border_, border_, std::max(0, w - 2 * border_),
                       std::max(0, h - 2 * border_));
}

void PanelWidget::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.fillRect(rect(), filled_ ? QColor(192, 255, 192) : palette().color(QPalette::Button));
  if (border_) {
    p.setPen(Qt::black);
    p.drawRect(rect().adjusted(0, 0, -1, -1));
  }
}

PictureSurface::PictureSurface(QWidget* parent) : QWidget(parent) {}

void PictureSurface::setPicture(const Image* image) {
  image_ = image;
  update();
}

void PictureSurface::paintEvent(QPaintEvent* e) {
  if (!image_) return;
  QPainter p(this);
  const QImage img = wrap(*image_);
  // The core's pixels carry no alpha (0x00RRGGBB): on the translucent window
  // they are made opaque, or a compositor would show them see-through.
  const bool translucent = window()->testAttribute(Qt::WA_TranslucentBackground);
  for (const QRect& r : e->region()) {
    if (translucent)
      p.drawImage(r.topLeft(), img.copy(r).convertToFormat(QImage::Format_ARGB32));
    else
      p.drawImage(r.topLeft(), img, r);
  }
  if (texts_ && devicePixelRatioF() > 1) texts_->paint(p, *image_);
}

bool PrintedTexts::intact(const Print& print) {
  const QImage now = wrap(*print.image).copy(print.rect);
  return now == print.after;
}

QImage PrintedTexts::background(const Image& image, const QRect& rect) const {
  QImage out = wrap(image).copy(rect);
  // A text printed again where it stands (a title on every row) leaves its
  // old pixels under the new print: take them away.
  QPainter p(&out);
  for (const Print& old : prints_)
    if (old.image == &image && old.rect.intersects(rect) && intact(old))
      p.drawImage(old.rect.topLeft() - rect.topLeft(), old.before);
  return out;
}

void PrintedTexts::add(Print print) {
  // One that the new print overlaps is no longer whole.
  std::erase_if(prints_, [&](const Print& old) {
    return old.image == print.image && old.rect.intersects(print.rect);
  });
  if (prints_.size() >= kLimit) prints_.erase(prints_.begin());
  prints_.push_back(std::move(print));
}

void PrintedTexts::paint(QPainter& p, const Image& image) const {
  for (const Print& t : prints_) {
    if (t.image != &image || !intact(t)) continue;
    p.save();
    p.setClipRect(t.rect);
    p.setCompositionMode(QPainter::CompositionMode_SourceOver);
    p.drawImage(t.rect.topLeft(), t.before);
    p.setFont(t.font);
    p.setPen(t.colour);
    p.drawText(t.baseline, t.text);
    p.restore();
  }
}

void PictureSurface::mousePressEvent(QMouseEvent* e) {
  if (!press_) return e->ignore();
  press_(buttonNumber(e->button()), e->position().toPoint());
}
void PictureSurface::mouseDoubleClickEvent(QMouseEvent* e) {
  // Only the left button double-clicks; another button's second press is a press.
  if (e->button() != Qt::LeftButton) return mousePressEvent(e);
  if (!dbl_) return e->ignore();
  dbl_();
}

void PictureSurface::wheelEvent(QWheelEvent* e) {
  if (!wheel_) return e->ignore();
  wheelRest_ += e->angleDelta().y();
  const int notches = wheelRest_ / 120;
  wheelRest_ -= notches * 120;
  if (notches) wheel_(notches);
}

}  // namespace pet::qt
