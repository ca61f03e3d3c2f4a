#include "platform/uWindowFrame.h"

#include <QGuiApplication>
#include <QWindow>
#include <cmath>
#include <memory>

#if TAKTOLA_HAVE_XCB
#include <xcb/xcb.h>
#endif

std::optional<QMargins> ReportedFrame(const QWindow& window) {
#if TAKTOLA_HAVE_XCB
  const auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
  if (x11 == nullptr || x11->connection() == nullptr) return std::nullopt;
  xcb_connection_t* connection = x11->connection();
  const auto release = [](void* reply) { std::free(reply); };
  static const xcb_atom_t extents = [&] {
    constexpr char Name[] = "_NET_FRAME_EXTENTS";
    const std::unique_ptr<xcb_intern_atom_reply_t, decltype(release)> reply(
        xcb_intern_atom_reply(connection, xcb_intern_atom(connection, 0, sizeof Name - 1, Name), nullptr), release);
    return reply ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
  }();
  if (extents == XCB_ATOM_NONE) return std::nullopt;
  const std::unique_ptr<xcb_get_property_reply_t, decltype(release)> reply(
      xcb_get_property_reply(connection,
                             xcb_get_property(connection, 0, static_cast<xcb_window_t>(window.winId()), extents,
                                              XCB_ATOM_CARDINAL, 0, 4),
                             nullptr),
      release);
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
