// Playing for real through SDL's disk driver, which writes exactly what the callback put
// out: the recorded stream must be the loops handed over, back to back, each repeating
// sample for sample, and every restart must continue the beat where the old loop was.
#include <gtest/gtest.h>

#include <QApplication>
#include <QLineEdit>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "audio/uBeatClock.h"
#include "frmmain_recorded.h"
#include "playback_check.h"
#include "qt_test_app.h"
#include "recording_output.h"

namespace {

std::filesystem::path RecordingPath() { return RecordingFile("e2e"); }

class PlaybackThroughSdl : public FrmMainRecorded {
 protected:
  // Each action hands one loop over; note where the window says that loop begins.
  void Act(const std::function<void()>& action, int playMs) {
    action();
    offsets.push_back(a->WavOffset());
    lengths.push_back(a->WavLength());
    QTest::qWait(playMs);
  }
  std::vector<std::uint32_t> offsets, lengths;
};

TEST_F(PlaybackThroughSdl, RestartsAreGaplessAndInPhase) {
  ASSERT_TRUE(player->HasDevice()) << SDL_GetError();
  Act([&] { QTest::mouseClick(a->btStart(), Qt::LeftButton); }, 0);
  // Let the first loop come round once, however slowly the machine runs the driver.
  ASSERT_TRUE(QTest::qWaitFor([&] { return player->SamplesPlayed() > output->handOvers[0].at + 88200 + 4410; }, 20000));
  Act([&] { a->seTempo()->findChild<QLineEdit*>()->setText("90"); }, 700);
  Act(
      [&] {
        Press(NoteX(32), Middle());
        MoveTo(NoteX(40), Middle());
        Release(NoteX(40), Middle());
      },
      600);
  // This loop is handed over later than the start it was stamped with, as on a machine too
  // busy to build it in time: it must still come in at the beat's phase.
  output->delayNextHandOverMs = 100;
  Act([&] { Pick(a->cbTimeS(), 2); }, 600);
  Act([&] { QTest::mouseClick(a->BtNoteAdd(), Qt::LeftButton); }, 500);
  QTest::mouseClick(a->btStop(), Qt::LeftButton);
  Finish();

  const auto& hand = output->handOvers;
  ASSERT_EQ(hand.size(), 5u);
  const TPlaybackCheck check = CheckPlayback(ReadRecording(RecordingPath()), hand, offsets, lengths, output->stoppedAt);
  ASSERT_TRUE(check.shift) << "the first loop is not in the recording";
  ASSERT_EQ(check.loops.size(), hand.size()) << "the recording ends before the sound stopped";
  for (std::size_t j = 0; j < hand.size(); ++j) {
    SCOPED_TRACE("loop " + std::to_string(j));
    const TSeamCheck& seam = check.loops[j];
    EXPECT_EQ(hand[j].loop.size(), lengths[j]);
    // Sample for sample the loop, repeated: no gap, no sample lost or doubled at the seams.
    EXPECT_EQ(seam.wrong, 0u) << "first difference " << seam.firstWrong << " samples into the loop";
    if (j == 0) {
      EXPECT_GT(seam.samples, hand[0].loop.size()) << "the first loop did not come round";
    }
    // The restart's phase: where the old loop stood when the new one took over, as a
    // fraction of the old measure, carried to the new one.
    EXPECT_LE(std::abs(seam.phaseError), 44);
    if (j == 3) {
      EXPECT_GT(seam.late, 0u) << "the delayed loop was on time after all";
    } else {
      // On time unless the machine was too busy to hand it over before the device's next
      // buffer; then within a few buffers, and in phase all the same.
      EXPECT_LE(seam.late, 4096u);
    }
    if (j > 0) std::cout << "restart " << j << ": phase error " << seam.phaseError << " samples, taken over " << seam.late << " samples late\n";
  }
  std::filesystem::remove(RecordingPath());
}

}  // namespace

int main(int argc, char* argv[]) {
  // The disk driver writes what the callback produced, paced like a real device.
  setenv("SDL_AUDIODRIVER", "disk", 1);
  setenv("SDL_DISKAUDIOFILE", RecordingPath().c_str(), 1);
  return RunQtTests(argc, argv);
}
