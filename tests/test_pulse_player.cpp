// The PulseAudio loop player against a private server's null sink (tests/with_pulse_server.sh),
// whose monitor gives back what was played sample for sample: loops handed over while one
// plays, one of them after its stamp had passed, must come in at their stamps' phase with no
// gap or repeated sample, and an edit is heard long before the server's buffer runs out.
#include <gtest/gtest.h>
#include <pulse/error.h>
#include <pulse/simple.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "audio/uPulsePlayer.h"

namespace {

void Sleep(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

// A loop whose every sample tells which loop it is (the thousands) and where in it (the rest).
struct TTagged {
  int tag;
  int length;
  TMemoryStream Image() const {
    TWav4416MI samples(static_cast<std::size_t>(length));
    for (int i = 0; i < length; ++i) samples[static_cast<std::size_t>(i)] = static_cast<std::int16_t>(tag * 10000 + i + 1);
    TMemoryStream s;
    WriteWav(s, samples, 0);
    return s;
  }
};

std::uint64_t SampleOfMs(std::uint32_t ms) { return static_cast<std::uint64_t>(std::ceil(ms * 44.1)); }

// The sink's monitor, read on a thread of its own until stopped.
class TMonitor {
 public:
  TMonitor() {
    const pa_sample_spec spec{PA_SAMPLE_S16LE, 44100, 1};
    // Small fragments, so the sink renders little ahead and the monitor hands it out soon.
    const auto any = static_cast<std::uint32_t>(-1);
    const pa_buffer_attr attr{any, any, any, any, 441 * 2};
    const std::string source = std::string(std::getenv("TAKTOLA_TEST_SINK")) + ".monitor";
    int error = 0;
    FRecord = pa_simple_new(nullptr, "test", PA_STREAM_RECORD, source.c_str(), "monitor", &spec, nullptr, &attr, &error);
    if (FRecord == nullptr) ADD_FAILURE() << "cannot record " << source << ": " << pa_strerror(error);
    else FThread = std::thread([this] { Run(); });
  }
  ~TMonitor() { Stop(); }
  void Stop() {
    FStop = true;
    if (FThread.joinable()) FThread.join();
    if (FRecord != nullptr) pa_simple_free(FRecord);
    FRecord = nullptr;
  }
  std::vector<std::int16_t> samples;

 private:
  void Run() {
    std::int16_t fragment[441];
    int error = 0;
    while (!FStop) {
      if (pa_simple_read(FRecord, fragment, sizeof fragment, &error) < 0) {
        std::fprintf(stderr, "monitor: %s\n", pa_strerror(error));
        break;
      }
      samples.insert(samples.end(), fragment, fragment + 441);
    }
  }
  pa_simple* FRecord = nullptr;
  std::thread FThread;
  std::atomic<bool> FStop{false};
};

TEST(PulsePlayer, LoopsHandedOverComeInAtTheirStampsPhaseWithoutAGap) {
  if (std::getenv("TAKTOLA_TEST_SINK") == nullptr) GTEST_SKIP() << "run through tests/with_pulse_server.sh";
  const std::vector<TTagged> loops{{1, 4410}, {2, 3001}, {3, 2000}};
  TMonitor monitor;
  Sleep(100);
  TPulseLoopPlayer player;
  ASSERT_TRUE(player.Connect());
  std::vector<std::uint64_t> stamps;
  const auto handOver = [&](const TTagged& loop, int lateMs) {
    const std::uint32_t ms = player.NextStartMs();
    stamps.push_back(SampleOfMs(ms));
    // A hand-over that arrives after the sound passed its stamp.
    if (lateMs > 0) Sleep(lateMs);
    EXPECT_TRUE(player.PlayWavLoop(loop.Image(), ms));
  };
  handOver(loops[0], 0);
  Sleep(400);
  handOver(loops[1], 0);
  // The loop before is let go at the next tick, as its part of the queue is written already;
  // the recording below shows that nothing of it was wanted any more.
  EXPECT_EQ(player.LoopsHeld(), 2u);
  EXPECT_TRUE(player.CheckDevice());
  EXPECT_EQ(player.LoopsHeld(), 1u);
  Sleep(300);
  handOver(loops[2], 40);
  Sleep(400);
  // The clock runs with the sound: about 1.1 s since the first stamp, heard less the margin.
  const double clockMs = (static_cast<double>(player.SamplesPlayed()) - static_cast<double>(stamps[0])) / 44.1;
  EXPECT_GT(clockMs, 900);
  EXPECT_LT(clockMs, 1800);
  EXPECT_TRUE(player.StopWav());
  Sleep(300);
  monitor.Stop();

  const std::vector<std::int16_t>& heard = monitor.samples;
  std::size_t first = 0;
  while (first < heard.size() && heard[first] == 0) ++first;
  ASSERT_LT(first, heard.size()) << "nothing was heard";
  ASSERT_EQ(heard[first], 10001) << "the first loop begins at its first sample";
  std::size_t end = heard.size();
  while (end > first && heard[end - 1] == 0) --end;
  // Sample `i` of the recording is sample timeline(i) of the player's clock.
  const auto timeline = [&](std::size_t i) { return stamps[0] + (i - first); };
  std::size_t loop = 0;
  int position = 0;
  std::vector<std::uint64_t> lateness;
  for (std::size_t i = first + 1; i < end; ++i) {
    const int tag = heard[i] / 10000 - 1;
    const int at = heard[i] % 10000 - 1;
    ASSERT_GE(tag, 0) << "silence or a stranger at sample " << i;
    if (static_cast<std::size_t>(tag) == loop) {
      position = (position + 1) % loops[loop].length;
      ASSERT_EQ(at, position) << "a gap or a repeat in loop " << loop << " at sample " << i;
      continue;
    }
    ASSERT_EQ(static_cast<std::size_t>(tag), loop + 1) << "at sample " << i;
    loop = static_cast<std::size_t>(tag);
    ASSERT_GE(timeline(i), stamps[loop]) << "loop " << loop << " came in before its stamp";
    position = static_cast<int>((timeline(i) - stamps[loop]) % static_cast<std::uint64_t>(loops[loop].length));
    ASSERT_EQ(at, position) << "loop " << loop << " out of phase at sample " << i;
    lateness.push_back(timeline(i) - stamps[loop]);
  }
  ASSERT_EQ(loop, 2u) << "every loop was heard";
  // The second came in at its stamp: it was handed over before the sound reached it.
  EXPECT_EQ(lateness[0], 0u);
  // The stop came about 400 ms after the last hand-over; nothing after it.
  EXPECT_NEAR(static_cast<double>(end - first) / 44.1, 1100 + 40, 300);
}

TEST(PulsePlayer, WithoutAServerTheClockRunsOnAndNothingFails) {
  // A server that is not there; none is started for the asking.
  setenv("PULSE_SERVER", "unix:/nonexistent/taktola-test-socket", 1);
  TPulseLoopPlayer player(std::chrono::milliseconds(20));
  EXPECT_FALSE(player.Connect());
  const std::uint32_t start = player.NextStartMs();
  EXPECT_FALSE(player.PlayWavLoop(TTagged{1, 441}.Image(), start));
  EXPECT_FALSE(player.DeviceOpen());
  Sleep(60);
  EXPECT_FALSE(player.CheckDevice());
  EXPECT_GE(player.TimeGetTime() - start, 40u);
  EXPECT_EQ(player.OutputLatencyMs(), 0.0);
  EXPECT_TRUE(player.StopWav());
}

}  // namespace
