#include "platform/qt/qt_platform.h"

#include <time.h>

#include <QCursor>
#include <QDateTime>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QLocale>
#include <QPainter>
#include <QPalette>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QWindow>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/play_area.h"
#include "platform/posix/files.h"
#include "platform/qt/x11_window.h"
#include "shell/form2.h"

namespace pet::qt {

namespace {

constexpr int kTwips = 15;
// The window's own face when a control names none: 9.75 pt, 13 pixels.
constexpr int kDefaultFontTenths = 98;
// Ticks between looks for a compositor, about a quarter of a second.
constexpr int kWatchTicks = 15;

int px(int32_t twips) {
  return int(std::lround(double(twips) / kTwips));
}

// Pixels high of a face of `tenths` tenths of a point at 96 pixels an inch.
int fontPixels(double points) {
  return std::max(1, int(std::lround(points * 96.0 / 72.0)));
}

QString text(std::string_view utf8) {
  QString s = QString::fromUtf8(utf8.data(), qsizetype(utf8.size()));
  s.remove(QLatin1Char('\r'));
  return s;
}

bool isWindowLevel(ControlId id) {
  return control(id).parent == ControlId::Count;
}

// The program's key code for a key: ASCII capitals and digits, the usual
// codes for the others; 0 for keys the program has no code for.
int keyCode(const QKeyEvent* e) {
  const int k = e->key();
  if (k >= Qt::Key_A && k <= Qt::Key_Z) return k;
  if (k >= Qt::Key_0 && k <= Qt::Key_9) return k;
  if (k >= Qt::Key_F1 && k <= Qt::Key_F12) return 112 + (k - Qt::Key_F1);
  switch (k) {
    case Qt::Key_Escape:
      return 27;
    case Qt::Key_Return:
    case Qt::Key_Enter:
      return 13;
    case Qt::Key_Space:
      return 32;
    case Qt::Key_Backspace:
      return 8;
    case Qt::Key_Tab:
      return 9;
    case Qt::Key_Shift:
      return 16;
    case Qt::Key_Control:
      return 17;
    case Qt::Key_Alt:
      return 18;
    case Qt::Key_PageUp:
      return 33;
    case Qt::Key_PageDown:
      return 34;
    case Qt::Key_End:
      return 35;
    case Qt::Key_Home:
      return 36;
    case Qt::Key_Left:
      return 37;
    case Qt::Key_Up:
      return 38;
    case Qt::Key_Right:
      return 39;
    case Qt::Key_Down:
      return 40;
    case Qt::Key_Insert:
      return 45;
    case Qt::Key_Delete:
      return 46;
    default:
      return 0;
  }
}

// Key presses of the window reach the program before any control: the
// filter sits on the native window, ahead of Qt's delivery to the focus widget.
class KeyPreview : public QObject {
 public:
  KeyPreview(QObject* parent, QtPlatform& platform, Form2*& form)
      : QObject(parent), platform_(platform), form_(form) {}
  bool eventFilter(QObject* watched, QEvent* e) override {
    if (e->type() == QEvent::KeyPress && form_ && platform_.keyPreview()) {
      auto* k = static_cast<QKeyEvent*>(e);
      if (int code = keyCode(k)) form_->Form_KeyDown(code, shiftMask(k->modifiers()));
    }
    return QObject::eventFilter(watched, e);
  }

