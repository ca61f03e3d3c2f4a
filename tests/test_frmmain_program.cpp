// A training program in the window, driven by a clock the test sets: what the title and the
// tempo field show, Start and Stop, the user taking over, the end, a program refused.
#include <QLineEdit>
#include <QMessageBox>

#include "fake_sound.h"
#include "frmmain_fixture.h"
#include "modal_driver.h"
#include "temp_folder.h"

namespace {

class FrmMainProgram : public FrmMain {
 protected:
  void SetUp() override {
    Open(FakeEnv(false, sound, folder.path));
  }
  void TearDown() override { frm.reset(); }

  // A warm-up measure at 120, then a ramp from 120 to 130 over two measures.
  std::filesystem::path SaveRamp(const std::string& pattern = "") {
    TProgram program;
    program.rounds.push_back({1,
                              {{"", 120, 120, TDurationUnit::Measures, 1, false, false},
                               {pattern, 120, 130, TDurationUnit::Measures, 2, false, false}}});
    const std::filesystem::path path = folder.path / "Ramp.tktp";
    SaveProgram(path, program);
    return path;
  }
  // Ticks as the timer would, 20 ms apart, until the condition holds (at most a minute).
  bool TickUntil(const std::function<bool()>& done) {
    for (int i = 0; i < 3000 && !done(); ++i) {
      sound.now += 20;
      a->Timer1Timer();
    }
    return done();
  }
  QString TempoText() { return a->seTempo()->findChild<QLineEdit*>()->text(); }

