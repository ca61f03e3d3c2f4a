// The main window, offscreen, driven with real mouse and key events.
#include <gtest/gtest.h>

#include <QFontDatabase>
#include <QFontInfo>
#include <QInputMethodEvent>
#include <QLineEdit>
#include <QTest>
#include <filesystem>
#include <fstream>

#include "app/uStartUp.h"
#include "frmmain_fixture.h"

namespace {

QStringList Items(QComboBox* list) {
  QStringList items;
  for (int i = 0; i < list->count(); ++i) items << list->itemText(i);
  return items;
}

TEST_F(FrmMain, StateAfterStartUp) {
  EXPECT_EQ(frm->windowTitle(), "TAKTOLA- Sports Metronome");
  EXPECT_EQ(a->cbTimeS()->currentText(), "4/4");
  EXPECT_EQ(a->seTempo()->text(), "120");
  EXPECT_EQ(a->TSCount(), 4);
  EXPECT_EQ(a->TPCount(), 120);
  EXPECT_EQ(a->Notes(), DefaultNotes(4));
  EXPECT_EQ(a->NotesIndex(), -1);
  EXPECT_FALSE(a->mf());
  EXPECT_FALSE(a->Playing());
  ExpectEditorEnabled(false);
  ExpectEditorShows(-1, -1, -1, -1);
  EXPECT_TRUE(a->BtNoteAdd()->isEnabled());

  EXPECT_EQ(Items(a->cbNotesList()), QStringList{""});
  EXPECT_EQ(a->cbNotesList()->currentIndex(), -1);
  EXPECT_EQ(Items(a->cbTimeS()), (QStringList{"3/4", "4/4", "6/4", "8/4"}));
  EXPECT_EQ(Items(a->cbType()), (QStringList{"Sine Wave", "One", "Two", "Three", "Four", "Zero(JA)", "One(JA)",
                                             "Two(JA)", "Three(JA)", "Four(JA)"}));
  EXPECT_EQ(Items(a->cbTone()).size(), 15);
  EXPECT_EQ(Items(a->cbTone()).front(), "C4");
  EXPECT_EQ(Items(a->cbTone()).back(), "C6");
  EXPECT_EQ(Items(a->cbLength()), (QStringList{"Short", "Long"}));
  EXPECT_EQ(Items(a->cbLoudness()), (QStringList{"Loud", "Normal", "Soft", "None"}));
  EXPECT_EQ(a->seTempo()->minimum(), 60);
  EXPECT_EQ(a->seTempo()->maximum(), 240);
  EXPECT_EQ(a->seTempo()->findChild<QLineEdit*>()->maxLength(), 3);

  EXPECT_EQ(a->FGColor(), clBlack);
  EXPECT_EQ(a->BGColor(), clWhite);
  EXPECT_EQ(a->AcColor(), Accent);

  // The view shows four sounding notes, one per beat, none selected.
  ASSERT_EQ(a->Image1()->Picture().deviceIndependentSize().toSize(), a->Image1()->size());
  for (int k = 0; k < 4; ++k) {
    EXPECT_EQ(Pixel(NoteX(16 * k), Middle()), Rgb(Accent)) << k;
    EXPECT_EQ(Pixel(NoteX(16 * k), Middle() - 10), Rgb(Accent)) << k;  // thin outline
  }
}

TEST_F(FrmMain, LayoutAtStartUp) {
  // Sizes and the minimum are outer sizes, frame included. The designed height is
  // shortened by 60, which the minimum of 318 lifts again; the width starts at the minimum.
  const QSize frame = frm->frameGeometry().size() - frm->size();
  EXPECT_EQ(a->bHeight(), 322 + frame.height());
  EXPECT_EQ(frm->minimumSize() + frame, QSize(636, 318));
  EXPECT_EQ(frm->frameGeometry().size(), QSize(636, 318));

  const int w = frm->width(), h = frm->height(), left = w - 2 - 169, inner = h - 2;
  EXPECT_EQ(a->PanelClient()->geometry(), QRect(0, 0, w, h));
  EXPECT_EQ(a->PanelNote()->geometry(), QRect(1 + left, 1, 169, inner));
  EXPECT_EQ(a->PanelLeft()->geometry(), QRect(1, 1, left, inner));
  EXPECT_EQ(a->PanelTop()->geometry(), QRect(0, 0, left, 45));
  EXPECT_EQ(a->PanelBottom()->geometry(), QRect(0, inner - 45, left, 45));
  EXPECT_EQ(a->Image1()->geometry(), QRect(0, 45, left, inner - 90));

  EXPECT_EQ(a->cbNotesList()->geometry(), QRect(8, 12, 142, 23));
  EXPECT_EQ(a->btItemAdd()->geometry(), QRect(150, 11, 25, 25));
  EXPECT_EQ(a->cbTimeS()->geometry(), QRect(286, 12, 59, 23));
  EXPECT_EQ(a->seTempo()->geometry(), QRect(397, 12, 57, 24));
  EXPECT_EQ(a->btStart()->geometry(), QRect(8, 12, 75, 25));
  EXPECT_EQ(a->btStop()->geometry(), QRect(93, 12, 75, 25));
  EXPECT_EQ(a->BtNoteAdd()->geometry(), QRect(left - 81, 12, 75, 25));  // right-anchored
  EXPECT_EQ(a->cbLoudness()->geometry(), QRect(80, 125, 78, 23));
  EXPECT_EQ(a->btNoteDelete()->geometry(), QRect(16, 180, 100, 25));
  EXPECT_EQ(a->btAbout()->geometry(), QRect(133, inner - 98, 25, 25));  // bottom-anchored
  EXPECT_EQ(a->LabelBPM()->x(), 362);
  // The note editor's labels stand in one column at 16, or as far left of it as the widest
  // caption needs to stay clear of its list ("Notename" is wider in DejaVu Sans than designed).
  for (QLabel* label : {a->LabelType(), a->LabelNote(), a->LabelLength(), a->LabelLoudness()}) {
    EXPECT_EQ(label->x(), a->LabelType()->x());
    EXPECT_EQ(label->x(), std::min(16, a->cbTone()->x() - 2 - a->LabelNote()->width()));
  }

  EXPECT_EQ(a->btStart()->iconSize(), QSize(20, 20));
  EXPECT_FALSE(a->btItemAdd()->icon().isNull());
  EXPECT_TRUE(a->btItemAdd()->text().isEmpty());
  EXPECT_TRUE(a->btAbout()->text().isEmpty());
}

TEST_F(FrmMain, TabOrder) {
  ClickNote(0);  // enables the editor, whose controls take part
  QWidget* expected[] = {a->btStart(), a->BtNoteAdd(), a->btStop(),     a->cbTimeS(),
                         a->seTempo(), a->btItemAdd(), a->cbNotesList(), a->Image1(), a->cbTone(),
                         a->cbLength(), a->cbLoudness(), a->btNoteDelete(), a->cbType(), a->btAbout()};
  frm->activateWindow();
  a->btStart()->setFocus(Qt::TabFocusReason);
  for (std::size_t i = 1; i < std::size(expected); ++i) {
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    QWidget* focus = QApplication::focusWidget();
    EXPECT_TRUE(focus == expected[i] || focus->focusProxy() == expected[i] || focus->parentWidget() == expected[i])
        << i << " " << focus->metaObject()->className();
  }
}

TEST_F(FrmMain, WideningGrowsTheLeftPart) {
  const QRect tsBefore = a->cbTimeS()->geometry();
  frm->resize(900, 500);
  QApplication::processEvents();
  ASSERT_EQ(frm->size(), QSize(900, 500));
  EXPECT_EQ(a->PanelNote()->geometry(), QRect(900 - 1 - 169, 1, 169, 498));
  EXPECT_EQ(a->Image1()->size(), QSize(900 - 2 - 169, 498 - 90));
  EXPECT_EQ(a->PanelTop()->width(), 729);
  EXPECT_EQ(a->PanelBottom()->width(), 729);
  EXPECT_EQ(a->BtNoteAdd()->geometry(), QRect(729 - 81, 12, 75, 25));
  EXPECT_EQ(a->btAbout()->geometry(), QRect(133, 498 - 98, 25, 25));
  EXPECT_EQ(a->cbTimeS()->geometry(), tsBefore);
  EXPECT_EQ(a->btStop()->geometry(), QRect(93, 12, 75, 25));
  // The view was repainted at its new size: the last tick now sits at c * 5.
  ASSERT_EQ(a->Image1()->Picture().deviceIndependentSize().toSize(), QSize(729, 408));
  EXPECT_EQ(Pixel(5 * (729 / 6), 204 - 15), Rgb(clBlack));

  frm->resize(100, 100);
  QApplication::processEvents();
  EXPECT_EQ(frm->frameGeometry().size(), QSize(636, 318));
}

TEST_F(FrmMain, PickingATimeSignatureResetsThePattern) {
  Pick(a->cbTimeS(), 3);  // 8/4
  EXPECT_EQ(a->TSCount(), 8);
  EXPECT_EQ(a->Notes(), DefaultNotes(8));
  ClickNote(6);
  ASSERT_EQ(a->NotesIndex(), 6);
  ExpectEditorEnabled(true);

  Pick(a->cbTimeS(), 0);  // 3/4
  EXPECT_EQ(a->TSCount(), 3);
  EXPECT_EQ(a->Notes(), DefaultNotes(3));
  EXPECT_EQ(a->NotesIndex(), -1);
  ExpectEditorEnabled(false);
  EXPECT_EQ(a->TPCount(), 120);
  EXPECT_EQ(a->cbNotesList()->currentIndex(), -1);
  // Redrawn with three beats and no thick outline.
  for (int k = 0; k < 3; ++k) EXPECT_EQ(Pixel(NoteX(16 * k), Middle() - 10), Rgb(Accent)) << k;
  EXPECT_EQ(Pixel(NoteX(48), Middle() - 10), Rgb(clBlack));
}

TEST_F(FrmMain, OnlyTheUsersChoiceRunsAListHandler) {
  a->cbTimeS()->setCurrentIndex(3);  // from code: nothing happens
  EXPECT_EQ(a->TSCount(), 4);
  EXPECT_EQ(a->Notes().size(), 4u);

  a->cbTimeS()->setCurrentIndex(1);
  a->cbTimeS()->setFocus();
  QTest::keyClick(a->cbTimeS(), Qt::Key_Down);  // the user picks 6/4 with the keyboard
  EXPECT_EQ(a->cbTimeS()->currentText(), "6/4");
  EXPECT_EQ(a->TSCount(), 6);
  EXPECT_EQ(a->Notes(), DefaultNotes(6));
}

TEST_F(FrmMain, PressAndReleaseOnANoteSelectsIt) {
  a->cbNotesList()->addItem("Run");
  a->cbNotesList()->setCurrentIndex(1);
  Press(NoteX(16) + 5, Middle() - 5);
  EXPECT_TRUE(a->mf());
  EXPECT_EQ(a->NotesIndex(), 1);
  ExpectEditorEnabled(false);  // the editor follows at the release
  Release(NoteX(16) + 5, Middle() - 5);
  EXPECT_FALSE(a->mf());
  EXPECT_EQ(a->NotesIndex(), 1);
  EXPECT_EQ(a->Notes(), DefaultNotes(4));
  ExpectEditorEnabled(true);
  ExpectEditorShows(0, 5, 0, 1);
  EXPECT_EQ(a->cbNotesList()->currentIndex(), 1);
  EXPECT_EQ(Pixel(NoteX(16), Middle() - 10), Rgb(clBlack));  // thick outline
}

TEST_F(FrmMain, PressOnEmptySpaceClearsTheEditor) {
  ClickNote(2);
  ASSERT_EQ(a->NotesIndex(), 2);
  Click(5, 5);
  EXPECT_EQ(a->NotesIndex(), -1);
  ExpectEditorEnabled(false);
  ExpectEditorShows(-1, -1, -1, -1);
  for (int k = 0; k < 4; ++k) EXPECT_EQ(Pixel(NoteX(16 * k), Middle() - 10), Rgb(Accent)) << k;
}

TEST_F(FrmMain, DragFollowsThePointerAndStaysInTheMeasure) {
  a->cbNotesList()->addItem("Run");
  a->cbNotesList()->setCurrentIndex(1);
  const int c = Geometry().c;
  Press(NoteX(16), Middle());
  MoveTo(NoteX(16) + 1, Middle());  // still rounds to offset 16: nothing changes
  EXPECT_EQ(a->Notes()[1].offset, 16);
  EXPECT_EQ(a->cbNotesList()->currentIndex(), 1);

  MoveTo(NoteX(40), Middle() + 40);  // the line's height does not matter
  EXPECT_EQ(a->Notes()[1].offset, 40);
  EXPECT_EQ(a->cbNotesList()->currentIndex(), 0);
  EXPECT_EQ(Pixel(NoteX(40), Middle() - 10), Rgb(clBlack));  // repainted while dragging
  EXPECT_EQ(Pixel(NoteX(16) + 5, Middle() - 5), Rgb(clWhite));

  // Past the left end of the window: the image still gets the moves.
  MoveTo(-a->Image1()->mapTo(frm.get(), QPoint(0, 0)).x() - 30, Middle());
  EXPECT_EQ(a->Notes()[1].offset, 0);
  MoveTo(a->Image1()->width() + 200, -100);
  EXPECT_EQ(a->Notes()[1].offset, 64);
  EXPECT_TRUE(a->mf());

  // The release outside the image ends the drag and shows the note.
  Release(a->Image1()->width() + 200, -100);
  EXPECT_FALSE(a->mf());
  EXPECT_EQ(a->Notes()[1].offset, 64);
  EXPECT_EQ(a->NotesIndex(), 1);
  ExpectEditorEnabled(true);

  MoveTo(2 * c, Middle());  // no button held: moves do nothing
  EXPECT_EQ(a->Notes()[1].offset, 64);
}

TEST_F(FrmMain, DragRoundsHalfSixteenthsToEven) {
  // Image 480 wide in 3/4: c = 96.
  frm->resize(480 + 169 + 2, frm->height());
  QApplication::processEvents();
  Pick(a->cbTimeS(), 0);
  ASSERT_EQ(Geometry().c, 96);
  Press(96, Middle());
  MoveTo(105, Middle());  // 17.5 -> 18
  EXPECT_EQ(a->Notes()[0].offset, 2);
  MoveTo(99, Middle());  // 16.5 -> 16
  EXPECT_EQ(a->Notes()[0].offset, 0);
  Release(99, Middle());
}

TEST_F(FrmMain, OverlappingNotesSelectTheLaterOne) {
  QTest::mouseClick(a->BtNoteAdd(), Qt::LeftButton);  // note 4, at the end of the measure
  Press(NoteX(64), Middle());
  ASSERT_EQ(a->NotesIndex(), 4);
  MoveTo(NoteX(48), Middle());
  Release(NoteX(48), Middle());
  ASSERT_EQ(a->Notes()[4].offset, 48);
  ClickNote(3);
  EXPECT_EQ(a->NotesIndex(), 4);
}

TEST_F(FrmMain, AddUpToTwoNotesPerBeat) {
  a->cbNotesList()->addItem("Run");
  a->cbNotesList()->setCurrentIndex(1);
  for (int i = 0; i < 4; ++i) {
    QTest::mouseClick(a->BtNoteAdd(), Qt::LeftButton);
    ASSERT_EQ(a->Notes().size(), 5u + i);
    EXPECT_EQ(a->Notes().back(), DefaultNote(64));
    EXPECT_EQ(a->NotesIndex(), 4 + i);
  }
  ExpectEditorEnabled(true);
  ExpectEditorShows(0, 5, 0, 1);
  EXPECT_EQ(Pixel(NoteX(64), Middle() - 10), Rgb(clBlack));  // drawn selected on the last tick

  QTest::mouseClick(a->BtNoteAdd(), Qt::LeftButton);
  EXPECT_EQ(a->Notes().size(), 8u);
  EXPECT_EQ(a->NotesIndex(), 7);
  EXPECT_EQ(a->cbNotesList()->currentIndex(), 1);  // adding leaves the list alone
}

TEST_F(FrmMain, DeleteTheOnlyNote) {
  while (a->Notes().size() > 1) {
    ClickNote(0);
    QTest::mouseClick(a->btNoteDelete(), Qt::LeftButton);
  }
  ASSERT_EQ(a->Notes(), TNotes{DefaultNote(48)});
  ClickNote(0);
  Pick(a->cbTone(), 9);
  QTest::mouseClick(a->btNoteDelete(), Qt::LeftButton);
  EXPECT_TRUE(a->Notes().empty());
  EXPECT_EQ(a->NotesIndex(), -1);
  ExpectEditorEnabled(false);
  EXPECT_EQ(a->cbTone()->currentIndex(), 9);  // the lists keep the deleted note's values
  // Only the line and the ticks are left.
  EXPECT_EQ(Pixel(NoteX(48) + 5, Middle() - 5), Rgb(clWhite));
  EXPECT_EQ(Pixel(NoteX(48), Middle() - 5), Rgb(clBlack));
  // Delete with nothing selected does nothing; Add still works.
  emit a->btNoteDelete()->clicked();
  EXPECT_TRUE(a->Notes().empty());
  QTest::mouseClick(a->BtNoteAdd(), Qt::LeftButton);
  EXPECT_EQ(a->Notes(), TNotes{DefaultNote(64)});
}

TEST_F(FrmMain, TypeSwitchKeepsTheSineValues) {
  a->cbNotesList()->addItem("Run");
  a->cbNotesList()->setCurrentIndex(1);
  ClickNote(1);
  Pick(a->cbTone(), 9);      // E5
  Pick(a->cbLength(), 1);    // Long
  Pick(a->cbLoudness(), 2);  // Soft
  EXPECT_EQ(a->cbNotesList()->currentIndex(), 0);
  const TNote sine = a->Notes()[1];
  EXPECT_EQ(sine.tone, ToneFreqs[9]);
  EXPECT_EQ(sine.length, 13);
  EXPECT_EQ(sine.loudness, 0.3f);

  Pick(a->cbType(), 2);  // "Two"
  EXPECT_EQ(a->Notes()[1].n_type, 2);
  EXPECT_TRUE(a->cbType()->isEnabled());
  EXPECT_TRUE(a->btNoteDelete()->isEnabled());
  EXPECT_FALSE(a->cbTone()->isEnabled());
  EXPECT_FALSE(a->cbLength()->isEnabled());
  EXPECT_FALSE(a->cbLoudness()->isEnabled());

  // Selecting it again shows the voice with the sine lists disabled.
  Click(5, 5);
  ClickNote(1);
  ExpectEditorShows(2, 9, 1, 2);
  EXPECT_FALSE(a->cbTone()->isEnabled());

  Pick(a->cbType(), 0);
  TNote back = sine;
  EXPECT_EQ(a->Notes()[1], back);
  EXPECT_TRUE(a->cbTone()->isEnabled());
  EXPECT_TRUE(a->cbLength()->isEnabled());
  EXPECT_TRUE(a->cbLoudness()->isEnabled());
  ExpectEditorShows(0, 9, 1, 2);
}

TEST_F(FrmMain, ListHandlersDoNothingWithoutASelection) {
  a->cbNotesList()->addItem("Run");
  a->cbNotesList()->setCurrentIndex(1);
  for (QComboBox* list : {a->cbType(), a->cbTone(), a->cbLength(), a->cbLoudness()}) Pick(list, 1);
  EXPECT_EQ(a->Notes(), DefaultNotes(4));
  EXPECT_EQ(a->cbNotesList()->currentIndex(), 1);
}

TEST_F(FrmMain, SilentNoteDrawnInTheBackgroundColour) {
  ClickNote(2);
  EXPECT_EQ(Pixel(NoteX(32) + 5, Middle() - 5), Rgb(Accent));
  Pick(a->cbLoudness(), 3);  // None
  EXPECT_EQ(a->Notes()[2].loudness, 0.0f);
  EXPECT_EQ(Pixel(NoteX(32) + 5, Middle() - 5), Rgb(clWhite));
  // Still there to be picked and dragged.
  Click(5, 5);
  ClickNote(2);
  EXPECT_EQ(a->NotesIndex(), 2);
  ExpectEditorShows(0, 5, 0, 3);
}

TEST_F(FrmMain, NoteWithValuesOfNoListShowsTheDefaults) {
  a->Notes()[0].tone = 500.0f;
  a->Notes()[0].length = 7;
  a->Notes()[0].loudness = 0.7f;
  ClickNote(0);
  ExpectEditorShows(0, 5, 0, 1);
  Pick(a->cbLength(), 1);
  EXPECT_EQ(a->Notes()[0].tone, 500.0f);  // only the changed field is stored
  EXPECT_EQ(a->Notes()[0].loudness, 0.7f);
  EXPECT_EQ(a->Notes()[0].length, 13);
}

TEST_F(FrmMain, TempoFieldStoresTheLimitedValue) {
  QLineEdit* edit = a->seTempo()->findChild<QLineEdit*>();
  edit->setText("90");
  EXPECT_EQ(a->TPCount(), 90);
  edit->setText("");
  EXPECT_EQ(a->TPCount(), 60);
  edit->setText("240");
  EXPECT_EQ(a->TPCount(), 240);
}

TEST_F(FrmMain, FullWidthDigitsTypedInTheTempoFieldAreTheTempo) {
  // What a Japanese input method commits in full-width mode.
  QLineEdit* edit = a->seTempo()->findChild<QLineEdit*>();
  edit->setFocus();
  edit->selectAll();
  const struct {
    const char* committed;
    const char* shown;
    int tempo;
  } cases[] = {{"１８０", "180", 180}, {"９０", "90", 90}, {"３００", "300", 240}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.committed);
    edit->selectAll();
    QInputMethodEvent commit;
    commit.setCommitString(QString::fromUtf8(c.committed));
    QCoreApplication::sendEvent(edit, &commit);
    EXPECT_EQ(edit->text(), c.shown);
    EXPECT_EQ(a->TPCount(), c.tempo);
  }
  // Leaving the field shows the tempo that plays.
  QTest::keyClick(edit, Qt::Key_Tab);
  EXPECT_EQ(edit->text(), "240");
  EXPECT_EQ(a->TPCount(), 240);
}

