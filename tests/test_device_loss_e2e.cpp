// A sound device lost while playing, for real through SDL's disk driver. The recording may
// grow only so far (a file size limit, with SIGXFSZ ignored): the driver's write then falls
// short and SDL marks the device lost, as when headphones are pulled or a sound server goes.
// The window's timer must notice, open the default device again (SDL then records into a
// second file) and go on with the loop where the beat clock says it is.
#include <gtest/gtest.h>

#include <QApplication>
#include <QMessageBox>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sys/resource.h>

#include "frmmain_recorded.h"
#include "qt_test_app.h"
#include "recording_output.h"

namespace {

std::filesystem::path RecordingPath(int n) { return RecordingFile("loss" + std::to_string(n)); }

// One second of the device's format, 44100 Hz mono 16-bit: the first recording ends there.
constexpr rlim_t RecordingLimit = 88200;

void LimitFileSize(rlim_t bytes) {
  rlimit limit{};
  getrlimit(RLIMIT_FSIZE, &limit);
  limit.rlim_cur = std::min(bytes, limit.rlim_max);
  setrlimit(RLIMIT_FSIZE, &limit);
}

// Where `expected` first differs from the recording read from `from` on; -1 when it does not.
std::int64_t FirstDifference(const std::vector<std::int16_t>& recording, std::size_t from,
                             const std::vector<std::int16_t>& expected) {
  for (std::size_t j = 0; j < expected.size(); ++j)
    if (from + j >= recording.size() || recording[from + j] != expected[j]) return static_cast<std::int64_t>(j);
  return -1;
}

class DeviceLoss : public FrmMainRecorded {
 protected:
  void TearDown() override {
    LimitFileSize(RLIM_INFINITY);
    Finish();
    for (int n : {1, 2}) std::filesystem::remove(RecordingPath(n));
  }

  // The loop as it sounds from output sample `from` on, for `count` samples.
  std::vector<std::int16_t> LoopFrom(std::uint64_t from, std::uint64_t count) {
    const TRecordingOutput::THandOver& hand = output->handOvers.at(0);
    std::vector<std::int16_t> out(count);
    for (std::uint64_t j = 0; j < count; ++j) out[j] = hand.loop[(from + j - hand.at) % hand.loop.size()];
    return out;
  }
};

TEST_F(DeviceLoss, TheTimerOpensTheDeviceAgainAndTheLoopGoesOnInPhase) {
  ASSERT_TRUE(player->HasDevice()) << SDL_GetError();  // records into the first file
  // SDL reads the file's name when it opens a device: the next one records into the second.
  setenv("SDL_DISKAUDIOFILE", RecordingPath(2).c_str(), 1);
  LimitFileSize(RecordingLimit);
  QTest::mouseClick(a->btStart(), Qt::LeftButton);
  ASSERT_EQ(output->handOvers.size(), 1u);
  // No user action from here on: only the window's timer can open the device again.
  ASSERT_TRUE(QTest::qWaitFor([&] { return player->DevicesOpened() == 2; }, 5000)) << "not opened again";
  LimitFileSize(RLIM_INFINITY);
  const std::uint64_t reopenedAt = player->DeviceOpenedAt();
  QTest::qWait(1000);
  // The clock is the samples, also after the new device took over.
  const double clockMs = output->TimeGetTime();
  const double playedMs = player->SamplesPlayed() / 44.1;
  EXPECT_LE(std::abs(clockMs - playedMs), 1024 / 44.1 + 1);
  QTest::mouseClick(a->btStop(), Qt::LeftButton);
  EXPECT_TRUE(VisibleBoxes().empty()) << "the device was there again, yet the user was warned";
  const std::uint32_t timeStart = a->TimeStart();  // the window goes with Finish
  Finish();  // closes the device, and with it the second recording

  const TRecordingOutput::THandOver& hand = output->handOvers[0];
  EXPECT_EQ(output->clockRanBack, 0);
  EXPECT_GT(output->readings, 20);
  // The window's clock reading and the loop's first sample meet, so the playhead is the sound.
  EXPECT_EQ(hand.at, static_cast<std::uint64_t>(std::ceil(timeStart * 44.1)));

  // The first recording: the loop from its first sample until the device was lost, well
  // before the timer opened it again.
  const std::vector<std::int16_t> first = ReadRecording(RecordingPath(1));
  EXPECT_LE(first.size() * 2, RecordingLimit);
  std::optional<std::size_t> shift;  // file position of output sample hand.at
  const std::vector<std::int16_t> opening = LoopFrom(hand.at, 4000);
  for (std::size_t c = 0; c + opening.size() <= first.size() && !shift; ++c)
    if (FirstDifference(first, c, opening) < 0) shift = c;
  ASSERT_TRUE(shift) << "the loop is not in the first recording";
  const std::uint64_t lostAt = hand.at + (first.size() - *shift);
  EXPECT_EQ(FirstDifference(first, *shift, LoopFrom(hand.at, lostAt - hand.at)), -1);
  EXPECT_GT(lostAt, hand.at + 22050) << "lost too early to tell";
  EXPECT_LT(lostAt, reopenedAt) << "the first device was not lost";

  // The second recording: what SDL wrote while the new device was still paused, then the
  // same loop going on at the place the clock gave it, to the stop.
  const std::vector<std::int16_t> second = ReadRecording(RecordingPath(2));
  ASSERT_GT(output->stoppedAt, reopenedAt + 22050);
  const std::vector<std::int16_t> goesOn = LoopFrom(reopenedAt, output->stoppedAt - reopenedAt);
  std::optional<std::size_t> start;
  for (std::size_t c = 0; c <= 8 * 1024 && !start; ++c) {
    if (c > 0 && second.at(c - 1) != 0) break;  // only silence comes before it
    if (FirstDifference(second, c, goesOn) < 0) start = c;
  }
  EXPECT_TRUE(start) << "the second recording is not the loop going on in phase with the clock";
  std::cout << "lost at output sample " << lostAt << ", opened again at " << reopenedAt << " ("
            << (static_cast<double>(reopenedAt) - static_cast<double>(lostAt)) / 44.1 << " ms without sound), "
            << (start ? *start : 0) << " samples of silence before the new device played\n";
}

}  // namespace

int main(int argc, char* argv[]) {
  // The disk driver writes what the callback produced, paced like a real device.
  setenv("SDL_AUDIODRIVER", "disk", 1);
  setenv("SDL_DISKAUDIOFILE", RecordingPath(1).c_str(), 1);
  // A write beyond the file size limit then fails instead of ending the process.
  std::signal(SIGXFSZ, SIG_IGN);
  return RunQtTests(argc, argv);
}
