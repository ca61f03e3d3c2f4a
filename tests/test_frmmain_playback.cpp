// Start, Stop, in-phase restarts and the playhead, driven by a clock the test sets.
#include <QLineEdit>
#include <QMessageBox>

#include "audio/uBeatClock.h"
#include "fake_sound.h"
#include "frmmain_fixture.h"
#include "modal_driver.h"
#include "platform/uResources.h"

namespace {

class FrmMainPlayback : public FrmMain {
 protected:
  void SetUp() override {
    TFrmMainEnv env{[] { return false; }};
    env.Sound = &sound;
    Open(std::move(env));
  }
  void TearDown() override {
    frm.reset();  // before the fake sound goes
  }

  void Start() { QTest::mouseClick(a->btStart(), Qt::LeftButton); }
  void Stop() { QTest::mouseClick(a->btStop(), Qt::LeftButton); }
  void After(std::uint32_t ms) { sound.now += ms; }
  QLineEdit* TempoEdit() { return a->seTempo()->findChild<QLineEdit*>(); }

  TFakeSound sound;
};

TEST_F(FrmMainPlayback, StartPlaysTheMeasureFromItsFirstSample) {
  sound.now = 5000;
  Start();
  EXPECT_TRUE(a->Playing());
  // The first tick comes when the second sixteenth is heard, 31.25 ms on.
  EXPECT_EQ(a->TimerInterval(), 32);
  EXPECT_EQ(a->WavLength(), 88200u);
  EXPECT_EQ(a->WavOffset(), 0u);
  EXPECT_EQ(a->TimeStart(), 5000u);
  ASSERT_EQ(sound.loops.size(), 1u);
  EXPECT_EQ(sound.loops[0], Expected(0));
  EXPECT_EQ(a->MemoryStream().bytes.size(), 44u + 2 * 88200);
  EXPECT_EQ(a->MemoryStream().position, 0u);
  EXPECT_EQ(sound.starts, std::vector<std::uint32_t>{5000});  // stamped with the start it read

  EXPECT_EQ(DrawnPlayhead(), 0);
  After(1000);
  EXPECT_EQ(DrawnPlayhead(), 32);
  After(1000);
  EXPECT_EQ(DrawnPlayhead(), 0);
}

TEST_F(FrmMainPlayback, TempoChangesKeepTheBeat) {
  Start();
  After(1500);
  TempoEdit()->setText("60");
  EXPECT_EQ(a->TPCount(), 60);
  EXPECT_EQ(a->WavLength(), 176400u);
  EXPECT_EQ(a->WavOffset(), 132300u);
  EXPECT_EQ(a->TimerInterval(), 63);  // a sixteenth at 60 BPM is 62.5 ms
  ASSERT_EQ(sound.loops.size(), 2u);
  EXPECT_EQ(sound.loops[1], Expected(132300));
  EXPECT_EQ(DrawnPlayhead(), 48);

  // Every further change keeps it too: here a note moved, at the release.
  After(250);
  Press(NoteX(16), Middle());
  MoveTo(NoteX(24), Middle());
  EXPECT_EQ(sound.loops.size(), 2u);  // not while dragging
  Release(NoteX(24), Middle());
  ASSERT_EQ(sound.loops.size(), 3u);
  EXPECT_EQ(a->WavOffset(), 143325u);
  EXPECT_EQ(sound.loops[2], Expected(143325));
  EXPECT_EQ(DrawnPlayhead(), 52);
}

TEST_F(FrmMainPlayback, TimeSignatureChangeKeepsTheFractionOfTheMeasure) {
  Start();
  After(1000);  // half of the 4/4 measure
  Pick(a->cbTimeS(), 2);  // 6/4
  EXPECT_EQ(a->WavOffset(), 66150u);
  EXPECT_EQ(sound.loops.back(), Expected(66150));
  EXPECT_EQ(DrawnPlayhead(), 48);
}

TEST_F(FrmMainPlayback, ClockWrapIsHarmless) {
  sound.now = 0xFFFFFFFFu - 499;
  Start();
  After(1000);  // the clock has wrapped to 500
  EXPECT_EQ(sound.now, 500u);
  EXPECT_EQ(DrawnPlayhead(), 32);
  Pick(a->cbTimeS(), 1);
  EXPECT_EQ(a->WavOffset(), 44100u);
}

TEST_F(FrmMainPlayback, StartWhilePlayingGoesBackToTheFirstSixteenth) {
  Start();
  After(700);
  TempoEdit()->setText("90");
  After(300);
  Start();
  EXPECT_EQ(a->WavOffset(), 0u);
  EXPECT_EQ(sound.loops.back(), Expected(0));
  EXPECT_EQ(a->TimerInterval(), 42);  // a sixteenth at 90 BPM is 41.7 ms
  EXPECT_EQ(DrawnPlayhead(), 0);
}

TEST_F(FrmMainPlayback, StopEndsTheLoopAndWipesThePlayhead) {
  Start();
  After(400);
  EXPECT_EQ(DrawnPlayhead(), 12);
  Stop();
  EXPECT_FALSE(a->Playing());
  EXPECT_EQ(sound.stops, 1);
  EXPECT_FALSE(sound.playing);
  const QImage shown = ShownMeasure();
  for (int s = 0; s < 64; ++s)
    EXPECT_EQ(shown.pixel(SixteenthX(Geometry().c, s), TImage::FocusMarkWidth) & 0xFFFFFF, Rgb(clWhite)) << s;
  // A change while stopped plays nothing.
  QTest::mouseClick(a->BtNoteAdd(), Qt::LeftButton);
  TempoEdit()->setText("200");
  EXPECT_EQ(sound.loops.size(), 1u);
  EXPECT_FALSE(a->Playing());
}

TEST_F(FrmMainPlayback, EveryChangeOfTheSoundRestartsAPlayingMeasure) {
  a->cbNotesList()->addItem("Run");
  Start();
  ClickNote(1);  // a press and release restarts too
  std::size_t loops = sound.loops.size();
  EXPECT_EQ(loops, 2u);
  const auto expectRestart = [&](const char* what) {
    EXPECT_EQ(sound.loops.size(), ++loops) << what;
    EXPECT_EQ(sound.loops.back(), Expected(a->WavOffset())) << what;
    EXPECT_TRUE(a->Playing()) << what;
  };
  Pick(a->cbType(), 4);
  expectRestart("type");
  Pick(a->cbType(), 0);
  expectRestart("type back");
  Pick(a->cbTone(), 12);
  expectRestart("tone");
  Pick(a->cbLength(), 1);
  expectRestart("length");
  Pick(a->cbLoudness(), 0);
  expectRestart("loudness");
  QTest::mouseClick(a->btNoteDelete(), Qt::LeftButton);
  expectRestart("delete");
  QTest::mouseClick(a->BtNoteAdd(), Qt::LeftButton);
  expectRestart("add");
  Pick(a->cbTimeS(), 0);
  expectRestart("time signature");
  TempoEdit()->setText("150");
  expectRestart("tempo");
  EXPECT_EQ(sound.stops, 0);
}

void CloseBoxes() {
  for (QMessageBox* box : VisibleBoxes()) box->button(QMessageBox::Ok)->click();
  QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

TEST_F(FrmMainPlayback, WithoutASoundDeviceThePlayheadRunsAndTheUserIsToldOnce) {
  const struct {
    bool japanese;
    const char* text;
  } languages[] = {{false,
                    "No sound device can be opened. The metronome runs on without sound and plays again as soon as "
                    "a device is available."},
                   {true, "サウンドデバイスを開けません。音なしで動作を続け、デバイスが使えるようになると再び鳴ります。"}};
  for (const auto& language : languages) {
    SCOPED_TRACE(language.japanese ? "Japanese" : "English");
    frm.reset();
    sound = TFakeSound{};
    TFrmMainEnv env{[japanese = language.japanese] { return japanese; }};
    env.Sound = &sound;
    Open(std::move(env));
    const auto expectOneBox = [&](const char* when) {
      const QList<QMessageBox*> boxes = VisibleBoxes();
      ASSERT_EQ(boxes.size(), 1) << when;
      EXPECT_EQ(boxes[0]->text(), QString::fromUtf8(language.text)) << when;
      EXPECT_EQ(boxes[0]->windowTitle(), "警告") << when;
      EXPECT_EQ(boxes[0]->icon(), QMessageBox::Warning) << when;
      ASSERT_NE(boxes[0]->button(QMessageBox::Ok), nullptr) << when;
      EXPECT_EQ(boxes[0]->button(QMessageBox::Ok)->text(), "OK") << when;
      // It blocks neither the window nor the timer.
      EXPECT_EQ(QApplication::activeModalWidget(), nullptr) << when;
      EXPECT_TRUE(a->Playing()) << when;
    };

    sound.deviceWorks = false;
    Start();
    expectOneBox("at Start");
    After(500);
    EXPECT_EQ(DrawnPlayhead(), 16);  // each tick asks after the device again
    EXPECT_GT(sound.checks, 0);
    // Not again while there is still no sound: a second Start, restarts, ticks.
    Start();
    TempoEdit()->setText("90");
    DrawnPlayhead();
    expectOneBox("after a second Start");
    CloseBoxes();
    EXPECT_TRUE(VisibleBoxes().empty());
    Start();
    DrawnPlayhead();
    EXPECT_TRUE(VisibleBoxes().empty());
    // Sound worked again, then failed again: the user is told again.
    sound.deviceWorks = true;
    DrawnPlayhead();
    EXPECT_TRUE(VisibleBoxes().empty());
    sound.deviceWorks = false;
    After(1000);
    DrawnPlayhead();
    expectOneBox("after the device was lost again");
    CloseBoxes();
  }
}

TEST_F(FrmMainPlayback, PlayheadShowsTheSixteenthBeingHeard) {
  sound.latencyMs = 40;
  Start();
  After(1000);
  EXPECT_EQ(DrawnPlayhead(), 30);  // 960 ms heard
}

TEST_F(FrmMainPlayback, TimerTicksDrawThePlayhead) {
  Start();
  After(250);
  QTest::qWait(a->TimerInterval() * 3);  // real ticks of Timer1
  EXPECT_NE(ShownPlayhead(), -1);
}

TEST_F(FrmMainPlayback, OffTheScreenTheTimerSlowsAndCatchesUpWhenShownAgain) {
  Start();
  After(100);
  a->Timer1Timer();
  const int onScreen = a->TimerInterval();
  EXPECT_LE(onScreen, 32);  // a sixteenth at 120 BPM is 31.25 ms
  frm->hide();
  ASSERT_TRUE(QTest::qWaitFor([&] { return !frm->windowHandle()->isExposed(); }));
  a->Timer1Timer();
  EXPECT_GT(a->TimerInterval(), 200);  // nothing to draw: about four ticks a second
  EXPECT_TRUE(a->Playing());
  // Shown again 1 s later: the playhead is where the sound is at once, not after a slow tick.
  After(1000);
  frm->show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(frm.get()));
  ASSERT_TRUE(QTest::qWaitFor([&] { return ShownPlayhead() == 35; }, 150));  // 1100 ms heard
  EXPECT_LE(a->TimerInterval(), 32);
}

// ---- A start or restart that fails --------------------------------------------------------

class FrmMainPlaybackFailure : public FrmMainPlayback {
 protected:
  void SetUp() override {
    TFrmMainEnv env{[] { return false; }};
    env.Sound = &sound;
    // The voice recordings can go missing, as when a resource cannot be read.
    env.Resources = [this](std::string_view name) -> std::optional<std::span<const std::uint8_t>> {
      if (voicesGone) return std::nullopt;
      return ReadResource(name);
    };
    Open(std::move(env));
  }
  bool NoPlayhead() {
    const QImage shown = ShownMeasure();
    for (int s = 0; s < 16 * a->TSCount(); ++s)
      if ((shown.pixel(SixteenthX(Geometry().c, s), TImage::FocusMarkWidth) & 0xFFFFFF) != Rgb(clWhite)) return false;
    return true;
  }

