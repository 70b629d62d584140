#include "platform/qt/x11_window.h"

#include <xcb/shape.h>
#include <xcb/xcb.h>
#include <xcb/xinput.h>

#include <QCoreApplication>
#include <QCursor>
#include <QGuiApplication>
#include <QWidget>
#include <cstdlib>
#include <string>

// Requests made on every tick or every few ticks are not flushed here: Qt
// flushes the connection each time its event loop is about to wait, so the
// requests of one tick reach the server in one write and their answers tend
// to come back together (one wake-up instead of several).

namespace pet::qt {

namespace {

xcb_connection_t* connection() {
  auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
  return x11 ? x11->connection() : nullptr;
}

xcb_atom_t atom(xcb_connection_t* c, const char* name) {
  auto cookie = xcb_intern_atom(c, 0, uint16_t(strlen(name)), name);
  xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(c, cookie, nullptr);
  if (!reply) return XCB_ATOM_NONE;
  xcb_atom_t a = reply->atom;
  std::free(reply);
  return a;
}

}  // namespace

bool onX11() {
  return connection() != nullptr;
}

void keepOutOfTaskbar(QWidget* window) {
  xcb_connection_t* c = connection();
  if (!c) return;
  const xcb_atom_t states[] = {atom(c, "_NET_WM_STATE_SKIP_TASKBAR"),
                               atom(c, "_NET_WM_STATE_SKIP_PAGER")};
  // Appended: Qt merges its own states (above) into the property when it maps
  // the window, and keeps what is already there.
  xcb_change_property(c, XCB_PROP_MODE_APPEND, xcb_window_t(window->winId()),
                      atom(c, "_NET_WM_STATE"), XCB_ATOM_ATOM, 32, 2, states);
  xcb_flush(c);
}

namespace {
xcb_window_t rootOf(xcb_connection_t* c) {
  return xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
}
}  // namespace

unsigned int activeWindow() {
  xcb_connection_t* c = connection();
  if (!c) return 0;
  auto cookie =
      xcb_get_property(c, 0, rootOf(c), atom(c, "_NET_ACTIVE_WINDOW"), XCB_ATOM_WINDOW, 0, 1);
  xcb_get_property_reply_t* r = xcb_get_property_reply(c, cookie, nullptr);
  if (!r) return 0;
  unsigned int w = 0;
  if (r->format == 32 && xcb_get_property_value_length(r) >= 4)
    w = *static_cast<const uint32_t*>(xcb_get_property_value(r));
  std::free(r);
  return w;
}

void activate(unsigned int window) {
  xcb_connection_t* c = connection();
  if (!c || !window) return;
  xcb_client_message_event_t e{};
  e.response_type = XCB_CLIENT_MESSAGE;
  e.format = 32;
  e.window = window;
  e.type = atom(c, "_NET_ACTIVE_WINDOW");
  e.data.data32[0] = 2;  // from a pager: the user's own choice, not an application's
  e.data.data32[1] = XCB_CURRENT_TIME;
  xcb_send_event(c, 0, rootOf(c),
                 XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                 reinterpret_cast<const char*>(&e));
  xcb_flush(c);
}

namespace {
// Banded order lets the server take the rectangles as they are; unsorted
// ones it sorts and merges on every change, which is where a shaped
// overlay's cost lies.
void sendShape(xcb_connection_t* c, QWidget* window, xcb_shape_op_t op, xcb_shape_kind_t kind,
               const std::vector<BandRect>& rects) {
  std::vector<xcb_rectangle_t> xr;
  xr.reserve(rects.size());
  for (const BandRect& r : rects)
    xr.push_back({int16_t(r.x), int16_t(r.y), uint16_t(r.w), uint16_t(r.h)});
  xcb_shape_rectangles(c, op, kind, XCB_CLIP_ORDERING_YX_BANDED, xcb_window_t(window->winId()), 0,
                       0, uint32_t(xr.size()), xr.data());
}
}  // namespace

void setShape(QWidget* window, const std::vector<BandRect>& rects, ShapeKind kind) {
  xcb_connection_t* c = connection();
  if (!c) return;
  // An input shape uncovers nothing, so the server repaints nothing beneath
  // when it changes.
  sendShape(c, window, XCB_SHAPE_SO_SET,
            kind == ShapeKind::Input ? XCB_SHAPE_SK_INPUT : XCB_SHAPE_SK_BOUNDING, rects);
}

void changeShape(QWidget* window, const BandDiff& diff) {
  xcb_connection_t* c = connection();
  if (!c) return;
  if (!diff.added.empty())
    sendShape(c, window, XCB_SHAPE_SO_UNION, XCB_SHAPE_SK_BOUNDING, diff.added);
  if (!diff.removed.empty())
    sendShape(c, window, XCB_SHAPE_SO_SUBTRACT, XCB_SHAPE_SK_BOUNDING, diff.removed);
}

CompositorWatch::~CompositorWatch() {
  xcb_connection_t* c = connection();
  if (pending_ && c) xcb_discard_reply(c, cookie_);
}

bool CompositorWatch::ask() {
  xcb_connection_t* c = connection();
  if (!c) return false;
  if (atom_ == XCB_ATOM_NONE) {
    char* host = nullptr;
    int display = 0, screen = 0;
    if (!xcb_parse_display(nullptr, &host, &display, &screen)) screen = 0;
    std::free(host);
    const std::string name = "_NET_WM_CM_S" + std::to_string(screen);
    atom_ = atom(c, name.c_str());
    if (atom_ == XCB_ATOM_NONE) return false;
  }
  cookie_ = xcb_get_selection_owner(c, atom_).sequence;
  pending_ = true;
  return true;
}

bool CompositorWatch::poll() {
  xcb_connection_t* c = connection();
  if (!c) return false;
  if (!pending_ && !ask()) return last_;
  if (xcb_get_selection_owner_reply_t* r =
          xcb_get_selection_owner_reply(c, xcb_get_selection_owner_cookie_t{cookie_}, nullptr)) {
    last_ = r->owner != XCB_WINDOW_NONE;
    std::free(r);
  }
  pending_ = false;
  ask();
  return last_;
}

bool CompositorWatch::now() {
  poll();  // the answer to an older question, if one was out
  return poll();
}

FullScreenWatch::~FullScreenWatch() {
  xcb_connection_t* c = connection();
  if (!c) return;
  if (activePending_) xcb_discard_reply(c, activeCookie_);
  if (statePending_) xcb_discard_reply(c, stateCookie_);
}

bool FullScreenWatch::poll(unsigned int own) {
  xcb_connection_t* c = connection();
  if (!c) return false;
  if (activeAtom_ == XCB_ATOM_NONE) {
    activeAtom_ = atom(c, "_NET_ACTIVE_WINDOW");
    stateAtom_ = atom(c, "_NET_WM_STATE");
    fullAtom_ = atom(c, "_NET_WM_STATE_FULLSCREEN");
  }
  if (statePending_) {
    statePending_ = false;
    last_ = false;
    if (xcb_get_property_reply_t* r =
            xcb_get_property_reply(c, xcb_get_property_cookie_t{stateCookie_}, nullptr)) {
      const auto* atoms = static_cast<const xcb_atom_t*>(xcb_get_property_value(r));
      const int n = r->format == 32 ? xcb_get_property_value_length(r) / 4 : 0;
      for (int i = 0; i < n; ++i) last_ |= atoms[i] == fullAtom_;
      std::free(r);
    }
  }
  if (activePending_) {
    activePending_ = false;
    xcb_window_t active = XCB_WINDOW_NONE;
    if (xcb_get_property_reply_t* r =
            xcb_get_property_reply(c, xcb_get_property_cookie_t{activeCookie_}, nullptr)) {
      if (r->format == 32 && xcb_get_property_value_length(r) >= 4)
        active = *static_cast<const xcb_window_t*>(xcb_get_property_value(r));
      std::free(r);
    }
    if (active != XCB_WINDOW_NONE && active != own) {
      stateCookie_ = xcb_get_property(c, 0, active, stateAtom_, XCB_ATOM_ATOM, 0, 64).sequence;
      statePending_ = true;
    } else {
      last_ = false;
    }
  }
  activeCookie_ = xcb_get_property(c, 0, rootOf(c), activeAtom_, XCB_ATOM_WINDOW, 0, 1).sequence;
  activePending_ = true;
  return last_;
}

PointerReader::~PointerReader() {
  if (started_ && QCoreApplication::instance())
    QCoreApplication::instance()->removeNativeEventFilter(this);
  xcb_connection_t* c = connection();
  if (pending_ && c) xcb_discard_reply(c, cookie_);
}

void PointerReader::watch() {
  started_ = true;
  xcb_connection_t* c = connection();
  const xcb_query_extension_reply_t* ext = xcb_get_extension_data(c, &xcb_input_id);
  if (!ext || !ext->present) return;
  inputOpcode_ = ext->major_opcode;
  QCoreApplication::instance()->installNativeEventFilter(this);
  // Qt has agreed on an XInput 2 version with the server already; raw events
  // go to the root window only, whichever window is under the pointer.
  struct {
    xcb_input_event_mask_t head;
    uint32_t bits;
  } mask{{XCB_INPUT_DEVICE_ALL_MASTER, 1}, XCB_INPUT_XI_EVENT_MASK_RAW_MOTION};
  xcb_generic_error_t* error =
      xcb_request_check(c, xcb_input_xi_select_events_checked(c, rootOf(c), 1, &mask.head));
  watching_ = error == nullptr;
  std::free(error);
}

bool PointerReader::nativeEventFilter(const QByteArray&, void* message, qintptr*) {
  const auto* e = static_cast<const xcb_ge_generic_event_t*>(message);
  if ((e->response_type & 0x7f) == XCB_GE_GENERIC && e->extension == inputOpcode_ &&
      e->event_type == XCB_INPUT_RAW_MOTION) {
    moved_ = true;
    if (onMoved_) onMoved_();
  }
  return false;
}

void PointerReader::told(QPoint p) {
  last_ = p;
  told_ = true;
  moved_ = true;
  if (onMoved_) onMoved_();
}

QPoint PointerReader::read() {
  xcb_connection_t* c = connection();
  if (!c) {
    // Told places are exact: no question is out that could still move it.
    moved_ = false;
    return told_ ? last_ : QCursor::pos();
  }
  if (!started_) watch();
  if (pending_) {
    pending_ = false;
    if (xcb_query_pointer_reply_t* r =
            xcb_query_pointer_reply(c, xcb_query_pointer_cookie_t{cookie_}, nullptr)) {
      last_ = QPoint(r->root_x, r->root_y);
      std::free(r);
    }
  }
  // A move seen now may have happened before the last reading's question
  // was answered, or its event may come just after this reading: asking
  // twice more after the last one seen catches the pointer where it stopped.
  if (moved_) askTicks_ = 3;
  moved_ = false;
  if (!watching_ || askTicks_ > 0) {
    if (askTicks_ > 0) --askTicks_;
    look();
  }
  return last_;
}

void PointerReader::look() {
  xcb_connection_t* c = connection();
  if (!c || pending_) return;
  cookie_ = xcb_query_pointer(c, rootOf(c)).sequence;
  pending_ = true;
  ++queries_;
}

}  // namespace pet::qt
