// The main window from the keyboard: keys go to the window as a user's do (to the control
// with the focus), and end in the same state as the clicks and drags they stand for.
#include <QAccessible>
#include <QDialog>
#include <QLineEdit>

#include "fake_sound.h"
#include "frmmain_fixture.h"
#include "modal_driver.h"
#include "temp_folder.h"
#include "ui/uHints.h"
#include "ui/uVCLFrmAbout.h"

namespace {

class FrmMainKeyboard : public FrmMain {
 protected:
  void SetUp() override { Reopen(false); }
  void TearDown() override { frm.reset(); }

  void Reopen(bool japanese) {
    frm.reset();
    Open(FakeEnv(japanese, sound, folder.path));
    frm->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(frm.get()));
  }

  // A key as the keyboard delivers it: to the window, which hands it to the focused control.
  void Key(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    Activate();
    QTest::keyClick(frm->windowHandle(), key, modifiers);
  }
  void Start() { QTest::mouseClick(a->btStart(), Qt::LeftButton); }
  // Keys go to the active window; a dialog or another window may have taken that.
  void Activate() {
    if (frm->isActiveWindow()) return;
    frm->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(frm.get()));
  }
  void FocusOn(QWidget* control) {
    Activate();
    control->setFocus(Qt::OtherFocusReason);
    ASSERT_TRUE(control->hasFocus()) << control->objectName().toStdString();
  }

  TTempFolder folder;
  TFakeSound sound;
};

// What the user sees of the pattern and the editor.
struct TShown {
  TNotes notes;
  int notesIndex;
  int listIndex;
  std::vector<int> editor;
  bool editorEnabled;
  bool operator==(const TShown&) const = default;
};

std::ostream& operator<<(std::ostream& out, const TShown& s) {
  out << "notes";
  for (const TNote& n : s.notes) out << ' ' << n.offset;
  out << ", selected " << s.notesIndex << ", list " << s.listIndex << ", editor";
  for (int i : s.editor) out << ' ' << i;
  return out << (s.editorEnabled ? " enabled" : " disabled");
}

TShown Shown(TFrmMainAccess& a) {
  return {a.Notes(),
          a.NotesIndex(),
          a.cbNotesList()->currentIndex(),
          {a.cbType()->currentIndex(), a.cbTone()->currentIndex(), a.cbLength()->currentIndex(),
           a.cbLoudness()->currentIndex()},
          a.cbType()->isEnabled()};
}

TEST_F(FrmMainKeyboard, SpaceStartsAndStopsWhereverTheFocusIsButInTheTempoField) {
  for (QWidget* control : QList<QWidget*>{a->cbTimeS(), a->btStop(), a->Image1(), a->cbNotesList(), a->btAbout()}) {
    SCOPED_TRACE(control->objectName().toStdString());
    FocusOn(control);
    Key(Qt::Key_Space);
    EXPECT_TRUE(a->Playing());
    EXPECT_EQ(sound.loops.size(), 1u);
    Key(Qt::Key_Space);
    EXPECT_FALSE(a->Playing());
    EXPECT_EQ(sound.stops, 1);
    sound = TFakeSound{};
  }
  FocusOn(a->seTempo());
  Key(Qt::Key_Space);
  EXPECT_FALSE(a->Playing());
  EXPECT_EQ(a->seTempo()->lineEdit()->text(), "120");
  EXPECT_TRUE(VisibleBoxes().isEmpty());
}

TEST_F(FrmMainKeyboard, EnterActivatesTheFocusedButton) {
  FocusOn(a->btStart());
  Key(Qt::Key_Return);
  EXPECT_TRUE(a->Playing());
  FocusOn(a->btStop());
  Key(Qt::Key_Enter, Qt::KeypadModifier);
  EXPECT_FALSE(a->Playing());
  FocusOn(a->BtNoteAdd());
  Key(Qt::Key_Return);
  EXPECT_EQ(a->Notes().size(), 5u);
}

