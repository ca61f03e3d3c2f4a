#include "ui/uMeasureView.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QTimer>
#include <QWindow>
#include <cmath>
#include <utility>

#include "pattern/uMeasureGeometry.h"
#include "platform/uDirectLine.h"
#include "platform/uWindowFrame.h"

QColor ToQColor(TColor color) { return QColor(RedOf(color), GreenOf(color), BlueOf(color)); }

namespace {

// Lines are filled rectangles on whole pixels: crisp, and exactly on the columns and rows
// the geometry names, whatever the painter's antialiasing.
void VerticalLine(QPainter& p, int x, int top, int bottom, int width, const QColor& color) {
  p.fillRect(QRect(x - (width - 1) / 2, top, width, bottom - top + 1), color);
}

// The playhead's pixels in a view `height` high: the bitmap's and the screen's alike.
QRect PlayheadStrip(int x, int height) { return QRect(x - (PlayheadWidth - 1) / 2, 0, PlayheadWidth, height); }

int PlayheadX(QSize size, int tsCount, std::int64_t s) {
  return SixteenthX(MeasureGeometry(size.width(), size.height(), tsCount).c, s);
}

}  // namespace

QImage PaintMeasure(int width, int height, qreal dpr, int tsCount, const TNotes& notes, int notesIndex,
                    const TMeasureColors& colors) {
  QImage bitmap;
  PaintMeasure(bitmap, width, height, dpr, tsCount, notes, notesIndex, colors);
  return bitmap;
}

void PaintMeasure(QImage& bitmap, int width, int height, qreal dpr, int tsCount, const TNotes& notes,
                  int notesIndex, const TMeasureColors& colors) {
  width = std::max(width, 1);
  height = std::max(height, 1);
  const QSize pixels(std::lround(width * dpr), std::lround(height * dpr));
  // Resizes and drags repaint the view many times a second: keep the bitmap's memory.
  if (bitmap.size() != pixels || bitmap.format() != QImage::Format_RGB32)
    bitmap = QImage(pixels, QImage::Format_RGB32);
  bitmap.setDevicePixelRatio(dpr);
  bitmap.fill(ToQColor(colors.bg));

  const TMeasureGeometry g = MeasureGeometry(width, height, tsCount);
  const QColor fg = ToQColor(colors.fg);
  QPainter p(&bitmap);
  p.fillRect(QRect(g.c, g.m, g.c * tsCount + 1, 1), fg);
  for (int k = 1; k <= tsCount + 1; ++k) VerticalLine(p, k * g.c, g.m - TickReach, g.m + TickReach, 1, fg);

  // Circles are smoothed; their centre sits on the middle of the tick's pixel column. The
  // outline is a disc in the line colour under a smaller one in the fill: the same picture
  // as a stroked circle, for a fraction of the work on every repaint while dragging.
  p.setRenderHint(QPainter::Antialiasing);
  p.setPen(Qt::NoPen);
  for (int i = 0; i < static_cast<int>(notes.size()); ++i) {
    const TNote& note = notes[i];
    const double halfPen = (i == notesIndex ? 5 : 2) / 2.0;
    const QPointF centre(SixteenthX(g.c, note.offset) + 0.5, g.m + 0.5);
    p.setBrush(fg);
    p.drawEllipse(centre, NoteRadius + halfPen, NoteRadius + halfPen);
    p.setBrush(ToQColor(note.loudness != 0.0f ? colors.ac : colors.bg));
    p.drawEllipse(centre, NoteRadius - halfPen, NoteRadius - halfPen);
  }
}

void PaintPlayhead(QImage& bitmap, int tsCount, std::int64_t s, TColor color) {
  const QSize size = bitmap.deviceIndependentSize().toSize();
  QPainter p(&bitmap);
  p.fillRect(PlayheadStrip(PlayheadX(size, tsCount, s), size.height()), ToQColor(color));
}

TImage::TImage(QWidget* parent) : QWidget(parent) {
  setAttribute(Qt::WA_OpaquePaintEvent);
  setFocusPolicy(Qt::StrongFocus);
}

TImage::~TImage() = default;

