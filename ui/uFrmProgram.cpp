#include "ui/uFrmProgram.h"

#include <QCheckBox>
#include <QComboBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QShortcut>
#include <QSpinBox>
#include <QTableWidget>
#include <QVBoxLayout>
#include <algorithm>

#include "audio/uProgramPlan.h"
#include "ui/uFrmMain.h"
#include "ui/uHints.h"
#include "ui/uStdDialogs.h"

namespace {

enum TColumn { ColRound, ColRepeat, ColPattern, ColTempo, ColTempoTo, ColDuration, ColUnit, ColCountIn, ColRest, ColCount };

constexpr THint ColumnNames[ColCount] = {
    {"Round", "ラウンド"},       {"Repeat", "繰り返し"},     {"Pattern", "パターン"},
    {"Tempo", "テンポ"},         {"Tempo to", "終了テンポ"}, {"Duration", "長さ"},
    {"Unit", "単位"},            {"Count-in", "カウント"},   {"Rest", "休み"},
};
constexpr THint CurrentPatternText{"(current pattern)", "(現在のパターン)"};
constexpr THint MissingText{"%1 (missing)", "%1 (見つかりません)"};
constexpr THint UnitTexts[] = {{"m:ss", "分:秒"}, {"measures", "小節"}};

constexpr TSaveTexts EnglishProgramTexts{"Save Program", "Program Name", "New Program", "Overwite Item?",
                                         "Unavailable item name"};
constexpr TSaveTexts JapaneseProgramTexts{"プログラムを保存", "プログラム名", "新しいプログラム",
                                          "アイテムを上書きしますか？", "不適切なアイテム名です"};

// The property that tells which row a cell's control is in.
constexpr const char* RowProperty = "programRow";

std::int32_t DefaultDuration(TDurationUnit unit) { return unit == TDurationUnit::Seconds ? 60 : 16; }

QString DurationCellText(TDurationUnit unit, std::int32_t value) {
  return unit == TDurationUnit::Seconds ? QString::fromStdString(DurationText(value)) : QString::number(value);
}

// The duration typed in a cell, limited; no value for text that is no duration in the unit.
std::optional<std::int32_t> ReadDurationCell(TDurationUnit unit, const QString& text) {
  if (unit == TDurationUnit::Seconds) {
    const auto seconds = ReadDurationValue(text.toStdString());
    if (!seconds) return std::nullopt;
    return std::clamp(*seconds, 1, MaxStepSeconds);
  }
  bool ok = false;
  const int measures = text.trimmed().toInt(&ok);
  if (!ok) return std::nullopt;
  return std::clamp(measures, 1, MaxStepMeasures);
}

}  // namespace

std::vector<TProgramRow> ProgramRows(const TProgram& program) {
  std::vector<TProgramRow> rows;
  std::int32_t round = 0;
  for (const TProgramRound& r : program.rounds) {
    if (r.steps.empty()) continue;  // a round without steps plays nothing and has no row
    ++round;
    for (const TProgramStep& step : r.steps) rows.push_back({round, r.repeat, step});
  }
  return rows;
}

TProgram RowsProgram(const std::vector<TProgramRow>& rows) {
  TProgram program;
  for (std::size_t k = 0; k < rows.size(); ++k) {
    if (k == 0 || rows[k].round != rows[k - 1].round) program.rounds.push_back({rows[k].repeat, {}});
    program.rounds.back().steps.push_back(rows[k].step);
  }
  return program;
}

std::int64_t ProgramSeconds(const TProgram& program, const std::vector<TPatternFile>& patterns,
                            const TStepPattern& current, std::string_view decimalSeparator) {
  TResolvedPatterns resolved = ResolvePatterns(program, patterns, current, decimalSeparator);
  const TProgramPlan plan(program, std::move(resolved.patterns), TCountInLanguage::English);
  return static_cast<std::int64_t>((plan.TotalSamples() + SampleRate - 1) / SampleRate);
}

