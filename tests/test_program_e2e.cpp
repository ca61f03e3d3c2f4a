// A training program played by the window through SDL's disk driver, in real time: what the
// device put out must be the program's samples as export renders them, measure after
// measure with no gap, and the program must end by itself.
#include <gtest/gtest.h>

#include <QApplication>
#include <cstdlib>
#include <filesystem>

#include "audio/uProgramPlan.h"
#include "frmmain_recorded.h"
#include "qt_test_app.h"
#include "recording_output.h"
#include "temp_folder.h"

namespace {

std::filesystem::path RecordingPath() { return RecordingFile("program-e2e"); }

class ProgramThroughSdl : public FrmMainRecorded {};

TEST_F(ProgramThroughSdl, TheRecordingIsTheExportedProgramAndItEnds) {
  ASSERT_TRUE(player->HasDevice()) << SDL_GetError();
  // Two steps of one measure each at 240, the second with a count-in, in the current pattern.
  TProgram program;
  program.rounds.push_back({1,
                            {{"", 240, 240, TDurationUnit::Measures, 1, false, false},
                             {"", 240, 240, TDurationUnit::Measures, 1, true, false}}});
  const TTempFolder folder;
  const std::filesystem::path path = folder.path / "Sprint.tktp";
  SaveProgram(path, program);

  ASSERT_TRUE(frm->PlayProgram(path));
  EXPECT_TRUE(frm->windowTitle().startsWith("TAKTOLA- Sports Metronome - Sprint - step 1/2"))
      << frm->windowTitle().toStdString();
  // It ends by itself: the timer stops and the title is the window's own again.
  ASSERT_TRUE(QTest::qWaitFor([&] { return frm->windowTitle() == "TAKTOLA- Sports Metronome"; }, 20000));
  Finish();

  const TProgramPlan plan(program, {{{DefaultNotes(4), 4}, {DefaultNotes(4), 4}}}, TCountInLanguage::English);
  TWav4416MI expected;
  TPlanSamples samples(plan, plan.TotalSamples(), ReadResource);
  while (const auto block = samples.Next()) expected.insert(expected.end(), block->begin(), block->end());
  const std::vector<std::int16_t> recorded = ReadRecording(RecordingPath());
  const auto first = std::find_if(recorded.begin(), recorded.end(), [](std::int16_t v) { return v != 0; });
  const auto expectedFirst = std::find_if(expected.begin(), expected.end(), [](std::int16_t v) { return v != 0; });
  ASSERT_NE(first, recorded.end()) << "nothing was heard";
  ASSERT_NE(expectedFirst, expected.end());
  const auto heard = static_cast<std::size_t>(recorded.end() - first);
  const auto wanted = static_cast<std::size_t>(expected.end() - expectedFirst);
  ASSERT_GE(heard, wanted) << "the recording stops before the program's end";
  std::size_t wrong = 0, firstWrong = wanted;
  for (std::size_t i = 0; i < wanted; ++i)
    if (first[static_cast<std::ptrdiff_t>(i)] != expectedFirst[static_cast<std::ptrdiff_t>(i)] && wrong++ == 0) firstWrong = i;
  EXPECT_EQ(wrong, 0u) << "first difference " << firstWrong << " samples after the first sound";
  // After the end, silence until the device closed: the program is not looped.
  EXPECT_TRUE(std::all_of(first + static_cast<std::ptrdiff_t>(wanted), recorded.end(), [](std::int16_t v) { return v == 0; }));
  std::filesystem::remove(RecordingPath());
}

}  // namespace

int main(int argc, char* argv[]) {
  setenv("SDL_AUDIODRIVER", "disk", 1);
  setenv("SDL_DISKAUDIOFILE", RecordingPath().c_str(), 1);
  return RunQtTests(argc, argv);
}