void TImage::SetFocusColor(TColor color) {
  FFocusColor = color;
  if (hasFocus()) QWidget::update();
}

void TImage::Draw(const std::function<void(QImage&)>& paint) {
  paint(FPicture);
  FMeasure.reset();
  FPlayhead.reset();
  QWidget::update();
}

bool TImage::ShowMeasure(int tsCount, const TNotes& notes, int notesIndex, const TMeasureColors& colors) {
  const QSize now = size();
  const qreal dpr = devicePixelRatioF();
  if (FMeasure && FMeasure->size == now && FMeasure->dpr == dpr && FMeasure->tsCount == tsCount &&
      FMeasure->notesIndex == notesIndex && FMeasure->colors == colors && FMeasure->notes == notes)
    return false;
  Draw([&](QImage& bitmap) {
    PaintMeasure(bitmap, now.width(), now.height(), dpr, tsCount, notes, notesIndex, colors);
  });
  FMeasure = TMeasure{now, dpr, tsCount, notes, notesIndex, colors};
  return true;
}

void TImage::ShowPlayhead(int tsCount, std::int64_t s, TColor color) {
  SetPlayhead(TPlayhead{PlayheadX(size(), tsCount, s), color});
}

void TImage::HidePlayhead() { SetPlayhead(std::nullopt); }

void TImage::SetPlayhead(std::optional<TPlayhead> playhead) {
  if (playhead == FPlayhead) return;
  const std::optional<TPlayhead> old = std::exchange(FPlayhead, playhead);
  const bool onScreen = IsOnScreen(window()->windowHandle());
  if (TDirectLine* line = DirectLine(true)) {
    // Qt's pixels never hold the playhead then: a window shown again gets it drawn anew.
    if (!onScreen) return;
    line->SetPicture(FPicture);
    if (old) line->Restore(LineArea(old->x), mapTo(window(), QPoint(0, 0)));
    DrawLine(*line);
    return;
  }
  // A hidden or minimised window ignores these, or keeps them until it is shown again; the
  // picture underneath is drawn already, so a tick only copies the strips from it.
  // One rectangle around both strips, not two: Qt paints a clip of two rectangles span by
  // span and hands the spans to its thread pool, which costs a tick several times more than
  // copying the few columns between them.
  QRect dirty;
  if (old) dirty = PlayheadStrip(old->x, height());
  if (playhead) dirty = dirty.united(PlayheadStrip(playhead->x, height()));
  if (dirty.isEmpty()) return;
  // Painted now, within the tick, when the window is on screen: a posted update would wake
  // the event loop once more for every frame.
  if (onScreen)
    QWidget::repaint(dirty);
  else
    QWidget::update(dirty);
}

TDirectLine* TImage::DirectLine(bool make) {
  const QWindow* const shown = window()->windowHandle();
  // A scaled window, or a picture for one, goes through Qt, which scales the playhead's
  // strips too; the line is kept for when the window is unscaled again.
  if (shown == nullptr || shown->devicePixelRatio() != 1.0 || FPicture.isNull() || FPicture.devicePixelRatio() != 1.0)
    return nullptr;
  if (FLine && FLine->DrawsOn(*shown)) return FLine.get();
  // Made at the first move, not with the first frame, and asked once for each window as
  // made: the answer costs round trips to the X server.
  if (!make || (!FLine && FNoLineOn == shown->winId())) return nullptr;
  FLine = TDirectLine::For(*shown);
  FNoLineOn = FLine ? 0 : shown->winId();
  // Its exposes show Qt's pixels, which have no playhead.
  if (FLine) window()->windowHandle()->installEventFilter(this);
  return FLine.get();
}

bool TImage::DrawsPlayheadDirectly() { return DirectLine(true) != nullptr; }

QRect TImage::LineArea(int x) const {
  const QRect strip = PlayheadStrip(x, height());
  if (!hasFocus()) return strip;
  const int m = FocusMarkWidth;
  return strip & rect().adjusted(m, m, -m, -m);
}

