#include "audio/uProgramPlan.h"

#include <algorithm>
#include <stdexcept>
#include <string_view>

namespace {

std::int32_t VoiceIndex(std::string_view resource) {
  const auto it = std::find_if(VoiceTable.begin(), VoiceTable.end(),
                               [&](const TVoice& v) { return v.resource == resource; });
  return static_cast<std::int32_t>(it - VoiceTable.begin());
}

// Measure k of a ramp of n measures from `from` to `to`, rounded toward `to`.
std::int32_t RampTempo(std::int32_t from, std::int32_t to, std::int32_t n, std::int32_t k) {
  if (from == to) return from;
  if (n <= 1) return to;
  const std::int64_t span = std::abs(static_cast<std::int64_t>(to) - from);
  const std::int64_t steps = (span * k + (n - 2)) / (n - 1);  // ceil(span * k / (n - 1))
  return static_cast<std::int32_t>(to > from ? from + steps : from - steps);
}

// The samples of n measures of a ramp.
std::uint64_t RampSamples(std::int32_t beats, std::int32_t from, std::int32_t to, std::int32_t n) {
  std::uint64_t total = 0;
  for (std::int32_t k = 0; k < n; ++k) total += MeasureLength(beats, RampTempo(from, to, n, k));
  return total;
}

bool SameSound(const TPlannedMeasure& a, const TPlannedMeasure& b) {
  return a.notes == b.notes && a.beats == b.beats && a.tempo == b.tempo && a.silent == b.silent &&
         std::equal(a.Cues().begin(), a.Cues().end(), b.Cues().begin(), b.Cues().end());
}

}  // namespace

std::array<std::int32_t, 3> CountInVoices(TCountInLanguage language) {
  if (language == TCountInLanguage::Japanese)
    return {VoiceIndex("JA_NUM0_03"), VoiceIndex("JA_NUM0_02"), VoiceIndex("JA_NUM0_01")};
  return {VoiceIndex("EN_NUM0_03"), VoiceIndex("EN_NUM0_02"), VoiceIndex("EN_NUM0_01")};
}

std::int32_t TProgramPlan::TempoOf(const TStep& step, std::int32_t k) {
  return RampTempo(step.step.tempoFrom, step.step.tempoTo, step.measures, k);
}

void TProgramPlan::Measure(TStep& step) {
  const TProgramStep& s = step.step;
  const std::int32_t beats = step.pattern.beats;
  if (s.unit == TDurationUnit::Measures) {
    step.measures = std::max(s.duration, 1);
  } else {
    const std::uint64_t wanted = static_cast<std::uint64_t>(std::max(s.duration, 1)) * SampleRate;
    const auto reaches = [&](std::int32_t n) { return RampSamples(beats, s.tempoFrom, s.tempoTo, n) >= wanted; };
    // The fewest measures that reach the time, found by halving between one and a count
    // that surely reaches it (every measure at least as long as at the faster tempo); then
    // made sure of one measure at a time, since rounding may make the sums rise unevenly.
    const std::uint64_t shortest = MeasureLength(beats, std::max(s.tempoFrom, s.tempoTo));
    std::int32_t low = 1, high = static_cast<std::int32_t>((wanted + shortest - 1) / shortest);
    while (low < high) {
      const std::int32_t middle = low + (high - low) / 2;
      if (reaches(middle)) high = middle;
      else low = middle + 1;
    }
    std::int32_t n = std::max(low, 1);
    while (!reaches(n)) ++n;
    while (n > 1 && reaches(n - 1)) --n;
    step.measures = n;
  }
  step.samples = RampSamples(beats, s.tempoFrom, s.tempoTo, step.measures);
}

TProgramPlan::TProgramPlan(const TProgram& program, std::vector<std::vector<TStepPattern>> patterns,
                           TCountInLanguage language)
    : FVoices(CountInVoices(language)) {
  for (std::size_t r = 0; r < program.rounds.size(); ++r) {
    const TProgramRound& round = program.rounds[r];
    FRounds.push_back({FSteps.size(), round.steps.size(), std::clamp(round.repeat, MinRoundRepeat, MaxRoundRepeat)});
    for (std::size_t s = 0; s < round.steps.size(); ++s) {
      TStep step{{r, s}, round.steps[s], {}, 0, 0};
      if (r < patterns.size() && s < patterns[r].size()) step.pattern = std::move(patterns[r][s]);
      else step.pattern = {DefaultNotes(4), 4};
      Measure(step);
      FSteps.push_back(std::move(step));
      FTotal += FSteps.back().samples * static_cast<std::uint64_t>(FRounds.back().repeat);
    }
  }
  if (const std::size_t first = RoundWithSteps(0); first < FRounds.size()) {
    const TStep& step = FSteps[FRounds[first].first];
    if (step.step.countIn) FLeadInSamples = MeasureLength(step.pattern.beats, TempoOf(step, 0));
  }
  FTotal += FLeadInSamples;
}

