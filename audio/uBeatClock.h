// Time arithmetic of looped playback: the timer interval, the in-phase restart and the
// playhead's sixteenth. The clock is a 32-bit millisecond count that wraps after 2^32 ms;
// differences are taken unsigned, so a wrap between two readings is harmless.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

// The playback timer's interval: trunc(60000 / (tpCount * 16)) ms, about one sixteenth.
std::uint32_t TimerInterval(std::int32_t tpCount);

// Samples played between two clock readings: trunc((now - start) * 44.1).
std::int64_t ElapsedSamples(std::uint32_t now, std::uint32_t start);

// Where a restarted loop begins: the sample of the old measure sounding now (the playing
// image began at sample wavOffset of the old measure, `elapsed` samples ago), taken as a
// fraction of the old length (rounded to a 32-bit float) and applied to the new length.
// The result is below newLength.
std::uint32_t RestartOffset(std::uint32_t wavOffset, std::int64_t elapsed, std::uint32_t oldLength,
                            std::uint32_t newLength);

// The sixteenth of the measure sounding now, 0 .. 16 * tsCount - 1: the image began at
// sample wavOffset of the measure at clock reading timeStart; what is heard lags what has
// been played by latencyMs.
std::int64_t PlayheadSixteenth(std::uint32_t now, std::uint32_t timeStart, std::uint32_t wavOffset,
                               std::int32_t tpCount, std::int32_t tsCount, double latencyMs = 0.0);

// Milliseconds from clock reading `now` until the sixteenth heard changes, rounded up so
// that a timer set to it fires once the change is heard; at least 1.
std::uint32_t MsToNextSixteenth(std::uint32_t now, std::uint32_t timeStart, std::uint32_t wavOffset,
                                std::int32_t tpCount, double latencyMs = 0.0);

// Tap tempo: a user taps a key or a label in time with what they hear or see (a runner's
// cadence) and the tempo follows the taps. A tap more than TapSeriesGapMs after the one
// before it begins a new series: twice the beat at the slowest tempo, so that a slow series
// holds, while a pause to listen forgets the old taps. Only the last TapsKept taps count, so
// the tempo follows a cadence that changes while the user goes on tapping.
inline constexpr std::uint32_t TapSeriesGapMs = 2000;
inline constexpr std::size_t TapsForTempo = 4;
inline constexpr std::size_t TapsKept = 8;

// The tempo of taps the given milliseconds apart: 60000 / the median interval (the mean of
// the middle two for an even count), rounded to a whole BPM and limited to MinTempo..MaxTempo.
// The median, so that one early or late tap does not move it. Needs at least one interval.
std::int32_t TempoFromTapIntervals(std::vector<std::uint32_t> intervals);

// The taps of the current series, on the wrapping millisecond clock.
class TTapTempo {
 public:
  // Records a tap at clock reading `now`; once the series holds TapsForTempo taps, each tap
  // gives the tempo of the last TapsKept.
  std::optional<std::int32_t> Tap(std::uint32_t now);

 private:
  std::vector<std::uint32_t> FTaps;
};
