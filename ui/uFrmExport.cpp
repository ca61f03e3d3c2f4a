#include "ui/uFrmExport.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QDoubleSpinBox>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QFileInfo>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>
#include <cmath>

#include "ui/uStdDialogs.h"

namespace {

// Progress is shown, and clicks are seen, this often while writing.
constexpr int EventIntervalMs = 30;

QString Tr(bool japanese, const char* english, const char* japaneseText) {
  return QString::fromUtf8(japanese ? japaneseText : english);
}

}  // namespace

TFrmExport::TFrmExport(QWidget* parent, TDialogEnv env) : QDialog(parent), Env(std::move(env)) {
  FJapanese = Env.IsJapanese();
  rbPattern = new QRadioButton;
  rbProgram = new QRadioButton;
  cbProgram = new QComboBox;
  lbMinutes = new QLabel;
  seMinutes = new QDoubleSpinBox;
  seMinutes->setRange(0.1, MaxExportMinutes);
  seMinutes->setDecimals(1);
  seMinutes->setValue(10);
  lbFormat = new QLabel;
  cbFormat = new QComboBox;
  for (TExportFormat format : AvailableExportFormats())
    cbFormat->addItem(QString::fromUtf8(ExportFormatName(format).data(), static_cast<qsizetype>(ExportFormatName(format).size())),
                      static_cast<int>(format));
  lbFile = new QLabel;
  edFile = new QLineEdit(QDir(QDir::homePath()).filePath(QStringLiteral("taktola.wav")));
  btBrowse = new QPushButton;
  pbProgress = new QProgressBar;
  pbProgress->setRange(0, 1000);
  pbProgress->setValue(0);
  pbProgress->setTextVisible(false);
  lbStatus = new QLabel;
  lbStatus->setWordWrap(true);
  btExport = new QPushButton;
  btExport->setDefault(true);
  btCancel = new QPushButton;
  lbMinutes->setBuddy(seMinutes);
  lbFormat->setBuddy(cbFormat);
  lbFile->setBuddy(edFile);

  const TPatternFolders folders = Env.PatternFolders();
  FPrograms = ListPatternFiles(folders.listed, ProgramExtension);
  for (const TPatternFile& file : FPrograms) cbProgram->addItem(QString::fromStdString(file.name));
  rbPattern->setChecked(true);
  rbProgram->setEnabled(!FPrograms.empty());

  auto* form = new QFormLayout;
  form->addRow(rbPattern);
  auto* program = new QHBoxLayout;
  program->addWidget(rbProgram);
  program->addWidget(cbProgram, 1);
  form->addRow(program);
  form->addRow(lbMinutes, seMinutes);
  form->addRow(lbFormat, cbFormat);
  auto* file = new QHBoxLayout;
  file->addWidget(edFile, 1);
  file->addWidget(btBrowse);
  form->addRow(lbFile, file);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(btExport);
  buttons->addWidget(btCancel);
  auto* all = new QVBoxLayout(this);
  all->addLayout(form);
  all->addWidget(pbProgress);
  all->addWidget(lbStatus);
  all->addStretch(1);
  all->addLayout(buttons);
  resize(520, 280);

  connect(rbPattern, &QRadioButton::toggled, this, [this] { UpdateSource(); });
  connect(cbFormat, &QComboBox::currentIndexChanged, this, [this] { FormatChanged(); });
  connect(btBrowse, &QPushButton::clicked, this, [this] { Guarded([&] { btBrowseClick(); }); });
  connect(btExport, &QPushButton::clicked, this, [this] { Guarded([&] { btExportClick(); }); });
  connect(btCancel, &QPushButton::clicked, this, &TFrmExport::reject);
  ApplyCaptions();
  UpdateSource();
}