TEST_F(FrmMainKeyboard, PlusAndMinusStepTheTempoFromAnywhere) {
  struct Case {
    QWidget* focus;
    Qt::Key key;
    Qt::KeyboardModifiers modifiers;
    int tempo;
  };
  const Case cases[] = {
      {a->cbTimeS(), Qt::Key_Plus, Qt::NoModifier, 121},
      {a->seTempo(), Qt::Key_Plus, Qt::ShiftModifier, 131},  // "+" typed with Shift, as on US keyboards
      {a->Image1(), Qt::Key_Equal, Qt::NoModifier, 132},     // the "+" key without Shift there
      {a->btStart(), Qt::Key_Minus, Qt::NoModifier, 131},
      {a->cbTone(), Qt::Key_Minus, Qt::ShiftModifier, 121},
      {a->seTempo(), Qt::Key_Underscore, Qt::ShiftModifier, 111},
      {a->Image1(), Qt::Key_Plus, Qt::KeypadModifier, 112},
      {a->cbNotesList(), Qt::Key_Plus, Qt::KeypadModifier | Qt::ShiftModifier, 122},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.tempo);
    if (c.focus->isEnabled()) FocusOn(c.focus);
    Key(c.key, c.modifiers);
    EXPECT_EQ(a->seTempo()->value(), c.tempo);
    EXPECT_EQ(a->TPCount(), c.tempo);
  }
  EXPECT_EQ(a->cbTimeS()->currentIndex(), 1);

  // Limited as the arrows limit it; while playing, each step restarts in phase.
  Key(Qt::Key_Plus, Qt::ShiftModifier);
  Start();
  for (int i = 0; i < 20; ++i) Key(Qt::Key_Plus, Qt::ShiftModifier);
  EXPECT_EQ(a->TPCount(), 240);
  EXPECT_EQ(sound.loops.size(), 12u);  // the start and eleven steps up to 240
  for (int i = 0; i < 30; ++i) Key(Qt::Key_Minus, Qt::ShiftModifier);
  EXPECT_EQ(a->TPCount(), 60);

  // A focused list keeps its own keys.
  FocusOn(a->cbTimeS());
  Key(Qt::Key_Down);
  EXPECT_EQ(a->cbTimeS()->currentIndex(), 2);
  EXPECT_EQ(a->TSCount(), 6);
  EXPECT_EQ(a->TPCount(), 60);
}

// ---- Tap tempo ----------------------------------------------------------------------------

// Each series of taps at its own pace, with the focus elsewhere each time: three taps leave the
// tempo alone, the fourth sets it. The series lie far apart on the sound's clock.
TEST_F(FrmMainKeyboard, TappingTSetsTheTempoWhereverTheFocusIsButInTheTempoField) {
  const struct {
    QWidget* focus;
    std::uint32_t intervalMs;
    int tempo;
  } cases[] = {
      {a->cbTimeS(), 400, 150}, {a->Image1(), 450, 133}, {a->btStart(), 333, 180},
      {a->cbNotesList(), 1100, 60}, {a->btAbout(), 240, 240},  // 55 and 250 BPM, limited
  };
  std::uint32_t at = 1000;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.intervalMs);
    FocusOn(c.focus);
    const int before = a->TPCount();
    for (int tap = 1; tap <= 4; ++tap, at += c.intervalMs) {
      sound.now = at;
      Key(Qt::Key_T);
      EXPECT_EQ(a->TPCount(), tap < 4 ? before : c.tempo) << "tap " << tap;
    }
    EXPECT_EQ(a->seTempo()->lineEdit()->text(), QString::number(c.tempo));
    EXPECT_TRUE(c.focus->hasFocus());
    at += 5000;
  }

  // In the tempo field T is a letter that the field refuses.
  FocusOn(a->seTempo());
  for (int tap = 0; tap < 4; ++tap, at += 500) {
    sound.now = at;
    Key(Qt::Key_T);
  }
  EXPECT_EQ(a->seTempo()->lineEdit()->text(), "240");
  EXPECT_EQ(a->TPCount(), 240);

  // A key held down taps once: its repeats add nothing to the series.
  FocusOn(a->Image1());
  at += 5000;
  for (int tap = 0; tap < 3; ++tap, at += 500) {
    sound.now = at;
    Key(Qt::Key_T);
  }
  sound.now = at;
  QTest::simulateEvent(frm->windowHandle(), true, Qt::Key_T, Qt::NoModifier, QStringLiteral("t"), true);
  EXPECT_EQ(a->TPCount(), 240);
  Key(Qt::Key_T);
  EXPECT_EQ(a->TPCount(), 120);
  // T with a modifier is no tap.
  for (int tap = 0; tap < 4; ++tap, at += 300) {
    sound.now = at;
    Key(Qt::Key_T, Qt::ShiftModifier);
  }
  EXPECT_EQ(a->TPCount(), 120);
}