std::optional<TProgram> OpenProgramFile(QWidget* parent, const TPatternFile& file, bool japanese) {
  std::optional<TProgram> program = LoadProgramIfAny(file.path);
  if (!program)
    ShowErrorBox(parent, japanese ? QStringLiteral("%1 はプログラムファイルではありません").arg(QString::fromStdString(file.name))
                                  : QStringLiteral("%1 is not a program file.").arg(QString::fromStdString(file.name)));
  return program;
}

TFrmProgram::TFrmProgram(QWidget* parent, TDialogEnv env) : QDialog(parent), Env(std::move(env)) {
  FJapanese = Env.IsJapanese();
  lbPrograms = new QLabel;
  lbxPrograms = new QListWidget;
  btOpen = new QPushButton;
  btPlay = new QPushButton;
  btPlay->setVisible(static_cast<bool>(Env.PlayProgram));
  lbSteps = new QLabel;
  tbSteps = new QTableWidget(0, ColCount);
  tbSteps->verticalHeader()->setVisible(false);
  tbSteps->setSelectionBehavior(QAbstractItemView::SelectRows);
  tbSteps->setSelectionMode(QAbstractItemView::SingleSelection);
  tbSteps->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
  tbSteps->horizontalHeader()->setSectionResizeMode(ColPattern, QHeaderView::Stretch);
  btAdd = new QPushButton;
  btRemove = new QPushButton;
  btUp = new QPushButton;
  btDown = new QPushButton;
  lbTotal = new QLabel;
  btSave = new QPushButton;
  btClose = new QPushButton;
  lbPrograms->setBuddy(lbxPrograms);
  lbSteps->setBuddy(tbSteps);

  auto* left = new QVBoxLayout;
  left->addWidget(lbPrograms);
  left->addWidget(lbxPrograms, 1);
  left->addWidget(btOpen);
  left->addWidget(btPlay);
  auto* rowButtons = new QHBoxLayout;
  for (QWidget* w : {btAdd, btRemove, btUp, btDown}) rowButtons->addWidget(w);
  rowButtons->addStretch(1);
  rowButtons->addWidget(lbTotal);
  auto* right = new QVBoxLayout;
  right->addWidget(lbSteps);
  right->addWidget(tbSteps, 1);
  right->addLayout(rowButtons);
  auto* top = new QHBoxLayout;
  top->addLayout(left, 1);
  top->addLayout(right, 4);
  auto* bottom = new QHBoxLayout;
  bottom->addStretch(1);
  bottom->addWidget(btSave);
  bottom->addWidget(btClose);
  auto* all = new QVBoxLayout(this);
  all->addLayout(top, 1);
  all->addLayout(bottom);
  resize(960, 440);

  // Enter acts on what has the focus (the list opens a program): no button is the default,
  // so Enter in the list or the table never also adds a step or closes the dialog.
  for (QPushButton* button : findChildren<QPushButton*>()) button->setAutoDefault(false);
  connect(btOpen, &QPushButton::clicked, this, [this] { Guarded([&] { OpenSelected(); }); });
  connect(btPlay, &QPushButton::clicked, this, [this] { Guarded([&] { PlaySelected(); }); });
  connect(lbxPrograms, &QListWidget::itemActivated, this, [this] { Guarded([&] { OpenSelected(); }); });
  connect(btAdd, &QPushButton::clicked, this, [this] { Guarded([&] { btAddClick(); }); });
  connect(btRemove, &QPushButton::clicked, this, [this] { Guarded([&] { btRemoveClick(); }); });
  connect(btUp, &QPushButton::clicked, this, [this] { Guarded([&] { MoveRow(-1); }); });
  connect(btDown, &QPushButton::clicked, this, [this] { Guarded([&] { MoveRow(1); }); });
  connect(btSave, &QPushButton::clicked, this, [this] { Guarded([&] { btSaveClick(); }); });
  connect(btClose, &QPushButton::clicked, this, &QDialog::reject);
  // Keys besides the buttons' own letters: Ctrl+S saves as in the window, Insert and
  // Ctrl+Delete add and remove steps, Ctrl+Shift+Up and Down move them.
  const std::pair<QKeySequence, QPushButton*> keys[] = {
      {QKeySequence(Qt::CTRL | Qt::Key_S), btSave},
      {QKeySequence(Qt::Key_Insert), btAdd},
      {QKeySequence(Qt::CTRL | Qt::Key_Delete), btRemove},
      {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Up), btUp},
      {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Down), btDown},
  };
  for (const auto& [key, button] : keys) {
    auto* shortcut = new QShortcut(key, this);
    connect(shortcut, &QShortcut::activated, button, &QPushButton::click);
  }

  ApplyCaptions();
  RefreshLists();
  SetProgram(TProgram{{TProgramRound{1, {TProgramStep{}}}}});
  lbxPrograms->setFocus();
}

