// The measure view: its painting into a bitmap, and the image control that shows the bitmap
// and reports the mouse in the bitmap's pixels.
#pragma once

#include <QImage>
#include <QWidget>
#include <functional>
#include <memory>
#include <optional>

#include "pattern/uPattern.h"
#include "platform/uColor.h"

class TDirectLine;

QColor ToQColor(TColor color);

struct TMeasureColors {
  TColor fg = clBlack;  // line, ticks, outlines, playhead
  TColor bg = clWhite;  // background, inside of a silent note
  TColor ac = DefaultAccentColor;  // inside of a sounding note
  bool operator==(const TMeasureColors&) const = default;
};

// Paints the whole measure into the bitmap, first sized to width x height logical pixels
// (width * dpr x height * dpr device pixels, so lines stay sharp on scaled screens). A
// bitmap that has that size already is painted over in place.
void PaintMeasure(QImage& bitmap, int width, int height, qreal dpr, int tsCount, const TNotes& notes,
                  int notesIndex, const TMeasureColors& colors);
QImage PaintMeasure(int width, int height, qreal dpr, int tsCount, const TNotes& notes, int notesIndex,
                    const TMeasureColors& colors);

inline constexpr int PlayheadWidth = 3;

// Draws the playhead, PlayheadWidth pixels wide, over the column of sixteenth s: the same
// pixels as TImage shows over its picture.
void PaintPlayhead(QImage& bitmap, int tsCount, std::int64_t s, TColor color);

// The image control: shows its Picture, with the playhead over it while one is shown, and
// reports presses, moves and releases in image pixels. Qt grabs the mouse for the widget
// that got the press, so moves and the release arrive here also when the pointer has left
// the image. It takes the keyboard focus (by Tab or a click), shows that with a mark around
// its edge, and reports the keys that act on notes: Left, Right, Delete and Insert.
class TImage : public QWidget {
  Q_OBJECT
 public:
  explicit TImage(QWidget* parent = nullptr);
  ~TImage() override;

  // The measure alone: the playhead is drawn over it on the screen, never into it.
  const QImage& Picture() const { return FPicture; }
  // Draws on the picture in place, then shows it, without the playhead: a picture drawn
  // anew covers the playhead until the next ShowPlayhead, as one painted over it would.
  void Draw(const std::function<void(QImage&)>& paint);
  // Draws the measure as PaintMeasure does, at the control's size and its screen's scale,
  // when any of these differs from the last measure drawn; else it keeps the picture shown
  // and costs a comparison. True when it drew.
  bool ShowMeasure(int tsCount, const TNotes& notes, int notesIndex, const TMeasureColors& colors);
  // Shows the playhead over the column of sixteenth s, as PaintPlayhead draws it. Only the
  // strips it leaves and enters are repainted, and nothing when it stays where it is.
  void ShowPlayhead(int tsCount, std::int64_t s, TColor color);
  void HidePlayhead();
  // The colour of the focus mark: the accent, as the styles mark a focused control.
  void SetFocusColor(TColor color);

  // Width of the focus mark, drawn over the picture's edge and not into the picture.
  static constexpr int FocusMarkWidth = 2;

  // On an X11 screen the playhead is drawn straight onto the window, and a move repaints
  // nothing through Qt: true while it is.
  bool DrawsPlayheadDirectly();

 signals:
  void MouseDown(Qt::MouseButton button, int x, int y);
  void MouseMove(int x, int y);
  void MouseUp(Qt::MouseButton button, int x, int y);
  void KeyDown(int key, Qt::KeyboardModifiers modifiers);
  // The picture must be drawn anew: the control's size changed, or its screen's scale.
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
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  struct TPlayhead {
    int x = 0;  // the middle column, in logical pixels
    TColor color = clBlack;
    bool operator==(const TPlayhead&) const = default;
  };
  void SetPlayhead(std::optional<TPlayhead> playhead);
  // The line on the window, where it can be drawn directly now; made only when `make`.
  TDirectLine* DirectLine(bool make);
  // The playhead's pixels that the direct line covers: all the strip but the focus mark.
  QRect LineArea(int x) const;
  // Fills the playhead's line, if one is shown, and sends what was drawn.
  void DrawLine(TDirectLine& line);
  // Draws the playhead directly again, after Qt showed its own pixels over the view.
  void RedrawLine();
  void QueueRedrawLine();

  // What the picture shows, when ShowMeasure drew it.
  struct TMeasure {
    QSize size;
    qreal dpr = 1;
    int tsCount = 0;
    TNotes notes;
    int notesIndex = -1;
    TMeasureColors colors;
  };

  QImage FPicture;
  std::optional<TMeasure> FMeasure;
  std::optional<TPlayhead> FPlayhead;
  TColor FFocusColor = DefaultAccentColor;
  qreal FRedrawAskedFor = 0;  // the scale a new picture was last asked for
  std::unique_ptr<TDirectLine> FLine;
  WId FNoLineOn = 0;  // the window made last on which no line can be drawn
  bool FRedrawQueued = false;
};