 private:
  QtPlatform& platform_;
  Form2*& form_;
};

}  // namespace

QFont QtPlatform::mincho(int pixels, bool antialiased) {
  QFont f;
  f.setFamilies({QStringLiteral("ＭＳ 明朝"), QStringLiteral("MS Mincho"),
                 QStringLiteral("IPAMincho"), QStringLiteral("IPAexMincho")});
  f.setStyleHint(QFont::Serif);
  f.setPixelSize(pixels);
  if (!antialiased) f.setStyleStrategy(QFont::NoAntialias);
  return f;
}

// DESKPET_OVERLAY=argb: a translucent window, clicks cut out by an input
// shape alone, which needs a compositor. =shape: the shaped window, which
// needs none; =shape-diff: the same, each change sent as what the shape gains
// and what it loses rather than the whole shape. Unset: whichever suits,
// following the compositor as it comes and goes.
QtPlatform::OverlayChoice QtPlatform::overlayChoice() {
  const char* v = std::getenv("DESKPET_OVERLAY");
  if (v && std::strcmp(v, "argb") == 0) return OverlayChoice::Argb;
  if (v && std::strcmp(v, "shape") == 0) return OverlayChoice::Shape;
  if (v && std::strcmp(v, "shape-diff") == 0) return OverlayChoice::ShapeDiff;
  return OverlayChoice::Auto;
}

bool QtPlatform::wantTranslucent() {
  // A Wayland compositor always composites; it has no shaped windows.
  if (wayland_) return true;
  if (choice_ != OverlayChoice::Auto) return choice_ == OverlayChoice::Argb;
  return compositor_.now();
}

QtPlatform::QtPlatform()
    : wayland_(onWayland()),
      choice_(overlayChoice()),
      window_(new OverlayWindow(wantTranslucent())) {
  window_->setFont(mincho(fontPixels(kDefaultFontTenths / 10.0), true));
  window_->setMouseHandler([this](OverlayWindow::MouseKind kind, int button, int shift,
                                  QPoint pos) { onMouse(kind, button, shift, pos); });
  keyFilter_ = new KeyPreview(window_, *this, form_);
  handBack_.setSingleShot(true);
  handBack_.setInterval(250);
  QObject::connect(&handBack_, &QTimer::timeout, [this] { handFocusBack(); });
  createControls();
  readScreens();
  if (wayland_) startWayland();
}

void QtPlatform::startWayland() {
  kwin_ = std::make_unique<KWinScript>();
  kwin_->setOnPointer([this](QPoint p) {
    // KWin's pixels are the desktop's logical ones.
    pointer_.told(QPoint(p.x() * scale_, p.y() * scale_));
  });
  QString why;
  if (!kwin_->start(&why)) {
    std::fprintf(stderr,
                 "deskpet: KWin's scripting cannot be used (%s): the pets know where the "
                 "pointer is only while it is over a pet or a panel, and do not step aside "
                 "for full-screen programs.\n",
                 why.toLocal8Bit().constData());
    kwin_.reset();
    return;
  }
  readScreens();
}

QtPlatform::~QtPlatform() {
  delete window_;
}

void QtPlatform::attach(Form2* form) {
  form_ = form;
}

QWidget* QtPlatform::container(ControlId parent) const {
  if (parent == ControlId::Count) return window_;
  return panels_[size_t(parent)]->client();
}

void QtPlatform::createControls() {
  // Table order: parents before children, and later siblings above earlier ones.
  for (const ControlSpec& c : kControls) {
    QWidget* parent = container(c.parent);
    QWidget* w = nullptr;
    switch (c.kind) {
      case ControlKind::Panel:
      case ControlKind::Picture: {
        auto* p = new PanelWidget(parent, c.kind == ControlKind::Panel, c.bordered);
        p->resizeTo(px(c.width), px(c.height));
        panels_[size_t(c.id)] = p;
        w = p;
        break;
      }
      case ControlKind::Button: {
        auto* b = new QPushButton(text(c.caption), parent);
        b->setAutoDefault(false);
        const ControlId id = c.id;
        QObject::connect(b, &QPushButton::clicked, [this, id] {
          if (form_) form_->controlClicked(id);
        });
        w = b;
        break;
      }
      case ControlKind::Label: {
        auto* l = new QLabel(text(c.caption), parent);
        l->setTextFormat(Qt::PlainText);
        // Black on the light green whatever the desktop's theme, and the text
        // right inside a frame, as the layout places it.
        QPalette pal = l->palette();
        pal.setColor(QPalette::WindowText, Qt::black);
        l->setPalette(pal);
        l->setIndent(0);
        if (c.bordered) l->setMargin(1);
        l->setWordWrap(true);
        l->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        if (c.bordered) {
          l->setFrameStyle(QFrame::Box | QFrame::Plain);
          l->setLineWidth(1);
        }
        w = l;
        break;
      }
      case ControlKind::HScroll:
      case ControlKind::VScroll: {
        auto* s =
            new QScrollBar(c.kind == ControlKind::HScroll ? Qt::Horizontal : Qt::Vertical, parent);
        for (const ScrollSpec& sc : kScrollSpecs)
          if (sc.id == c.id) {
            s->setRange(sc.min, sc.max);
            s->setSingleStep(sc.smallChange);
            s->setPageStep(sc.largeChange);
            s->setValue(sc.value);
          }
        const ControlId id = c.id;
        // Fires for the user's changes and for setValue alike, before it returns.
        QObject::connect(s, &QScrollBar::valueChanged, [this, id] {
          if (form_) form_->scrollChanged(id);
        });
        w = s;
        break;
      }
      case ControlKind::List: {
        // A line wider than the box (a long name and a large count) gets a
        // scroll bar, so every line can be read in full; the whole line also
        // shows as the item's tooltip.
        auto* l = new QListWidget(parent);
        l->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
        l->setTextElideMode(Qt::ElideNone);
        // Taking the keyboard as its panel appears would mark the first line
        // as chosen; a click still gives it the keyboard.
        l->setFocusPolicy(Qt::ClickFocus);
        w = l;
        break;
      }
      case ControlKind::FileList:
        continue;  // never shown: the files come from the working directory
    }
    if (c.kind != ControlKind::Panel && c.kind != ControlKind::Picture)
      w->resize(px(c.width), px(c.height));
    w->move(px(c.left), px(c.top));
    if (c.fontTenths > 0) w->setFont(mincho(fontPixels(c.fontTenths / 10.0), true));
    w->setVisible(c.visibleAtStart);
    w->setObjectName(QString::fromLatin1(c.name.data(), qsizetype(c.name.size())));
    widgets_[size_t(c.id)] = w;
  }
  // Labels are drawn on their container's surface, beneath every control
  // with a window of its own (buttons, scroll bars, the list), whatever the
  // order; among themselves they keep the table's order.
  for (auto c = kControls.rbegin(); c != kControls.rend(); ++c)
    if (c->kind == ControlKind::Label) widget(c->id)->lower();
  for (PanelWidget* p : panels_)
    if (p) p->client()->setPrintedTexts(&printed_);
  PictureSurface* list = panels_[size_t(ControlId::Picture4)]->client();
  list->setPressHandler([this](int button, QPoint pos) {
    if (form_) form_->panelMouseDown(button, pos.x() * kTwips, pos.y() * kTwips);
  });
  list->setDoubleClickHandler([this] {
    if (form_) form_->panelDblClick();
  });
  // The wheel over the rows turns the list's scroll bar, a row a notch.
  list->setWheelHandler([this](int notches) {
    auto* bar = qobject_cast<QScrollBar*>(widget(ControlId::VScroll1));
    if (bar && bar->isVisibleTo(window_)) bar->setValue(bar->value() - notches);
  });
}

namespace {
// Qt keeps a screen's top-left corner in device pixels and divides only its
// size by the scale; this is the screen in device pixels.
QRect deviceGeometry(const QScreen* s) {
  const QRect g = s->geometry();
  const qreal r = s->devicePixelRatio();
  return QRect(g.topLeft(),
               QSize(int(std::lround(g.width() * r)), int(std::lround(g.height() * r))));
}

}  // namespace

void QtPlatform::readScreens() {
  const QScreen* primary = QGuiApplication::primaryScreen();
  // None for a moment while the last monitor goes: a play area of no size,
  // which the core ignores until a screen comes back.
  if (!primary) {
    area_ = QRect();
    monitors_.clear();
    return;
  }
  auto rect = [](const QScreen* s) {
    const QRect g = deviceGeometry(s);
    return Rect{g.left(), g.top(), g.left() + g.width(), g.top() + g.height()};
  };
  std::vector<Rect> shown{rect(primary)};
  for (const QScreen* s : QGuiApplication::screens())
    if (s != primary) shown.push_back(rect(s));
  // Qt's ratio is already whole (the rounding policy); as dots an inch it
  // takes the same rounding as everywhere else.
  PlayArea a = playArea(shown.front(), shown,
                        unsigned(std::lround(primary->devicePixelRatio() * 96)), everyMonitor_);
  // The same shape in the program's pixels is another one on the screen.
  if (a.scale != scale_) shapeSent_ = false;
  scale_ = a.scale;
  area_ = QRect(a.originX, a.originY, a.width, a.height);
  monitors_ = std::move(a.monitors);
  if (kwin_) kwin_->setDesktop(primary->virtualGeometry());
}

void QtPlatform::setEveryMonitor(bool on) {
  everyMonitor_ = on;
  readScreens();
}

int32_t QtPlatform::screenWidthTwips() const {
  return area_.width() / scale_ * kTwips;
}
int32_t QtPlatform::screenHeightTwips() const {
  return area_.height() / scale_ * kTwips;
}

void QtPlatform::placeWindow(int32_t l, int32_t t, int32_t w, int32_t h) {
  // The program's (0, 0) is the play area's corner, wherever it sits on the
  // desktop; Qt places a window by its corner in device pixels and its size
  // in its screen's scaled pixels.
  const QPoint o = area_.topLeft();
  window_->setGeometry(o.x() + px(l), o.y() + px(t), px(w), px(h));
  mask_.reset(px(w), px(h));
}

void QtPlatform::makeTopmostAndShow() {
  shown_ = true;
  showWindow();
}

void QtPlatform::showWindow() {
  window_->winId();  // the native window, so its properties are set before it maps
  keepOutOfTaskbar(window_);
  applyShape();
  QWindow* handle = window_->windowHandle();
  handle->installEventFilter(keyFilter_);
  if (acceptsFocus_) handle->setFlag(Qt::WindowDoesNotAcceptFocus, false);
  window_->show();
  if (wayland_ && !waylandOverlay_.attach(window_, area_.topLeft()))
    std::fprintf(stderr,
                 "deskpet: the compositor has no plasma shell: the overlay is an ordinary "
                 "window.\n");
  if (acceptsFocus_) takeFocus();
}

void QtPlatform::switchOverlay(bool translucent) {
  window_->dropNativeWindow(translucent);
  // The new window has no shape yet; a drag loses its pointer grab with the
  // old one, and its release would never arrive: drop what is held now.
  shapeSent_ = false;
  drag_.clear();
  if (form_) form_->Form_MouseUp(1, 0, 0, 0);
  if (shown_) showWindow();
}

Point32 QtPlatform::cursorPos() {
  if (tickAge_ > 0) return lastCursor_;
  readThisTick_ = true;
  // The pointer is read in device pixels of the whole desktop.
  const QPoint p = pointer_.read() - area_.topLeft();
  lastCursor_ = {floorDiv(p.x(), scale_), floorDiv(p.y(), scale_)};
  return lastCursor_;
}

double QtPlatform::secondsToNextSecond() const {
  timespec ts{};
  clock_gettime(CLOCK_REALTIME, &ts);
  return 1.0 - double(ts.tv_nsec) / 1e9;
}

LocalTime QtPlatform::now() {
  // The core asks several times a tick. localtime_r does not look at the
  // zone file again (QDateTime and localtime do, a stat each time); tzset
  // once a minute still follows a change of the system's zone.
  timespec ts{};
  clock_gettime(CLOCK_REALTIME, &ts);
  if (tickAge_ > 0) {
    const auto age = int64_t(tickAge_ * 1e9);
    int64_t ns = int64_t(ts.tv_nsec) - age % 1000000000;
    ts.tv_sec -= time_t(age / 1000000000);
    if (ns < 0) ns += 1000000000, --ts.tv_sec;
    ts.tv_nsec = long(ns);
  }
  if (ts.tv_sec >= nextZoneCheck_) {
    tzset();
    nextZoneCheck_ = ts.tv_sec + 60;
  }
  tm t{};
  localtime_r(&ts.tv_sec, &t);
  return {t.tm_year + 1900,         t.tm_mon + 1, t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec,
          int(ts.tv_nsec / 1000000)};
}

std::string QtPlatform::shortDate() {
  const LocalTime t = now();
  // The user's own short date; the C locale (no language set) has none
  // worth the name, so the Japanese one stands in.
  const QLocale locale = QLocale::system();
  const QDate date(t.year, t.month, t.day);
  if (locale.language() == QLocale::C)
    return date.toString(QStringLiteral("yyyy/MM/dd")).toStdString();
  return locale.toString(date, QLocale::ShortFormat).toStdString();
}

void QtPlatform::seedRandom(double secondsSinceMidnight) {
  rng_.seed(static_cast<uint64_t>(std::llround(secondsSinceMidnight * 1000.0)));
}

double QtPlatform::random() {
  return static_cast<double>(rng_() >> 11) * 0x1.0p-53;
}

std::vector<std::string> QtPlatform::listFiles() {
  if (!filesUsable_) return {};
  return posix::listFiles(".");
}
std::optional<std::string> QtPlatform::readFile(const std::string& name) {
  if (!filesUsable_) return std::nullopt;
  return posix::readFile(".", name);
}
bool QtPlatform::writeFileAtomic(const std::string& name, std::string_view bytes) {
  return filesUsable_ && posix::writeFileAtomic(".", name, bytes);
}
void QtPlatform::announce(std::string_view t) {
  if (onAnnounce_) onAnnounce_(t);
}
void QtPlatform::reportProblem(std::string_view t) {
  std::fprintf(stderr, "deskpet: %.*s\n", int(t.size()), t.data());
  if (onProblem_) onProblem_(t);
}

void QtPlatform::showControl(ControlId id, bool visible) {
  QWidget* w = widget(id);
  if (!w || w->isVisibleTo(w->parentWidget()) == visible) return;
  w->setVisible(visible);
  if (!isWindowLevel(id)) return;
  // Painted before the shape uncovers it, so no key colour flashes up.
  if (visible && window_->isVisible()) w->repaint();
  applyShape();
  updateFocusAcceptance();
}

void QtPlatform::moveControl(ControlId id, int32_t l, int32_t t) {
  QWidget* w = widget(id);
  if (!w || (w->x() == px(l) && w->y() == px(t))) return;
  w->move(px(l), px(t));
  if (!isWindowLevel(id) || !w->isVisible()) return;
  w->repaint();
  applyShape();
}

void QtPlatform::setCaption(ControlId id, std::string_view t) {
  QWidget* w = widget(id);
  if (auto* l = qobject_cast<QLabel*>(w))
    l->setText(text(t));
  else if (auto* b = qobject_cast<QPushButton*>(w))
    b->setText(text(t));
}

void QtPlatform::setEnabled(ControlId id, bool enabled) {
  if (QWidget* w = widget(id)) w->setEnabled(enabled);
}

void QtPlatform::setScrollRange(ControlId id, int16_t min, int16_t max) {
  auto* s = qobject_cast<QScrollBar*>(widget(id));
  if (!s) return;
  // A range alone raises no change event.
  const QSignalBlocker quiet(s);
  s->setRange(min, max);
}

void QtPlatform::setScrollValue(ControlId id, int16_t value) {
  if (auto* s = qobject_cast<QScrollBar*>(widget(id))) s->setValue(value);
}

void QtPlatform::setScrollSteps(ControlId id, int16_t smallChange, int16_t largeChange) {
  if (auto* s = qobject_cast<QScrollBar*>(widget(id))) {
    s->setSingleStep(smallChange);
    s->setPageStep(largeChange);
  }
}

int16_t QtPlatform::scrollValue(ControlId id) const {
  auto* s = qobject_cast<QScrollBar*>(widget(id));
  return s ? int16_t(s->value()) : 0;
}

void QtPlatform::listClear(ControlId id) {
  if (auto* l = qobject_cast<QListWidget*>(widget(id))) l->clear();
}

void QtPlatform::listAdd(ControlId id, std::string_view line) {
  if (auto* l = qobject_cast<QListWidget*>(widget(id))) {
    auto* item = new QListWidgetItem(text(line), l);
    item->setToolTip(item->text());
    l->setCurrentRow(-1);  // nothing looks chosen until the user chooses
  }
}

void QtPlatform::setFocus(ControlId id) {
  QWidget* w = widget(id);
  if (!w) return;
  if (acceptsFocus_) window_->activateWindow();
  w->setFocus(Qt::OtherFocusReason);
}

void QtPlatform::drawText(Image& image, int32_t x, int32_t y, double points, uint32_t rgb,
                          std::string_view t) {
  const int pixels = fontPixels(points);
  auto font = textFonts_.find(pixels);
  if (font == textFonts_.end()) font = textFonts_.emplace(pixels, mincho(pixels, false)).first;
  const QString s = text(t);
  QImage target(reinterpret_cast<uchar*>(image.data()), image.width(), image.height(),
                qsizetype(image.width()) * 4, QImage::Format_RGB32);
  const QFontMetrics fm(font->second);
  const QPoint baseline(x, y + fm.ascent());
  QRect touched(x, y, fm.horizontalAdvance(s), fm.height());
  touched |= fm.boundingRect(s).translated(baseline);
  touched &= QRect(0, 0, image.width(), image.height());
  // On a scaled screen the print is kept, to be printed sharp over the
  // scaled picture.
  const bool keep = scale_ > 1 && !touched.isEmpty();
  QImage before = keep ? printed_.background(image, touched) : QImage();
  {
    QPainter p(&target);
    p.setFont(font->second);
    p.setPen(QColor::fromRgb(QRgb(rgb)));
    p.drawText(baseline, s);
  }
  // The painter wrote opaque alpha; the core compares 0x00RRGGBB values.
  for (int row = touched.top(); row <= touched.bottom(); ++row) {
    uint32_t* p = image.row(row);
    for (int col = touched.left(); col <= touched.right(); ++col) p[col] &= 0x00FFFFFFu;
  }
  if (keep)
    printed_.add({&image, touched, std::move(before), wrap(image).copy(touched),
                  mincho(pixels, true), QColor::fromRgb(QRgb(rgb)), baseline, s});
}

void QtPlatform::presentOverlay(const Image& overlay, const std::vector<Rect>& changed) {
  std::vector<Rect> rects = changed;
  if (mask_.width() != overlay.width() || mask_.height() != overlay.height()) {
    mask_.reset(overlay.width(), overlay.height());
    rects.assign(1, Rect{0, 0, overlay.width(), overlay.height()});
  }
  window_->setPicture(&overlay);
  window_->setKey(key_);
  bool reshaped = false;
  QRegion dirty;
  for (const Rect& r : rects) {
    const Rect c = clipTo(r, overlay.width(), overlay.height());
    if (c.empty()) continue;
    reshaped |= mask_.update(overlay, c, key_);
    dirty += QRect(c.left, c.top, c.right - c.left, c.bottom - c.top);
    counters_.pixels += (long long)(c.right - c.left) * (c.bottom - c.top);
  }
  if (dirty.isEmpty() || hiddenFor_) return;
  ++counters_.presents;
  counters_.rects += long(rects.size());
  // The shape first, then at once the pixels: X keeps no pixels outside a
  // window's shape, so pixels painted before the shape grows over them would
  // wait for an expose round trip to show.
  if (reshaped) applyShape();
  window_->repaint(dirty);
}

void QtPlatform::showPicture(ControlId id, const Image& image) {
  if (PanelWidget* p = panels_[size_t(id)]) p->client()->setPicture(&image);
}

void QtPlatform::setIcons(const std::vector<const Image*>& icons) {
  QIcon icon;
  for (const Image* i : icons)
    icon.addPixmap(
        QPixmap::fromImage(QImage(reinterpret_cast<const uchar*>(i->data()), i->width(),
                                  i->height(), qsizetype(i->width()) * 4, QImage::Format_ARGB32)
                               .copy()));
  icon_ = icon;
  window_->setWindowIcon(icon_);
}

void QtPlatform::endProgram() {
  if (onEnd_) onEnd_();
  kwin_.reset();  // unloads the script
  std::fflush(stdout);
  std::fflush(stderr);
  // At once: the data file is either saved already or must stay as it is.
  std::_Exit(0);
}

std::vector<Rect> QtPlatform::visiblePanels() const {
  std::vector<Rect> out;
  for (const ControlSpec& c : kControls) {
    QWidget* w = widget(c.id);
    if (!isWindowLevel(c.id) || !w || !w->isVisibleTo(window_)) continue;
    const QRect g = w->geometry();
    out.push_back({g.left(), g.top(), g.left() + g.width(), g.top() + g.height()});
  }
  return out;
}

std::vector<BandRect> QtPlatform::scaled(const std::vector<BandRect>& rects) const {
  // Whole-number scaling keeps the bands banded.
  std::vector<BandRect> out(rects);
  for (BandRect& r : out) r = {r.x * scale_, r.y * scale_, r.w * scale_, r.h * scale_};
  return out;
}

void QtPlatform::applyShape() {
  if (!window_->testAttribute(Qt::WA_WState_Created)) return;
  if (hiddenFor_ && (noPets_.width() != mask_.width() || noPets_.height() != mask_.height()))
    noPets_.reset(mask_.width(), mask_.height());
  std::vector<BandRect> rects = (hiddenFor_ ? noPets_ : mask_).bands(visiblePanels());
  if (shapeSent_ && rects == sentShape_) return;
  const ShapeKind kind = window_->translucent() ? ShapeKind::Input : ShapeKind::Bounding;
  if (wayland_) {
    // The input region is in the window's own pixels, which are the core's.
    counters_.shapeRects += long(rects.size());
    WaylandOverlay::setInputRegion(window_, rects);
  } else if (choice_ == OverlayChoice::ShapeDiff && shapeSent_ && kind == ShapeKind::Bounding) {
    BandDiff diff = diffBands(sentShape_, rects);
    counters_.shapeRects += long(diff.added.size() + diff.removed.size());
    if (scale_ != 1) diff = {scaled(diff.added), scaled(diff.removed)};
    changeShape(window_, diff);
  } else {
    counters_.shapeRects += long(rects.size());
    if (scale_ == 1)
      setShape(window_, rects, kind);
    else
      setShape(window_, scaled(rects), kind);
  }
  ++counters_.shapes;
  sentShape_ = std::move(rects);
  shapeSent_ = true;
}

void QtPlatform::hideFor(unsigned reason, bool on) {
  const unsigned was = hiddenFor_;
  hiddenFor_ = on ? hiddenFor_ | reason : hiddenFor_ & ~reason;
  const bool hidden = hiddenFor_ != 0;
  if (hidden == (was != 0)) return;
  // A pet held as it disappears is let go where it is.
  drag_.clear();
  if (hidden && form_) form_->Form_MouseUp(1, 0, 0, 0);
  // The shape first, then the pixels (X keeps none outside the shape).
  applyShape();
  window_->setPictureHidden(hidden);
  if (!hidden) window_->repaint();
}

void QtPlatform::updateFocusAcceptance() {
  // The pets never take the keyboard from the user's work; a panel takes it
  // when it appears (for its buttons and for Escape) and gives it back to
  // the window that had it when the last one goes.
  bool any = false;
  for (const ControlSpec& c : kControls)
    if (isWindowLevel(c.id) && widget(c.id) && widget(c.id)->isVisibleTo(window_)) any = true;
  if (any == acceptsFocus_) return;
  acceptsFocus_ = any;
  QWindow* handle = window_->windowHandle();
  if (handle) handle->setFlag(Qt::WindowDoesNotAcceptFocus, !any);
  waylandOverlay_.setTakesKeyboard(any);
  if (!window_->isVisible()) return;  // showWindow takes it
  if (any) {
    handBack_.stop();
    takeFocus();
  } else {
    handBack_.start();
  }
}

void QtPlatform::handFocusBack() {
  if (acceptsFocus_) return;
  if (wayland_) {
    if (kwin_) kwin_->activatePrevious();
    return;
  }
  if (!focusOwner_) return;
  if (activeWindow() == unsigned(window_->winId())) activate(focusOwner_);
  focusOwner_ = 0;
}

void QtPlatform::takeFocus() {
  if (wayland_) {
    if (kwin_) kwin_->activateOverlay();
    return;
  }
  const unsigned int owner = activeWindow();
  if (owner != unsigned(window_->winId())) focusOwner_ = owner;
  window_->activateWindow();
}

void QtPlatform::afterTick() {
  // A few times a second: whether the active window is full screen, and
  // whether a compositor runs (without one the translucent window's
  // see-through pixels show black; with one the shaped window costs the X
  // server twice as much).
  if (++watchTicks_ >= kWatchTicks) {
    watchTicks_ = 0;
    if (choice_ == OverlayChoice::Auto && !wayland_) {
      const bool translucent = compositor_.poll();
      if (translucent != window_->translucent()) switchOverlay(translucent);
    }
    // Games, videos and slide shows full screen: the pets step aside.
    hideFor(kForFullScreen,
            kwin_ ? kwin_->fullScreenActive() : fullScreen_.poll(unsigned(window_->winId())));
    // A warp of the pointer by another program comes with no event.
    pointer_.look();
  }
  // Ticks that sample no cursor (the splash) still follow the pointer, so
  // that it settles and the last reading is good for ticks run late.
  if (!readThisTick_ && tickAge_ == 0 && !pointer_.settled()) cursorPos();
  readThisTick_ = false;
  if (form_)
    drag_.afterTick(
        [this](int b, int shift, int x, int y) { form_->Form_MouseMove(b, shift, x, y); });
}

void QtPlatform::onMouse(OverlayWindow::MouseKind kind, int button, int shift, QPoint pos) {
  if (!form_) return;
  const int x = pos.x() * kTwips, y = pos.y() * kTwips;
  // A warp over the window comes without a raw motion event.
  pointer_.moved();
  switch (kind) {
    case OverlayWindow::MouseKind::Down:
      form_->Form_MouseDown(button, shift, x, y);
      break;
    case OverlayWindow::MouseKind::Move:
      form_->Form_MouseMove(button, shift, x, y);
      drag_.moved(button, shift, x, y);
      break;
    case OverlayWindow::MouseKind::Up:
      drag_.clear();
      form_->Form_MouseUp(button, shift, x, y);
      break;
    case OverlayWindow::MouseKind::DoubleClick:
      // Without a tray icon, this is the way to the slot list.
      if (!trayShown_ && button == 1 && !form_->panelRequestsWait()) form_->requestPanel(200);
      break;
  }
}

}  // namespace pet::qt
