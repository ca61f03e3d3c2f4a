// The pattern list and saving, with a pattern folder of the test's own and the dialogs
// answered as a user would.
#include <QInputDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <fstream>
#include <sstream>

#include "audio/uBeatClock.h"
#include "fake_sound.h"
#include "fifo_watchdog.h"
#include "frmmain_fixture.h"
#include "hostile_patterns.h"
#include "modal_driver.h"
#include "temp_folder.h"

namespace {

class FrmMainPatterns : public FrmMain {
 protected:
  void SetUp() override { Reopen(); }
  void TearDown() override { frm.reset(); }

  // A new window, which lists the folder as it is now.
  void Reopen(bool japanese = false) {
    frm.reset();
    TFrmMainEnv env{[japanese] { return japanese; }};
    env.Sound = &sound;
    env.PatternFolders = [this] { return ChoosePatternFolders(folder.path, UserFolder(), programWritable); };
    env.DecimalSeparator = [] { return std::string("."); };
    Open(std::move(env));
  }

  void WriteFile(const std::string& name, const std::string& text) {
    std::ofstream(folder.path / PathFromUtf8(name), std::ios::binary) << text;
  }
  std::string ReadFile(const std::string& name) {
    std::ifstream in(folder.path / PathFromUtf8(name), std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
  }
  bool Exists(const std::string& name) { return std::filesystem::exists(folder.path / PathFromUtf8(name)); }
  std::vector<std::string> FolderNames() {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder.path)) names.push_back(entry.path().filename());
    return names;
  }

  void PickPattern(const QString& name) {
    const int index = a->cbNotesList()->findText(name);
    ASSERT_GT(index, 0) << name.toStdString();
    Pick(a->cbNotesList(), index);
  }

  void Save(const std::function<void(TModalDriver&)>& answers) {
    TModalDriver driver;
    answers(driver);
    QTest::mouseClick(a->btItemAdd(), Qt::LeftButton);
  }

  // The name box: check what it offers, then type a name (replacing the proposal) and press OK.
  static TModalDriver::TAction TypeName(const QString& typed, const QString& caption = "Add Item",
                                        const QString& prompt = "Item Name", const QString& proposal = "New Item") {
    return [=](QWidget* w) {
      auto* box = qobject_cast<QInputDialog*>(w);
      ASSERT_NE(box, nullptr);
      EXPECT_EQ(box->windowTitle(), caption);
      EXPECT_EQ(box->labelText(), prompt);
      EXPECT_EQ(box->okButtonText(), "OK");
      EXPECT_EQ(box->cancelButtonText(), "キャンセル");
      auto* edit = box->findChild<QLineEdit*>();
      EXPECT_EQ(edit->text(), proposal);
      EXPECT_EQ(edit->selectedText(), proposal);
      EXPECT_EQ(edit->maxLength(), 255);
      // Typing replaces the selected proposal. QTest types ASCII only; other text goes in as
      // an input method would put it.
      bool ascii = true;
      for (QChar ch : typed) ascii = ascii && ch.unicode() < 0x80;
      if (typed.isEmpty())
        QTest::keyClick(edit, Qt::Key_Delete);
      else if (ascii)
        QTest::keyClicks(edit, typed);
      else
        edit->insert(typed);
      EXPECT_EQ(edit->text(), typed);
      box->accept();
    };
  }
  static TModalDriver::TAction Cancel() {
    return [](QWidget* w) { qobject_cast<QDialog*>(w)->reject(); };
  }
  // A message box: check it, then press the button with that caption.
  static TModalDriver::TAction Answer(QMessageBox::Icon icon, const QString& title, const QString& text,
                                      const QStringList& buttons, const QString& press) {
    return [=](QWidget* w) {
      auto* box = qobject_cast<QMessageBox*>(w);
      ASSERT_NE(box, nullptr);
      EXPECT_EQ(box->icon(), icon);
      EXPECT_EQ(box->windowTitle(), title);
      EXPECT_EQ(box->text(), text);
      QStringList captions;
      for (QAbstractButton* b : box->buttons()) captions << b->text();
      captions.sort();
      QStringList expected = buttons;
      expected.sort();
      EXPECT_EQ(captions, expected);
      if (buttons.contains("はい(&Y)")) {
        EXPECT_EQ(box->defaultButton()->text(), "はい(&Y)");
      }
      QAbstractButton* button = nullptr;
      for (QAbstractButton* b : box->buttons())
        if (b->text() == press) button = b;
      if (button != nullptr) {
        button->click();
      } else {
        // Another box than expected: closed all the same, so the test fails and goes on.
        ADD_FAILURE() << "no button " << press.toStdString();
        box->reject();
      }
    };
  }