  bool voicesGone = false;
};

TEST_F(FrmMainPlaybackFailure, PlaybackStopsCleanlyAndStartsAgainOnceTheCauseIsGone) {
  enum TCause { Voices, HandOver };
  const struct {
    TCause cause;
    bool whilePlaying;  // an edit while playing, else Start
    const char* reported;
  } cases[] = {{Voices, false, "voice resource EN_NUM0_01 not found."},
               {Voices, true, "voice resource EN_NUM0_01 not found."},
               {HandOver, false, "std::bad_alloc."},
               {HandOver, true, "std::bad_alloc."}};
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.cause == Voices ? "voices" : "hand-over") + (c.whilePlaying ? " at an edit" : " at Start"));
    TearDown();
    sound = TFakeSound{};
    SetUp();
    ClickNote(0);
    Pick(a->cbType(), 1);  // "One", a voice recording
    if (c.whilePlaying) {
      Start();
      After(400);
      ASSERT_EQ(DrawnPlayhead(), 12);
    }
    const std::size_t loops = sound.loops.size();
    const int stops = sound.stops;
    voicesGone = c.cause == Voices;
    sound.handOverFails = c.cause == HandOver;
    {
      TModalDriver driver;
      driver.Then([&](QWidget* w) {
        auto* box = qobject_cast<QMessageBox*>(w);
        ASSERT_NE(box, nullptr);
        EXPECT_EQ(box->icon(), QMessageBox::Critical);
        EXPECT_EQ(box->text(), c.reported);
        box->button(QMessageBox::Ok)->click();
      });
      if (c.whilePlaying)
        QTest::mouseClick(a->BtNoteAdd(), Qt::LeftButton);
      else
        Start();
    }
    // Stopped as by Stop: nothing sounds, no timer, no playhead, no half-made image.
    EXPECT_FALSE(a->Playing());
    EXPECT_FALSE(sound.playing);
    EXPECT_EQ(sound.stops, stops + 1);
    EXPECT_EQ(sound.loops.size(), loops);
    EXPECT_TRUE(NoPlayhead());
    EXPECT_EQ(a->WavLength(), 0u);
    EXPECT_EQ(a->WavOffset(), 0u);
    EXPECT_TRUE(a->MemoryStream().bytes.empty());
    // Edits while stopped play nothing.
    TempoEdit()->setText("90");
    EXPECT_FALSE(a->Playing());

    // Once the cause is gone, Start plays, and edits reach the sound again.
    voicesGone = false;
    sound.handOverFails = false;
    Start();
    ASSERT_TRUE(a->Playing());
    EXPECT_EQ(sound.loops.back(), Expected(0));
    After(500);
    TempoEdit()->setText("120");
    EXPECT_EQ(a->WavLength(), MeasureLength(a->TSCount(), 120));
    EXPECT_EQ(sound.loops.back(), Expected(a->WavOffset()));
    EXPECT_NE(a->WavOffset(), 0u);
    EXPECT_TRUE(a->Playing());
  }
}

