#include "platform/uWindowFrame.h"

#include <QGuiApplication>
#include <QWindow>
#include <cmath>
#include <memory>

#if TAKTOLA_HAVE_XCB
#include "platform/uXcb.h"
#endif

std::optional<QMargins> ReportedFrame(const QWindow& window) {
#if TAKTOLA_HAVE_XCB
  xcb_connection_t* const connection = XcbConnection();
  if (connection == nullptr) return std::nullopt;
  static const xcb_atom_t extents = [&] {
    constexpr char Name[] = "_NET_FRAME_EXTENTS";
    const auto reply =
        XcbReply(xcb_intern_atom_reply(connection, xcb_intern_atom(connection, 0, sizeof Name - 1, Name), nullptr));
    return reply ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
  }();
  if (extents == XCB_ATOM_NONE) return std::nullopt;
  const auto reply = XcbReply(xcb_get_property_reply(
      connection,
      xcb_get_property(connection, 0, static_cast<xcb_window_t>(window.winId()), extents, XCB_ATOM_CARDINAL, 0, 4),
      nullptr));
  if (!reply || reply->type != XCB_ATOM_CARDINAL || reply->format != 32 || xcb_get_property_value_length(reply.get()) != 16)
    return std::nullopt;
  // left, right, top, bottom, in device pixels
  const auto* sides = static_cast<const std::uint32_t*>(xcb_get_property_value(reply.get()));
  const double ratio = window.devicePixelRatio();
  const auto scaled = [&](std::uint32_t side) { return static_cast<int>(std::lround(side / ratio)); };
  return QMargins(scaled(sides[0]), scaled(sides[2]), scaled(sides[1]), scaled(sides[3]));
#else
  (void)window;
  return std::nullopt;
#endif
}

bool IsOnScreen(const QWindow* window) {
  return window != nullptr && window->isExposed();
}
