// The measure view: its painting into a bitmap, and the image control that shows the bitmap
// and reports the mouse in the bitmap's pixels.
#pragma once

#include <QImage>
#include <QWidget>
#include <functional>

#include "pattern/uPattern.h"
#include "platform/uColor.h"

QColor ToQColor(TColor color);

struct TMeasureColors {
  TColor fg = clBlack;  // line, ticks, outlines, playhead
  TColor bg = clWhite;  // background, inside of a silent note
  TColor ac = DefaultAccentColor;  // inside of a sounding note
};

// Paints the whole measure into the bitmap, first sized to width x height logical pixels
// (width * dpr x height * dpr device pixels, so lines stay sharp on scaled screens). A
// bitmap that has that size already is painted over in place.
void PaintMeasure(QImage& bitmap, int width, int height, qreal dpr, int tsCount, const TNotes& notes,
                  int notesIndex, const TMeasureColors& colors);
QImage PaintMeasure(int width, int height, qreal dpr, int tsCount, const TNotes& notes, int notesIndex,
                    const TMeasureColors& colors);

inline constexpr int PlayheadWidth = 3;

// Draws the playhead, PlayheadWidth pixels wide, over the column of sixteenth s.
void PaintPlayhead(QImage& bitmap, int tsCount, std::int64_t s, TColor color);

// The image control: shows its Picture and reports presses, moves and releases in image
// pixels. Qt grabs the mouse for the widget that got the press, so moves and the release
// arrive here also when the pointer has left the image. It takes the keyboard focus (by
// Tab or a click), shows that with a mark around its edge, and reports the keys that act
// on notes: Left, Right, Delete and Insert.
class TImage : public QWidget {
  Q_OBJECT
 public:
  explicit TImage(QWidget* parent = nullptr);

  const QImage& Picture() const { return FPicture; }
  // Draws on the picture in place, then shows it.
  void Draw(const std::function<void(QImage&)>& paint);
  // The colour of the focus mark: the accent, as the styles mark a focused control.
  void SetFocusColor(TColor color);

  // Width of the focus mark, drawn over the picture's edge and not into the picture.
  static constexpr int FocusMarkWidth = 2;

 signals:
  void MouseDown(Qt::MouseButton button, int x, int y);
  void MouseMove(int x, int y);
  void MouseUp(Qt::MouseButton button, int x, int y);
  void KeyDown(int key, Qt::KeyboardModifiers modifiers);
  void Resized();

 protected:
  void paintEvent(QPaintEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void focusInEvent(QFocusEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  QImage FPicture;
  TColor FFocusColor = DefaultAccentColor;
};
