// The restart's phase arithmetic, the playhead's beat clock and tap tempo, on a millisecond clock.
#include <gtest/gtest.h>

#include "audio/uBeatClock.h"
#include "audio/uWavUtils.h"

namespace {

TEST(TimerInterval, TruncatedSixteenth) {
  const struct {
    int bpm;
    std::uint32_t ms;
  } cases[] = {{60, 62}, {90, 41}, {120, 31}, {180, 20}, {240, 15}, {97, 38}};
  for (const auto& c : cases) EXPECT_EQ(TimerInterval(c.bpm), c.ms) << c.bpm;
}

TEST(ElapsedSamples, UnsignedAcrossTheClockWrap) {
  EXPECT_EQ(ElapsedSamples(1500, 0), 66150);
  EXPECT_EQ(ElapsedSamples(1750, 1500), 11025);
  EXPECT_EQ(ElapsedSamples(999, 0xFFFFFFFFu - 500), 66150);  // 1500 ms across the wrap
  EXPECT_EQ(ElapsedSamples(7, 7), 0);
}

// 4/4: Start at 120 BPM, the tempo changed to 60 at 1500 ms, another change 250 ms later.
TEST(Restart, KeepsThePhaseAcrossTempoChanges) {
  const std::uint32_t at120 = MeasureLength(4, 120), at60 = MeasureLength(4, 60);
  const std::uint32_t first = RestartOffset(0, ElapsedSamples(1500, 0), at120, at60);
  EXPECT_EQ(first, 132300u);  // phase 66150 of 88200 is 0.75
  EXPECT_EQ(PlayheadSixteenth(1500, 1500, first, 60, 4), 48);

  const std::uint32_t second = RestartOffset(first, ElapsedSamples(1750, 1500), at60, at60);
  EXPECT_EQ(second, 143325u);
  EXPECT_EQ(PlayheadSixteenth(1750, 1750, second, 60, 4), 52);
}

TEST(Restart, FractionOfTheMeasure) {
  const struct {
    std::uint32_t wavOffset;
    std::int64_t elapsed;
    std::uint32_t oldLength, newLength, offset;
  } cases[] = {
      {0, 0, 88200, 88200, 0},
      {0, 88200, 88200, 66150, 0},            // a whole measure later: the start again
      {88199, 1, 88200, 88200, 0},            // wraps inside the old measure
      {44100, 0, 88200, 132300, 66150},       // 4/4 to 6/4 at half the measure
      {0, 88199, 88200, 352800, 352796},      // the last sample stays below the new length
      {0, 3 * 88200 + 22050, 88200, 88200, 22050},
      {33074, 0, 33075, 352800, 352789},
  };
  for (const auto& c : cases)
    EXPECT_EQ(RestartOffset(c.wavOffset, c.elapsed, c.oldLength, c.newLength), c.offset)
        << c.wavOffset << " + " << c.elapsed << " of " << c.oldLength;
}

TEST(PlayheadSixteenth, FromTheClockNotFromTicks) {
  const struct {
    std::uint32_t now, start, wavOffset;
    int bpm, beats;
    double latency;
    std::int64_t s;
  } cases[] = {
      {1000, 0, 0, 120, 4, 0, 32},
      {2000, 0, 0, 120, 4, 0, 0},
      {1999, 0, 0, 120, 4, 0, 63},
      {31, 0, 0, 120, 4, 0, 0},
      {32, 0, 0, 120, 4, 0, 1},
      {500, 0, 0, 240, 3, 0, 32},
      {0, 0, 22050, 120, 4, 0, 16},           // the image began a beat into the measure
      {1000, 0, 0, 120, 4, 46.4, 30},         // what is heard lags the clock
      {10, 0, 0, 120, 4, 46.4, 62},           // just after a restart at the start: the end
      {499, 0xFFFFFFFFu - 500, 0, 120, 4, 0, 32},  // across the clock's wrap
  };
  for (const auto& c : cases)
    EXPECT_EQ(PlayheadSixteenth(c.now, c.start, c.wavOffset, c.bpm, c.beats, c.latency), c.s)
        << c.now << " - " << c.start << " at " << c.bpm;
}

}  // namespace