// ---- Language ----------------------------------------------------------------------------

class FrmMainLanguage : public FrmMain {
 protected:
  void SetUp() override {}
  void OpenWithLocaleFile(const std::string& text) {
    // One file per test: the suite's tests run in parallel processes.
    const auto path = std::filesystem::temp_directory_path() /
                      (std::string("taktola-locale-") + testing::UnitTest::GetInstance()->current_test_info()->name());
    std::ofstream(path, std::ios::binary) << text;
    Open(TFrmMainEnv{[path] { return IsJapaneseIn({path.string()}); }});
    std::filesystem::remove(path);
  }
  // The program started on a desktop whose default font is `desktopFont`: the application
  // has that font before the start-up steps run, as a platform theme would set it.
  void StartWithDesktopFont(const QFont& desktopFont, const std::string& localeFile) {
    frm.reset();
    QApplication::setFont(desktopFont);
    StartUp();
    OpenWithLocaleFile(localeFile);
  }
  QStringList Captions() {
    return {a->LabelTS()->text(), a->LabelBPM()->text(), a->LabelNote()->text(),
            a->LabelLength()->text(), a->LabelLoudness()->text(), a->btStart()->text(),
            a->btStop()->text(), a->BtNoteAdd()->text(), a->btNoteDelete()->text()};
  }
  // Every control in the 9-point UI font, and every caption whole and clear of the control
  // beside it, as drawn once the window is shown with the style sheet in force.
  void ExpectCaptionsClear() {
    for (QWidget* w : frm->findChildren<QWidget*>())
      EXPECT_EQ(w->font().pointSize(), 9) << w->objectName().toStdString() << " " << w->metaObject()->className();
    // Latin captions in a Latin face, never in a Japanese one that a Japanese process
    // locale would pick for a font alias.
    const QString family = QFontInfo(a->LabelType()->font()).family();
    EXPECT_FALSE(QFontDatabase::writingSystems(family).contains(QFontDatabase::Japanese)) << family.toStdString();

    const std::pair<QLabel*, QWidget*> labelled[] = {
        {a->LabelTS(), a->cbTimeS()},   {a->LabelBPM(), a->seTempo()},       {a->LabelType(), a->cbType()},
        {a->LabelNote(), a->cbTone()}, {a->LabelLength(), a->cbLength()}, {a->LabelLoudness(), a->cbLoudness()}};
    for (const auto& [label, control] : labelled) {
      SCOPED_TRACE(label->text().toStdString());
      EXPECT_GE(label->width(), label->fontMetrics().horizontalAdvance(label->text()));
      EXPECT_GE(control->x() - (label->x() + label->width()), 2) << "label ends at " << label->x() + label->width();
      EXPECT_EQ(label->buddy(), control);
    }
    // The labels left of the lists stay one column.
    for (QLabel* label : {a->LabelNote(), a->LabelLength(), a->LabelLoudness()}) EXPECT_EQ(label->x(), a->LabelType()->x());
    // The time signature's caption keeps its designed right edge (198 + 79) and stays clear
    // of the save button on its left.
    EXPECT_EQ(a->LabelTS()->x() + a->LabelTS()->width(), 277);
    EXPECT_GT(a->LabelTS()->x(), a->btItemAdd()->x() + a->btItemAdd()->width());
    // Buttons hold their icon and caption.
    for (QPushButton* button : {a->btStart(), a->btStop(), a->BtNoteAdd(), a->btNoteDelete()})
      EXPECT_LE(button->sizeHint().width(), button->width()) << button->text().toStdString();
  }
  const QFont largeDesktopFont{QStringLiteral("DejaVu Sans"), 20};
};

