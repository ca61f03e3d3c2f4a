// The transport on a fake output: the start, the in-phase restart and the playhead, with a
// clock the test sets, and no window.
#include <gtest/gtest.h>

#include "audio/uBeatClock.h"
#include "audio/uTransport.h"
#include "fake_sound.h"
#include "pattern/uPattern.h"

namespace {

// A measure whose samples tell where in it they are.
TWav4416MI Ramp(std::int32_t tsCount, std::int32_t tpCount) {
  TWav4416MI samples(MeasureLength(tsCount, tpCount));
  for (std::size_t i = 0; i < samples.size(); ++i) samples[i] = static_cast<std::int16_t>(i % 30000);
  return samples;
}

TWav4416MI Rotated(const TWav4416MI& samples, std::uint32_t offset) {
  TWav4416MI out(samples.begin() + offset, samples.end());
  out.insert(out.end(), samples.begin(), samples.begin() + offset);
  return out;
}

class Transport : public testing::Test {
 protected:
  TFakeSound sound;
  TTransport transport{sound};
  std::int32_t ts = 4, tp = 120;
  TTransport::TBuild Build() {
    return [this] {
      // The start is read before the measure is built.
      EXPECT_EQ(sound.stamps, static_cast<int>(sound.loops.size()) + 1);
      return Ramp(ts, tp);
    };
  }
};

TEST_F(Transport, StartPlaysFromTheFirstSampleStampedWithTheStartItRead) {
  sound.now = 5000;
  EXPECT_TRUE(transport.Start(Build()));
  EXPECT_EQ(transport.WavLength(), 88200u);
  EXPECT_EQ(transport.WavOffset(), 0u);
  EXPECT_EQ(transport.TimeStart(), 5000u);
  ASSERT_EQ(sound.loops.size(), 1u);
  EXPECT_EQ(sound.loops[0], Ramp(4, 120));
  EXPECT_EQ(sound.starts, std::vector<std::uint32_t>{5000});
  sound.now += 1000;
  EXPECT_EQ(transport.Heard(tp, ts).sixteenth, 32);
}

// 4/4 at 120, the tempo changed to 60 after 1500 ms and a note moved 250 ms later.
TEST_F(Transport, RestartsKeepThePhase) {
  transport.Start(Build());
  sound.now += 1500;
  tp = 60;
  transport.Restart(Build());
  EXPECT_EQ(transport.WavLength(), 176400u);
  EXPECT_EQ(transport.WavOffset(), 132300u);
  EXPECT_EQ(sound.loops.back(), Rotated(Ramp(4, 60), 132300));
  EXPECT_EQ(transport.Heard(tp, ts).sixteenth, 48);
  sound.now += 250;
  transport.Restart(Build());
  EXPECT_EQ(transport.WavOffset(), 143325u);
  EXPECT_EQ(transport.Heard(tp, ts).sixteenth, 52);
  EXPECT_EQ(sound.starts.back(), sound.now);
}

TEST_F(Transport, ATimeSignatureChangeKeepsTheFractionOfTheMeasure) {
  transport.Start(Build());
  sound.now += 1000;  // half of the 4/4 measure
  ts = 6;
  transport.Restart(Build());
  EXPECT_EQ(transport.WavLength(), 132300u);
  EXPECT_EQ(transport.WavOffset(), 66150u);
  EXPECT_EQ(transport.Heard(tp, ts).sixteenth, 48);
}

// A pattern picked while playing: another tempo and time signature at once, and its measure
// in place of the old one, at the same fraction.
TEST_F(Transport, APatternPickedWhilePlaying) {
  transport.Start(Build());
  sound.now += 1750;  // seven eighths of the 4/4 measure at 120
  ts = 3, tp = 90;
  transport.Restart(Build());
  const std::uint32_t length = MeasureLength(3, 90);
  EXPECT_EQ(transport.WavLength(), length);
  EXPECT_EQ(transport.WavOffset(), RestartOffset(0, ElapsedSamples(1750, 0), 88200, length));
  EXPECT_EQ(transport.WavOffset(), static_cast<std::uint32_t>(0.875 * length));
  EXPECT_EQ(sound.loops.back(), Rotated(Ramp(3, 90), transport.WavOffset()));
  EXPECT_EQ(transport.Heard(tp, ts).sixteenth, 42);
}

TEST_F(Transport, StartWhilePlayingAndStop) {
  transport.Start(Build());
  sound.now += 700;
  transport.Restart(Build());
  sound.now += 300;
  transport.Start(Build());
  EXPECT_EQ(transport.WavOffset(), 0u);
  EXPECT_EQ(transport.Heard(tp, ts).sixteenth, 0);
  transport.Stop();
  EXPECT_FALSE(sound.playing);
  transport.Forget();
  EXPECT_EQ(transport.WavLength(), 0u);
  EXPECT_TRUE(transport.MemoryStream().bytes.empty());
}

}  // namespace