  // A pattern file as the program writes it, with the tempo line given as it should stand
  // (or left out).
  static std::string PatternFile(const TNotes& notes, int timeSig, const std::string& bpmLine) {
    std::string text = PatternText("", notes, timeSig, 0, ".");
    const std::string placeholder = "BPM=0\r\n";
    return text.replace(text.find(placeholder), placeholder.size(), bpmLine);
  }

  // The user's data folder, which the first save into it makes.
  std::filesystem::path UserFolder() { return home.path / "taktola"; }

  TTempFolder folder;  // the program's own
  TTempFolder home;
  bool programWritable = true;
  TFakeSound sound;
};

QStringList Items(QComboBox* list) {
  QStringList items;
  for (int i = 0; i < list->count(); ++i) items << list->itemText(i);
  return items;
}

TNotes ThreeFourPattern() {
  TNotes notes{DefaultNote(0), DefaultNote(20), DefaultNote(40)};
  notes[1].n_type = 6;
  notes[2].tone = ToneFreqs[12];
  notes[2].loudness = 0.0f;
  return notes;
}

TEST_F(FrmMainPatterns, ListsThePatternFilesOfTheFolder) {
  WriteFile("Run.tktm", "");
  WriteFile("warm-up.TKTM", "");
  WriteFile("notes.txt", "");
  std::filesystem::create_directory(folder.path / "old.tktm");
  Reopen();
  EXPECT_EQ(Items(a->cbNotesList()), (QStringList{"", "Run", "warm-up"}));
  EXPECT_EQ(a->cbNotesList()->currentIndex(), -1);
}

// An installed program cannot write its own folder: the user's data folder takes the saves,
// and the list shows the patterns of both.
TEST_F(FrmMainPatterns, WithoutWriteAccessToItsFolderSavesForTheUser) {
  programWritable = false;
  WriteFile("Run.tktm", PatternFile(ThreeFourPattern(), 0, "BPM=90\r\n"));
  WriteFile("Sprint.tktm", PatternFile(ThreeFourPattern(), 0, "BPM=200\r\n"));
  Reopen();
  EXPECT_EQ(Items(a->cbNotesList()), (QStringList{"", "Run", "Sprint"}));

  Pick(a->cbTimeS(), 2);
  Save([](TModalDriver& d) { d.Then(TypeName("Run")); });  // no question: the user has no "Run" yet
  Save([](TModalDriver& d) { d.Then(TypeName("Cool-down")); });
  EXPECT_EQ(ReadFile("Run.tktm"), PatternFile(ThreeFourPattern(), 0, "BPM=90\r\n"));
  std::ifstream saved(UserFolder() / "Run.tktm", std::ios::binary);
  std::ostringstream text;
  text << saved.rdbuf();
  EXPECT_EQ(text.str(), PatternText("", DefaultNotes(6), 2, 120, "."));
  EXPECT_EQ(Items(a->cbNotesList()), (QStringList{"", "Cool-down", "Run", "Sprint"}));

  // The name in both folders opens the user's own pattern, which a save under it replaces.
  Pick(a->cbTimeS(), 0);
  PickPattern("Run");
  EXPECT_EQ(a->Notes(), DefaultNotes(6));
  PickPattern("Sprint");
  EXPECT_EQ(a->seTempo()->value(), 200);
}

TEST_F(FrmMainPatterns, PickingAPatternLoadsIt) {
  WriteFile("Waltz.tktm", PatternFile(ThreeFourPattern(), 0, "BPM=90\r\n"));
  Reopen();
  ClickNote(1);
  PickPattern("Waltz");
  EXPECT_EQ(a->cbTimeS()->currentText(), "3/4");
  EXPECT_EQ(a->TSCount(), 3);
  EXPECT_EQ(a->seTempo()->text(), "90");
  EXPECT_EQ(a->TPCount(), 90);
  EXPECT_EQ(a->Notes(), ThreeFourPattern());
  EXPECT_EQ(a->NotesIndex(), -1);
  ExpectEditorEnabled(false);
  EXPECT_EQ(a->cbNotesList()->currentText(), "Waltz");
  // Three beats drawn: the last tick at c * 4, the silent note filled with the background.
  EXPECT_EQ(Pixel(4 * Geometry().c, Middle() - 15), Rgb(clBlack));
  EXPECT_EQ(Pixel(NoteX(40) + 5, Middle() - 5), Rgb(clWhite));
  EXPECT_EQ(Pixel(NoteX(20) + 5, Middle() - 5), Rgb(Accent));
}

