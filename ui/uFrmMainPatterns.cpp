// The main window's pattern list: listing the pattern folders, loading a picked pattern and
// saving the one shown under a name.
#include <QComboBox>
#include <QVariant>

#include "platform/uVCLUtils.h"
#include "ui/uFrmMain.h"
#include "ui/uSpinEdit.h"
#include "ui/uStdDialogs.h"

namespace {

// The texts of saving a pattern under a name, in English and in Japanese.
struct TSaveTexts {
  const char* caption;
  const char* prompt;
  const char* defaultName;
  const char* overwrite;
  const char* invalidName;
};
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

void TFrmMain::btItemAddClick() {
  const TSaveTexts& texts = Env.IsJapanese() ? JapaneseSaveTexts : EnglishSaveTexts;
  const auto name = InputQuery(this, QString::fromUtf8(texts.caption), QString::fromUtf8(texts.prompt),
                               QString::fromUtf8(texts.defaultName));
  if (!name) return;
  if (!IsValidPatternName(name->toStdU32String())) {
    ShowErrorBox(this, QString::fromUtf8(texts.invalidName));
    return;
  }
  const std::filesystem::path folder = Env.PatternFolders().save;
  const std::filesystem::path path = folder / PathFromUtf8(name->toStdString() + std::string(PatternExtension));
  // Only a file that a save can replace is asked about; anything else (a folder, a FIFO, a
  // dangling link) the save refuses with its error.
  std::error_code ec;
  if (std::filesystem::is_regular_file(path, ec) && !AskYesNo(this, QString::fromUtf8(texts.overwrite))) return;
  // The user's data folder is made by the first save into it; if that fails, the save
  // reports the path it cannot write.
  std::filesystem::create_directories(folder, ec);
  SaveNotes(path, Notes, cbTimeS->currentIndex(), seTempo->value(), Env.DecimalSeparator());
  RefreshNotesList();
}
