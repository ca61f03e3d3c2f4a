// The program dialog: lists the saved training programs and edits one, step by step, in a
// table; shows its total time; saves and opens programs by name beside the patterns.
#pragma once

#include <QDialog>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "audio/uWavUtils.h"
#include "pattern/uPatternFile.h"
#include "pattern/uProgram.h"
#include "platform/uResources.h"
#include "platform/uVCLUtils.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QSpinBox;
class QTableWidget;

// What the program and export dialogs take from the window and the system. The window
// fills it from its own; tests give their own.
struct TDialogEnv {
  std::function<bool()> IsJapanese = ::IsJapanese;
  std::function<TPatternFolders()> PatternFolders;
  std::function<std::string()> DecimalSeparator = [] { return std::string("."); };
  // The pattern in the editor and its tempo: what "(current pattern)" plays.
  std::function<TStepPattern()> CurrentPattern = [] { return TStepPattern{DefaultNotes(4), 4}; };
  std::function<std::int32_t()> CurrentTempo = [] { return DefaultTempo; };
  TResourceReader Resources = ReadResource;
  // Plays a saved program in the window (the window says why when it cannot); none: the
  // dialog offers no Play.
  std::function<bool(const std::filesystem::path&)> PlayProgram;
};

// One row of the table: a step, the round it belongs to (numbered from 1) and that round's
// repeat count. Rows of one round are next to each other.
struct TProgramRow {
  std::int32_t round = 1;
  std::int32_t repeat = 1;
  TProgramStep step;
  friend bool operator==(const TProgramRow&, const TProgramRow&) = default;
};
// The rows of a program, and the program of rows: neighbouring rows with the same round
// number make one round, whose repeat is its first row's. Numbers are given afresh from 1.
std::vector<TProgramRow> ProgramRows(const TProgram& program);
TProgram RowsProgram(const std::vector<TProgramRow>& rows);

// The program's whole playing time in seconds (rounded up), the patterns resolved from the
// list with `current` for steps that name none or a missing one.
std::int64_t ProgramSeconds(const TProgram& program, const std::vector<TPatternFile>& patterns,
                            const TStepPattern& current, std::string_view decimalSeparator);

// The program in a file of the program list, or, when the file holds none, no value after an
// error box that says so.
std::optional<TProgram> OpenProgramFile(QWidget* parent, const TPatternFile& file, bool japanese);

class TFrmProgram : public QDialog {
  Q_OBJECT
 public:
  explicit TFrmProgram(QWidget* parent, TDialogEnv env);

  // The program the table holds now.
  TProgram Program() const;
  // Shows a program in the table (limited to what the table edits).
  void SetProgram(const TProgram& program);

 private:
  friend struct TFrmProgramAccess;  // tests drive the controls through it

  void ApplyCaptions();
  void RefreshLists();
  void ShowRows(const std::vector<TProgramRow>& rows, int current);
  std::vector<TProgramRow> Rows() const;
  void AddRow(int at, const TProgramRow& row);
  void UpdateTotal();
  // The row of the focused cell, or of the current cell; -1 when none.
  int CurrentRow() const;
  // The round of a row changed its repeat: its neighbours of the same round follow.
  void RepeatChanged(int row);

  void btAddClick();
  void btRemoveClick();
  void MoveRow(int by);
  void btSaveClick();
  void OpenSelected();
  void PlaySelected();
  void showEvent(QShowEvent* event) override;

  TDialogEnv Env;
  bool FJapanese = false;
  std::vector<TPatternFile> FPatterns;
  std::vector<TPatternFile> FPrograms;
  QString FName;  // the name it was last opened or saved under
  bool FShowing = false;  // the table is being filled: changes are not edits

  QLabel* lbPrograms = nullptr;
  QListWidget* lbxPrograms = nullptr;
  QPushButton* btOpen = nullptr;
  QPushButton* btPlay = nullptr;
  QLabel* lbSteps = nullptr;
  QTableWidget* tbSteps = nullptr;
  QPushButton* btAdd = nullptr;
  QPushButton* btRemove = nullptr;
  QPushButton* btUp = nullptr;
  QPushButton* btDown = nullptr;
  QLabel* lbTotal = nullptr;
  QPushButton* btSave = nullptr;
  QPushButton* btClose = nullptr;
};