// ---- The tempo field as a user types -------------------------------------------------------

class TempoField : public FrmMainPlayback {
 protected:
  void Type(const char* keys) {
    TempoEdit()->setFocus();
    QTest::keyClicks(TempoEdit(), keys);
  }
  void SelectAll() {
    TempoEdit()->setFocus();
    TempoEdit()->selectAll();
  }
  void Enter() { QTest::keyClick(a->seTempo(), Qt::Key_Return); }
  void LeaveField() {
    a->btStart()->setFocus();
    QApplication::processEvents();
  }
};

TEST_F(TempoField, TypedTextStaysWhileTyping) {
  const struct {
    const char* typed;
    int whileTyping;  // TPCount after the last key
    const char* afterEditing;
    int tempo;
  } cases[] = {{"90", 90, "90", 90}, {"120", 120, "120", 120}, {"300", 240, "240", 240}, {"30", 60, "60", 60},
               {"7", 60, "60", 60},  {"240", 240, "240", 240}};
  for (const auto& c : cases) {
    for (bool byEnter : {false, true}) {
      SCOPED_TRACE(std::string(c.typed) + (byEnter ? " Enter" : " focus out"));
      SelectAll();
      Type(c.typed);
      EXPECT_EQ(TempoEdit()->text(), c.typed);
      EXPECT_EQ(a->TPCount(), c.whileTyping);
      if (byEnter)
        Enter();
      else
        LeaveField();
      EXPECT_EQ(TempoEdit()->text(), c.afterEditing);
      EXPECT_EQ(a->TPCount(), c.tempo);
      EXPECT_EQ(a->seTempo()->value(), c.tempo);
    }
  }
}

