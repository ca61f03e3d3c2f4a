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

#ifndef TAKTOLA_NO_DEVICE

TEST(SdlPlayer, PlaysOnlyImagesItCanRead) {
  TSdlLoopPlayer player;
  ASSERT_TRUE(player.HasDevice());
  TMemoryStream bad = Image(100);
  bad.bytes[22] = 2;  // stereo
  EXPECT_FALSE(player.PlayWavLoop(bad));
  EXPECT_FALSE(player.PlayWavLoop(TMemoryStream{}));
  EXPECT_TRUE(player.PlayWavLoop(Image(44100)));
  EXPECT_TRUE(player.StopWav());
}

TEST(SdlPlayer, HandsOverAtTheNextWholeMillisecondOfItsClock) {
  TSdlLoopPlayer player;
  ASSERT_TRUE(player.PlayWavLoop(Image(44100)));
  Sleep(60);
  {
    TClockHold hold(player);
    const std::uint64_t played = player.SamplesPlayed();
    const std::uint32_t now = player.TimeGetTime();
    EXPECT_EQ(now, static_cast<std::uint32_t>(played / 44.1) + 1);
    ASSERT_TRUE(player.PlayWavLoop(Image(22050)));
    EXPECT_EQ(player.LastHandOverSample(), static_cast<std::uint64_t>(std::ceil(now * 44.1)));
    EXPECT_GE(player.LastHandOverSample(), played);
    EXPECT_LT(player.LastHandOverSample(), played + 46);
    // Held, nothing is played: the clock stands.
    Sleep(50);
    EXPECT_EQ(player.SamplesPlayed(), played);
    EXPECT_EQ(player.TimeGetTime(), now);
  }
  Sleep(60);
  EXPECT_GT(player.SamplesPlayed(), player.LastHandOverSample());
  player.StopWav();
}

TEST(SdlPlayer, ClockFollowsTheSamplesAndStopsWithThem) {
  TSdlLoopPlayer player;
  ASSERT_TRUE(player.PlayWavLoop(Image(4410)));
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

  player.StopWav();
  const std::uint64_t stopped = player.SamplesPlayed();
  Sleep(80);
  EXPECT_LE(player.SamplesPlayed(), stopped + 2048);  // what was on its way, no more
  const std::uint64_t still = player.SamplesPlayed();
  Sleep(80);
  EXPECT_EQ(player.SamplesPlayed(), still);
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
  EXPECT_FALSE(player.PlayWavLoop(Image(100)));
  EXPECT_FALSE(player.PlayWavLoop(TMemoryStream{}));
  EXPECT_EQ(player.OutputLatencyMs(), 0.0);
  const std::uint32_t before = player.TimeGetTime(), steadyBefore = SteadyMs();
  Sleep(120);
  const std::uint32_t after = player.TimeGetTime();
  EXPECT_NEAR(static_cast<double>(after - before), static_cast<double>(SteadyMs() - steadyBefore), 2.0);
  {
    // Held, the clock stands, and a hand-over meets the reading, as with a device.
    TClockHold hold(player);
    const std::uint32_t now = player.TimeGetTime();
    EXPECT_GE(now, after);
    EXPECT_FALSE(player.PlayWavLoop(Image(44100)));
    EXPECT_EQ(player.LastHandOverSample(), static_cast<std::uint64_t>(std::ceil(now * 44.1)));
    Sleep(30);
    EXPECT_EQ(player.TimeGetTime(), now);
  }
  EXPECT_TRUE(player.StopWav());
  EXPECT_EQ(player.DevicesOpened(), 0);
}

TEST_F(SdlPlayerWithoutDevice, EveryHandOverTriesForADevice) {
  TSdlLoopPlayer player;
  EXPECT_FALSE(player.PlayWavLoop(Image(44100)));
  Sleep(50);
  const std::uint64_t freeRunning = player.SamplesPlayed();
  const std::uint32_t lastReading = player.TimeGetTime();
  DeviceAppears();
  EXPECT_TRUE(player.PlayWavLoop(Image(22050)));
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
  EXPECT_FALSE(player.PlayWavLoop(Image(44100)));  // tries, and starts the interval
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