void TFrmProgram::ApplyCaptions() {
  const bool j = FJapanese;
  setWindowTitle(j ? QStringLiteral("トレーニングプログラム") : QStringLiteral("Training Programs"));
  lbPrograms->setText(j ? QStringLiteral("プログラム(&P):") : QStringLiteral("&Programs:"));
  btOpen->setText(j ? QStringLiteral("開く(&O)") : QStringLiteral("&Open"));
  btPlay->setText(j ? QStringLiteral("再生(&Y)") : QStringLiteral("Pla&y"));
  btPlay->setToolTip(j ? QStringLiteral("保存されたプログラムを最初から再生します (スタートでもう一度、ストップで終了)")
                       : QStringLiteral("Plays the saved program from its beginning (Start plays it again, Stop ends it)"));
  lbSteps->setText(j ? QStringLiteral("ステップ(&T):") : QStringLiteral("S&teps:"));
  btAdd->setText(j ? QStringLiteral("追加(&A)") : QStringLiteral("&Add"));
  btRemove->setText(j ? QStringLiteral("削除(&R)") : QStringLiteral("&Remove"));
  btUp->setText(j ? QStringLiteral("上へ(&U)") : QStringLiteral("Move &up"));
  btDown->setText(j ? QStringLiteral("下へ(&D)") : QStringLiteral("Move &down"));
  btSave->setText(j ? QStringLiteral("保存(&S)...") : QStringLiteral("&Save..."));
  btClose->setText(j ? QStringLiteral("閉じる") : QStringLiteral("Close"));
  btAdd->setToolTip(j ? QStringLiteral("ステップを追加 (Insert)") : QStringLiteral("Add a step (Insert)"));
  btRemove->setToolTip(j ? QStringLiteral("ステップを削除 (Ctrl+Delete)") : QStringLiteral("Remove the step (Ctrl+Delete)"));
  btUp->setToolTip(j ? QStringLiteral("ステップを上へ (Ctrl+Shift+Up)") : QStringLiteral("Move the step up (Ctrl+Shift+Up)"));
  btDown->setToolTip(j ? QStringLiteral("ステップを下へ (Ctrl+Shift+Down)")
                       : QStringLiteral("Move the step down (Ctrl+Shift+Down)"));
  btSave->setToolTip(j ? QStringLiteral("プログラムに名前を付けて保存 (Ctrl+S)")
                       : QStringLiteral("Save the program under a name (Ctrl+S)"));
  QStringList headers;
  for (const THint& name : ColumnNames) headers << name.Text(j);
  tbSteps->setHorizontalHeaderLabels(headers);
}

void TFrmProgram::RefreshLists() {
  const TPatternFolders folders = Env.PatternFolders();
  FPatterns = ListPatternFiles(folders.listed);
  FPrograms = ListPatternFiles(folders.listed, ProgramExtension);
  lbxPrograms->clear();
  for (const TPatternFile& file : FPrograms) lbxPrograms->addItem(QString::fromStdString(file.name));
}

TProgram TFrmProgram::Program() const { return RowsProgram(Rows()); }

