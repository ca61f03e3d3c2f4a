// The program and export dialogs, opened from the window as a user opens them, with a
// pattern folder of the test's own and the dialogs answered as a user would.
#include <QCheckBox>
#include <QContextMenuEvent>
#include <QDoubleSpinBox>
#include <QInputDialog>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QProgressBar>
#include <QRadioButton>
#include <QSpinBox>
#include <QTableWidget>
#include <sndfile.h>

#include "audio/uProgramPlan.h"
#include "fake_sound.h"
#include "frmmain_fixture.h"
#include "modal_driver.h"
#include "temp_folder.h"
#include "ui/uFrmExport.h"
#include "ui/uFrmProgram.h"

struct TFrmProgramAccess {
  TFrmProgram& f;
  QListWidget* Programs() { return f.lbxPrograms; }
  QTableWidget* Steps() { return f.tbSteps; }
  QPushButton* Add() { return f.btAdd; }
  QPushButton* Remove() { return f.btRemove; }
  QPushButton* Up() { return f.btUp; }
  QPushButton* Save() { return f.btSave; }
  QPushButton* Play() { return f.btPlay; }
  QLabel* Total() { return f.lbTotal; }
  template <typename T>
  T* Cell(int row, int column) {
    auto* cell = qobject_cast<T*>(f.tbSteps->cellWidget(row, column));
    EXPECT_NE(cell, nullptr) << row << ", " << column;
    return cell;
  }
};

struct TFrmExportAccess {
  TFrmExport& f;
  QRadioButton* Program() { return f.rbProgram; }
  QComboBox* Programs() { return f.cbProgram; }
  QDoubleSpinBox* Minutes() { return f.seMinutes; }
  QComboBox* Format() { return f.cbFormat; }
  QLineEdit* File() { return f.edFile; }
  QPushButton* Export() { return f.btExport; }
  QPushButton* Cancel() { return f.btCancel; }
  QLabel* Status() { return f.lbStatus; }
  QProgressBar* Progress() { return f.pbProgress; }
};

namespace {

enum { ColRound, ColRepeat, ColPattern, ColTempo, ColTempoTo, ColDuration, ColUnit, ColCountIn, ColRest };

TProgramStep Step(std::string pattern, std::int32_t from, std::int32_t to, TDurationUnit unit, std::int32_t duration,
                  bool countIn = false, bool rest = false) {
  return TProgramStep{std::move(pattern), from, to, unit, duration, countIn, rest};
}

class FrmMainPrograms : public FrmMain {
 protected:
  void SetUp() override { Reopen(false); }
  void TearDown() override { frm.reset(); }

  void Reopen(bool japanese) {
    frm.reset();
    TFrmMainEnv env = FakeEnv(japanese, sound, folder.path);
    env.DecimalSeparator = [] { return std::string("."); };
    Open(std::move(env));
  }

  void SavePattern(const std::string& name, std::int32_t timeSig) {
    SaveNotes(folder.path / (name + ".tktm"), DefaultNotes(TimeSigBeats[timeSig]), timeSig, 150, ".");
  }

  // Presses the key in the window, with the dialogs it opens answered in order.
  void Press(int key, const std::function<void(TModalDriver&)>& answers) {
    TModalDriver driver;
    answers(driver);
    QTest::keyClick(frm->windowHandle(), key, Qt::ControlModifier);
  }

  // A modal dialog's shortcuts act while it is the active window; offscreen, showing it
  // does not make it so at once.
  static void ActivateForKeys(QWidget* dialog) {
    dialog->activateWindow();
    EXPECT_TRUE(QTest::qWaitFor([dialog] { return QApplication::activeWindow() == dialog; }));
  }

  // The dialog's own event loop runs a click that opens another modal dialog.
  static void ClickLater(QPushButton* button) { QTimer::singleShot(0, button, [button] { button->click(); }); }
  static void CloseLater(QWidget* dialog) {
    QTimer::singleShot(0, dialog, [dialog] { qobject_cast<QDialog*>(dialog)->reject(); });
  }

