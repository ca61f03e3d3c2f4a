#include "audio/uBeatClock.h"

#include <algorithm>
#include <cmath>

#include "pattern/uPattern.h"

namespace {

// Milliseconds into the measure of what is heard at clock reading `now`, and the length of
// a sixteenth.
double HeardMs(std::uint32_t now, std::uint32_t timeStart, std::uint32_t wavOffset, double latencyMs) {
  const std::uint32_t played = now - timeStart;
  return played + wavOffset / 44.1 - latencyMs;
}

double SixteenthMs(std::int32_t tpCount) { return 60000.0 / (tpCount * 16); }

}  // namespace

std::uint32_t TimerInterval(std::int32_t tpCount) {
  return static_cast<std::uint32_t>(SixteenthMs(tpCount));
}

std::int64_t ElapsedSamples(std::uint32_t now, std::uint32_t start) {
  const std::uint32_t ms = now - start;
  return static_cast<std::int64_t>(ms * 44.1);
}

std::uint32_t RestartOffset(std::uint32_t wavOffset, std::int64_t elapsed, std::uint32_t oldLength,
                            std::uint32_t newLength) {
  if (oldLength == 0 || newLength == 0) return 0;
  const std::int64_t phase = (wavOffset + elapsed) % oldLength;
  const float fraction = static_cast<float>(static_cast<double>(phase) / oldLength);
  const auto offset = static_cast<std::uint32_t>(static_cast<double>(fraction) * newLength);
  // A fraction rounded up to 1.0 in 32 bits must still land inside the new measure.
  return offset < newLength ? offset : newLength - 1;
}

std::int64_t PlayheadSixteenth(std::uint32_t now, std::uint32_t timeStart, std::uint32_t wavOffset,
                               std::int32_t tpCount, std::int32_t tsCount, double latencyMs) {
  const double position = HeardMs(now, timeStart, wavOffset, latencyMs);
  const double sixteenthTime = SixteenthMs(tpCount);
  const std::int64_t sixteenths = tsCount * 16;
  // Floor, not truncation: just after a restart near the start of the measure, what is heard
  // is still the end of the measure before.
  const auto s = static_cast<std::int64_t>(std::floor(position / sixteenthTime)) % sixteenths;
  return s < 0 ? s + sixteenths : s;
}

std::uint32_t MsToNextSixteenth(std::uint32_t now, std::uint32_t timeStart, std::uint32_t wavOffset,
                                std::int32_t tpCount, double latencyMs) {
  const double position = HeardMs(now, timeStart, wavOffset, latencyMs);
  const double sixteenthTime = SixteenthMs(tpCount);
  const double next = (std::floor(position / sixteenthTime) + 1.0) * sixteenthTime;
  const double wait = std::ceil(next - position);
  return wait < 1.0 ? 1u : static_cast<std::uint32_t>(wait);
}

std::int32_t TempoFromTapIntervals(std::vector<std::uint32_t> intervals) {
  if (intervals.empty()) return MinTempo;
  const std::size_t middle = intervals.size() / 2;
  std::nth_element(intervals.begin(), intervals.begin() + middle, intervals.end());
  double median = intervals[middle];
  if (intervals.size() % 2 == 0) {
    // The other middle value is the largest of the lower half.
    median = (median + *std::max_element(intervals.begin(), intervals.begin() + middle)) / 2.0;
  }
  // Taps within the same millisecond are as fast as taps can be.
  if (median <= 0.0) return MaxTempo;
  const double bpm = std::round(60000.0 / median);
  return static_cast<std::int32_t>(std::clamp(bpm, double{MinTempo}, double{MaxTempo}));
}

std::optional<std::int32_t> TTapTempo::Tap(std::uint32_t now) {
  if (!FTaps.empty() && now - FTaps.back() > TapSeriesGapMs) FTaps.clear();
  if (FTaps.size() == TapsKept) FTaps.erase(FTaps.begin());
  FTaps.push_back(now);
  if (FTaps.size() < TapsForTempo) return std::nullopt;
  std::vector<std::uint32_t> intervals;
  intervals.reserve(FTaps.size() - 1);
  for (std::size_t i = 1; i < FTaps.size(); ++i) intervals.push_back(FTaps[i] - FTaps[i - 1]);
  return TempoFromTapIntervals(std::move(intervals));
}
