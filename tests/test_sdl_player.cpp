// The SDL loop player itself. Built twice: against SDL's dummy driver, which plays into
// nothing at the pace of a real device, and against a driver that does not exist.
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <thread>

#include "audio/uSdlPlayer.h"

namespace {

TMemoryStream Image(std::size_t samples) {
  TMemoryStream s;
  TWav4416MI loop(samples);
  for (std::size_t i = 0; i < samples; ++i) loop[i] = static_cast<std::int16_t>(i % 1000);
  WriteWav(s, loop, 0);
  return s;
}

void Sleep(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

// Hands a loop over at the start the player gives, as the window does.
bool Play(TSdlLoopPlayer& player, const TMemoryStream& image) { return player.PlayWavLoop(image, player.NextStartMs()); }

#ifndef TAKTOLA_NO_DEVICE

TEST(SdlPlayer, PlaysOnlyImagesItCanRead) {
  TSdlLoopPlayer player;
  ASSERT_TRUE(player.HasDevice());
  TMemoryStream bad = Image(100);
  bad.bytes[22] = 2;  // stereo
  EXPECT_FALSE(Play(player, bad));
  EXPECT_FALSE(Play(player, TMemoryStream{}));
  EXPECT_TRUE(Play(player, Image(44100)));
  EXPECT_TRUE(player.StopWav());
}

TEST(SdlPlayer, HandsOverAtTheStampedMillisecondOfItsClock) {
  TSdlLoopPlayer player;
  ASSERT_TRUE(Play(player, Image(44100)));
  Sleep(60);
  const std::uint64_t before = player.SamplesPlayed();
  const std::uint32_t start = player.NextStartMs();
  const std::uint64_t after = player.SamplesPlayed();
  // The next whole millisecond not yet played.
  EXPECT_GE(start, static_cast<std::uint32_t>(before / 44.1) + 1);
  EXPECT_LE(start, static_cast<std::uint32_t>(after / 44.1) + 1);
  EXPECT_GE(player.TimeGetTime(), start);  // the clock never shows less than a stamp
  ASSERT_TRUE(player.PlayWavLoop(Image(22050), start));
  EXPECT_EQ(player.LastHandOverSample(), static_cast<std::uint64_t>(std::ceil(start * 44.1)));
  Sleep(60);
  EXPECT_GT(player.SamplesPlayed(), player.LastHandOverSample());
  EXPECT_GE(player.LastSwitchSample(), player.LastHandOverSample());
  player.StopWav();
}

// A loop that arrives after its start has been played comes in late, at the place its
// stamp gives it; what it sounds like there the recording tests check.
TEST(SdlPlayer, ALateLoopIsTakenOverAtOnce) {
  TSdlLoopPlayer player;
  ASSERT_TRUE(Play(player, Image(44100)));
  Sleep(30);
  const std::uint32_t start = player.NextStartMs();
  Sleep(80);  // several device buffers
  const std::uint64_t published = player.SamplesPlayed();
  ASSERT_GT(published, static_cast<std::uint64_t>(std::ceil(start * 44.1)));
  ASSERT_TRUE(player.PlayWavLoop(Image(22050), start));
  Sleep(60);
  EXPECT_EQ(player.LastHandOverSample(), static_cast<std::uint64_t>(std::ceil(start * 44.1)));
  EXPECT_GE(player.LastSwitchSample(), published);
  EXPECT_LE(player.LastSwitchSample(), published + 2048);
  player.StopWav();
}

TEST(SdlPlayer, ClockFollowsTheSamplesAndStopsWithThem) {
  TSdlLoopPlayer player;
  ASSERT_TRUE(Play(player, Image(4410)));
  const std::uint32_t start = player.TimeGetTime();
  std::uint32_t last = start;
  for (int i = 0; i < 20; ++i) {
    Sleep(10);
    const std::uint32_t now = player.TimeGetTime();
    EXPECT_GE(now, last) << "the clock ran back";
    last = now;
  }
  // The clock is the samples played, smoothed by at most one device buffer.
  const double playedMs = player.SamplesPlayed() / 44.1;
  EXPECT_GT(last - start, 100u);
  EXPECT_LE(std::abs(last - playedMs), 1024 / 44.1 + 1);
  EXPECT_GT(player.OutputLatencyMs(), 0.0);

  // Stopped, the device is let go, so nothing streams; the clock goes on without it and a
  // Start opens it again.
  player.StopWav();
  EXPECT_FALSE(player.DeviceOpen());
  const std::uint32_t stopped = player.TimeGetTime();
  EXPECT_GE(stopped, last);
  Sleep(50);
  EXPECT_GE(player.TimeGetTime(), stopped + 40);
  const int openings = player.DevicesOpened();
  ASSERT_TRUE(Play(player, Image(4410)));
  EXPECT_TRUE(player.DeviceOpen());
  EXPECT_EQ(player.DevicesOpened(), openings + 1);
  EXPECT_GE(player.LastHandOverSample(), player.DeviceOpenedAt());
  player.StopWav();
}

#else

std::uint32_t SteadyMs() {
  return static_cast<std::uint32_t>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                        std::chrono::steady_clock::now().time_since_epoch())
                                        .count());
}