  TFakeSound sound;
  TTempFolder folder;
};

TEST_F(FrmMainPrograms, CtrlPBuildsAProgramAndSavesIt) {
  SavePattern("Run", 1);  // 4/4
  Press(Qt::Key_P, [&](TModalDriver& d) {
    d.Then([](QWidget* w) {
      auto* dialog = qobject_cast<TFrmProgram*>(w);
      ASSERT_NE(dialog, nullptr);
      EXPECT_EQ(dialog->windowTitle(), "Training Programs");
      TFrmProgramAccess p{*dialog};
      // A new program is one step of the current pattern, a minute at 120.
      ASSERT_EQ(p.Steps()->rowCount(), 1);
      EXPECT_EQ(p.Total()->text(), "Total time: 1:00");
      p.Cell<QSpinBox>(0, ColRepeat)->setValue(3);
      EXPECT_EQ(p.Total()->text(), "Total time: 3:00");
      p.Cell<QCheckBox>(0, ColCountIn)->setChecked(true);
      // A second step in the same round, then moved into a round of its own.
      ActivateForKeys(dialog);
      QTest::keyClick(QApplication::focusWidget(), Qt::Key_Insert);
      ASSERT_EQ(p.Steps()->rowCount(), 2);
      EXPECT_EQ(p.Cell<QSpinBox>(1, ColRepeat)->value(), 3);
      p.Cell<QSpinBox>(1, ColRound)->setValue(2);
      p.Cell<QSpinBox>(1, ColRepeat)->setValue(2);
      auto* pattern = p.Cell<QComboBox>(1, ColPattern);
      EXPECT_EQ(pattern->itemText(0), "(current pattern)");
      pattern->setCurrentIndex(pattern->findText("Run"));
      p.Cell<QSpinBox>(1, ColTempo)->setValue(160);
      EXPECT_EQ(p.Cell<QSpinBox>(1, ColTempoTo)->value(), 160);  // a fixed tempo follows
      p.Cell<QSpinBox>(1, ColTempoTo)->setValue(180);
      p.Cell<QComboBox>(1, ColUnit)->setCurrentIndex(1);
      auto* duration = p.Cell<QLineEdit>(1, ColDuration);
      duration->setText("24");
      emit duration->editingFinished();
      // A third, a rest of 1:30 typed as time, after the first.
      p.Cell<QLineEdit>(0, ColDuration)->setFocus();
      QTest::keyClick(QApplication::focusWidget(), Qt::Key_Insert);
      ASSERT_EQ(p.Steps()->rowCount(), 3);
      p.Cell<QCheckBox>(1, ColRest)->setChecked(true);
      p.Cell<QCheckBox>(1, ColCountIn)->setChecked(false);
      auto* rest = p.Cell<QLineEdit>(1, ColDuration);
      rest->setText("1:30");
      emit rest->editingFinished();
      ClickLater(p.Save());
    });
    d.Then([&](QWidget* w) {
      auto* box = qobject_cast<QInputDialog*>(w);
      ASSERT_NE(box, nullptr);
      EXPECT_EQ(box->windowTitle(), "Save Program");
      EXPECT_EQ(box->textValue(), "New Program");
      box->setTextValue("Intervals");
      box->accept();
      CloseLater(box->parentWidget());
    });
  });
  const TProgram expected{{
      TProgramRound{3,
                    {Step("", 120, 120, TDurationUnit::Seconds, 60, true),
                     Step("", 120, 120, TDurationUnit::Seconds, 90, false, true)}},
      TProgramRound{2, {Step("Run", 160, 180, TDurationUnit::Measures, 24, true)}},
  }};
  EXPECT_EQ(LoadProgram(folder.path / "Intervals.tktp"), expected);
}

TEST_F(FrmMainPrograms, SavingOverAProgramAsksFirst) {
  SaveProgram(folder.path / "Old.tktp", TProgram{{TProgramRound{1, {Step("", 90, 90, TDurationUnit::Seconds, 30)}}}});
  const auto before = LoadProgram(folder.path / "Old.tktp");
  Press(Qt::Key_P, [&](TModalDriver& d) {
    d.Then([](QWidget* w) { ClickLater(TFrmProgramAccess{*qobject_cast<TFrmProgram*>(w)}.Save()); });
    d.Then([](QWidget* w) {
      auto* box = qobject_cast<QInputDialog*>(w);
      box->setTextValue("Old");
      box->accept();
    });
    d.Then([](QWidget* w) {
      auto* box = qobject_cast<QMessageBox*>(w);
      ASSERT_NE(box, nullptr);
      EXPECT_EQ(box->text(), "Overwite Item?");
      box->button(QMessageBox::No)->click();
      CloseLater(box->parentWidget());
    });
  });
  EXPECT_EQ(LoadProgram(folder.path / "Old.tktp"), before);
}

// Every kind of step the table edits comes back from it as it went in.
TEST_F(FrmMainPrograms, TheTableHoldsEveryProgramItCanShow) {
  SavePattern("Run", 0);
  const std::vector<TProgram> programs = {
      {{TProgramRound{1, {TProgramStep{}}}}},
      {{TProgramRound{99, {Step("Run", 60, 240, TDurationUnit::Seconds, MaxStepSeconds, true, false)}}}},
      {{TProgramRound{1, {Step("", 240, 60, TDurationUnit::Measures, MaxStepMeasures, false, true)}},
        TProgramRound{5,
                      {Step("Run", 180, 180, TDurationUnit::Measures, 1, true, true),
                       Step("Gone", 165, 165, TDurationUnit::Seconds, 1)}},
        TProgramRound{2, {Step("", 100, 120, TDurationUnit::Seconds, 600)}}}},
  };
  TDialogEnv env;
  env.IsJapanese = [] { return false; };
  env.PatternFolders = [this] { return TPatternFolders{folder.path, {folder.path}}; };
  TFrmProgram dialog(frm.get(), env);
  for (const TProgram& program : programs) {
    EXPECT_EQ(RowsProgram(ProgramRows(program)), program);
    dialog.SetProgram(program);
    EXPECT_EQ(dialog.Program(), program);
  }
  // The missing pattern keeps its name and says so.
  TFrmProgramAccess p{dialog};
  EXPECT_EQ(p.Cell<QComboBox>(2, ColPattern)->currentText(), "Gone (missing)");
  EXPECT_TRUE(p.Total()->text().endsWith("(1 missing pattern(s))")) << p.Total()->text().toStdString();
}

TEST_F(FrmMainPrograms, AProgramOpensFromTheListInJapanese) {
  Reopen(true);
  const TProgram saved{{TProgramRound{4, {Step("", 160, 160, TDurationUnit::Seconds, 45)}}}};
  SaveProgram(folder.path / "坂道.tktp", saved);
  Press(Qt::Key_P, [&](TModalDriver& d) {
    d.Then([&](QWidget* w) {
      auto* dialog = qobject_cast<TFrmProgram*>(w);
      EXPECT_EQ(dialog->windowTitle(), "トレーニングプログラム");
      TFrmProgramAccess p{*dialog};
      ASSERT_EQ(p.Programs()->count(), 1);
      EXPECT_EQ(p.Programs()->item(0)->text(), "坂道");
      p.Programs()->setCurrentRow(0);
      p.Programs()->setFocus();
      QTest::keyClick(p.Programs(), Qt::Key_Return);
      EXPECT_EQ(dialog->Program(), saved);
      EXPECT_EQ(p.Cell<QComboBox>(0, ColPattern)->currentText(), "(現在のパターン)");
      EXPECT_EQ(p.Total()->text(), "合計時間: 3:00");  // 30 measures of 4/4 at 160, 4 times
      dialog->reject();
    });
  });
}

TEST_F(FrmMainPrograms, PlayStartsTheChosenProgramInTheWindowWithTheListFocused) {
  const TProgram saved{{TProgramRound{2, {Step("", 150, 150, TDurationUnit::Measures, 4)}}}};
  SaveProgram(folder.path / "Sprints.tktp", saved);
  Press(Qt::Key_P, [&](TModalDriver& d) {
    d.Then([&](QWidget* w) {
      auto* dialog = qobject_cast<TFrmProgram*>(w);
      TFrmProgramAccess p{*dialog};
      ActivateForKeys(dialog);
      // A user comes for the list: it has the focus, and no button is the default one.
      EXPECT_TRUE(p.Programs()->hasFocus());
      EXPECT_FALSE(p.Play()->autoDefault());
      p.Programs()->setCurrentRow(0);
      p.Play()->click();
    });
  });
  // The dialog closed, and the window plays the program.
  EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
  EXPECT_TRUE(frm->windowTitle().contains("Sprints")) << frm->windowTitle().toStdString();
  EXPECT_TRUE(frm->windowTitle().startsWith("TAKTOLA- Sports Metronome"));
  EXPECT_FALSE(sound.loops.empty());
}

class FrmMainExport : public FrmMainPrograms {
 protected:
  // Opens the export dialog by its key and does `act` in it, then closes it.
  void InExport(const std::function<void(TFrmExportAccess&)>& act, const std::function<void(TModalDriver&)>& more = {}) {
    Press(Qt::Key_E, [&](TModalDriver& d) {
      d.Then([act](QWidget* w) {
        auto* dialog = qobject_cast<TFrmExport*>(w);
        ASSERT_NE(dialog, nullptr);
        TFrmExportAccess e{*dialog};
        act(e);
        CloseLater(dialog);
      });
      if (more) more(d);
    });
  }
  struct TDecoded {
    SF_INFO info{};
    std::vector<std::int16_t> samples;
  };
  static std::optional<TDecoded> Decode(const std::filesystem::path& file) {
    TDecoded d;
    SNDFILE* f = sf_open(file.c_str(), SFM_READ, &d.info);
    if (f == nullptr) return std::nullopt;
    d.samples.resize(static_cast<std::size_t>(d.info.frames * d.info.channels));
    sf_read_short(f, d.samples.data(), static_cast<sf_count_t>(d.samples.size()));
    sf_close(f);
    return d;
  }
};

TEST_F(FrmMainExport, CtrlEWritesTheCurrentPatternToAWav) {
  a->seTempo()->setValue(150);
  const std::filesystem::path file = folder.path / "run.wav";
  InExport([&](TFrmExportAccess& e) {
    EXPECT_EQ(e.Format()->currentText(), "WAV");
    e.Minutes()->setValue(0.5);
    e.File()->setText(QString::fromStdString(file.string()));
    e.Export()->click();
    EXPECT_EQ(e.Status()->text(), QString("Wrote %1 (0:30).").arg(QString::fromStdString(file.string())));
    EXPECT_EQ(e.Progress()->value(), e.Progress()->maximum());
  });
  const auto decoded = Decode(file);
  ASSERT_TRUE(decoded);
  EXPECT_EQ(decoded->info.samplerate, 44100);
  EXPECT_EQ(decoded->info.channels, 1);
  EXPECT_EQ(decoded->info.frames, 30 * 44100);
  // It begins with the measure the window plays, sample for sample.
  const TWav4416MI measure = Expected(0);
  ASSERT_GT(decoded->samples.size(), measure.size());
  EXPECT_TRUE(std::equal(measure.begin(), measure.end(), decoded->samples.begin()));
}

TEST_F(FrmMainExport, ASavedProgramIsWrittenWhole) {
  SavePattern("Run", 0);
  // 4 measures of 3/4 at 180 (1 s each), twice.
  SaveProgram(folder.path / "Short.tktp",
              TProgram{{TProgramRound{2, {Step("Run", 180, 180, TDurationUnit::Measures, 4)}}}});
  const std::filesystem::path file = folder.path / "short.wav";
  InExport([&](TFrmExportAccess& e) {
    ASSERT_TRUE(e.Program()->isEnabled());
    e.Program()->setChecked(true);
    EXPECT_FALSE(e.Minutes()->isEnabled());
    EXPECT_EQ(e.Programs()->currentText(), "Short");
    e.File()->setText(QString::fromStdString(file.string()));
    e.Export()->click();
  });
  const auto decoded = Decode(file);
  ASSERT_TRUE(decoded);
  EXPECT_EQ(decoded->info.frames, 8 * 44100);
}

TEST_F(FrmMainExport, CancelLeavesNoFile) {
  const std::filesystem::path file = folder.path / "long.wav";
  InExport([&](TFrmExportAccess& e) {
    e.Minutes()->setValue(30);
    e.File()->setText(QString::fromStdString(file.string()));
    // Clicked while it writes: the click waits in the queue for the first block's look.
    ClickLater(e.Cancel());
    e.Export()->click();
    EXPECT_EQ(e.Status()->text(), "Cancelled; no file was written.");
    EXPECT_EQ(e.Cancel()->text(), "Close");
    EXPECT_TRUE(e.Export()->isEnabled());
  });
  EXPECT_FALSE(std::filesystem::exists(file));
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.path), {}), 0);
}