// The fourth tap's tempo takes the same path as a tempo typed: a playing measure restarts at
// the phase it has reached.
TEST_F(FrmMainKeyboard, TappingWhilePlayingRestartsInPhase) {
  sound.now = 0;
  Start();
  for (const std::uint32_t at : {1000u, 1400u, 1800u, 2200u}) {
    sound.now = at;
    Key(Qt::Key_T);
  }
  EXPECT_EQ(a->TPCount(), 150);
  ASSERT_EQ(sound.loops.size(), 2u);
  EXPECT_EQ(sound.starts.back(), 2200u);
  // At 2200 ms the 2-second measure at 120 BPM is a tenth through; a tenth of the 1.6-second
  // measure at 150 BPM is sample 7056.
  EXPECT_EQ(a->WavLength(), 70560u);
  EXPECT_EQ(a->WavOffset(), 7056u);
  EXPECT_EQ(sound.loops.back(), Expected(7056));
  EXPECT_EQ(DrawnPlayhead(), 6);  // 0.4 of the first beat, before and after
  EXPECT_TRUE(a->Playing());
}

// Clicks on the tempo's label tap too; a quick second click, which reaches the label as a
// double click, is a tap like any other.
TEST_F(FrmMainKeyboard, ClickingTheTempoLabelTapsTheTempo) {
  FocusOn(a->cbTimeS());
  const QPoint label = a->LabelBPM()->mapTo(frm.get(), a->LabelBPM()->rect().center());
  const auto click = [&](std::uint32_t at) {
    sound.now = at;
    QTest::mouseClick(frm->windowHandle(), Qt::LeftButton, {}, label);
  };
  click(1000), click(1375), click(1750);
  EXPECT_EQ(a->TPCount(), 120);
  click(2125);
  EXPECT_EQ(a->TPCount(), 160);
  EXPECT_TRUE(a->cbTimeS()->hasFocus());

  // After a pause, a new series: two clicks and a double click.
  click(5000), click(5500);
  sound.now = 6000;
  QTest::mouseDClick(frm->windowHandle(), Qt::LeftButton, {}, label);
  EXPECT_EQ(a->TPCount(), 120);  // intervals 500, 500 and 0: the median is 500

  // A press on the label that is let go beside it is no click, and no tap.
  const QPoint beside = a->LabelBPM()->mapTo(frm.get(), QPoint(a->LabelBPM()->width() / 2, a->LabelBPM()->height() + 4));
  ASSERT_NE(frm->childAt(beside), a->LabelBPM());
  for (std::uint32_t at = 9000; at < 11000; at += 300) {
    sound.now = at;
    QTest::mousePress(frm->windowHandle(), Qt::LeftButton, {}, label);
    QTest::mouseRelease(frm->windowHandle(), Qt::LeftButton, {}, beside);
  }
  EXPECT_EQ(a->TPCount(), 120);
}

TEST_F(FrmMainKeyboard, CommandKeys) {
  {
    TModalDriver driver;
    driver.Then([](QWidget* dialog) {
      EXPECT_EQ(dialog->windowTitle(), "Add Item");
      static_cast<QDialog*>(dialog)->reject();
    });
    Key(Qt::Key_S, Qt::ControlModifier);
  }
  {
    TVCLFrmAbout about(frm.get(), TVCLFrmAboutEnv{});
    frm->AttachAbout(&about);
    TModalDriver driver;
    driver.Then([](QWidget* dialog) {
      EXPECT_EQ(dialog->windowTitle(), "About");
      static_cast<QDialog*>(dialog)->accept();
    });
    FocusOn(a->Image1());
    Key(Qt::Key_F1);
    frm->AttachAbout(nullptr);
  }
  Key(Qt::Key_Q, Qt::ControlModifier);
  EXPECT_FALSE(frm->isVisible());
}

TEST_F(FrmMainKeyboard, TabReachesTheMeasureViewAfterThePatternList) {
  FocusOn(a->cbNotesList());
  Key(Qt::Key_Tab);
  EXPECT_TRUE(a->Image1()->hasFocus());
  Key(Qt::Key_Tab);
  EXPECT_TRUE(a->cbTone()->hasFocus() || a->cbType()->hasFocus() || a->btAbout()->hasFocus());
}