// The timer is set to fire when the sixteenth heard changes: not before, and within a
// millisecond after.
TEST(MsToNextSixteenth, FiresWhenTheHeardSixteenthChanges) {
  const struct {
    std::uint32_t now, start, wavOffset;
    std::int32_t bpm;
    double latency;
  } cases[] = {
      {5000, 5000, 0, 120, 0.0},         {6000, 5000, 0, 240, 0.0},      {6500, 5000, 132300, 60, 0.0},
      {1234, 1000, 7777, 173, 46.4},     {0xFFFFFFF0u, 0xFFFFFF00u, 0, 97, 23.2}, {100, 90, 88199, 61, 0.0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.now);
    const std::uint32_t wait = MsToNextSixteenth(c.now, c.start, c.wavOffset, c.bpm, c.latency);
    EXPECT_GE(wait, 1u);
    EXPECT_LE(wait, static_cast<std::uint32_t>(60000.0 / (c.bpm * 16)) + 1);
    const auto heard = [&](std::uint32_t t) { return PlayheadSixteenth(t, c.start, c.wavOffset, c.bpm, 8, c.latency); };
    EXPECT_NE(heard(c.now + wait), heard(c.now));
    EXPECT_EQ(heard(c.now + wait - 2), heard(c.now));
  }
}

TEST(TempoFromTapIntervals, MedianRoundedAndLimited) {
  const struct {
    std::vector<std::uint32_t> intervals;
    std::int32_t bpm;
  } cases[] = {
      {{500, 500, 500}, 120},
      {{333, 334, 333}, 180},       // 180.2
      {{341}, 176},                 // 175.95 rounds up
      {{500, 900, 500}, 120},       // one late tap does not move it
      {{600, 400, 700, 500}, 109},  // even count: the mean of 500 and 600
      {{999, 1001}, 60},
      {{1500, 1500, 1500}, 60},     // 40 BPM, limited
      {{251}, 239},
      {{100, 100, 100}, 240},       // 600 BPM, limited
      {{0, 0, 0}, 240},             // within one millisecond
      {{0xFFFFFFFFu}, 60},
  };
  for (const auto& c : cases) {
    std::string shown;
    for (std::uint32_t ms : c.intervals) shown += std::to_string(ms) + ' ';
    EXPECT_EQ(TempoFromTapIntervals(c.intervals), c.bpm) << shown;
  }
}

// Each tap at its clock reading, and what it gives: 0 for no tempo yet.
TEST(TapTempo, SeriesOfTaps) {
  const struct {
    const char* name;
    std::vector<std::uint32_t> taps;
    std::vector<std::int32_t> bpm;
  } cases[] = {
      {"the fourth tap sets it", {0, 500, 1000, 1500}, {0, 0, 0, 120}},
      {"a pause begins a new series", {0, 500, 1000, 3001, 3501, 4001, 4501}, {0, 0, 0, 0, 0, 0, 120}},
      {"two seconds apart still one series", {0, 2000, 4000, 6000}, {0, 0, 0, 60}},
      {"an early tap", {0, 400, 750, 1200, 1600}, {0, 0, 0, 150, 150}},
      {"only the last eight taps count",
       {0, 1000, 2000, 3000, 4000, 4500, 5000, 5500, 6000},
       {0, 0, 0, 60, 60, 60, 60, 60, 120}},
      {"across the clock's wrap", {0xFFFFFE0Cu, 0xFFFFFF9Cu, 300, 700}, {0, 0, 0, 150}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_EQ(c.taps.size(), c.bpm.size());
    TTapTempo taps;
    for (std::size_t i = 0; i < c.taps.size(); ++i)
      EXPECT_EQ(taps.Tap(c.taps[i]).value_or(0), c.bpm[i]) << "tap " << i + 1 << " at " << c.taps[i];
  }
}