TEST_F(FrmMainPatterns, StoredTempoIsLimitedByTheField) {
  WriteFile("Fast.tktm", PatternFile(DefaultNotes(4), 1, "BPM=300\r\n"));
  WriteFile("NoTempo.tktm", PatternFile(DefaultNotes(4), 1, ""));
  Reopen();
  PickPattern("Fast");
  EXPECT_EQ(a->seTempo()->text(), "240");
  EXPECT_EQ(a->TPCount(), 240);
  PickPattern("NoTempo");
  EXPECT_EQ(a->seTempo()->text(), "60");
  EXPECT_EQ(a->TPCount(), 60);
}

TEST_F(FrmMainPatterns, PickingWhilePlayingRestartsInPhase) {
  WriteFile("Waltz.tktm", PatternFile(ThreeFourPattern(), 0, "BPM=90\r\n"));
  Reopen();
  QTest::mouseClick(a->btStart(), Qt::LeftButton);
  sound.now += 500;  // a quarter of the 4/4 measure at 120 BPM
  PickPattern("Waltz");
  EXPECT_TRUE(a->Playing());
  EXPECT_EQ(a->WavLength(), MeasureLength(3, 90));
  EXPECT_NEAR(a->WavOffset(), MeasureLength(3, 90) / 4.0, 1.0);
  EXPECT_EQ(sound.loops.back(), Expected(a->WavOffset()));
  EXPECT_EQ(DrawnPlayhead(), 12);
}

TEST_F(FrmMainPatterns, EditingBlanksTheListAndPickingAgainRestores) {
  WriteFile("Run.tktm", PatternFile(ThreeFourPattern(), 0, "BPM=90\r\n"));
  Reopen();
  PickPattern("Run");
  ClickNote(0);
  Pick(a->cbTone(), 3);
  EXPECT_EQ(a->cbNotesList()->currentIndex(), 0);
  EXPECT_EQ(a->cbNotesList()->currentText(), "");
  PickPattern("Run");
  EXPECT_EQ(a->Notes(), ThreeFourPattern());
  // Picking the blank entry changes nothing.
  ClickNote(0);
  Pick(a->cbLength(), 1);
  const TNotes edited = a->Notes();
  Pick(a->cbNotesList(), 0);
  EXPECT_EQ(a->Notes(), edited);
  EXPECT_EQ(a->NotesIndex(), 0);
}

TEST_F(FrmMainPatterns, AddingAndDeletingKeepTheName) {
  WriteFile("Run.tktm", PatternFile(ThreeFourPattern(), 0, "BPM=90\r\n"));
  Reopen();
  PickPattern("Run");
  ClickNote(2);
  QTest::mouseClick(a->btNoteDelete(), Qt::LeftButton);
  QTest::mouseClick(a->BtNoteAdd(), Qt::LeftButton);
  Pick(a->cbTimeS(), 1);
  EXPECT_EQ(a->cbNotesList()->currentText(), "Run");
}

TEST_F(FrmMainPatterns, AFileGoneSinceTheListingChangesNothing) {
  WriteFile("Run.tktm", PatternFile(ThreeFourPattern(), 0, "BPM=90\r\n"));
  Reopen();
  ClickNote(1);
  std::filesystem::remove(folder.path / "Run.tktm");
  PickPattern("Run");
  EXPECT_EQ(a->Notes(), DefaultNotes(4));
  EXPECT_EQ(a->TSCount(), 4);
  EXPECT_EQ(a->TPCount(), 120);
  EXPECT_EQ(a->NotesIndex(), -1);
  ExpectEditorEnabled(false);
  EXPECT_EQ(a->cbNotesList()->currentText(), "Run");
}

TEST_F(FrmMainPatterns, OpensTheFileThatWasListed) {
  WriteFile("Loud.TKTM", PatternFile(ThreeFourPattern(), 0, "BPM=90\r\n"));
  Reopen();
  PickPattern("Loud");
  EXPECT_EQ(a->Notes(), ThreeFourPattern());
}

