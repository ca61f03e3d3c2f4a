// Pixels of the measure bitmap: where the line, ticks, notes and playhead fall, in which colour;
// and the view on the screen: what it repaints when the playhead moves, and what it shows.
#include <gtest/gtest.h>

#include <QPaintEvent>
#include <QScreen>
#include <QSignalSpy>
#include <QTest>
#include <QWindow>

#include "pattern/uMeasureGeometry.h"
#include "qt_printers.h"
#include "screen_pixels.h"
#include "ui/uMeasureView.h"

inline void PrintTo(const QRegion& region, std::ostream* os) {
  for (const QRect& r : region) *os << "[" << r << "]";
}

namespace {

constexpr TMeasureColors Colors{clBlack, clWhite, RGBColor(0, 120, 212)};

QRgb Rgb(TColor c) { return qRgb(RedOf(c), GreenOf(c), BlueOf(c)); }

class Measure458x166 : public testing::Test {
 protected:
  static constexpr int W = 458, H = 166, C = 76, M = 83;
  QImage Paint(const TNotes& notes, int selected = -1) { return PaintMeasure(W, H, 1.0, 4, notes, selected, Colors); }
  static QRgb At(const QImage& img, int x, int y) { return img.pixel(x, y) & 0xFFFFFF; }
};

TEST_F(Measure458x166, LineAndTicksOnTheirPixels) {
  const QImage img = Paint({});
  ASSERT_EQ(img.size(), QSize(W, H));
  const QRgb fg = Rgb(Colors.fg) & 0xFFFFFF, bg = Rgb(Colors.bg) & 0xFFFFFF;
  for (int x : {76, 152, 228, 304, 380}) {
    SCOPED_TRACE(x);
    for (int y : {M - 20, M - 10, M + 10, M + 20}) EXPECT_EQ(At(img, x, y), fg) << y;
    EXPECT_EQ(At(img, x, M - 21), bg);
    EXPECT_EQ(At(img, x, M + 21), bg);
    EXPECT_EQ(At(img, x - 1, M - 10), bg);
    EXPECT_EQ(At(img, x + 1, M - 10), bg);
  }
  // Only those five columns carry a tick.
  int tickColumns = 0;
  for (int x = 0; x < W; ++x) tickColumns += At(img, x, M - 10) == fg;
  EXPECT_EQ(tickColumns, 5);
  // The line: row m from the first tick to the last, nothing above or below it.
  for (int x : {76, 77, 100, 200, 379, 380}) EXPECT_EQ(At(img, x, M), fg) << x;
  for (int x : {100, 200}) {
    EXPECT_EQ(At(img, x, M - 1), bg);
    EXPECT_EQ(At(img, x, M + 1), bg);
  }
  EXPECT_EQ(At(img, 75, M), bg);
  EXPECT_EQ(At(img, 381, M), bg);
  EXPECT_EQ(At(img, 0, 0), bg);
}

TEST_F(Measure458x166, DefaultNotesCentredOnTheBeats) {
  const QImage img = Paint(DefaultNotes(4));
  const QRgb fg = Rgb(Colors.fg) & 0xFFFFFF, ac = Rgb(Colors.ac) & 0xFFFFFF, bg = Rgb(Colors.bg) & 0xFFFFFF;
  for (int x : {76, 152, 228, 304}) {
    SCOPED_TRACE(x);
    EXPECT_EQ(At(img, x, M), ac);  // the fill covers the line and the tick
    EXPECT_EQ(At(img, x - 6, M - 6), ac);
    // The 2-pixel outline at radius 12, the same on all four sides.
    EXPECT_EQ(At(img, x, M - 12), fg);
    EXPECT_EQ(At(img, x, M + 12), fg);
    EXPECT_EQ(At(img, x - 12, M), fg);
    EXPECT_EQ(At(img, x + 12, M), fg);
    EXPECT_EQ(At(img, x, M - 10), ac);
    EXPECT_EQ(At(img, x + 5, M - 15), bg);
  }
  // The end of the measure carries no note by default.
  EXPECT_EQ(At(img, 380, M - 10), fg);
  EXPECT_EQ(At(img, 375, M - 5), bg);
}

TEST_F(Measure458x166, SelectedNoteHasTheThickOutline) {
  const QImage img = Paint(DefaultNotes(4), 1);
  const QRgb fg = Rgb(Colors.fg) & 0xFFFFFF, ac = Rgb(Colors.ac) & 0xFFFFFF;
  EXPECT_EQ(At(img, 152, M - 10), fg);  // width 5 reaches in to radius 9.5
  EXPECT_EQ(At(img, 152, M - 14), fg);
  EXPECT_EQ(At(img, 76, M - 10), ac);   // the others keep width 2
  EXPECT_EQ(At(img, 228, M - 10), ac);
}

TEST_F(Measure458x166, SilentNoteFilledWithTheBackground) {
  TNotes notes{DefaultNote(8), DefaultNote(1)};
  notes[0].loudness = 0.0f;
  notes[1].n_type = 3;  // a spoken count shows its loudness just the same
  notes[1].loudness = 0.0f;
  const QImage img = Paint(notes);
  EXPECT_EQ(At(img, 114, M - 5), Rgb(Colors.bg) & 0xFFFFFF);
  EXPECT_EQ(At(img, 114, M - 12), Rgb(Colors.fg) & 0xFFFFFF);
  EXPECT_EQ(At(img, 80, M - 5), Rgb(Colors.bg) & 0xFFFFFF);
}

TEST_F(Measure458x166, LaterNotesCoverEarlierOnes) {
  TNotes notes{DefaultNote(16), DefaultNote(16)};
  notes[1].loudness = 0.0f;
  EXPECT_EQ(At(Paint(notes), 152, M - 5), Rgb(Colors.bg) & 0xFFFFFF);
  std::swap(notes[0], notes[1]);
  EXPECT_EQ(At(Paint(notes), 152, M - 5), Rgb(Colors.ac) & 0xFFFFFF);
}

TEST_F(Measure458x166, PlayheadThreePixelsWideOverTheNotes) {
  QImage img = Paint(DefaultNotes(4));
  PaintPlayhead(img, 4, 8, Colors.fg);  // sixteenth 8: x = 114
  const QRgb fg = Rgb(Colors.fg) & 0xFFFFFF, bg = Rgb(Colors.bg) & 0xFFFFFF;
  for (int y : {0, 40, M, H - 1}) {
    EXPECT_EQ(At(img, 113, y), fg) << y;
    EXPECT_EQ(At(img, 114, y), fg) << y;
    EXPECT_EQ(At(img, 115, y), fg) << y;
    EXPECT_EQ(At(img, 112, y == M ? 0 : y), bg) << y;
    EXPECT_EQ(At(img, 116, y == M ? 0 : y), bg) << y;
  }
  PaintPlayhead(img, 4, 0, Colors.fg);  // over the first note
  EXPECT_EQ(At(img, 77, M - 5), fg);
}

TEST(MeasureColors, DarkAndScaled) {
  const TMeasureColors dark{clWhite, clBlack, RGBColor(200, 10, 30)};
  const QImage img = PaintMeasure(458, 166, 2.0, 4, DefaultNotes(4), -1, dark);
  // Twice the device pixels, the same picture.
  ASSERT_EQ(img.size(), QSize(916, 332));
  EXPECT_EQ(img.pixel(2 * 76, 2 * 83) & 0xFFFFFF, qRgb(200, 10, 30) & 0xFFFFFF);
  EXPECT_EQ(img.pixel(2 * 380, 2 * 70) & 0xFFFFFF, 0xFFFFFFu);
  EXPECT_EQ(img.pixel(2 * 380 + 1, 2 * 70) & 0xFFFFFF, 0xFFFFFFu);
  EXPECT_EQ(img.pixel(2 * 380 + 2, 2 * 70) & 0xFFFFFF, 0u);
}

// ---- The view on the screen ------------------------------------------------------------------

// The areas of the paint events a widget got.
struct TPaintLog : QObject {
  std::vector<QRegion> regions;
  bool eventFilter(QObject*, QEvent* e) override {
    if (e->type() == QEvent::Paint) regions.push_back(static_cast<QPaintEvent*>(e)->region());
    return false;
  }
};

class MeasureOnScreen : public testing::Test {
 protected:
  static constexpr int W = 458, H = 166;
  void SetUp() override {
    view.resize(W, H);
    view.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
    // The window alone is active, so its one control has the focus: without it, the view
    // shows no mark over the picture.
    view.clearFocus();
    view.ShowMeasure(4, notes, 1, Colors);
    FlushRepaints();
    view.installEventFilter(&log);
  }
  // The screen before: the measure, then the playhead painted into the same bitmap.
  QImage Before(std::optional<std::int64_t> s, const TMeasureColors& colors = Colors) {
    QImage img = PaintMeasure(W, H, 1.0, 4, notes, 1, colors);
    if (s) PaintPlayhead(img, 4, *s, colors.fg);
    return img;
  }
  static QRegion Strip(int x) { return QRegion(x - 1, 0, PlayheadWidth, H); }