  TTempFolder folder;
  TFakeSound sound;
};

TEST_F(FrmMainProgram, TheTitleAndTempoFollowWhatIsHeardUntilItEnds) {
  sound.now = 1000;
  ASSERT_TRUE(frm->PlayProgram(SaveRamp()));
  EXPECT_TRUE(a->Playing());
  EXPECT_EQ(frm->windowTitle(), "TAKTOLA- Sports Metronome - Ramp - step 1/2 - round 1/1 (repeat 1/1) - 0:06 left");
  EXPECT_EQ(TempoText(), "120");
  ASSERT_TRUE(TickUntil([&] { return TempoText() == "130"; }));
  EXPECT_TRUE(frm->windowTitle().startsWith("TAKTOLA- Sports Metronome - Ramp - step 2/2")) << frm->windowTitle().toStdString();
  EXPECT_TRUE(frm->windowTitle().endsWith(" - 0:02 left")) << frm->windowTitle().toStdString();
  // Shown, not typed: the tempo field started no pattern.
  EXPECT_EQ(sound.loops.size(), 3u) << "the three measures, each once";
  // Each measure after the first comes with the few samples before its boundary.
  EXPECT_GE(sound.loops[1].size(), MeasureLength(4, 120));
  EXPECT_LT(sound.loops[1].size(), MeasureLength(4, 120) + 45);
  ASSERT_TRUE(TickUntil([&] { return !a->Playing(); }));
  EXPECT_EQ(frm->windowTitle(), "TAKTOLA- Sports Metronome");
  EXPECT_EQ(TempoText(), "120") << "the user's tempo again";
  EXPECT_EQ(sound.stops, 1);
  EXPECT_EQ(sound.loops.size(), 4u) << "and the silence after them";
  EXPECT_TRUE(std::all_of(sound.loops[3].begin() + 45, sound.loops[3].end(), [](std::int16_t v) { return v == 0; }));
}

TEST_F(FrmMainProgram, StartBeginsItAgainStopEndsItAndTheUsersTempoTakesOver) {
  ASSERT_TRUE(frm->PlayProgram(SaveRamp()));
  ASSERT_TRUE(TickUntil([&] { return frm->windowTitle().contains("step 2/2"); }));
  QTest::mouseClick(a->btStop(), Qt::LeftButton);
  EXPECT_FALSE(a->Playing());
  EXPECT_EQ(frm->windowTitle(), "TAKTOLA- Sports Metronome");
  QTest::mouseClick(a->btStart(), Qt::LeftButton);
  EXPECT_TRUE(frm->windowTitle().contains("step 1/2")) << "from the beginning";
  EXPECT_EQ(sound.loops.back().size(), MeasureLength(4, 120));
  // The user types a tempo: the program ends, the pattern plays on at that tempo.
  a->seTempo()->findChild<QLineEdit*>()->setText("150");
  EXPECT_TRUE(a->Playing());
  EXPECT_EQ(frm->windowTitle(), "TAKTOLA- Sports Metronome");
  EXPECT_EQ(sound.loops.back().size(), MeasureLength(4, 150));
  // Taking over unloaded the program: Start starts the pattern.
  QTest::mouseClick(a->btStop(), Qt::LeftButton);
  QTest::mouseClick(a->btStart(), Qt::LeftButton);
  EXPECT_EQ(frm->windowTitle(), "TAKTOLA- Sports Metronome");
  EXPECT_EQ(sound.loops.back().size(), MeasureLength(4, 150));
}

TEST_F(FrmMainProgram, AProgramWithAMissingPatternIsRefusedNamingIt) {
  TModalDriver driver;
  driver.Then([](QWidget* w) {
    auto* box = qobject_cast<QMessageBox*>(w);
    ASSERT_NE(box, nullptr);
    EXPECT_TRUE(box->text().contains("these patterns are missing: \"Sprint\"")) << box->text().toStdString();
    box->accept();
  });
  EXPECT_FALSE(frm->PlayProgram(SaveRamp("Sprint")));
  EXPECT_FALSE(a->Playing());
  EXPECT_TRUE(sound.loops.empty());
}

TEST_F(FrmMainProgram, ASavedPatternsStepIsShownButNotEditedThroughTheView) {
  TNotes saved = DefaultNotes(3);
  saved[1].offset = 20;
  SaveNotes(folder.path / "Waltz.tktm", saved, 0, 140, ".");
  const TNotes before = a->Notes();
  ASSERT_TRUE(frm->PlayProgram(SaveRamp("Waltz")));
  // Into the second step, which plays the saved 3/4 pattern.
  ASSERT_TRUE(TickUntil([&] { return TempoText() != "120"; }));
  // A press on the saved pattern's second note, which the current pattern has not there.
  const QPoint second(SixteenthX(MeasureGeometry(a->Image1()->width(), a->Image1()->height(), 3).c, 20),
                      a->Image1()->height() / 2);
  QTest::mouseClick(a->Image1(), Qt::LeftButton, Qt::NoModifier, second);
  QTest::keyClick(a->Image1(), Qt::Key_Delete);
  QTest::keyClick(a->Image1(), Qt::Key_Insert);
  EXPECT_EQ(a->Notes(), before);
  EXPECT_EQ(a->NotesIndex(), -1);
}

TEST(ProgramTitle, NamesTheStepRoundRepetitionAndTimeLeftInTheUiLanguage) {
  TProgram program;
  program.rounds.push_back({1, {TProgramStep{}}});
  program.rounds.push_back({3, {TProgramStep{}, TProgramStep{}}});
  TPlannedMeasure heard;
  heard.place = {1, 1};
  heard.repetition = 1;
  const struct {
    bool japanese;
    std::uint64_t samplesLeft;
    const char* title;
  } cases[] = {
      {false, 75 * 44100, "TAKTOLA- Sports Metronome - Run - step 3/3 - round 2/2 (repeat 2/3) - 1:15 left"},
      // A part of a second left counts as a second.
      {false, 1, "TAKTOLA- Sports Metronome - Run - step 3/3 - round 2/2 (repeat 2/3) - 0:01 left"},
      {true, 75 * 44100, "TAKTOLA- Sports Metronome - Run - ステップ 3/3 - ラウンド 2/2 (2/3回目) - 残り 1:15"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(ProgramTitle("Run", program, heard, c.samplesLeft, c.japanese).toStdString(), c.title);
}

}  // namespace