void TFrmExport::ApplyCaptions() {
  const bool j = FJapanese;
  setWindowTitle(Tr(j, "Export", "書き出し"));
  rbPattern->setText(Tr(j, "The current &pattern", "現在のパターン(&P)"));
  rbProgram->setText(Tr(j, "A p&rogram:", "プログラム(&R):"));
  cbProgram->setAccessibleName(Tr(j, "Program", "プログラム"));
  lbMinutes->setText(Tr(j, "&Minutes:", "分数(&M):"));
  lbFormat->setText(Tr(j, "F&ormat:", "形式(&O):"));
  lbFile->setText(Tr(j, "&File:", "ファイル(&F):"));
  btBrowse->setText(Tr(j, "&Browse...", "参照(&B)..."));
  btExport->setText(Tr(j, "&Export", "書き出し(&E)"));
  btCancel->setText(FRunning ? ButtonCancel : Tr(j, "Close", "閉じる"));
  pbProgress->setAccessibleName(Tr(j, "Progress", "進行状況"));
}

TExportFormat TFrmExport::Format() const { return static_cast<TExportFormat>(cbFormat->currentData().toInt()); }

void TFrmExport::FormatChanged() {
  const QFileInfo info(edFile->text());
  const std::string_view ext = ExportExtension(Format());
  const QString name = info.completeBaseName() + QString::fromLatin1(ext.data(), static_cast<qsizetype>(ext.size()));
  edFile->setText(info.path() == QStringLiteral(".") && !edFile->text().startsWith(QStringLiteral("./"))
                      ? name
                      : QDir(info.path()).filePath(name));
}

void TFrmExport::UpdateSource() {
  // A program is written whole; the current pattern plays for the minutes given.
  cbProgram->setEnabled(rbProgram->isChecked() && !FRunning);
  seMinutes->setEnabled(rbPattern->isChecked() && !FRunning);
}

void TFrmExport::btBrowseClick() {
  const std::string_view ext = ExportExtension(Format());
  const QString filter = QStringLiteral("%1 (*%2)")
                             .arg(cbFormat->currentText(), QString::fromLatin1(ext.data(), static_cast<qsizetype>(ext.size())));
  const QString chosen = QFileDialog::getSaveFileName(this, Tr(FJapanese, "Export to", "書き出し先"), edFile->text(), filter);
  if (!chosen.isEmpty()) edFile->setText(chosen);
}

std::optional<TProgramPlan> TFrmExport::Plan(std::uint64_t& samples) {
  const auto language = FJapanese ? TCountInLanguage::Japanese : TCountInLanguage::English;
  const auto maxSamples = static_cast<std::uint64_t>(MaxExportMinutes * 60 * SampleRate);
  if (rbPattern->isChecked()) {
    samples = static_cast<std::uint64_t>(std::llround(seMinutes->value() * 60 * SampleRate));
    return TProgramPlan::Loop(Env.CurrentPattern(), std::clamp(Env.CurrentTempo(), MinTempo, MaxTempo), samples);
  }
  const int index = cbProgram->currentIndex();
  if (index < 0 || index >= static_cast<int>(FPrograms.size())) return std::nullopt;
  const TPatternFile& file = FPrograms[static_cast<std::size_t>(index)];
  const std::optional<TProgram> program = OpenProgramFile(this, file, FJapanese);
  if (!program) return std::nullopt;
  TResolvedPatterns resolved = ResolvePatterns(*program, ListPatternFiles(Env.PatternFolders().listed),
                                               Env.CurrentPattern(), Env.DecimalSeparator());
  if (!resolved.missing.empty()) {
    QStringList names;
    for (const std::string& name : MissingPatternNames(*program, resolved.missing)) names << QString::fromStdString(name);
    ShowErrorBox(this, (FJapanese ? QStringLiteral("%1 のパターンが見つかりません: %2")
                                  : QStringLiteral("%1 names patterns that are missing: %2"))
                           .arg(QString::fromStdString(file.name), names.join(QStringLiteral(", "))));
    return std::nullopt;
  }
  TProgramPlan plan(*program, std::move(resolved.patterns), language);
  if (plan.TotalSamples() > maxSamples) {
    ShowErrorBox(this, FJapanese ? QStringLiteral("%1 は %2 分より長いため書き出せません").arg(QString::fromStdString(file.name)).arg(MaxExportMinutes)
                                 : QStringLiteral("%1 lasts longer than %2 minutes and cannot be exported.")
                                       .arg(QString::fromStdString(file.name))
                                       .arg(MaxExportMinutes));
    return std::nullopt;
  }
  samples = plan.TotalSamples();
  return plan;
}