  const TNotes notes = DefaultNotes(4);
  TImage view;
  TPaintLog log;
};

// Where the view cannot draw the playhead onto the window itself (Qt's offscreen screen, a
// scaled one, Wayland), Qt paints every move.
TEST_F(MeasureOnScreen, APlayheadMoveRepaintsOnlyTheRectangleAroundItsOldAndNewStrips) {
  if (view.DrawsPlayheadDirectly()) GTEST_SKIP() << "the playhead is drawn onto the window";
  const qint64 measure = view.Picture().cacheKey();
  view.ShowPlayhead(4, 8, Colors.fg);  // x = 114
  FlushRepaints();
  ASSERT_EQ(log.regions.size(), 1u);
  EXPECT_EQ(log.regions[0], Strip(114));
  view.ShowPlayhead(4, 40, Colors.fg);  // x = 76 + 190 = 266
  FlushRepaints();
  ASSERT_EQ(log.regions.size(), 2u);
  // One rectangle: a clip of two would send Qt's painting span by span through its threads.
  EXPECT_EQ(log.regions[1], QRegion(Strip(114).boundingRect().united(Strip(266).boundingRect())));
  EXPECT_EQ(log.regions[1].rectCount(), 1);
  // The same sixteenth again, or the same measure: nothing to repaint.
  view.ShowPlayhead(4, 40, Colors.fg);
  view.ShowMeasure(4, notes, 1, Colors);
  FlushRepaints();
  EXPECT_EQ(log.regions.size(), 2u);
  // In another colour it is repainted where it stands.
  view.ShowPlayhead(4, 40, clWhite);
  FlushRepaints();
  ASSERT_EQ(log.regions.size(), 3u);
  EXPECT_EQ(log.regions[2], Strip(266));
  view.HidePlayhead();
  FlushRepaints();
  ASSERT_EQ(log.regions.size(), 4u);
  EXPECT_EQ(log.regions[3], Strip(266));
  // The measure itself was painted once, before all this.
  EXPECT_EQ(view.Picture().cacheKey(), measure);
}

TEST_F(MeasureOnScreen, APlayheadMoveIsPaintedWithinTheCallNotAfterAPostedEvent) {
  if (view.DrawsPlayheadDirectly()) GTEST_SKIP() << "the playhead is drawn onto the window";
  // One wake of the event loop per frame: the tick itself paints.
  view.ShowPlayhead(4, 8, Colors.fg);
  ASSERT_EQ(log.regions.size(), 1u);
  EXPECT_EQ(log.regions[0], Strip(114));
  EXPECT_TRUE(SamePixels(Shown(&view), Before(8)));
}

// On an X11 screen (run by with_window_manager.sh) a move is two requests to the X server,
// drawn within the call: Qt paints nothing, and the window shows the line at once.
TEST_F(MeasureOnScreen, OnAnX11ScreenAMoveIsDrawnOntoTheWindowWithoutQtPainting) {
  if (QGuiApplication::platformName() != "xcb") GTEST_SKIP() << "not on an X11 screen";
  ASSERT_TRUE(view.DrawsPlayheadDirectly());
  for (const std::int64_t s : {8, 9, 40, 63, 0}) {
    SCOPED_TRACE(s);
    view.ShowPlayhead(4, s, Colors.fg);
    // Straight from the X server, with no event handled in between.
    const QImage shown = view.screen()->grabWindow(view.winId(), 0, 0, W, H).toImage();
    EXPECT_TRUE(SamePixels(shown, Before(s)));
  }
  view.HidePlayhead();
  EXPECT_TRUE(SamePixels(Shown(&view), Before(std::nullopt)));
  EXPECT_TRUE(log.regions.empty());
  // A picture drawn anew is the one the next moves put back.
  view.ShowMeasure(4, notes, 2, Colors);
  FlushRepaints();
  for (const std::int64_t s : {8, 12}) view.ShowPlayhead(4, s, Colors.fg);
  QImage expected = PaintMeasure(W, H, 1.0, 4, notes, 2, Colors);
  PaintPlayhead(expected, 4, 12, Colors.fg);
  EXPECT_TRUE(SamePixels(Shown(&view), expected));
}

// Qt's own pixels shown over the view, by a repaint or when a window over it goes away, have
// no playhead where it is drawn onto the window; it is drawn again after them.
TEST_F(MeasureOnScreen, ThePlayheadOutlastsQtShowingItsPixelsOverIt) {
  view.ShowPlayhead(4, 8, Colors.fg);
  view.repaint();
  EXPECT_TRUE(ShownSoon(&view, Before(8)));
  // A pop-up over the view, then gone: the X server asks the window for those pixels again.
  QWidget popup(nullptr, Qt::ToolTip);
  popup.setGeometry(QRect(view.mapToGlobal(QPoint(60, 0)), QSize(120, H)));
  popup.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&popup));
  view.ShowPlayhead(4, 9, Colors.fg);
  popup.hide();
  EXPECT_TRUE(ShownSoon(&view, Before(9)));
}