// The same edits by mouse in one window and by keyboard in another end in the same state.
TEST_F(FrmMainKeyboard, NoteKeysDoWhatTheMouseDoes) {
  TFakeSound mouseSound;
  TFrmMainEnv env = FakeEnv(false, mouseSound, folder.path);
  TFrmMain byMouse(std::move(env));
  TFrmMainAccess m(byMouse);
  byMouse.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&byMouse));
  for (auto* list : {a->cbNotesList(), m.cbNotesList()}) list->setCurrentIndex(-1);

  const auto mouse = [&](const std::function<void(const TMeasureGeometry&, int middle)>& gesture) {
    const TMeasureGeometry g = MeasureGeometry(m.Image1()->width(), m.Image1()->height(), m.TSCount());
    gesture(g, g.m);
  };
  const auto press = [&](int x, int y) {
    QTest::mousePress(byMouse.windowHandle(), Qt::LeftButton, {}, m.Image1()->mapTo(&byMouse, QPoint(x, y)));
  };
  const auto move = [&](int x, int y) {
    QTest::mouseMove(byMouse.windowHandle(), m.Image1()->mapTo(&byMouse, QPoint(x, y)));
  };
  const auto release = [&](int x, int y) {
    QTest::mouseRelease(byMouse.windowHandle(), Qt::LeftButton, {}, m.Image1()->mapTo(&byMouse, QPoint(x, y)));
  };
  const auto click = [&](int offset) {
    mouse([&](const TMeasureGeometry& g, int y) {
      press(SixteenthX(g.c, offset), y);
      release(SixteenthX(g.c, offset), y);
    });
  };
  const auto drag = [&](int from, int to) {
    mouse([&](const TMeasureGeometry& g, int y) {
      press(SixteenthX(g.c, from), y);
      move(SixteenthX(g.c, to), y);
      release(SixteenthX(g.c, to), y);
    });
  };

  Key(Qt::Key_Space);
  QTest::mouseClick(m.btStart(), Qt::LeftButton);
  FocusOn(a->Image1());

  struct Step {
    const char* what;
    std::function<void()> keys, gesture;
  } steps[] = {
      {"select the first", [&] { Key(Qt::Key_Right); }, [&] { click(0); }},
      {"the next", [&] { Key(Qt::Key_Right); }, [&] { click(16); }},
      {"move it a sixteenth on", [&] { Key(Qt::Key_Right, Qt::ShiftModifier); }, [&] { drag(16, 17); }},
      {"and back twice", [&] { Key(Qt::Key_Left, Qt::ShiftModifier), Key(Qt::Key_Left, Qt::ShiftModifier); },
       [&] { drag(17, 15); }},
      {"the previous", [&] { Key(Qt::Key_Left); }, [&] { click(0); }},
      {"not before the start", [&] { Key(Qt::Key_Left, Qt::ShiftModifier); }, [&] { drag(0, -3); }},
      {"delete it", [&] { Key(Qt::Key_Delete); }, [&] { QTest::mouseClick(m.btNoteDelete(), Qt::LeftButton); }},
      {"add one", [&] { Key(Qt::Key_Insert); }, [&] { QTest::mouseClick(m.BtNoteAdd(), Qt::LeftButton); }},
      {"not past the end", [&] { Key(Qt::Key_Right, Qt::ShiftModifier); }, [&] { drag(64, 70); }},
  };
  for (const Step& step : steps) {
    SCOPED_TRACE(step.what);
    const std::size_t keyLoops = sound.loops.size(), mouseLoops = mouseSound.loops.size();
    step.keys();
    step.gesture();
    EXPECT_EQ(Shown(*a), Shown(m));
    // Each ends with a restart of the playing measure, as the release does, into the same loop.
    EXPECT_GT(sound.loops.size(), keyLoops);
    EXPECT_GT(mouseSound.loops.size(), mouseLoops);
    EXPECT_TRUE(sound.loops.back() == mouseSound.loops.back());
  }
  EXPECT_EQ(a->Notes().back().offset, 64);
  EXPECT_TRUE(a->Image1()->hasFocus());
  byMouse.close();
}

