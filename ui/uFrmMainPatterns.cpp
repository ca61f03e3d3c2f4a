// The main window's pattern list: listing the pattern folders, loading a picked pattern and
// saving the one shown under a name.
#include <QComboBox>
#include <QMenu>
#include <QVariant>

#include "platform/uVCLUtils.h"
#include "ui/uFrmExport.h"
#include "ui/uFrmMain.h"
#include "ui/uFrmProgram.h"
#include "ui/uMeasureView.h"
#include "ui/uSpinEdit.h"
#include "ui/uStdDialogs.h"

namespace {

constexpr TSaveTexts EnglishSaveTexts{"Add Item", "Item Name", "New Item", "Overwite Item?", "Unavailable item name"};
constexpr TSaveTexts JapaneseSaveTexts{"設定を記憶", "設定名", "新しい設定", "アイテムを上書きしますか？",
                                       "不適切なアイテム名です"};

// The error of a file too large to be a pattern file, in the UI language.
std::runtime_error TooLargeError(const std::filesystem::path& path, bool japanese) {
  const std::string file = Utf8FromPath(path);
  return std::runtime_error(japanese ? file + " はパターンファイルとして大きすぎます"
                                     : file + " is too large for a pattern file.");
}

}  // namespace

TPatternFolders DefaultPatternFolders() {
  const std::string program = ProgramFolder();
  const std::string user = UserDataFolder();
  return ChoosePatternFolders(PathFromUtf8(program), PathFromUtf8(user), IsWritableFolder(program));
}

void ListNoteFiles(QComboBox& list, const std::vector<std::filesystem::path>& folders) {
  list.clear();
  list.addItem(QString());
  // Each name keeps the file it was listed from, as the file system names it: on a file
  // system that tells letter case apart, "Run.TKTM" is not "Run.tktm", and a name that is
  // no UTF-8 shows replacement characters but still opens its file.
  for (const TPatternFile& file : ListPatternFiles(folders))
    list.addItem(QString::fromStdString(file.name), QVariant::fromValue(file.path));
}

void TFrmMain::RefreshNotesList() {
  ListNoteFiles(*cbNotesList, Env.PatternFolders().listed);
  cbNotesList->setCurrentIndex(-1);
}

void TFrmMain::cbNotesListChange() {
  if (cbNotesList->currentIndex() <= 0) return;
  if (FProgram) UnloadProgram();  // back to playing patterns
  const auto file = cbNotesList->currentData().value<std::filesystem::path>();
  std::int32_t timeSig = cbTimeS->currentIndex();
  std::int32_t tempo = seTempo->value();
  try {
    LoadNotes(file, Notes, timeSig, tempo, Env.DecimalSeparator());
  } catch (const EPatternTooLarge& e) {
    throw TooLargeError(e.Path(), Env.IsJapanese());  // reported; nothing was changed
  }
  cbTimeS->setCurrentIndex(timeSig);
  UpdateTSCount();
  seTempo->setValue(tempo);  // limited to the field's range; runs nbTempoChange if the text changes
  NotesIndex = -1;
  EnableNoteControls(false);
  DrawMeasure();
  RestartIfPlaying();
}

std::optional<std::filesystem::path> AskSavePath(QWidget* parent, const TSaveTexts& texts,
                                                 const std::filesystem::path& folder, std::string_view extension,
                                                 const QString& proposal) {
  const auto name = InputQuery(parent, QString::fromUtf8(texts.caption), QString::fromUtf8(texts.prompt),
                               proposal.isEmpty() ? QString::fromUtf8(texts.defaultName) : proposal);
  if (!name) return std::nullopt;
  if (!IsValidPatternName(name->toStdU32String())) {
    ShowErrorBox(parent, QString::fromUtf8(texts.invalidName));
    return std::nullopt;
  }
  const std::filesystem::path path = folder / PathFromUtf8(name->toStdString() + std::string(extension));
  // Only a file that a save can replace is asked about; anything else (a folder, a FIFO, a
  // dangling link) the save refuses with its error.
  std::error_code ec;
  if (std::filesystem::is_regular_file(path, ec) && !AskYesNo(parent, QString::fromUtf8(texts.overwrite)))
    return std::nullopt;
  // The user's data folder is made by the first save into it; if that fails, the save
  // reports the path it cannot write.
  std::filesystem::create_directories(folder, ec);
  return path;
}

void TFrmMain::btItemAddClick() {
  const TSaveTexts& texts = Env.IsJapanese() ? JapaneseSaveTexts : EnglishSaveTexts;
  const auto path = AskSavePath(this, texts, Env.PatternFolders().save, PatternExtension);
  if (!path) return;
  SaveNotes(*path, Notes, cbTimeS->currentIndex(), seTempo->value(), Env.DecimalSeparator());
  RefreshNotesList();
}

TStepPattern TFrmMain::CurrentPattern() const { return TStepPattern{Notes, TSCount}; }

std::int32_t TFrmMain::CurrentTempo() const { return seTempo->value(); }

TDialogEnv TFrmMain::DialogEnv() {
  TDialogEnv env;
  env.IsJapanese = Env.IsJapanese;
  env.PatternFolders = Env.PatternFolders;
  env.DecimalSeparator = Env.DecimalSeparator;
  env.CurrentPattern = [this] { return CurrentPattern(); };
  env.CurrentTempo = [this] { return CurrentTempo(); };
  env.Resources = Env.Resources;
  env.PlayProgram = [this](const std::filesystem::path& path) { return PlayProgram(path); };
  return env;
}

void TFrmMain::ShowPrograms() {
  TFrmProgram dialog(this, DialogEnv());
  dialog.exec();
}

void TFrmMain::ShowExport() {
  TFrmExport dialog(this, DialogEnv());
  dialog.exec();
}

void TFrmMain::Image1ContextMenu(const QPoint& at) {
  // The right press chose a note, as a left one does; the menu takes its release.
  Image1MouseUp(Qt::RightButton, at.x(), at.y());
  const bool japanese = Env.IsJapanese();
  QMenu menu(this);
  QAction* programs = menu.addAction(japanese ? QStringLiteral("トレーニングプログラム(&P)...\tCtrl+P")
                                              : QStringLiteral("Training &programs...\tCtrl+P"));
  QAction* exportAction = menu.addAction(japanese ? QStringLiteral("書き出し(&E)...\tCtrl+E")
                                                  : QStringLiteral("&Export...\tCtrl+E"));
  QAction* chosen = menu.exec(Image1->mapToGlobal(at));
  if (chosen == programs) ShowPrograms();
  if (chosen == exportAction) ShowExport();
}