void TFrmProgram::SetProgram(const TProgram& program) { ShowRows(ProgramRows(program), 0); }

void TFrmProgram::ShowRows(const std::vector<TProgramRow>& rows, int current) {
  FShowing = true;
  const int column = std::max(0, tbSteps->currentColumn());
  tbSteps->setRowCount(0);
  for (const TProgramRow& row : rows) AddRow(tbSteps->rowCount(), row);
  FShowing = false;
  // Tab walks the table row by row, then on to the buttons below it.
  QWidget* previous = tbSteps;
  for (int r = 0; r < tbSteps->rowCount(); ++r)
    for (int c = 0; c < ColCount; ++c) {
      QWidget* cell = tbSteps->cellWidget(r, c);
      setTabOrder(previous, cell);
      previous = cell;
    }
  setTabOrder(previous, btAdd);
  if (current >= 0 && current < tbSteps->rowCount()) {
    tbSteps->setCurrentCell(current, column);
    if (QWidget* cell = tbSteps->cellWidget(current, column)) cell->setFocus();
  }
  btRemove->setEnabled(tbSteps->rowCount() > 0);
  UpdateTotal();
}

void TFrmProgram::AddRow(int at, const TProgramRow& row) {
  tbSteps->insertRow(at);
  const auto edited = [this] {
    if (!FShowing) UpdateTotal();
  };
  auto spin = [&](int low, int high, int value) {
    auto* box = new QSpinBox;
    box->setRange(low, high);
    box->setValue(value);
    connect(box, &QSpinBox::valueChanged, this, edited);
    return box;
  };
  auto* round = spin(1, MaxProgramRounds, row.round);
  auto* repeat = spin(MinRoundRepeat, MaxRoundRepeat, row.repeat);
  connect(repeat, &QSpinBox::valueChanged, this, [this, repeat] {
    if (!FShowing) RepeatChanged(repeat->property(RowProperty).toInt());
  });
  auto* pattern = new QComboBox;
  pattern->addItem(CurrentPatternText.Text(FJapanese), QString());
  for (const TPatternFile& file : FPatterns)
    pattern->addItem(QString::fromStdString(file.name), QString::fromStdString(file.name));
  const QString name = QString::fromStdString(row.step.pattern);
  int index = pattern->findData(name);
  if (index < 0) {
    // Kept as it was read, and shown as missing until another is picked.
    pattern->addItem(MissingText.Text(FJapanese).arg(name), name);
    index = pattern->count() - 1;
  }
  pattern->setCurrentIndex(index);
  connect(pattern, &QComboBox::currentIndexChanged, this, edited);
  auto* tempo = spin(MinTempo, MaxTempo, row.step.tempoFrom);
  auto* tempoTo = spin(MinTempo, MaxTempo, row.step.tempoTo);
  // While "to" equals the tempo (a fixed tempo), it follows the tempo; a ramp is made by
  // changing "to" alone.
  tempo->setProperty("last", tempo->value());
  connect(tempo, &QSpinBox::valueChanged, this, [tempo, tempoTo](int value) {
    if (tempoTo->value() == tempo->property("last").toInt()) tempoTo->setValue(value);
    tempo->setProperty("last", value);
  });
  auto* duration = new QLineEdit(DurationCellText(row.step.unit, row.step.duration));
  duration->setProperty("value", row.step.duration);
  auto* unit = new QComboBox;
  for (const THint& text : UnitTexts) unit->addItem(text.Text(FJapanese));
  unit->setCurrentIndex(row.step.unit == TDurationUnit::Seconds ? 0 : 1);
  connect(duration, &QLineEdit::editingFinished, this, [this, duration, unit] {
    // What cannot be read goes back to the last good value; the rest is limited.
    const auto u = unit->currentIndex() == 0 ? TDurationUnit::Seconds : TDurationUnit::Measures;
    const std::int32_t value = ReadDurationCell(u, duration->text()).value_or(duration->property("value").toInt());
    duration->setProperty("value", value);
    duration->setText(DurationCellText(u, value));
    if (!FShowing) UpdateTotal();
  });
  connect(unit, &QComboBox::currentIndexChanged, this, [this, duration](int index) {
    const auto u = index == 0 ? TDurationUnit::Seconds : TDurationUnit::Measures;
    duration->setProperty("value", DefaultDuration(u));
    duration->setText(DurationCellText(u, DefaultDuration(u)));
    if (!FShowing) UpdateTotal();
  });
  auto* countIn = new QCheckBox;
  countIn->setChecked(row.step.countIn);
  auto* rest = new QCheckBox;
  rest->setChecked(row.step.rest);
  connect(rest, &QCheckBox::toggled, this, edited);
  QWidget* cells[ColCount] = {round, repeat, pattern, tempo, tempoTo, duration, unit, countIn, rest};
  for (int c = 0; c < ColCount; ++c) {
    cells[c]->setProperty(RowProperty, at);
    cells[c]->setAccessibleName(ColumnNames[c].Text(FJapanese));
    tbSteps->setCellWidget(at, c, cells[c]);
  }
  connect(round, &QSpinBox::valueChanged, this, [this, round] {
    // A changed round takes the repeat of the round it joins, when it joins a neighbour.
    if (FShowing) return;
    const int r = round->property(RowProperty).toInt();
    for (int other : {r - 1, r + 1}) {
      if (other < 0 || other >= tbSteps->rowCount()) continue;
      auto* otherRound = static_cast<QSpinBox*>(tbSteps->cellWidget(other, ColRound));
      if (otherRound->value() != round->value()) continue;
      const int repeat = static_cast<QSpinBox*>(tbSteps->cellWidget(other, ColRepeat))->value();
      static_cast<QSpinBox*>(tbSteps->cellWidget(r, ColRepeat))->setValue(repeat);
      break;
    }
    UpdateTotal();
  });
}