TEST_F(FrmMainPatterns, SavingUnderTheProposedName) {
  a->cbNotesList()->setCurrentIndex(0);
  Pick(a->cbTimeS(), 2);
  Save([](TModalDriver& d) { d.Then(TypeName("New Item")); });
  ASSERT_TRUE(Exists("New Item.tktm"));
  EXPECT_EQ(ReadFile("New Item.tktm"), PatternText("", DefaultNotes(6), 2, 120, "."));
  EXPECT_EQ(Items(a->cbNotesList()), (QStringList{"", "New Item"}));
  EXPECT_EQ(a->cbNotesList()->currentIndex(), -1);
  EXPECT_EQ(a->Notes(), DefaultNotes(6));  // saving touches neither the pattern
}

TEST_F(FrmMainPatterns, SavingInJapanese) {
  Reopen(true);
  Save([](TModalDriver& d) { d.Then(TypeName("新しい設定", "設定を記憶", "設定名", "新しい設定")); });
  EXPECT_TRUE(Exists("新しい設定.tktm"));
  EXPECT_EQ(Items(a->cbNotesList()), (QStringList{"", "新しい設定"}));
  Save([](TModalDriver& d) {
    d.Then(TypeName("a/b", "設定を記憶", "設定名", "新しい設定"));
    d.Then(Answer(QMessageBox::Critical, "エラー", "不適切なアイテム名です", {"OK"}, "OK"));
  });
  Save([](TModalDriver& d) {
    d.Then(TypeName("新しい設定", "設定を記憶", "設定名", "新しい設定"));
    d.Then(Answer(QMessageBox::Warning, "警告", "アイテムを上書きしますか？", {"はい(&Y)", "いいえ(&N)"}, "いいえ(&N)"));
  });
}

TEST_F(FrmMainPatterns, InvalidNamesAreRefused) {
  for (const QString name : {"a/b", "a:b", "?", ""}) {
    SCOPED_TRACE(name.toStdString());
    Save([&](TModalDriver& d) {
      d.Then(TypeName(name));
      d.Then(Answer(QMessageBox::Critical, "エラー", "Unavailable item name", {"OK"}, "OK"));
    });
  }
  EXPECT_TRUE(std::filesystem::is_empty(folder.path));
  Save([](TModalDriver& d) { d.Then(TypeName("   ")); });  // nothing is trimmed
  EXPECT_TRUE(Exists("   .tktm"));
}

TEST_F(FrmMainPatterns, CancelSavesNothing) {
  Save([](TModalDriver& d) { d.Then(Cancel()); });
  EXPECT_TRUE(std::filesystem::is_empty(folder.path));
}

TEST_F(FrmMainPatterns, OverwritingAsksFirst) {
  const std::string old = PatternFile(ThreeFourPattern(), 0, "BPM=90\r\nMine=kept\r\n");
  WriteFile("Run.tktm", old);
  Reopen();
  Save([](TModalDriver& d) {
    d.Then(TypeName("Run"));
    d.Then(Answer(QMessageBox::Warning, "警告", "Overwite Item?", {"はい(&Y)", "いいえ(&N)"}, "いいえ(&N)"));
  });
  EXPECT_EQ(ReadFile("Run.tktm"), old);

  Save([](TModalDriver& d) {
    d.Then(TypeName("Run"));
    d.Then(Answer(QMessageBox::Warning, "警告", "Overwite Item?", {"はい(&Y)", "いいえ(&N)"}, "はい(&Y)"));
  });
  EXPECT_EQ(ReadFile("Run.tktm"), PatternText(old, DefaultNotes(4), 1, 120, "."));
  EXPECT_NE(ReadFile("Run.tktm").find("Mine=kept"), std::string::npos);
}

TEST_F(FrmMainPatterns, AWriteThatFailsIsReported) {
  // A folder of that name stands where the file would go.
  std::filesystem::create_directory(folder.path / "Run.tktm");
  const std::string path = (folder.path / "Run.tktm").string();
  Save([&](TModalDriver& d) {
    d.Then(TypeName("Run"));
    d.Then(Answer(QMessageBox::Critical, "TAKTOLA", QString::fromStdString(path + " に書き込めません."), {"OK"}, "OK"));
  });
  EXPECT_EQ(Items(a->cbNotesList()), QStringList{""});  // not refilled
  EXPECT_EQ(a->Notes(), DefaultNotes(4));
}

