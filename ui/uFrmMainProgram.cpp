// Training programs in the main window: loading one, playing it through the sound's loop
// player measure by measure, and showing what is heard (title, tempo field, measure view).
//
// While a program plays, the user's own change of the tempo or of the time signature ends it
// and the pattern plays on, at that tempo or in that time signature: the program's tempos
// and measures are its own, and the user has taken over. Edits of the notes are heard in the
// steps that play the current pattern, from the measure being handed over on.
#include <QPushButton>
#include <QTimer>
#include <cmath>

#include "ui/uFrmMain.h"
#include "ui/uMeasureView.h"
#include "ui/uSpinEdit.h"
#include "ui/uStdDialogs.h"

namespace {

constexpr const char* BaseTitle = "TAKTOLA- Sports Metronome";

}  // namespace

QString ProgramTitle(const std::string& name, const TProgram& program, const TPlannedMeasure& heard,
                     std::uint64_t samplesLeft, bool japanese) {
  std::size_t step = heard.place.step + 1;
  for (std::size_t r = 0; r < heard.place.round && r < program.rounds.size(); ++r) step += program.rounds[r].steps.size();
  const std::int32_t repeat =
      heard.place.round < program.rounds.size()
          ? std::clamp(program.rounds[heard.place.round].repeat, MinRoundRepeat, MaxRoundRepeat)
          : 1;
  const auto seconds = static_cast<std::int32_t>((samplesLeft + SampleRate - 1) / SampleRate);
  const QString left = QString::fromStdString(DurationText(seconds));
  const QString steps = QStringLiteral("%1/%2").arg(step).arg(StepCount(program));
  const QString round = QStringLiteral("%1/%2").arg(heard.place.round + 1).arg(program.rounds.size());
  const QString repetition = QStringLiteral("%1/%2").arg(heard.repetition + 1).arg(repeat);
  const QString title = QString::fromUtf8(BaseTitle) + QStringLiteral(" - ") + QString::fromStdString(name);
  if (japanese)
    return title + QString::fromUtf8(" - ステップ %1 - ラウンド %2 (%3回目) - 残り %4").arg(steps, round, repetition, left);
  return title + QStringLiteral(" - step %1 - round %2 (repeat %3) - %4 left").arg(steps, round, repetition, left);
}

bool TFrmMain::PlayProgram(const std::filesystem::path& path) {
  const bool japanese = Env.IsJapanese();
  const std::string file = Utf8FromPath(path);
  std::optional<TProgram> program = LoadProgramIfAny(path);
  if (!program || StepCount(*program) == 0) {
    ShowErrorBox(this, QString::fromStdString(japanese ? file + " は再生できるプログラムではありません"
                                                       : file + " is not a training program with steps."));
    return false;
  }
  TResolvedPatterns resolved = ResolvePatterns(*program, ListPatternFiles(Env.PatternFolders().listed),
                                               {Notes, TSCount}, Env.DecimalSeparator());
  if (!resolved.missing.empty()) {
    std::string names;
    for (const std::string& name : MissingPatternNames(*program, resolved.missing))
      names += (names.empty() ? "\"" : ", \"") + name + "\"";
    ShowErrorBox(this, QString::fromStdString(
                           japanese ? file + " を開始できません。見つからないパターン: " + names
                                    : "The program " + file + " cannot start: these patterns are missing: " + names));
    return false;
  }
  FProgram = std::move(*program);
  FProgramName = Utf8FromPath(path.stem());
  FProgramPatterns = std::move(resolved.patterns);
  StartProgram();
  PublishMediaState();
  return Run.Active();
}

std::shared_ptr<TProgramPlan> TFrmMain::ProgramPlan() const {
  std::vector<std::vector<TStepPattern>> patterns = FProgramPatterns;
  for (std::size_t r = 0; r < FProgram->rounds.size() && r < patterns.size(); ++r)
    for (std::size_t s = 0; s < FProgram->rounds[r].steps.size() && s < patterns[r].size(); ++s)
      if (FProgram->rounds[r].steps[s].pattern.empty()) patterns[r][s] = {Notes, TSCount};
  return std::make_shared<TProgramPlan>(*FProgram, std::move(patterns),
                                        Env.IsJapanese() ? TCountInLanguage::Japanese : TCountInLanguage::English);
}

void TFrmMain::StartProgram() {
  // A pattern that plays gives way; a program that plays starts again from its beginning.
  if (Timer1->isActive() && !Run.Active()) Transport.Stop();
  Timer1->stop();
  try {
    const bool sounds = Run.Start(ProgramPlan());
    ShowProgramHeard();
    ScheduleTick();
    Timer1->start();
    ReportSound(sounds);
  } catch (...) {
    StopProgram();
    throw;
  }
}

void TFrmMain::StopProgram() {
  Run.Stop();
  Timer1->stop();
  setWindowTitle(QString::fromUtf8(BaseTitle));
  ShowTempo(TPCount);
  DrawMeasure();
}

void TFrmMain::UnloadProgram() {
  const bool playing = Run.Active();
  if (playing) StopProgram();
  FProgram.reset();
  FProgramPatterns.clear();
  if (playing) btStartClick();
}

void TFrmMain::ShowTempo(std::int32_t tempo) {
  FShowingTempo = true;
  seTempo->setValue(tempo);
  FShowingTempo = false;
}

void TFrmMain::ShowProgramHeard() {
  const auto heard = Run.Heard();
  if (!heard) return;
  setWindowTitle(ProgramTitle(FProgramName, *FProgram, heard->measure, heard->samplesLeft, Env.IsJapanese()));
  ShowTempo(heard->measure.tempo);
  DrawMeasure();
  const TPlannedMeasure& m = heard->measure;
  const std::int64_t sixteenths = static_cast<std::int64_t>(SixteenthsPerBeat) * m.beats;
  const std::int64_t s = m.length > 0 ? static_cast<std::int64_t>(heard->sample) * sixteenths / m.length : 0;
  Image1->ShowPlayhead(m.beats, std::clamp<std::int64_t>(s, 0, sixteenths - 1), FGColor);
}

bool TFrmMain::ShowsHeardStep(const TNotes*& notes, std::int32_t& beats, std::int32_t& index) {
  if (!Run.Active()) return false;
  const auto heard = Run.Heard();
  if (!heard) return false;
  const TPlannedMeasure& m = heard->measure;
  // A step of the current pattern shows the editor's notes as they are now, with the note
  // chosen; a saved pattern's step shows its own.
  const bool current = FProgram->rounds[m.place.round].steps[m.place.step].pattern.empty();
  notes = current || !m.notes ? &Notes : m.notes;
  beats = m.beats;
  index = current ? NotesIndex : -1;
  return true;
}

bool TFrmMain::ShowsSavedStep() {
  const TNotes* notes = &Notes;
  std::int32_t beats = 0, index = 0;
  return ShowsHeardStep(notes, beats, index) && notes != &Notes;
}

int TFrmMain::ProgramTickMs() {
  const auto heard = Run.Heard();
  if (!heard || heard->measure.length == 0) return MaxPollMs;
  const double sixteenth =
      static_cast<double>(heard->measure.length) / (SixteenthsPerBeat * static_cast<double>(heard->measure.beats));
  const double next = (std::floor(heard->sample / sixteenth) + 1) * sixteenth;
  const int ms = static_cast<int>(std::ceil((next - heard->sample) / 44.1));
  return std::clamp(ms, 1, MaxPollMs);
}

void TFrmMain::ProgramNext() {
  if (Run.Active()) Run.SkipToNextStep();
}