std::vector<TProgramRow> TFrmProgram::Rows() const {
  std::vector<TProgramRow> rows;
  for (int r = 0; r < tbSteps->rowCount(); ++r) {
    const auto spin = [&](int c) { return static_cast<QSpinBox*>(tbSteps->cellWidget(r, c))->value(); };
    const auto check = [&](int c) { return static_cast<QCheckBox*>(tbSteps->cellWidget(r, c))->isChecked(); };
    TProgramRow row;
    row.round = spin(ColRound);
    row.repeat = spin(ColRepeat);
    row.step.pattern = static_cast<QComboBox*>(tbSteps->cellWidget(r, ColPattern))->currentData().toString().toStdString();
    row.step.tempoFrom = spin(ColTempo);
    row.step.tempoTo = spin(ColTempoTo);
    row.step.unit = static_cast<QComboBox*>(tbSteps->cellWidget(r, ColUnit))->currentIndex() == 0
                        ? TDurationUnit::Seconds
                        : TDurationUnit::Measures;
    auto* duration = static_cast<QLineEdit*>(tbSteps->cellWidget(r, ColDuration));
    row.step.duration =
        ReadDurationCell(row.step.unit, duration->text()).value_or(duration->property("value").toInt());
    row.step.countIn = check(ColCountIn);
    row.step.rest = check(ColRest);
    rows.push_back(row);
  }
  return rows;
}

int TFrmProgram::CurrentRow() const {
  for (QWidget* w = focusWidget(); w != nullptr && w != this; w = w->parentWidget()) {
    const QVariant row = w->property(RowProperty);
    if (row.isValid()) return row.toInt();
  }
  return tbSteps->currentRow();
}

void TFrmProgram::RepeatChanged(int row) {
  const auto widgetAt = [&](int r, int c) { return static_cast<QSpinBox*>(tbSteps->cellWidget(r, c)); };
  const int round = widgetAt(row, ColRound)->value(), repeat = widgetAt(row, ColRepeat)->value();
  FShowing = true;
  for (int step : {-1, 1})
    for (int r = row + step; r >= 0 && r < tbSteps->rowCount() && widgetAt(r, ColRound)->value() == round; r += step)
      widgetAt(r, ColRepeat)->setValue(repeat);
  FShowing = false;
  UpdateTotal();
}