TEST_F(FrmMainKeyboard, ArrowsWalkTheNotesAlongTheTimeLine) {
  a->Notes() = {DefaultNote(32), DefaultNote(0), DefaultNote(32), DefaultNote(8)};
  FocusOn(a->Image1());
  std::vector<int> walked;
  for (int i = 0; i < 5; ++i) {
    Key(Qt::Key_Right);
    walked.push_back(a->NotesIndex());
  }
  for (int i = 0; i < 4; ++i) {
    Key(Qt::Key_Left);
    walked.push_back(a->NotesIndex());
  }
  EXPECT_EQ(walked, (std::vector<int>{1, 3, 0, 2, 2, 0, 3, 1, 1}));
  // Shift+arrows with nothing selected move nothing.
  Key(Qt::Key_Delete);
  Key(Qt::Key_Right, Qt::ShiftModifier);
  EXPECT_EQ(a->Notes(), (TNotes{DefaultNote(32), DefaultNote(32), DefaultNote(8)}));
  EXPECT_EQ(a->NotesIndex(), -1);
}

TEST_F(FrmMainKeyboard, TheFocusedMeasureViewIsMarkedInEitherTheme) {
  for (const bool light : {true, false}) {
    SCOPED_TRACE(light ? "light" : "dark");
    frm.reset();
    TFrmMainEnv env{[] { return false; }};
    env.Sound = &sound;
    env.LightTheme = light;
    env.AccentColor = Accent;
    Open(std::move(env));
    frm->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(frm.get()));
    const QPoint edge(0, a->Image1()->height() / 2);
    FocusOn(a->cbTimeS());
    EXPECT_EQ(a->Image1()->grab().toImage().pixel(edge) & 0xFFFFFF, Rgb(a->BGColor()));
    FocusOn(a->Image1());
    const QImage marked = a->Image1()->grab().toImage();
    EXPECT_EQ(marked.pixel(edge) & 0xFFFFFF, Rgb(Accent));
    EXPECT_EQ(marked.pixel(edge + QPoint(TImage::FocusMarkWidth, 0)) & 0xFFFFFF, Rgb(a->BGColor()));
    // The mark is drawn over the view, not into the picture of the measure.
    EXPECT_EQ(Pixel(edge.x(), edge.y()), Rgb(a->BGColor()));
  }
}

// ---- Tooltips and accessibility -----------------------------------------------------------

TEST_F(FrmMainKeyboard, EveryControlIsNamedAndTheButtonsNameTheirKeysInTheUiLanguage) {
  for (const bool japanese : {false, true}) {
    SCOPED_TRACE(japanese ? "Japanese" : "English");
    Reopen(japanese);
    const std::pair<QWidget*, std::array<const char*, 2>> names[] = {
        {a->cbNotesList(), {"Patterns", "パターン"}},  {a->btItemAdd(), {"Save pattern", "パターンを保存"}},
        {a->cbTimeS(), {"Time Signature", "拍子"}},    {a->seTempo(), {"Tempo (BPM)", "テンポ (BPM)"}},
        {a->btStart(), {"Start", "スタート"}},         {a->btStop(), {"Stop", "ストップ"}},
        {a->BtNoteAdd(), {"Add", "音追加"}},           {a->cbType(), {"Type", "Type"}},
        {a->cbTone(), {"Notename", "音名"}},           {a->cbLength(), {"Length", "長さ"}},
        {a->cbLoudness(), {"Loudness", "大きさ"}},     {a->btNoteDelete(), {"Delete", "音削除"}},
        {a->btAbout(), {"About", "バージョン情報"}},   {a->Image1(), {"Measure", "小節"}},
    };
    for (const auto& [control, name] : names) {
      // What a screen reader gets: Qt on Linux names a drop-down list by the item it shows and
      // points to the label that names it, elsewhere it takes the name given.
      SCOPED_TRACE(control->objectName().toStdString());
      QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(control);
      if (qobject_cast<QComboBox*>(control) == nullptr) {
        EXPECT_EQ(iface->text(QAccessible::Name), name[japanese]);
        continue;
      }
      EXPECT_EQ(control->accessibleName(), name[japanese]);
      if (control != a->cbNotesList()) {  // the one list without a label
        const auto labels = iface->relations(QAccessible::Label);
        ASSERT_EQ(labels.size(), 1) << control->objectName().toStdString();
        EXPECT_EQ(labels.front().first->text(QAccessible::Name), name[japanese]);
      }
    }

    const std::pair<QWidget*, const char*> keys[] = {{a->btItemAdd(), "(Ctrl+S)"}, {a->btAbout(), "(F1)"},
                                                     {a->btStart(), "(Space)"},    {a->btStop(), "(Space)"},
                                                     {a->BtNoteAdd(), "Insert"},   {a->btNoteDelete(), "Delete"},
                                                     {a->seTempo(), "T"},          {a->LabelBPM(), "T"}};
    for (const auto& [control, key] : keys) {
      const QString tip = control->toolTip();
      EXPECT_TRUE(tip.contains(key)) << tip.toStdString();
      // In the UI language: a Japanese tooltip holds Japanese, an English one none.
      const bool hasJapanese = std::any_of(tip.begin(), tip.end(), [](QChar ch) { return ch.unicode() >= 0x3000; });
      EXPECT_EQ(hasJapanese, japanese) << tip.toStdString();
    }
  }
}

