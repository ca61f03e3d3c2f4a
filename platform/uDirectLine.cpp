#include "platform/uDirectLine.h"

#include <QWindow>
#include <algorithm>

#if TAKTOLA_HAVE_XCB
#include "platform/uXcb.h"

namespace {

// The window's pixels are 32 bits, least significant byte first, red, green and blue in the
// low three bytes: QImage::Format_RGB32 as it lies in memory, and a colour's QRgb.
bool TakesRgb32(xcb_connection_t* c, xcb_window_t window, std::uint8_t& depth) {
  const xcb_setup_t* setup = xcb_get_setup(c);
  if (setup->image_byte_order != XCB_IMAGE_ORDER_LSB_FIRST) return false;
  const auto geometry = XcbReply(xcb_get_geometry_reply(c, xcb_get_geometry(c, window), nullptr));
  const auto attributes = XcbReply(xcb_get_window_attributes_reply(c, xcb_get_window_attributes(c, window), nullptr));
  if (!geometry || !attributes) return false;
  depth = geometry->depth;
  bool format = false;
  for (auto f = xcb_setup_pixmap_formats_iterator(setup); f.rem; xcb_format_next(&f))
    if (f.data->depth == depth) format = f.data->bits_per_pixel == 32 && f.data->scanline_pad == 32;
  if (!format) return false;
  for (auto s = xcb_setup_roots_iterator(setup); s.rem; xcb_screen_next(&s))
    for (auto d = xcb_screen_allowed_depths_iterator(s.data); d.rem; xcb_depth_next(&d))
      for (auto v = xcb_depth_visuals_iterator(d.data); v.rem; xcb_visualtype_next(&v))
        if (v.data->visual_id == attributes->visual)
          return v.data->_class == XCB_VISUAL_CLASS_TRUE_COLOR && v.data->red_mask == 0xFF0000 &&
                 v.data->green_mask == 0xFF00 && v.data->blue_mask == 0xFF;
  return false;
}

}  // namespace

struct TDirectLine::TState {
  xcb_connection_t* c = nullptr;
  xcb_window_t window = 0;
  std::uint8_t depth = 0;
  xcb_gcontext_t gc = 0;
  QRgb foreground = 0;
  xcb_pixmap_t picture = 0;
  QSize pictureSize;
  qint64 pictureKey = 0;
};

std::unique_ptr<TDirectLine> TDirectLine::For(const QWindow& window) {
  xcb_connection_t* c = XcbConnection();
  if (c == nullptr || window.handle() == nullptr) return nullptr;
  auto s = std::make_unique<TState>();
  s->c = c;
  s->window = static_cast<xcb_window_t>(window.winId());
  if (!TakesRgb32(c, s->window, s->depth)) return nullptr;
  // No GraphicsExpose or NoExpose event for each copy: they would wake Qt's event thread,
  // and then the window's, once more for every move.
  s->gc = xcb_generate_id(c);
  const std::uint32_t values[] = {0, 0};
  xcb_create_gc(c, s->gc, s->window, XCB_GC_FOREGROUND | XCB_GC_GRAPHICS_EXPOSURES, values);
  return std::unique_ptr<TDirectLine>(new TDirectLine(std::move(s)));
}

TDirectLine::TDirectLine(std::unique_ptr<TState> state) : S(std::move(state)) {}

TDirectLine::~TDirectLine() {
  // The connection ends with the application, and all it made with it.
  if (XcbConnection() != S->c) return;
  if (S->picture != 0) xcb_free_pixmap(S->c, S->picture);
  xcb_free_gc(S->c, S->gc);
  xcb_flush(S->c);
}

bool TDirectLine::DrawsOn(const QWindow& window) const {
  return window.handle() != nullptr && static_cast<xcb_window_t>(window.winId()) == S->window;
}

void TDirectLine::SetPicture(const QImage& picture) {
  if (picture.cacheKey() == S->pictureKey) return;
  const QImage rgb32 = picture.format() == QImage::Format_RGB32 ? picture : picture.convertToFormat(QImage::Format_RGB32);
  if (S->picture == 0 || S->pictureSize != rgb32.size()) {
    if (S->picture != 0) xcb_free_pixmap(S->c, S->picture);
    S->picture = xcb_generate_id(S->c);
    xcb_create_pixmap(S->c, S->depth, S->picture, S->window, static_cast<std::uint16_t>(rgb32.width()),
                      static_cast<std::uint16_t>(rgb32.height()));
  }
  // In bands of rows that each fit in a request.
  const std::size_t line = static_cast<std::size_t>(rgb32.bytesPerLine());
  const std::size_t room = static_cast<std::size_t>(xcb_get_maximum_request_length(S->c)) * 4 - 64;
  const int band = std::max(1, static_cast<int>(room / line));
  for (int y = 0; y < rgb32.height(); y += band) {
    const int rows = std::min(band, rgb32.height() - y);
    xcb_put_image(S->c, XCB_IMAGE_FORMAT_Z_PIXMAP, S->picture, S->gc, static_cast<std::uint16_t>(rgb32.width()),
                  static_cast<std::uint16_t>(rows), 0, static_cast<std::int16_t>(y), 0, S->depth,
                  static_cast<std::uint32_t>(line * rows), rgb32.constScanLine(y));
  }
  S->pictureSize = rgb32.size();
  S->pictureKey = picture.cacheKey();
}

void TDirectLine::Restore(QRect area, QPoint origin) {
  area &= QRect(QPoint(0, 0), S->pictureSize);
  if (S->picture == 0 || area.isEmpty()) return;
  xcb_copy_area(S->c, S->picture, S->window, S->gc, static_cast<std::int16_t>(area.x()),
                static_cast<std::int16_t>(area.y()), static_cast<std::int16_t>(origin.x() + area.x()),
                static_cast<std::int16_t>(origin.y() + area.y()), static_cast<std::uint16_t>(area.width()),
                static_cast<std::uint16_t>(area.height()));
}

void TDirectLine::Fill(QRect area, QPoint origin, QRgb color) {
  area &= QRect(QPoint(0, 0), S->pictureSize);
  if (area.isEmpty()) return;
  // The alpha byte set, as a 32-bit deep window takes it; a 24-bit one ignores it.
  const QRgb pixel = color | 0xFF000000u;
  if (pixel != S->foreground) {
    xcb_change_gc(S->c, S->gc, XCB_GC_FOREGROUND, &pixel);
    S->foreground = pixel;
  }
  const xcb_rectangle_t r{static_cast<std::int16_t>(origin.x() + area.x()), static_cast<std::int16_t>(origin.y() + area.y()),
                          static_cast<std::uint16_t>(area.width()), static_cast<std::uint16_t>(area.height())};
  xcb_poly_fill_rectangle(S->c, S->window, S->gc, 1, &r);
}

void TDirectLine::Flush() { xcb_flush(S->c); }

#else

struct TDirectLine::TState {};

std::unique_ptr<TDirectLine> TDirectLine::For(const QWindow&) { return nullptr; }
TDirectLine::TDirectLine(std::unique_ptr<TState> state) : S(std::move(state)) {}
TDirectLine::~TDirectLine() = default;
bool TDirectLine::DrawsOn(const QWindow&) const { return false; }
void TDirectLine::SetPicture(const QImage&) {}
void TDirectLine::Restore(QRect, QPoint) {}
void TDirectLine::Fill(QRect, QPoint, QRgb) {}
void TDirectLine::Flush() {}

#endif