TEST_F(MeasureOnScreen, AChangedMeasureIsDrawnAnewAndWhole) {
  view.ShowPlayhead(4, 8, Colors.fg);
  FlushRepaints();
  log.regions.clear();
  const qint64 before = view.Picture().cacheKey();
  view.ShowMeasure(4, notes, 2, Colors);  // another note selected
  FlushRepaints();
  EXPECT_NE(view.Picture().cacheKey(), before);
  ASSERT_EQ(log.regions.size(), 1u);
  EXPECT_EQ(log.regions[0], QRegion(0, 0, W, H));
  // As a measure painted over it would, the new picture covers the playhead till the next tick.
  EXPECT_TRUE(SamePixels(Shown(&view), PaintMeasure(W, H, 1.0, 4, notes, 2, Colors)));
  for (const TMeasureColors& colors : {TMeasureColors{clWhite, clBlack, Colors.ac}, Colors}) {
    const qint64 key = view.Picture().cacheKey();
    view.ShowMeasure(4, notes, 2, colors);
    EXPECT_NE(view.Picture().cacheKey(), key);
  }
  const qint64 key = view.Picture().cacheKey();
  view.resize(W + 10, H);
  view.ShowMeasure(4, notes, 2, Colors);
  EXPECT_NE(view.Picture().cacheKey(), key);
  EXPECT_EQ(view.Picture().size(), QSize(W + 10, H));
}

