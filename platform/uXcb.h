// Qt's own connection to the X server, and the replies it hands out, for the few things Qt
// does not do itself. Included only where xcb is (TAKTOLA_HAVE_XCB).
#pragma once

#include <xcb/xcb.h>

#include <QGuiApplication>
#include <cstdlib>
#include <memory>

// The application's X connection; none on another platform or without an application.
inline xcb_connection_t* XcbConnection() {
  const auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
  return x11 ? x11->connection() : nullptr;
}

// A reply of xcb's, which the caller frees with free().
template <typename T>
using TXcbReply = std::unique_ptr<T, decltype(&std::free)>;

template <typename T>
TXcbReply<T> XcbReply(T* reply) {
  return TXcbReply<T>(reply, &std::free);
}
