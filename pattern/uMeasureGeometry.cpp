#include "pattern/uMeasureGeometry.h"

#include <algorithm>
#include <cmath>
#include <numeric>
#include <vector>

TMeasureGeometry MeasureGeometry(int width, int height, int tsCount) {
  return {width / (tsCount + 2), height / 2};
}

int SixteenthX(int c, std::int64_t p) {
  // c and p are never negative here, so integer division is the floor.
  return c + static_cast<int>(static_cast<std::int64_t>(c) * p / SixteenthsPerBeat);
}

int NoteAt(const TNotes& notes, int width, int height, int tsCount, int x, int y) {
  const TMeasureGeometry g = MeasureGeometry(width, height, tsCount);
  // From the last note down: the circle drawn on top wins where circles overlap.
  for (int i = static_cast<int>(notes.size()) - 1; i >= 0; --i) {
    const int nx = SixteenthX(g.c, notes[i].offset);
    if (nx - NoteRadius < x && x < nx + NoteRadius && g.m - NoteRadius < y && y < g.m + NoteRadius)
      return i;
  }
  return -1;
}

int DragOffset(int x, int c, int tsCount) {
  // std::nearbyint rounds half to even in the default rounding mode.
  const double q = std::nearbyint(x / (c / 16.0)) - SixteenthsPerBeat;
  return static_cast<int>(std::clamp(q, 0.0, static_cast<double>(SixteenthsPerBeat * tsCount)));
}

int SteppedOffset(int offset, int step, int tsCount) {
  return std::clamp(offset + step, 0, SixteenthsPerBeat * tsCount);
}

std::vector<int> TimeLineOrder(const TNotes& notes) {
  std::vector<int> order(notes.size());
  std::iota(order.begin(), order.end(), 0);
  std::stable_sort(order.begin(), order.end(), [&](int a, int b) { return notes[a].offset < notes[b].offset; });
  return order;
}

int NeighbourNote(const TNotes& notes, int index, int step) {
  if (notes.empty()) return -1;
  const std::vector<int> order = TimeLineOrder(notes);
  if (index < 0 || index >= static_cast<int>(notes.size())) return step > 0 ? order.front() : order.back();
  const auto at = std::find(order.begin(), order.end(), index) - order.begin();
  const auto to = std::clamp<std::ptrdiff_t>(at + step, 0, static_cast<std::ptrdiff_t>(order.size()) - 1);
  return order[to];
}
