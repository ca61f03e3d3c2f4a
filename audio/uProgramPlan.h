// A program expanded into the measures it plays, one after another, and those measures
// rendered into one stream of samples. Plain C++: no toolkit, no sound device.
//
// The rules:
// - Every change of step, and every change of a ramp's tempo, falls on a measure boundary.
// - A ramp of N measures plays measure k (0-based) at from + (to - from) * k / (N - 1) BPM,
//   rounded to a whole BPM toward `to`: the tempo changes at most once per measure, starts at
//   `from` and is `to` in the step's last measure (a ramp of one measure plays at `to`).
// - A step of a time T lasts the fewest measures whose lengths add up to T or more: it ends
//   on the first measure boundary at or after T. A step never ends inside a measure, so the
//   beat is never cut. (For a ramp the measures' tempos depend on their number: its N
//   measures reach T, and a ramp of N - 1 measures would not.)
// - A step with a count-in has "Three", "Two", "One" (the UI language's recordings) on the
//   last three beats of the measure before it, mixed over that measure. Before the program's
//   first step there is no such measure: a silent lead-in measure is played first, in the
//   first step's time signature and first tempo, carrying the count-in.
// - A round plays its steps in order, `repeat` times; a count-in is spoken before every
//   repetition of its step.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "audio/uWavUtils.h"
#include "pattern/uProgram.h"

// The language of the spoken count-in.
enum class TCountInLanguage { English, Japanese };

// The VoiceTable entries of "Three", "Two", "One" in the language, in that order.
std::array<std::int32_t, 3> CountInVoices(TCountInLanguage language);

// One measure of the plan.
struct TPlannedMeasure {
  TStepPlace place;            // the step it belongs to; the lead-in names the first step
  std::int32_t repetition = 0;  // of the step's round, from 0
  std::int32_t measure = 0;    // within the step, from 0; -1 for the lead-in
  const TNotes* notes = nullptr;  // the step's pattern (played unless silent)
  std::int32_t beats = 4;
  std::int32_t tempo = DefaultTempo;
  bool silent = false;            // a rest step's measure, or the lead-in
  std::uint8_t cueCount = 0;      // 3 when the count-in is laid over this measure, else 0
  std::array<TCue, 3> cues{};     // "Three", "Two", "One" on the last three beats
  std::uint32_t length = 0;       // MeasureLength(beats, tempo)
  std::uint64_t firstSample = 0;  // where it begins on the program's timeline

  std::span<const TCue> Cues() const { return {cues.data(), cueCount}; }
};

// The program's measures in playing order. Holds copies of the program and its patterns;
// its memory grows with the number of steps, never with their length or repeats.
class TProgramPlan {
 public:
  // `patterns` is [round][step], as ResolvePatterns gives it; a round or step it lacks plays
  // the default pattern.
  TProgramPlan(const TProgram& program, std::vector<std::vector<TStepPattern>> patterns, TCountInLanguage language);
  // A pattern looped: one step of measures at a fixed tempo, as the player loops it.
  static TProgramPlan Loop(const TStepPattern& pattern, std::int32_t tempo, std::uint64_t samples);

  // The samples of the whole program, to the end of its last measure.
  std::uint64_t TotalSamples() const { return FTotal; }
  // The measures of a step (each repetition has the same).
  std::int32_t StepMeasures(TStepPlace place) const;

  // Walks the plan measure by measure.
  class TCursor {
   public:
    explicit TCursor(const TProgramPlan& plan);
    // The next measure, or no value after the last.
    std::optional<TPlannedMeasure> Next();

   private:
    // The flat index of the step that plays after the one at (round, step, repetition).
    std::optional<std::size_t> FollowingStep() const;
    const TProgramPlan& FPlan;
    bool FLeadIn;
    std::size_t FRound = 0, FStep = 0;  // FStep is flat
    std::int32_t FRepetition = 0, FMeasure = 0;
    std::uint64_t FSample = 0;
  };
  TCursor Begin() const { return TCursor(*this); }

 private:
  struct TStep {
    TStepPlace place;
    TProgramStep step;
    TStepPattern pattern;
    std::int32_t measures = 0;
    std::uint64_t samples = 0;  // of one repetition
  };
  struct TRound {
    std::size_t first = 0, count = 0;  // flat steps
    std::int32_t repeat = 1;
  };
  TProgramPlan() = default;
  // The tempo of the step's measure k.
  static std::int32_t TempoOf(const TStep& step, std::int32_t k);
  // Counts the step's measures and samples.
  static void Measure(TStep& step);
  // The first round from `round` on that has steps.
  std::size_t RoundWithSteps(std::size_t round) const;

  std::vector<TStep> FSteps;
  std::vector<TRound> FRounds;
  std::array<std::int32_t, 3> FVoices{};
  std::uint64_t FTotal = 0;
  std::uint64_t FLeadInSamples = 0;
  friend class TCursor;
};

// Renders a planned measure: exactly RenderMeasure(notes, length, tempo) for an ordinary
// measure, so a measure of the plan is what the player loops for the same notes and tempo;
// zeros for a silent one; the count-in laid over it through RenderMeasureWithCues.
TWav4416MI RenderPlannedMeasure(const TPlannedMeasure& measure, const TResourceReader& reader);

// The plan's samples as a stream of blocks, each one measure (the last cut at the limit),
// rendering one measure at a time and reusing the last one while the next is the same (the
// same pattern, tempo, silence and cues), so a long export costs little and its memory stays
// that of one measure.
class TPlanSamples {
 public:
  // At most `limit` samples (the whole plan when it is shorter). The plan must outlive it.
  TPlanSamples(const TProgramPlan& plan, std::uint64_t limit, TResourceReader reader);
  // The next block, valid until the next call; no value at the end.
  std::optional<std::span<const std::int16_t>> Next();
  // Samples given so far, and in all.
  std::uint64_t Done() const { return FDone; }
  std::uint64_t Total() const { return FTotal; }
  // Measures rendered (not reused) so far.
  std::uint64_t Rendered() const { return FRendered; }

 private:
  TProgramPlan::TCursor FCursor;
  TResourceReader FReader;
  std::uint64_t FTotal, FDone = 0, FRendered = 0;
  std::optional<TPlannedMeasure> FLast;
  TWav4416MI FSamples;
};
