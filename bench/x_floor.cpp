// The least any X client can pay to move a playhead 64 times a second, the floor under
// TAKTOLA's cost while playing and under the X server's: no toolkit, the picture kept in the
// X server (a pixmap), and a thread of its own that sleeps to the exact time of each move and
// sends two requests for it, the old line's strip copied back from the pixmap and the new
// line filled (bench/floor_playhead.h). bench/qt_floor.sh runs it beside TAKTOLA.
#include <xcb/xcb.h>

#include <cstdio>
#include <ctime>
#include <thread>

#include "floor_playhead.h"

using namespace FloorPlayhead;

int main() {
  xcb_connection_t* const c = xcb_connect(nullptr, nullptr);
  if (xcb_connection_has_error(c) != 0) {
    std::fprintf(stderr, "x_floor: no X display\n");
    return 1;
  }
  const xcb_screen_t* const screen = xcb_setup_roots_iterator(xcb_get_setup(c)).data;
  const xcb_window_t window = xcb_generate_id(c);
  const uint32_t background[] = {screen->white_pixel};
  xcb_create_window(c, screen->root_depth, window, screen->root, 0, 0, Width, Height, 0,
                    XCB_WINDOW_CLASS_INPUT_OUTPUT, screen->root_visual, XCB_CW_BACK_PIXEL, background);
  // The picture: white, with the time line, drawn once.
  const xcb_pixmap_t picture = xcb_generate_id(c);
  xcb_create_pixmap(c, screen->root_depth, picture, window, Width, Height);
  const xcb_gcontext_t white = xcb_generate_id(c);
  xcb_create_gc(c, white, picture, XCB_GC_FOREGROUND, background);
  const xcb_gcontext_t black = xcb_generate_id(c);
  const uint32_t foreground[] = {screen->black_pixel};
  xcb_create_gc(c, black, picture, XCB_GC_FOREGROUND, foreground);
  const xcb_rectangle_t all{0, 0, Width, Height};
  xcb_poly_fill_rectangle(c, picture, white, 1, &all);
  const xcb_rectangle_t timeLine{BeatWidth, Height / 2, Width - 2 * BeatWidth, 1};
  xcb_poly_fill_rectangle(c, picture, black, 1, &timeLine);
  xcb_map_window(c, window);
  xcb_copy_area(c, picture, window, white, 0, 0, 0, 0, Width, Height);
  xcb_flush(c);

  // No events are selected, so nothing waits for them: a thread waiting on the connection
  // would be woken by every request the mover sends.
  std::thread mover([&] {
    timespec at{};
    clock_gettime(CLOCK_MONOTONIC, &at);
    for (int sixteenth = 0;; sixteenth = (sixteenth + 1) % Sixteenths) {
      at.tv_nsec += 1'000'000'000L / MovesPerSecond;
      if (at.tv_nsec >= 1'000'000'000L) {
        at.tv_nsec -= 1'000'000'000L;
        ++at.tv_sec;
      }
      clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &at, nullptr);
      const auto old = static_cast<int16_t>(LineLeft(sixteenth));
      xcb_copy_area(c, picture, window, white, old, 0, old, 0, LineWidth, Height);
      const xcb_rectangle_t line{static_cast<int16_t>(LineLeft((sixteenth + 1) % Sixteenths)), 0, LineWidth, Height};
      xcb_poly_fill_rectangle(c, window, black, 1, &line);
      xcb_flush(c);
    }
  });
  mover.join();  // never returns: ended by a signal
}