TEST_F(FrmMainPatterns, SavingOntoAFifoIsReportedWithoutWaiting) {
  ASSERT_TRUE(MakeFifo(folder.path / "Run.tktm"));
  Reopen();
  TFifoWatchdog watchdog(folder.path / "Run.tktm");
  const std::string path = (folder.path / "Run.tktm").string();
  // No overwrite question: there is no file a save could replace.
  Save([&](TModalDriver& d) {
    d.Then(TypeName("Run"));
    d.Then(Answer(QMessageBox::Critical, "TAKTOLA", QString::fromStdString(path + " に書き込めません."), {"OK"}, "OK"));
  });
  EXPECT_FALSE(watchdog.Fired()) << "the save waited on the FIFO";
  EXPECT_EQ(std::filesystem::symlink_status(folder.path / "Run.tktm").type(), std::filesystem::file_type::fifo);
  EXPECT_EQ(FolderNames(), std::vector<std::string>{"Run.tktm"});
  EXPECT_EQ(Items(a->cbNotesList()), QStringList{""});  // not refilled
}

// Files that no editor makes: each is loaded within the reader's bounds, or refused whole
// with the general error report, and the window goes on playing at once.
TEST_F(FrmMainPatterns, HostileFilesLoadWithinBoundsAndPlay) {
  const TNotes distinct = FloodNotes(true), oneTone = FloodNotes(false);
  const TNotes cutDistinct(distinct.begin(), distinct.begin() + MaxLoadedNotes);
  const TNotes cutOneTone(oneTone.begin(), oneTone.begin() + MaxLoadedNotes);
  const std::string pattern = PatternFile(ThreeFourPattern(), 0, "BPM=90\r\n");
  const std::string oversized = pattern + ";" + std::string(MaxPatternFileBytes, 'x');
  const std::string hugePath = (folder.path / "Huge.tktm").string();
  const struct {
    const char* what;
    std::string file;  // as the file system names it
    std::string text;
    bool japanese;
    QString listed;
    QString error;  // the report, or empty when the file loads
    TNotes notes;
    int beats, bpm;
  } cases[] = {
      {"4096 notes of distinct tones", "Flood.tktm", PatternText("", distinct, 3, 60, "."), false, "Flood", "",
       cutDistinct, 8, 60},
      {"4096 notes of one tone", "One.tktm", PatternText("", oneTone, 3, 60, "."), false, "One", "", cutOneTone, 8, 60},
      {"an oversized file", "Huge.tktm", oversized, false, "Huge",
       QString::fromStdString(hugePath + " is too large for a pattern file."), DefaultNotes(4), 4, 120},
      {"an oversized file, Japanese", "Huge.tktm", oversized, true, "Huge",
       QString::fromStdString(hugePath + " はパターンファイルとして大きすぎます."), DefaultNotes(4), 4, 120},
      {"a name that is no UTF-8", "Caf\xe9.tktm", pattern, false, QString("Caf") + QChar::ReplacementCharacter, "",
       ThreeFourPattern(), 3, 90},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    for (const auto& entry : std::filesystem::directory_iterator(folder.path)) std::filesystem::remove(entry.path());
    std::ofstream(folder.path / c.file, std::ios::binary) << c.text;
    Reopen(c.japanese);
    ASSERT_EQ(Items(a->cbNotesList()), (QStringList{"", c.listed}));

    QTest::mouseClick(a->btStart(), Qt::LeftButton);
    const std::size_t loops = sound.loops.size();
    sound.now += 500;
    {
      TModalDriver driver;
      if (!c.error.isEmpty()) driver.Then(Answer(QMessageBox::Critical, "TAKTOLA", c.error, {"OK"}, "OK"));
      Pick(a->cbNotesList(), 1);
    }
    EXPECT_EQ(a->Notes(), c.notes);
    EXPECT_EQ(a->TSCount(), c.beats);
    EXPECT_EQ(a->TPCount(), c.bpm);
    ASSERT_TRUE(a->Playing());
    if (c.error.isEmpty()) {
      // Restarted in phase with what was loaded (the new tempo restarts it on its way).
      ASSERT_GT(sound.loops.size(), loops);
      EXPECT_EQ(a->WavLength(), MeasureLength(c.beats, c.bpm));
      EXPECT_EQ(sound.loops.back(), Expected(a->WavOffset()));
    } else {
      // The report ended the pick: the measure playing goes on as it was.
      EXPECT_EQ(sound.loops.size(), loops);
    }
  }
}

}  // namespace
