// Pixels of the measure bitmap: where the line, ticks, notes and playhead fall, in which colour.
#include <gtest/gtest.h>

#include "pattern/uMeasureGeometry.h"
#include "ui/uMeasureView.h"

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

}  // namespace