void TFrmExport::SetRunning(bool running) {
  FRunning = running;
  for (QWidget* w : QList<QWidget*>{rbPattern, rbProgram, cbFormat, edFile, btBrowse, btExport}) w->setEnabled(!running);
  rbProgram->setEnabled(!running && !FPrograms.empty());
  UpdateSource();
  ApplyCaptions();
  if (running) btCancel->setFocus();
}

void TFrmExport::btExportClick() {
  if (FRunning) return;
  const QString name = edFile->text().trimmed();
  if (name.isEmpty()) {
    ShowErrorBox(this, Tr(FJapanese, "Give a file name to export to.", "書き出すファイル名を入力してください。"));
    return;
  }
  const std::filesystem::path path = PathFromUtf8(name.toStdString());
  std::error_code ec;
  if (std::filesystem::exists(path, ec) &&
      !AskYesNo(this, (FJapanese ? QStringLiteral("%1 は既にあります。置き換えますか？")
                                 : QStringLiteral("%1 already exists. Replace it?"))
                          .arg(name)))
    return;
  std::uint64_t samples = 0;
  const std::optional<TProgramPlan> plan = Plan(samples);
  if (!plan) return;
  TPlanSamples stream(*plan, samples, Env.Resources);
  FCancel = false;
  SetRunning(true);
  pbProgress->setValue(0);
  lbStatus->setText(Tr(FJapanese, "Writing...", "書き出し中..."));
  QElapsedTimer sinceEvents;  // not started: the first block shows itself at once
  // Written here, in blocks of a measure: between blocks the dialog shows the progress and
  // sees the cancel button, so no thread has to share the plan.
  const TExportProgress progress = [&](std::uint64_t done, std::uint64_t total) {
    if (!sinceEvents.isValid() || sinceEvents.elapsed() >= EventIntervalMs) {
      pbProgress->setValue(total == 0 ? 1000 : static_cast<int>(done * 1000 / total));
      QApplication::processEvents();
      sinceEvents.restart();
    }
    return !FCancel;
  };
  TExportResult result = TExportResult::Cancelled;
  QString error;
  try {
    result = ExportSamples(stream, path, Format(), progress);
  } catch (const std::exception& e) {
    error = QString::fromUtf8(e.what());
  }
  SetRunning(false);
  if (!error.isEmpty()) {
    pbProgress->setValue(0);
    lbStatus->setText(Tr(FJapanese, "The export failed.", "書き出しに失敗しました。"));
    ShowErrorBox(this, ReportedMessage(error));
    return;
  }
  if (result == TExportResult::Cancelled) {
    pbProgress->setValue(0);
    lbStatus->setText(Tr(FJapanese, "Cancelled; no file was written.", "キャンセルしました。ファイルは書き出されていません。"));
    return;
  }
  pbProgress->setValue(1000);
  const auto seconds = static_cast<std::int32_t>(stream.Done() / SampleRate);
  lbStatus->setText((FJapanese ? QStringLiteral("%1 を書き出しました (%2)") : QStringLiteral("Wrote %1 (%2)."))
                        .arg(name, QString::fromStdString(DurationText(seconds))));
}

void TFrmExport::reject() {
  if (FRunning) {
    FCancel = true;
    return;
  }
  QDialog::reject();
}