TEST_F(FrmMainKeyboard, TheMeasureViewDescribesWhatItShows) {
  const auto description = [&] {
    return QAccessible::queryAccessibleInterface(a->Image1())->text(QAccessible::Description);
  };
  EXPECT_EQ(description(), "4/4, 4 notes, no note selected");
  FocusOn(a->Image1());
  Key(Qt::Key_Right), Key(Qt::Key_Right);
  EXPECT_EQ(description(), "4/4, 4 notes, note 2 of 4 at beat 2");
  Key(Qt::Key_Right, Qt::ShiftModifier);
  EXPECT_EQ(description(), "4/4, 4 notes, note 2 of 4 at beat 2 + 1/16");
  Pick(a->cbTimeS(), 0);
  EXPECT_EQ(description(), "3/4, 3 notes, no note selected");
  Reopen(true);
  EXPECT_EQ(description(), "4/4、4音、選択なし");
}

TEST(MeasureDescription, Cases) {
  const TNotes four = DefaultNotes(4);
  TNotes twoAtOnce{DefaultNote(64), DefaultNote(8), DefaultNote(8)};
  const struct {
    int tsCount;
    TNotes notes;
    int index;
    bool japanese;
    const char* text;
  } cases[] = {
      {4, four, -1, false, "4/4, 4 notes, no note selected"},
      {4, four, 1, false, "4/4, 4 notes, note 2 of 4 at beat 2"},
      {4, four, 1, true, "4/4、4音、4音中2番目、2拍目"},
      {8, {}, -1, false, "8/4, no notes"},
      {8, {}, -1, true, "8/4、音なし"},
      {3, {DefaultNote(24)}, 0, false, "3/4, 1 note, note 1 of 1 at beat 2 + 8/16"},
      {4, twoAtOnce, 0, false, "4/4, 3 notes, note 3 of 3 at the end of the measure"},
      {4, twoAtOnce, 2, false, "4/4, 3 notes, note 2 of 3 at beat 1 + 8/16"},
      {4, twoAtOnce, 0, true, "4/4、3音、3音中3番目、小節の終わり"},
  };
  for (const auto& c : cases) EXPECT_EQ(MeasureDescription(c.tsCount, c.notes, c.index, c.japanese), c.text);
}

TEST(TempoKeyStep, KeysAndModifiers) {
  const struct {
    int key;
    Qt::KeyboardModifiers modifiers;
    int step;
  } cases[] = {
      {Qt::Key_Plus, Qt::NoModifier, 1},        {Qt::Key_Plus, Qt::ShiftModifier, 10},
      {Qt::Key_Equal, Qt::NoModifier, 1},       {Qt::Key_Equal, Qt::ShiftModifier, -10},
      {Qt::Key_Minus, Qt::NoModifier, -1},      {Qt::Key_Minus, Qt::ShiftModifier, -10},
      {Qt::Key_Underscore, Qt::ShiftModifier, -10}, {Qt::Key_Plus, Qt::KeypadModifier, 1},
      {Qt::Key_Plus, Qt::ControlModifier, 0},   {Qt::Key_Minus, Qt::AltModifier, 0},
      {Qt::Key_A, Qt::NoModifier, 0},
  };
  for (const auto& c : cases) EXPECT_EQ(TempoKeyStep(c.key, c.modifiers), c.step) << c.key;
}

}  // namespace
