#include "platform/qt/x11_window.h"

#include <xcb/shape.h>
#include <xcb/xcb.h>

#include <QCursor>
#include <QGuiApplication>
#include <QWidget>
#include <cstdlib>

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

void setShape(QWidget* window, const std::vector<BandRect>& rects, ShapeKind kind) {
  xcb_connection_t* c = connection();
  if (!c) return;
  std::vector<xcb_rectangle_t> xr;
  xr.reserve(rects.size());
  for (const BandRect& r : rects)
    xr.push_back({int16_t(r.x), int16_t(r.y), uint16_t(r.w), uint16_t(r.h)});
  // Banded order lets the server take the rectangles as they are; unsorted
  // ones it sorts and merges on every change, which is where a shaped
  // overlay's cost lies. An input shape uncovers nothing, so the server
  // repaints nothing beneath when it changes.
  xcb_shape_rectangles(c, XCB_SHAPE_SO_SET,
                       kind == ShapeKind::Input ? XCB_SHAPE_SK_INPUT : XCB_SHAPE_SK_BOUNDING,
                       XCB_CLIP_ORDERING_YX_BANDED, xcb_window_t(window->winId()), 0, 0,
                       uint32_t(xr.size()), xr.data());
  xcb_flush(c);
}

PointerReader::~PointerReader() {
  xcb_connection_t* c = connection();
  if (pending_ && c) xcb_discard_reply(c, cookie_);
}

QPoint PointerReader::read() {
  xcb_connection_t* c = connection();
  if (!c) return QCursor::pos();
  const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
  if (!pending_) {
    cookie_ = xcb_query_pointer(c, root).sequence;
    pending_ = true;
  }
  if (xcb_query_pointer_reply_t* r =
          xcb_query_pointer_reply(c, xcb_query_pointer_cookie_t{cookie_}, nullptr)) {
    last_ = QPoint(r->root_x, r->root_y);
    std::free(r);
  }
  cookie_ = xcb_query_pointer(c, root).sequence;
  return last_;
}

}  // namespace pet::qt