TEST_F(MeasureOnScreen, ShowsWhatTheBitmapShowedInEitherColours) {
  const TMeasureColors dark{clWhite, clBlack, RGBColor(200, 10, 30)};
  for (const TMeasureColors& colors : {Colors, dark}) {
    SCOPED_TRACE(colors.fg == clBlack ? "light" : "dark");
    view.ShowMeasure(4, notes, 1, colors);
    EXPECT_TRUE(SamePixels(Shown(&view), Before(std::nullopt, colors)));
    // Moves by a column, by many, back, over the notes, to the end: each time only strips
    // are repainted, and the screen is the bitmap as it was painted before.
    for (const std::int64_t s : {0, 1, 2, 17, 16, 63, 0, 31}) {
      SCOPED_TRACE(s);
      view.ShowPlayhead(4, s, colors.fg);
      ASSERT_TRUE(SamePixels(Shown(&view), Before(s, colors)));
    }
    view.HidePlayhead();
    EXPECT_TRUE(SamePixels(Shown(&view), Before(std::nullopt, colors)));
  }
}

TEST_F(MeasureOnScreen, TheFocusMarkStaysOverTheRepaintedStrips) {
  view.SetFocusColor(Colors.ac);
  view.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&view));
  view.setFocus();
  ASSERT_TRUE(view.hasFocus());
  const int m = TImage::FocusMarkWidth;
  const QRect inside = QRect(0, 0, W, H).adjusted(m, m, -m, -m);
  for (const std::int64_t s : {8, 40, 9}) {
    view.ShowPlayhead(4, s, Colors.fg);
    const QImage shown = Shown(&view);
    EXPECT_TRUE(SamePixels(shown.copy(inside), Before(s).copy(inside))) << s;
    const int x = SixteenthX(76, s);
    for (const int y : {0, m - 1, H - m, H - 1})
      EXPECT_EQ(shown.pixel(x, y) & 0xFFFFFF, Rgb(Colors.ac) & 0xFFFFFF) << y;
    EXPECT_EQ(shown.pixel(x, m) & 0xFFFFFF, Rgb(Colors.fg) & 0xFFFFFF);
  }
}