TEST_F(TempoField, EachKeystrokeTakesEffectAtOnce) {
  Start();
  SelectAll();
  Type("9");
  EXPECT_EQ(TempoEdit()->text(), "9");
  EXPECT_EQ(a->TPCount(), 60);
  EXPECT_EQ(a->WavLength(), MeasureLength(4, 60));
  Type("0");
  EXPECT_EQ(a->TPCount(), 90);
  EXPECT_EQ(a->WavLength(), MeasureLength(4, 90));
  EXPECT_EQ(sound.loops.size(), 3u);
  EXPECT_EQ(TempoEdit()->text(), "90");
}

TEST_F(TempoField, EmptyFieldPlaysAt60AndStaysEmpty) {
  Start();
  SelectAll();
  QTest::keyClick(TempoEdit(), Qt::Key_Backspace);
  EXPECT_EQ(TempoEdit()->text(), "");
  EXPECT_EQ(a->TPCount(), 60);
  EXPECT_EQ(a->WavLength(), MeasureLength(4, 60));
  LeaveField();
  EXPECT_EQ(TempoEdit()->text(), "");
  EXPECT_EQ(a->TPCount(), 60);
  SelectAll();
  Enter();
  EXPECT_EQ(TempoEdit()->text(), "");
  // The arrows go on from the tempo that plays.
  QTest::keyClick(a->seTempo(), Qt::Key_Up);
  EXPECT_EQ(TempoEdit()->text(), "61");
  EXPECT_EQ(a->TPCount(), 61);
}

TEST_F(TempoField, ArrowsAndWheelStepWithinTheLimits) {
  a->seTempo()->setFocus();
  QTest::keyClick(a->seTempo(), Qt::Key_Down);
  EXPECT_EQ(a->TPCount(), 119);
  a->seTempo()->setValue(240);
  EXPECT_EQ(a->TPCount(), 240);
  QTest::keyClick(a->seTempo(), Qt::Key_Up);
  EXPECT_EQ(TempoEdit()->text(), "240");
  QWheelEvent wheel(QPointF(5, 5), a->seTempo()->mapToGlobal(QPointF(5, 5)), QPoint(), QPoint(0, -120), Qt::NoButton,
                    Qt::NoModifier, Qt::NoScrollPhase, false);
  QApplication::sendEvent(a->seTempo(), &wheel);
  EXPECT_EQ(a->TPCount(), 239);
  // Letters never get in.
  SelectAll();
  Type("1a2");
  EXPECT_EQ(TempoEdit()->text(), "12");
}

}  // namespace
