// The export dialog: the current pattern for some minutes, or a saved program whole, into an
// audio file, with a progress bar and a cancel button while it is written.
#pragma once

#include <QDialog>
#include <optional>

#include "audio/uExport.h"
#include "ui/uFrmProgram.h"

class QComboBox;
class QDoubleSpinBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QRadioButton;

class TFrmExport : public QDialog {
  Q_OBJECT
 public:
  explicit TFrmExport(QWidget* parent, TDialogEnv env);

  // While an export runs, closing the dialog cancels it instead.
  void reject() override;

 private:
  friend struct TFrmExportAccess;  // tests drive the controls through it

  void ApplyCaptions();
  TExportFormat Format() const;
  // The file name given the chosen format's extension.
  void FormatChanged();
  void UpdateSource();
  void btBrowseClick();
  void btExportClick();
  // The plan the choices ask for; no value (the user was told why) when there is none.
  std::optional<TProgramPlan> Plan(std::uint64_t& samples);
  void SetRunning(bool running);

  TDialogEnv Env;
  bool FJapanese = false;
  std::vector<TPatternFile> FPrograms;
  bool FRunning = false;
  bool FCancel = false;

  QRadioButton* rbPattern = nullptr;
  QRadioButton* rbProgram = nullptr;
  QComboBox* cbProgram = nullptr;
  QLabel* lbMinutes = nullptr;
  QDoubleSpinBox* seMinutes = nullptr;
  QLabel* lbFormat = nullptr;
  QComboBox* cbFormat = nullptr;
  QLabel* lbFile = nullptr;
  QLineEdit* edFile = nullptr;
  QPushButton* btBrowse = nullptr;
  QProgressBar* pbProgress = nullptr;
  QLabel* lbStatus = nullptr;
  QPushButton* btExport = nullptr;
  QPushButton* btCancel = nullptr;
};