TEST_F(MeasureOnScreen, AHiddenWindowPaintsNothing) {
  view.ShowPlayhead(4, 8, Colors.fg);
  FlushRepaints();
  log.regions.clear();
  view.hide();
  for (const std::int64_t s : {9, 10, 11, 12}) {
    view.ShowPlayhead(4, s, Colors.fg);
    QCoreApplication::processEvents();
  }
  EXPECT_TRUE(log.regions.empty());
  view.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
  EXPECT_TRUE(ShownSoon(&view, Before(12)));
}

// On a desktop (run by with_window_manager.sh); Qt's offscreen screen keeps minimised
// windows shown.
TEST_F(MeasureOnScreen, AMinimisedWindowPaintsNothingAndShowsTheLastPlayheadWhenRestored) {
  if (QGuiApplication::platformName() == "offscreen") GTEST_SKIP() << "no minimised windows offscreen";
  // The window manager activates the window when it likes (after the fixture cleared the
  // focus, and again on restoring it); the focus mark is not what this test looks at.
  view.setFocusPolicy(Qt::NoFocus);
  view.clearFocus();
  view.ShowPlayhead(4, 8, Colors.fg);
  FlushRepaints();
  view.showMinimized();
  ASSERT_TRUE(QTest::qWaitFor([&] { return !view.windowHandle()->isExposed(); }, 5000));
  log.regions.clear();  // what was painted on the way down does not count
  for (const std::int64_t s : {20, 30, 40}) {
    view.ShowPlayhead(4, s, Colors.fg);
    QCoreApplication::processEvents();
  }
  EXPECT_TRUE(log.regions.empty());
  view.showNormal();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
  EXPECT_TRUE(ShownSoon(&view, Before(40)));  // and not a trace of the one at 8
}

TEST_F(MeasureOnScreen, APictureForAnotherScaleIsAskedForAnew) {
  QSignalSpy asked(&view, &TImage::Resized);
  view.Draw([&](QImage& bitmap) { PaintMeasure(bitmap, W, H, 2.0, 4, notes, 1, Colors); });
  FlushRepaints();
  ASSERT_TRUE(QTest::qWaitFor([&] { return asked.count() == 1; }, 5000));
  // Once for each scale: a slot that cannot do better does not set off a loop.
  view.update();
  FlushRepaints();
  QCoreApplication::processEvents();
  EXPECT_EQ(asked.count(), 1);
  view.ShowMeasure(4, notes, 1, Colors);
  FlushRepaints();
  QCoreApplication::processEvents();
  EXPECT_EQ(asked.count(), 1);
}

}  // namespace
