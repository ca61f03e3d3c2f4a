// A program played through a model of the loop player on a fake clock: what the player puts
// out, hand-over after hand-over, must be the program's samples as export renders them.
#include <gtest/gtest.h>

#include <string>

#include "audio/uProgramRun.h"
#include "constant_voices.h"

namespace {

// The loop player as its contract says: a hand-over stamped with millisecond m takes over at
// sample FirstSampleAtMs(m) between two samples, or, arriving later, at the sample then being
// played, entering the image where the stamp puts it; a newer hand-over replaces one not yet
// taken over. The clock is the samples played, so it never runs ahead here.
class TModelPlayer : public TSoundOutput {
 public:
  struct THandOver {
    std::uint64_t stamp;     // ms
    std::uint64_t handedAt;  // the sample being played when it came
    TWav4416MI image;
  };

  std::uint32_t NextStartMs() override { return now + 1; }
  bool PlayWavLoop(const TMemoryStream& stream, std::uint32_t startMs) override {
    auto image = ReadWavImage(stream.bytes);
    EXPECT_TRUE(image.has_value());
    handOvers.push_back({startMs, FirstSampleAtMs(now), std::move(*image)});
    return true;
  }
  bool StopWav() override {
    ++stops;
    return true;
  }
  bool CheckDevice() override { return true; }
  std::uint32_t TimeGetTime() override { return now; }
  double OutputLatencyMs() override { return latencyMs; }

  // The first `count` samples put out, silence before the first loop.
  TWav4416MI Output(std::uint64_t count) const {
    TWav4416MI out(count, 0);
    for (std::size_t i = 0; i < handOvers.size(); ++i) {
      const THandOver& h = handOvers[i];
      const std::uint64_t at = std::max(FirstSampleAtMs(h.stamp), h.handedAt);
      // Replaced before it was taken over: never heard.
      if (i + 1 < handOvers.size() && handOvers[i + 1].handedAt < at) continue;
      const std::uint64_t start = FirstSampleAtMs(h.stamp);
      for (std::uint64_t t = at; t < count; ++t) out[t] = h.image[(t - start) % h.image.size()];
    }
    return out;
  }