// SDL picks its driver when its audio starts: no driver that works stands for a machine
// without a sound device, and a working one from then on for a device that appears.
class SdlPlayerWithoutDevice : public testing::Test {
 protected:
  void SetUp() override { setenv("SDL_AUDIODRIVER", "no-such-driver", 1); }
  static void DeviceAppears() { setenv("SDL_AUDIODRIVER", "dummy", 1); }
};

TEST_F(SdlPlayerWithoutDevice, RefusesToPlayAndKeepsTheSystemClock) {
  TSdlLoopPlayer player;
  EXPECT_FALSE(player.HasDevice());
  EXPECT_FALSE(Play(player, Image(100)));
  EXPECT_FALSE(Play(player, TMemoryStream{}));
  EXPECT_EQ(player.OutputLatencyMs(), 0.0);
  const std::uint32_t before = player.TimeGetTime(), steadyBefore = SteadyMs();
  Sleep(120);
  const std::uint32_t after = player.TimeGetTime();
  EXPECT_NEAR(static_cast<double>(after - before), static_cast<double>(SteadyMs() - steadyBefore), 2.0);
  // A hand-over begins at its stamp, as with a device.
  const std::uint32_t start = player.NextStartMs();
  EXPECT_GE(start, after);
  EXPECT_FALSE(player.PlayWavLoop(Image(44100), start));
  EXPECT_EQ(player.LastHandOverSample(), static_cast<std::uint64_t>(std::ceil(start * 44.1)));
  EXPECT_TRUE(player.StopWav());
  EXPECT_EQ(player.DevicesOpened(), 0);
}

TEST_F(SdlPlayerWithoutDevice, EveryHandOverTriesForADevice) {
  TSdlLoopPlayer player;
  EXPECT_FALSE(Play(player, Image(44100)));
  Sleep(50);
  const std::uint64_t freeRunning = player.SamplesPlayed();
  const std::uint32_t lastReading = player.TimeGetTime();
  DeviceAppears();
  EXPECT_TRUE(Play(player, Image(22050)));
  EXPECT_TRUE(player.HasDevice());
  EXPECT_EQ(player.DevicesOpened(), 1);
  // The sample clock goes on from the system's, not from 0.
  EXPECT_GE(player.DeviceOpenedAt(), freeRunning);
  EXPECT_GE(player.TimeGetTime(), lastReading);
  Sleep(100);
  EXPECT_GT(player.SamplesPlayed(), player.LastHandOverSample());
  EXPECT_GT(player.OutputLatencyMs(), 0.0);
  player.StopWav();
}

TEST_F(SdlPlayerWithoutDevice, WhilePlayingADeviceIsTriedAtMostOncePerInterval) {
  TSdlLoopPlayer player(1024, std::chrono::milliseconds(300));
  EXPECT_FALSE(Play(player, Image(44100)));  // tries, and starts the interval
  const std::uint64_t loopStart = player.LastHandOverSample();
  DeviceAppears();
  EXPECT_FALSE(player.CheckDevice());  // too soon after the last try
  EXPECT_EQ(player.DevicesOpened(), 0);
  std::uint32_t last = player.TimeGetTime();
  bool opened = false;
  for (int i = 0; i < 60 && !opened; ++i) {
    Sleep(10);
    opened = player.CheckDevice();
    const std::uint32_t now = player.TimeGetTime();
    EXPECT_GE(now, last) << "the clock ran back";
    last = now;
  }
  ASSERT_TRUE(opened);
  EXPECT_EQ(player.DevicesOpened(), 1);
  EXPECT_GE(player.DeviceOpenedAt(), static_cast<std::uint64_t>(0.29 * 44100) + loopStart);
  // The loop handed over without a device plays on from there, and the clock with it.
  EXPECT_EQ(player.LastHandOverSample(), loopStart);
  Sleep(100);
  EXPECT_GT(player.SamplesPlayed(), player.DeviceOpenedAt());
  EXPECT_TRUE(player.CheckDevice());
  player.StopWav();
}

#endif

}  // namespace