void TImage::QueueRedrawLine() {
  if (FRedrawQueued) return;
  FRedrawQueued = true;
  // After the event at hand: Qt shows its pixels when the paint or expose is done.
  QMetaObject::invokeMethod(this, &TImage::RedrawLine, Qt::QueuedConnection);
}

void TImage::RedrawLine() {
  FRedrawQueued = false;
  TDirectLine* const line = DirectLine(false);
  if (line != nullptr && IsOnScreen(window()->windowHandle())) DrawLine(*line);
}

void TImage::DrawLine(TDirectLine& line) {
  if (FPlayhead) line.Fill(LineArea(FPlayhead->x), mapTo(window(), QPoint(0, 0)), ToQColor(FPlayhead->color).rgb());
  line.Flush();
}

bool TImage::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::Expose && FPlayhead) QueueRedrawLine();
  return QWidget::eventFilter(watched, event);
}

void TImage::paintEvent(QPaintEvent* event) {
  // Qt clips the painter to the area asked for, so a tick copies only the playhead's strips.
  QPainter p(this);
  if (FPicture.deviceIndependentSize().toSize() != size()) p.fillRect(event->rect(), palette().window());
  p.drawImage(QPoint(0, 0), FPicture);
  if (FPlayhead) {
    const QRect strip = PlayheadStrip(FPlayhead->x, height());
    // Drawn onto the window once Qt has shown what is painted here.
    if (DirectLine(false) != nullptr)
      QueueRedrawLine();
    else if (event->rect().intersects(strip))
      p.fillRect(strip, ToQColor(FPlayhead->color));
  }
  // A picture drawn for another scale is sharp no more: the window moved to another screen,
  // or the screen's scale changed. Ask for it anew after this paint, once for each scale.
  const qreal dpr = devicePixelRatioF();
  if (!FPicture.isNull() && FPicture.devicePixelRatio() != dpr && FRedrawAskedFor != dpr) {
    FRedrawAskedFor = dpr;
    QTimer::singleShot(0, this, &TImage::Resized);
  }
  if (hasFocus()) {
    const int half = FocusMarkWidth / 2;
    p.setPen(QPen(ToQColor(FFocusColor), FocusMarkWidth));
    p.setBrush(Qt::NoBrush);
    p.drawRect(rect().adjusted(half, half, -half, -half));
  }
}

void TImage::keyPressEvent(QKeyEvent* e) {
  const Qt::KeyboardModifiers modifiers = e->modifiers() & ~Qt::KeypadModifier;
  const int key = e->key();
  const bool arrow = key == Qt::Key_Left || key == Qt::Key_Right;
  const bool edit = key == Qt::Key_Delete || key == Qt::Key_Insert;
  // Arrows alone or with Shift, Delete and Insert alone; anything else goes on to the window.
  if ((arrow && (modifiers == Qt::NoModifier || modifiers == Qt::ShiftModifier)) ||
      (edit && modifiers == Qt::NoModifier)) {
    emit KeyDown(key, modifiers);
    return;
  }
  QWidget::keyPressEvent(e);
}

void TImage::focusInEvent(QFocusEvent* e) {
  QWidget::focusInEvent(e);
  QWidget::update();
}

void TImage::focusOutEvent(QFocusEvent* e) {
  QWidget::focusOutEvent(e);
  QWidget::update();
}

namespace {
QPoint Pixel(const QMouseEvent* e) {
  return QPoint(static_cast<int>(std::floor(e->position().x())), static_cast<int>(std::floor(e->position().y())));
}
}  // namespace

void TImage::mousePressEvent(QMouseEvent* e) {
  const QPoint pt = Pixel(e);
  emit MouseDown(e->button(), pt.x(), pt.y());
}

void TImage::mouseMoveEvent(QMouseEvent* e) {
  const QPoint pt = Pixel(e);
  emit MouseMove(pt.x(), pt.y());
}

void TImage::mouseReleaseEvent(QMouseEvent* e) {
  const QPoint pt = Pixel(e);
  emit MouseUp(e->button(), pt.x(), pt.y());
}

void TImage::resizeEvent(QResizeEvent* e) {
  QWidget::resizeEvent(e);
  emit Resized();
}
