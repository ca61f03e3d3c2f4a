// Where things sit in the picture of a measure, as pure functions of the image size.
// The measure takes TSCount columns of width c, with one empty column on its left and one
// (plus the remainder of the division) on its right; the line runs at half height.
#pragma once

#include <cstdint>
#include <vector>

#include "pattern/uPattern.h"

// Radius of a note's circle, and half the width of its hit box.
inline constexpr int NoteRadius = 12;
// Beat ticks reach this far above and below the line.
inline constexpr int TickReach = 20;

struct TMeasureGeometry {
  int c = 0;  // column width: W div (TSCount + 2)
  int m = 0;  // middle height: H div 2
};

TMeasureGeometry MeasureGeometry(int width, int height, int tsCount);

// x of a position of p sixteenths: c + floor(c * p / 16).
int SixteenthX(int c, std::int64_t p);

// Index of the topmost note whose hit box (12 to each side, exclusive) holds the point, or -1.
int NoteAt(const TNotes& notes, int width, int height, int tsCount, int x, int y);

// The offset a note dragged to image column x takes: 16 * x / c rounded to the nearest
// whole number (ties to even) less one column, limited to the measure 0..16 * TSCount.
int DragOffset(int x, int c, int tsCount);

// The offset a note moved from the keyboard by `step` sixteenths takes, limited to the
// measure as a drag is.
int SteppedOffset(int offset, int step, int tsCount);

// The indexes of the notes in the order of the time line; equal offsets in list order.
std::vector<int> TimeLineOrder(const TNotes& notes);

// The note `step` places (+1 next, -1 previous) from note `index` in the order of the time
// line (equal offsets in list order); with none selected (-1), the first or the last. At
// either end the selection stays; -1 when there are no notes.
int NeighbourNote(const TNotes& notes, int index, int step);