TEST_F(FrmMainLanguage, EnglishSystem) {
  for (const QFont& desktopFont : {QFont(), largeDesktopFont}) {
    SCOPED_TRACE(desktopFont.toString().toStdString());
    StartWithDesktopFont(desktopFont, "LANG=en_US.UTF-8\n");
    EXPECT_EQ(Captions(), (QStringList{"Time Signature", "BPM", "Notename", "Length", "Loudness", "Start", "Stop",
                                       "Add", "Delete"}));
    EXPECT_EQ(a->LabelType()->text(), "Type");
    ExpectCaptionsClear();
  }
}

TEST_F(FrmMainLanguage, JapaneseSystem) {
  for (const QFont& desktopFont : {QFont(), largeDesktopFont}) {
    SCOPED_TRACE(desktopFont.toString().toStdString());
    StartWithDesktopFont(desktopFont, "LANG=\"ja_JP.UTF-8\"\n");
    EXPECT_EQ(Captions(), (QStringList{"拍子", "テンポ", "音名", "長さ", "大きさ", "スタート", "ストップ", "音追加",
                                       "音削除"}));
    // Texts that are the same in both languages.
    EXPECT_EQ(a->LabelType()->text(), "Type");
    EXPECT_EQ(frm->windowTitle(), "TAKTOLA- Sports Metronome");
    EXPECT_EQ(a->cbType()->itemText(0), "Sine Wave");
    ExpectCaptionsClear();
  }
}

TEST_F(FrmMainLanguage, OtherLanguagesAreEnglish) {
  OpenWithLocaleFile("LANG=zh_CN.UTF-8\n");
  EXPECT_EQ(a->LabelNote()->text(), "Notename");
}

// Start-up work that the window need not wait for (connecting to the sound server) runs from
// the event loop once the window has been drawn, and once only.
TEST(StartUpWork, RunsOnceAfterTheWindowsFirstFrame) {
  class TPainted final : public QWidget {
   public:
    int paints = 0;

   protected:
    void paintEvent(QPaintEvent*) override { ++paints; }
  };
  TPainted window;
  int runs = 0, paintsBefore = -1;
  AfterFirstFrame(window, [&] {
    ++runs;
    paintsBefore = window.paints;
  });
  QCoreApplication::processEvents();
  EXPECT_EQ(runs, 0);  // not shown yet
  window.show();
  EXPECT_EQ(runs, 0);  // not from show() itself
  ASSERT_TRUE(QTest::qWaitFor([&] { return runs > 0; }, 5000));
  EXPECT_GE(paintsBefore, 1);
  window.hide();
  window.show();
  QTest::qWait(50);
  EXPECT_EQ(runs, 1);
}

}  // namespace