  std::uint32_t now = 1000;
  double latencyMs = 0;
  int stops = 0;
  std::vector<THandOver> handOvers;
};

TProgramStep Step(std::int32_t from, std::int32_t to, TDurationUnit unit, std::int32_t duration, bool countIn = false) {
  return {"", from, to, unit, duration, countIn, false};
}

// Three steps: a count-in before a 4/4 step at 200, a 3/4 ramp from 180 to 240 over five
// measures with a count-in, and two 4/4 measures at 230.
std::shared_ptr<TProgramPlan> ThreeSteps(const TNotes& notes = DefaultNotes(4)) {
  TProgram p;
  p.rounds.push_back({1,
                      {Step(200, 200, TDurationUnit::Seconds, 3, true), Step(180, 240, TDurationUnit::Measures, 5, true),
                       Step(230, 230, TDurationUnit::Measures, 2)}});
  const TStepPattern four{notes, 4}, three{{DefaultNote(0), DefaultNote(12), DefaultNote(24)}, 3};
  return std::make_shared<TProgramPlan>(p, std::vector<std::vector<TStepPattern>>{{four, three, four}},
                                        TCountInLanguage::English);
}

TWav4416MI PlanSamples(const TProgramPlan& plan, const TResourceReader& reader) {
  TWav4416MI all;
  TPlanSamples samples(plan, plan.TotalSamples(), reader);
  while (const auto block = samples.Next()) all.insert(all.end(), block->begin(), block->end());
  return all;
}

// Polls every `stepMs` until the run ends; `jump` moves the clock on by so much more once,
// at the time given.
int PlayThrough(TProgramRun& run, TModelPlayer& player, std::uint32_t stepMs, std::uint32_t jumpAt = 0,
                std::uint32_t jump = 0) {
  int polls = 0;
  while (run.Poll()) {
    player.now += stepMs;
    if (jump > 0 && player.now >= jumpAt) player.now += std::exchange(jump, 0);
    if (++polls > 100000) break;
  }
  return polls;
}

TEST(ProgramRun, StampsAndShapesMakeTheOutputTheExportedSamples) {
  const TConstantVoices voices;
  for (const std::uint32_t stepMs : {1u, 17u, 62u}) {
    SCOPED_TRACE("polled every " + std::to_string(stepMs) + " ms");
    TModelPlayer player;
    TProgramRun run(player, voices.Reader());
    const auto plan = ThreeSteps();
    ASSERT_TRUE(run.Start(plan));
    PlayThrough(run, player, stepMs);

    std::vector<TPlannedMeasure> measures;
    for (auto cursor = plan->Begin(); const auto m = cursor.Next();) measures.push_back(*m);
    // Every measure, and the silence after the last, handed over once, in time.
    ASSERT_EQ(player.handOvers.size(), measures.size() + 1);
    const std::uint64_t b0 = FirstSampleAtMs(player.handOvers[0].stamp);
    for (std::size_t k = 1; k < player.handOvers.size(); ++k) {
      const auto& h = player.handOvers[k];
      const std::uint64_t boundary = b0 + (k < measures.size() ? measures[k].firstSample : plan->TotalSamples());
      const std::uint64_t s = FirstSampleAtMs(h.stamp);
      EXPECT_LE(s, boundary) << "hand-over " << k;
      EXPECT_LT(boundary - s, 45u) << "hand-over " << k;
      EXPECT_LT(h.handedAt + 150 * 44, s) << "well ahead of its start";
      EXPECT_GT(h.handedAt, FirstSampleAtMs(player.handOvers[k - 1].stamp) + 44 * 99)
          << "only once the one before surely began";
    }
    const TWav4416MI expected = PlanSamples(*plan, voices.Reader());
    const TWav4416MI out = player.Output(b0 + expected.size() + 2000);
    EXPECT_TRUE(std::equal(expected.begin(), expected.end(), out.begin() + static_cast<std::ptrdiff_t>(b0)));
    EXPECT_TRUE(std::all_of(out.begin() + static_cast<std::ptrdiff_t>(b0 + expected.size()), out.end(),
                            [](std::int16_t v) { return v == 0; }))
        << "silence after the end";
    // Finished once the end is heard, and not much later.
    EXPECT_GE(FirstSampleAtMs(player.now), b0 + expected.size());
    EXPECT_LE(FirstSampleAtMs(player.now), b0 + expected.size() + 44 * (stepMs + 1));
  }
}

TEST(ProgramRun, ALateHandOverComesInInPhase) {
  const TConstantVoices voices;
  const auto plan = ThreeSteps();
  const TWav4416MI expected = PlanSamples(*plan, voices.Reader());
  std::vector<TPlannedMeasure> measures;
  for (auto cursor = plan->Begin(); const auto m = cursor.Next();) measures.push_back(*m);
  // The timer stalls just after measure 3 began, before measure 4 could be handed over: past
  // measure 4's start by a little, and past all of measure 4 (which is then never handed over).
  const std::uint32_t len3 = measures[3].length * 10 / 441, len4 = measures[4].length * 10 / 441;
  for (const std::uint32_t stall : {len3 + 30, len3 + len4 + 200}) {
    SCOPED_TRACE("stalled " + std::to_string(stall) + " ms");
    TModelPlayer player;
    TProgramRun run(player, voices.Reader());
    ASSERT_TRUE(run.Start(plan));
    const std::uint64_t b0 = FirstSampleAtMs(player.handOvers[0].stamp);
    const auto boundaryMs = static_cast<std::uint32_t>(TProgramRun::StampOf(b0 + measures[3].firstSample));
    PlayThrough(run, player, 20, boundaryMs + 10, stall);
    // The hand-over made after the stall, and the boundary it missed.
    std::size_t late = 0;
    for (std::size_t k = 1; k < player.handOvers.size(); ++k)
      if (player.handOvers[k].handedAt > FirstSampleAtMs(player.handOvers[k].stamp)) late = k;
    ASSERT_GT(late, 0u);
    // The end of what was handed over before the stall.
    const auto& before = player.handOvers[late - 1];
    const std::uint64_t missed = FirstSampleAtMs(before.stamp) + before.image.size();
    EXPECT_EQ(missed, b0 + measures[4].firstSample);
    const std::uint64_t from = player.handOvers[late].handedAt;
    const TWav4416MI out = player.Output(b0 + expected.size());
    // Exact before the stall and from the late hand-over on: in phase, nothing shifted.
    EXPECT_TRUE(std::equal(out.begin() + static_cast<std::ptrdiff_t>(b0), out.begin() + static_cast<std::ptrdiff_t>(missed),
                           expected.begin()));
    EXPECT_TRUE(std::equal(out.begin() + static_cast<std::ptrdiff_t>(from), out.end(),
                           expected.begin() + static_cast<std::ptrdiff_t>(from - b0)));
  }
}

TEST(ProgramRun, WhatIsHeardFollowsTheMeasuresAndTheTimeLeft) {
  const TConstantVoices voices;
  TModelPlayer player;
  player.latencyMs = 40;
  TProgramRun run(player, voices.Reader());
  const auto plan = ThreeSteps();
  ASSERT_TRUE(run.Start(plan));
  const std::uint64_t b0 = FirstSampleAtMs(player.handOvers[0].stamp);
  std::vector<TPlannedMeasure> measures;
  for (auto cursor = plan->Begin(); const auto m = cursor.Next();) measures.push_back(*m);
  // Before the sound is heard: the start of the first measure.
  auto heard = run.Heard();
  ASSERT_TRUE(heard);
  EXPECT_EQ(heard->measure.measure, -1);
  EXPECT_EQ(heard->sample, 0u);
  EXPECT_EQ(heard->samplesLeft, plan->TotalSamples());
  while (run.Poll()) {
    player.now += 10;
    heard = run.Heard();
    ASSERT_TRUE(heard);
    const double at = (player.now - player.latencyMs) * 44.1 - static_cast<double>(b0);
    if (at < 0 || at >= static_cast<double>(plan->TotalSamples())) continue;
    const auto k = static_cast<std::size_t>(
        std::upper_bound(measures.begin(), measures.end(), static_cast<std::uint64_t>(at),
                         [](std::uint64_t s, const TPlannedMeasure& m) { return s < m.firstSample; }) -
        measures.begin() - 1);
    ASSERT_EQ(heard->measure.firstSample, measures[k].firstSample) << "at sample " << at;
    EXPECT_EQ(heard->measure.tempo, measures[k].tempo);
    EXPECT_EQ(heard->measure.beats, measures[k].beats);
    EXPECT_EQ(heard->sample, static_cast<std::uint64_t>(at) - measures[k].firstSample);
    EXPECT_EQ(heard->samplesLeft, plan->TotalSamples() - static_cast<std::uint64_t>(at));
  }
  // The run ends once the end is heard, not when the clock passes it.
  EXPECT_GE((player.now - player.latencyMs) * 44.1, static_cast<double>(b0 + plan->TotalSamples()));
  run.Stop();
  EXPECT_EQ(player.stops, 1);
  EXPECT_FALSE(run.Poll());
}

TEST(ProgramRun, AnEditOfTheNotesIsHeardInPhaseAndAChangedLengthIsRefused) {
  const TConstantVoices voices;
  TModelPlayer player;
  TProgramRun run(player, voices.Reader());
  ASSERT_TRUE(run.Start(ThreeSteps()));
  const std::uint64_t b0 = FirstSampleAtMs(player.handOvers[0].stamp);
  // Into the second measure of the first step, then the notes change.
  while (FirstSampleAtMs(player.now) < b0 + 2 * MeasureLength(4, 200) - 20000) {
    run.Poll();
    player.now += 20;
  }
  TNotes edited = DefaultNotes(4);
  edited.push_back(DefaultNote(6));
  const auto editedPlan = ThreeSteps(edited);
  const std::uint64_t editAt = FirstSampleAtMs(player.now);
  ASSERT_TRUE(run.ReplacePlan(editedPlan));
  PlayThrough(run, player, 20);
  const TWav4416MI before = PlanSamples(*ThreeSteps(), voices.Reader());
  const TWav4416MI after = PlanSamples(*editedPlan, voices.Reader());
  const TWav4416MI out = player.Output(b0 + after.size());
  // The old notes up to the edit, the new ones from the edit on, in phase.
  EXPECT_TRUE(std::equal(out.begin() + static_cast<std::ptrdiff_t>(b0), out.begin() + static_cast<std::ptrdiff_t>(editAt),
                         before.begin()));
  EXPECT_TRUE(std::equal(out.begin() + static_cast<std::ptrdiff_t>(editAt), out.end(),
                         after.begin() + static_cast<std::ptrdiff_t>(editAt - b0)));
  EXPECT_NE(before, after);
  // Other beats, other lengths: not taken.
  TModelPlayer other;
  TProgramRun run2(other, voices.Reader());
  ASSERT_TRUE(run2.Start(ThreeSteps()));
  TProgram p;
  p.rounds.push_back({1, {Step(200, 200, TDurationUnit::Seconds, 3, true)}});
  EXPECT_FALSE(run2.ReplacePlan(std::make_shared<TProgramPlan>(p, std::vector<std::vector<TStepPattern>>{{{DefaultNotes(3), 3}}},
                                                               TCountInLanguage::English)));
}

TEST(ProgramRun, NextBeginsTheNextStepOnAMeasureBoundaryAndNotAfterTheLast) {
  const TConstantVoices voices;
  TModelPlayer player;
  TProgramRun run(player, voices.Reader());
  ASSERT_TRUE(run.Start(ThreeSteps()));
  // In the first step's first measure (after the lead-in): skip to the ramp.
  for (int i = 0; i < 80; ++i) {
    run.Poll();
    player.now += 20;
  }
  ASSERT_EQ(run.Heard()->measure.measure, 0);
  ASSERT_TRUE(run.SkipToNextStep());
  std::vector<TPlannedMeasure> heard;
  while (run.Poll()) {
    player.now += 20;
    if (const auto h = run.Heard(); heard.empty() || h->measure.firstSample != heard.back().firstSample ||
                                    h->measure.place != heard.back().place)
      heard.push_back(h->measure);
  }
  ASSERT_GE(heard.size(), 3u);
  EXPECT_EQ(heard[0].place.step, 0u);
  EXPECT_EQ(heard[1].place.step, 1u) << "the step after the one heard, at the next boundary";
  EXPECT_EQ(heard[1].measure, 0);
  EXPECT_EQ(heard[1].tempo, 180);
  // The output has no gap at the boundary: the first step's measure, then the ramp's.
  const std::uint64_t b0 = FirstSampleAtMs(player.handOvers[0].stamp);
  const TWav4416MI out = player.Output(b0 + MeasureLength(4, 200) * 2);
  const TWav4416MI first = RenderPlannedMeasure(heard[0], voices.Reader());
  EXPECT_TRUE(std::equal(first.begin(), first.end(), out.begin() + static_cast<std::ptrdiff_t>(b0 + MeasureLength(4, 200))));
  // In the last step there is no next one.
  TModelPlayer player2;
  TProgramRun run2(player2, voices.Reader());
  ASSERT_TRUE(run2.Start(ThreeSteps()));
  while (run2.Heard()->measure.place.step < 2 && run2.Poll()) player2.now += 20;
  EXPECT_FALSE(run2.SkipToNextStep());
}

}  // namespace
