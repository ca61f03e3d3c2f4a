#include <gtest/gtest.h>

#include "pattern/uMeasureGeometry.h"

namespace {

TEST(MeasureGeometry, ColumnsAndMiddle) {
  EXPECT_EQ(MeasureGeometry(458, 166, 4).c, 76);
  EXPECT_EQ(MeasureGeometry(458, 166, 4).m, 83);
  EXPECT_EQ(MeasureGeometry(480, 100, 3).c, 96);
  EXPECT_EQ(MeasureGeometry(465, 225, 8).c, 46);
  EXPECT_EQ(MeasureGeometry(465, 225, 8).m, 112);
}

TEST(MeasureGeometry, SixteenthX) {
  const struct {
    int c;
    int p;
    int x;
  } cases[] = {{76, 0, 76}, {76, 16, 152}, {76, 64, 380}, {76, 8, 114}, {76, 1, 80}, {76, 15, 147},
               // Notes from a file may lie up to four measures out.
               {76, 255, 76 + 76 * 255 / 16}};
  for (const auto& c : cases) EXPECT_EQ(SixteenthX(c.c, c.p), c.x) << c.c << " " << c.p;
}

TEST(NoteAt, HitBoxIsExclusiveAndTopmostWins) {
  TNotes notes = DefaultNotes(4);  // x = 76, 152, 228, 304 at 458 x 166
  notes.push_back(DefaultNote(8));  // x = 114
  const struct {
    int x, y, index;
  } cases[] = {
      {114, 90, 4}, {126, 83, -1}, {102, 83, -1}, {103, 83, 4}, {125, 83, 4},
      {114, 71, -1}, {114, 72, 4}, {114, 94, 4}, {114, 95, -1},
      {76, 83, 0}, {304, 83, 3}, {380, 83, -1}, {0, 0, -1},
  };
  for (const auto& c : cases) EXPECT_EQ(NoteAt(notes, 458, 166, 4, c.x, c.y), c.index) << c.x << "," << c.y;

  notes.push_back(DefaultNote(16));  // on top of note 1
  EXPECT_EQ(NoteAt(notes, 458, 166, 4, 152, 83), 5);
  EXPECT_EQ(NoteAt({}, 458, 166, 4, 152, 83), -1);
}

TEST(DragOffset, RoundsHalfToEvenAndStaysInTheMeasure) {
  const struct {
    int x, c, beats, offset;
  } cases[] = {
      {99, 96, 3, 0},     // 16.5 -> 16
      {105, 96, 3, 2},    // 17.5 -> 18
      {111, 96, 3, 2},    // 18.5 -> 18
      {117, 96, 3, 4},    // 19.5 -> 20
      {96, 96, 3, 0},     {384, 96, 3, 48},  {390, 96, 3, 48},
      {-500, 96, 3, 0},   {100000, 96, 3, 48},
      {114, 76, 4, 8},    {380, 76, 4, 64},  {0, 76, 4, 0},
  };
  for (const auto& c : cases) EXPECT_EQ(DragOffset(c.x, c.c, c.beats), c.offset) << c.x << " / " << c.c;
}

}  // namespace