void TFrmProgram::UpdateTotal() {
  const TProgram program = Program();
  const std::int64_t seconds =
      ProgramSeconds(program, FPatterns, Env.CurrentPattern(), Env.DecimalSeparator());
  const std::size_t missing = MissingPatterns(program, FPatterns).size();
  QString text = (FJapanese ? QStringLiteral("合計時間: %1") : QStringLiteral("Total time: %1"))
                     .arg(QString::fromStdString(DurationText(static_cast<std::int32_t>(seconds))));
  if (missing > 0)
    text += FJapanese ? QStringLiteral(" (見つからないパターン: %1)").arg(missing)
                      : QStringLiteral(" (%1 missing pattern(s))").arg(missing);
  lbTotal->setText(text);
}

void TFrmProgram::btAddClick() {
  std::vector<TProgramRow> rows = Rows();
  if (static_cast<std::int32_t>(rows.size()) >= MaxProgramSteps) return;
  const int current = CurrentRow();
  const auto at = static_cast<std::size_t>(current < 0 ? rows.size() : current + 1);
  // A new step joins the current step's round, as a copy of it; the first is a default.
  TProgramRow row;
  if (!rows.empty()) row = rows[at - 1 < rows.size() ? at - 1 : rows.size() - 1];
  rows.insert(rows.begin() + static_cast<std::ptrdiff_t>(std::min(at, rows.size())), row);
  ShowRows(rows, static_cast<int>(std::min(at, rows.size() - 1)));
}

void TFrmProgram::btRemoveClick() {
  std::vector<TProgramRow> rows = Rows();
  const int current = CurrentRow();
  if (current < 0 || current >= static_cast<int>(rows.size())) return;
  rows.erase(rows.begin() + current);
  ShowRows(rows, std::min(current, static_cast<int>(rows.size()) - 1));
}

void TFrmProgram::MoveRow(int by) {
  std::vector<TProgramRow> rows = Rows();
  const int current = CurrentRow(), target = current + by;
  if (current < 0 || target < 0 || target >= static_cast<int>(rows.size())) return;
  // A step moved past its round's edge joins the neighbouring round.
  if (rows[target].round != rows[current].round) {
    rows[current].round = rows[target].round;
    rows[current].repeat = rows[target].repeat;
  }
  std::swap(rows[current], rows[target]);
  ShowRows(rows, target);
}

void TFrmProgram::btSaveClick() {
  const auto path = AskSavePath(this, FJapanese ? JapaneseProgramTexts : EnglishProgramTexts, Env.PatternFolders().save,
                                ProgramExtension, FName);
  if (!path) return;
  SaveProgram(*path, Program());
  FName = QString::fromStdString(Utf8FromPath(path->stem()));
  RefreshLists();
  const auto items = lbxPrograms->findItems(FName, Qt::MatchExactly);
  if (!items.isEmpty()) lbxPrograms->setCurrentItem(items.front());
}

void TFrmProgram::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  // Filling the table moved the focus into it; a user comes for the list first.
  lbxPrograms->setFocus();
}

void TFrmProgram::PlaySelected() {
  const int index = lbxPrograms->currentRow();
  if (index < 0 || index >= static_cast<int>(FPrograms.size()) || !Env.PlayProgram) return;
  if (Env.PlayProgram(FPrograms[static_cast<std::size_t>(index)].path)) accept();
}

void TFrmProgram::OpenSelected() {
  const int index = lbxPrograms->currentRow();
  if (index < 0 || index >= static_cast<int>(FPrograms.size())) return;
  const TPatternFile& file = FPrograms[static_cast<std::size_t>(index)];
  const std::optional<TProgram> program = OpenProgramFile(this, file, FJapanese);
  if (!program) return;
  FName = QString::fromStdString(file.name);
  SetProgram(*program);
}