TProgramPlan TProgramPlan::Loop(const TStepPattern& pattern, std::int32_t tempo, std::uint64_t samples) {
  TProgramPlan plan;
  TStep step{{0, 0}, {}, pattern, 0, 0};
  step.step.tempoFrom = step.step.tempoTo = tempo;
  step.step.unit = TDurationUnit::Measures;
  const std::uint64_t length = MeasureLength(pattern.beats, tempo);
  step.measures = static_cast<std::int32_t>(std::max<std::uint64_t>((samples + length - 1) / length, 1));
  step.samples = length * static_cast<std::uint64_t>(step.measures);
  plan.FRounds.push_back({0, 1, 1});
  plan.FTotal = step.samples;
  plan.FSteps.push_back(std::move(step));
  return plan;
}

std::int32_t TProgramPlan::StepMeasures(TStepPlace place) const {
  for (const TStep& step : FSteps)
    if (step.place == place) return step.measures;
  return 0;
}

std::size_t TProgramPlan::RoundWithSteps(std::size_t round) const {
  while (round < FRounds.size() && FRounds[round].count == 0) ++round;
  return round;
}

TProgramPlan::TCursor::TCursor(const TProgramPlan& plan) : FPlan(plan), FLeadIn(plan.FLeadInSamples > 0) {
  FRound = plan.RoundWithSteps(0);
  if (FRound < plan.FRounds.size()) FStep = plan.FRounds[FRound].first;
}

std::optional<std::size_t> TProgramPlan::TCursor::FollowingStep() const {
  const TRound& round = FPlan.FRounds[FRound];
  if (FStep + 1 < round.first + round.count) return FStep + 1;
  if (FRepetition + 1 < round.repeat) return round.first;
  const std::size_t next = FPlan.RoundWithSteps(FRound + 1);
  if (next < FPlan.FRounds.size()) return FPlan.FRounds[next].first;
  return std::nullopt;
}

std::optional<TPlannedMeasure> TProgramPlan::TCursor::Next() {
  if (FRound >= FPlan.FRounds.size()) return std::nullopt;
  const TStep& step = FPlan.FSteps[FStep];
  TPlannedMeasure m;
  m.place = step.place;
  m.repetition = FRepetition;
  m.notes = &step.pattern.notes;
  m.beats = step.pattern.beats;
  m.firstSample = FSample;
  const auto countIn = [&](bool wanted) {
    if (!wanted) return;
    m.cueCount = 3;
    for (std::int32_t k = 0; k < 3; ++k)
      m.cues[static_cast<std::size_t>(k)] = {FPlan.FVoices[static_cast<std::size_t>(k)],
                                             static_cast<std::uint16_t>((m.beats - 3 + k) * SixteenthsPerBeat)};
  };
  if (FLeadIn) {
    FLeadIn = false;
    m.measure = -1;
    m.tempo = TempoOf(step, 0);
    m.silent = true;
    countIn(true);
  } else {
    m.measure = FMeasure;
    m.tempo = TempoOf(step, FMeasure);
    m.silent = step.step.rest;
    const bool last = FMeasure + 1 == step.measures;
    const std::optional<std::size_t> following = last ? FollowingStep() : std::nullopt;
    countIn(following && FPlan.FSteps[*following].step.countIn);
    // On to the next measure, step, repetition or round.
    if (!last) {
      ++FMeasure;
    } else {
      FMeasure = 0;
      const TRound& round = FPlan.FRounds[FRound];
      if (++FStep == round.first + round.count) {
        if (++FRepetition < round.repeat) {
          FStep = round.first;
        } else {
          FRepetition = 0;
          FRound = FPlan.RoundWithSteps(FRound + 1);
          if (FRound < FPlan.FRounds.size()) FStep = FPlan.FRounds[FRound].first;
        }
      }
    }
  }
  m.length = MeasureLength(m.beats, m.tempo);
  FSample += m.length;
  return m;
}

TWav4416MI RenderPlannedMeasure(const TPlannedMeasure& measure, const TResourceReader& reader) {
  static const TNotes none;
  const TNotes& notes = measure.silent || !measure.notes ? none : *measure.notes;
  if (measure.cueCount > 0) return RenderMeasureWithCues(notes, measure.Cues(), measure.length, measure.tempo, reader);
  if (measure.silent) return TWav4416MI(measure.length, 0);
  return RenderMeasure(notes, measure.length, measure.tempo, reader);
}

TPlanSamples::TPlanSamples(const TProgramPlan& plan, std::uint64_t limit, TResourceReader reader)
    : FCursor(plan.Begin()), FReader(std::move(reader)), FTotal(std::min(limit, plan.TotalSamples())) {}

std::optional<std::span<const std::int16_t>> TPlanSamples::Next() {
  if (FDone >= FTotal) return std::nullopt;
  const std::optional<TPlannedMeasure> measure = FCursor.Next();
  if (!measure) return std::nullopt;
  if (!FLast || !SameSound(*FLast, *measure)) {
    FSamples = RenderPlannedMeasure(*measure, FReader);
    ++FRendered;
  }
  FLast = measure;
  const std::uint64_t count = std::min<std::uint64_t>(FSamples.size(), FTotal - FDone);
  FDone += count;
  return std::span<const std::int16_t>(FSamples.data(), static_cast<std::size_t>(count));
}
