// A line drawn straight onto an X11 window, over a picture that the X server keeps: moving
// it costs two requests, a copy of the picture over the old line and a fill of the new one.
// The same move through Qt's backing store (paint, copy into the store, put-image, copy to
// the window) costs the program about twice the CPU, and the X server more too; the measure
// view's playhead moves 64 times a second at 240 BPM.
//
// Qt knows nothing of the line: whenever Qt shows its own pixels over the area (a repaint,
// an expose), the line is gone there, and the owner draws it again.
#pragma once

#include <QImage>
#include <QPoint>
#include <QRect>
#include <cstdint>
#include <memory>

class QWindow;

class TDirectLine {
 public:
  // None where it cannot draw: not on X11, a window not made yet, a screen whose pixels are
  // not 32-bit xRGB in the byte order of Qt's images. It draws in the window's device pixels,
  // which are Qt's logical ones only on an unscaled window: the caller keeps to those.
  static std::unique_ptr<TDirectLine> For(const QWindow& window);
  ~TDirectLine();
  TDirectLine(const TDirectLine&) = delete;
  TDirectLine& operator=(const TDirectLine&) = delete;

  // Whether it draws on this window as the window is made now (Qt makes a window anew, for
  // example, when its flags change).
  bool DrawsOn(const QWindow& window) const;

  // The picture under the line, in the X server from now on: a 32-bit image of device pixels.
  // Put there again only when its cache key differs from the one given last.
  void SetPicture(const QImage& picture);
  // Shows the picture again over `area` (picture pixels), the picture being shown at `origin`
  // of the window.
  void Restore(QRect area, QPoint origin);
  // Fills `area` (picture pixels) in a colour.
  void Fill(QRect area, QPoint origin, QRgb color);
  // Sends what was drawn to the X server.
  void Flush();

 private:
  struct TState;
  explicit TDirectLine(std::unique_ptr<TState> state);
  std::unique_ptr<TState> S;
};