TEST_F(FrmMainExport, AFileThatCannotBeWrittenIsReported) {
  const std::filesystem::path file = folder.path / "no such folder" / "x.wav";
  InExport(
      [&](TFrmExportAccess& e) {
        e.File()->setText(QString::fromStdString(file.string()));
        e.Minutes()->setValue(0.1);
        ClickLater(e.Export());  // the error box is modal
      },
      [&](TModalDriver& d) {
        d.Then([&](QWidget* w) {
          auto* box = qobject_cast<QMessageBox*>(w);
          ASSERT_NE(box, nullptr);
          EXPECT_EQ(box->icon(), QMessageBox::Critical);
          EXPECT_TRUE(box->text().contains("no such folder")) << box->text().toStdString();
          box->accept();
        });
      });
  EXPECT_FALSE(std::filesystem::exists(file));
}

TEST_F(FrmMainPrograms, TheMeasureViewsMenuOpensBothDialogs) {
  for (const auto& [index, title] : {std::pair{0, "Training Programs"}, std::pair{1, "Export"}}) {
    TModalDriver driver;
    QString seen;
    driver.Then([&](QWidget* w) {
      seen = w->windowTitle();
      qobject_cast<QDialog*>(w)->reject();
    });
    QStringList entries;
    QTimer::singleShot(20, [&, index = index] {
      auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
      ASSERT_NE(menu, nullptr);
      for (QAction* action : menu->actions()) entries << action->text();
      menu->setActiveAction(menu->actions().at(index));
      QTest::keyClick(menu, Qt::Key_Return);
    });
    QContextMenuEvent event(QContextMenuEvent::Keyboard, QPoint(10, 10), a->Image1()->mapToGlobal(QPoint(10, 10)));
    QApplication::sendEvent(a->Image1(), &event);
    EXPECT_EQ(entries, (QStringList{"Training &programs...\tCtrl+P", "&Export...\tCtrl+E"}));
    EXPECT_EQ(seen, title);
  }
}

}  // namespace
