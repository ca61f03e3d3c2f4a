// A program expanded into measures: step and ramp changes on measure boundaries, the
// count-in on its beats, the end; and the measures rendered as the player renders them.
#include <gtest/gtest.h>

#include <string>

#include "audio/uProgramPlan.h"
#include "constant_voices.h"

namespace {

// A voice note of "One".
TNote Voice(std::uint16_t offset) {
  TNote n = DefaultNote(offset);
  n.n_type = 1;
  return n;
}

TProgramStep Step(std::int32_t from, std::int32_t to, TDurationUnit unit, std::int32_t duration, bool countIn = false,
                  bool rest = false) {
  return {"", from, to, unit, duration, countIn, rest};
}

// One step at a time, measure by measure.
std::vector<TPlannedMeasure> Measures(const TProgramPlan& plan) {
  std::vector<TPlannedMeasure> all;
  for (auto cursor = plan.Begin(); const auto m = cursor.Next();) all.push_back(*m);
  return all;
}

TProgramPlan OneStep(const TProgramStep& step, std::int32_t beats = 4) {
  return TProgramPlan({{{1, {step}}}}, {{{DefaultNotes(beats), beats}}}, TCountInLanguage::English);
}

const TStepPattern FourFour{DefaultNotes(4), 4};
const TStepPattern ThreeFour{{DefaultNote(0), DefaultNote(24)}, 3};

// A 4/4 warm-up of five seconds at 120; then twice: a 3/4 ramp from 100 to 107 over six
// measures with a count-in, and five seconds of rest in 4/4 at 60.
TProgram ThreeSteps() {
  TProgram p;
  p.rounds.push_back({1, {Step(120, 120, TDurationUnit::Seconds, 5)}});
  p.rounds.push_back({2, {Step(100, 107, TDurationUnit::Measures, 6, true), Step(60, 60, TDurationUnit::Seconds, 5, false, true)}});
  return p;
}
std::vector<std::vector<TStepPattern>> ThreeStepPatterns() { return {{FourFour}, {ThreeFour, FourFour}}; }

TEST(ProgramPlan, StepsAndRampTempoChangeOnMeasureBoundariesAndTheCountInLeadsIntoItsStep) {
  const TProgramPlan plan(ThreeSteps(), ThreeStepPatterns(), TCountInLanguage::English);
  const struct {
    std::size_t round, step;
    std::int32_t repetition, measure, beats, tempo;
    bool silent, countIn;
  } expected[] = {
      // Five seconds at 2 s a measure: three measures (6 s), the first boundary at or after 5 s.
      {0, 0, 0, 0, 4, 120, false, false}, {0, 0, 0, 1, 4, 120, false, false}, {0, 0, 0, 2, 4, 120, false, true},
      // 100 + 7k/5, rounded up toward 107.
      {1, 0, 0, 0, 3, 100, false, false}, {1, 0, 0, 1, 3, 102, false, false}, {1, 0, 0, 2, 3, 103, false, false},
      {1, 0, 0, 3, 3, 105, false, false}, {1, 0, 0, 4, 3, 106, false, false}, {1, 0, 0, 5, 3, 107, false, false},
      // Five seconds at 4 s a measure: two measures; the second counts into the round's repeat.
      {1, 1, 0, 0, 4, 60, true, false},   {1, 1, 0, 1, 4, 60, true, true},
      {1, 0, 1, 0, 3, 100, false, false}, {1, 0, 1, 1, 3, 102, false, false}, {1, 0, 1, 2, 3, 103, false, false},
      {1, 0, 1, 3, 3, 105, false, false}, {1, 0, 1, 4, 3, 106, false, false}, {1, 0, 1, 5, 3, 107, false, false},
      {1, 1, 1, 0, 4, 60, true, false},   {1, 1, 1, 1, 4, 60, true, false},
  };
  const std::vector<TPlannedMeasure> measures = Measures(plan);
  ASSERT_EQ(measures.size(), std::size(expected));
  std::uint64_t sample = 0;
  for (std::size_t i = 0; i < measures.size(); ++i) {
    SCOPED_TRACE("measure " + std::to_string(i));
    const auto& e = expected[i];
    const TPlannedMeasure& m = measures[i];
    EXPECT_EQ(m.place, (TStepPlace{e.round, e.step}));
    EXPECT_EQ(m.repetition, e.repetition);
    EXPECT_EQ(m.measure, e.measure);
    EXPECT_EQ(m.beats, e.beats);
    EXPECT_EQ(m.tempo, e.tempo);
    EXPECT_EQ(m.silent, e.silent);
    EXPECT_EQ(*m.notes, e.beats == 3 ? ThreeFour.notes : FourFour.notes);
    // Each measure begins where the one before ended: no gap, no sample twice.
    EXPECT_EQ(m.firstSample, sample);
    EXPECT_EQ(m.length, MeasureLength(e.beats, e.tempo));
    sample += m.length;
    // "Three", "Two", "One" on the last three beats of the measure.
    const std::vector<TCue> cues(m.Cues().begin(), m.Cues().end());
    if (e.countIn)
      EXPECT_EQ(cues, (std::vector<TCue>{{2, 16}, {1, 32}, {0, 48}}));
    else
      EXPECT_TRUE(cues.empty());
  }
  EXPECT_EQ(plan.TotalSamples(), sample);
  EXPECT_EQ(sample, 3 * 88200u + 2 * (79380u + 77823 + 77067 + 75600 + 74886 + 74186 + 2 * 176400));
  EXPECT_EQ(plan.StepMeasures({0, 0}), 3);
  EXPECT_EQ(plan.StepMeasures({1, 1}), 2);
}

TEST(ProgramPlan, CountInWordsInTheLanguageGiven) {
  for (const auto& [language, words] :
       {std::pair{TCountInLanguage::English, std::array<std::string_view, 3>{"EN_NUM0_03", "EN_NUM0_02", "EN_NUM0_01"}},
        std::pair{TCountInLanguage::Japanese, std::array<std::string_view, 3>{"JA_NUM0_03", "JA_NUM0_02", "JA_NUM0_01"}}}) {
    const std::array<std::int32_t, 3> voices = CountInVoices(language);
    for (std::size_t k = 0; k < 3; ++k) EXPECT_EQ(VoiceTable[static_cast<std::size_t>(voices[k])].resource, words[k]);
    const TProgramPlan plan(ThreeSteps(), ThreeStepPatterns(), language);
    const TPlannedMeasure countIn = Measures(plan)[2];
    ASSERT_EQ(countIn.cueCount, 3);
    for (std::size_t k = 0; k < 3; ++k) EXPECT_EQ(countIn.cues[k].voice, voices[k]);
  }
}

// The count-in measure as heard: the words start on the beats and nothing else sounds in a
// rest; they are scaled with the measure, the loudest word to the usual peak.
TEST(ProgramPlan, CountInWordsSoundOnTheirBeats) {
  const TConstantVoices voices;
  const TProgramPlan plan(ThreeSteps(), ThreeStepPatterns(), TCountInLanguage::English);
  const TPlannedMeasure rest = Measures(plan)[10];  // the rest's last measure: 4/4 at 60, a beat is 44100
  ASSERT_TRUE(rest.silent);
  const TWav4416MI samples = RenderPlannedMeasure(rest, voices.Reader());
  ASSERT_EQ(samples.size(), 176400u);
  const std::int16_t levels[] = {0, 26213, 17475, 8737};  // nothing, "Three" (300), "Two" (200), "One" (100)
  for (std::uint32_t beat = 0; beat < 4; ++beat) {
    SCOPED_TRACE("beat " + std::to_string(beat));
    const std::uint32_t at = beat * 44100;
    EXPECT_EQ(samples[at], levels[beat]);
    EXPECT_EQ(samples[at + 29999], levels[beat]);
    EXPECT_EQ(samples[at + 30000], 0);
    if (at > 0) {
      EXPECT_EQ(samples[at - 1], 0);
    }
  }
}

TEST(ProgramPlan, ARampChangesAtMostOnceAMeasureByWholeBpmTowardItsTarget) {
  const struct {
    std::int32_t from, to, measures;
    std::vector<std::int32_t> tempos;
  } cases[] = {
      {100, 107, 6, {100, 102, 103, 105, 106, 107}},
      {107, 100, 6, {107, 105, 104, 102, 101, 100}},
      {60, 240, 2, {60, 240}},
      {120, 130, 1, {130}},
      {150, 151, 4, {150, 151, 151, 151}},
      {120, 120, 3, {120, 120, 120}},
      {60, 63, 7, {60, 61, 61, 62, 62, 63, 63}},
  };
  for (const auto& c : cases) {
    std::vector<std::int32_t> tempos;
    for (const TPlannedMeasure& m : Measures(OneStep(Step(c.from, c.to, TDurationUnit::Measures, c.measures))))
      tempos.push_back(m.tempo);
    EXPECT_EQ(tempos, c.tempos) << c.from << " to " << c.to << " in " << c.measures;
  }
}

// A step of a time ends on the first measure boundary at or after it: its measures reach the
// time, one measure fewer of the same ramp would not.
TEST(ProgramPlan, ATimedStepEndsOnTheFirstMeasureBoundaryAtOrAfterItsTime) {
  const struct {
    std::int32_t beats, from, to, seconds;
  } cases[] = {
      {4, 120, 120, 5}, {4, 120, 120, 4}, {3, 240, 240, 1}, {8, 60, 60, MaxStepSeconds}, {3, 60, 240, 60},
      {8, 240, 60, 600}, {4, 100, 101, 1}, {6, 180, 165, 61}, {3, 61, 239, MaxStepSeconds},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.beats) + " beats, " + std::to_string(c.from) + " to " + std::to_string(c.to) +
                 " in " + std::to_string(c.seconds) + " s");
    const TProgramPlan timed = OneStep(Step(c.from, c.to, TDurationUnit::Seconds, c.seconds), c.beats);
    const std::int32_t n = timed.StepMeasures({0, 0});
    const std::uint64_t wanted = static_cast<std::uint64_t>(c.seconds) * 44100;
    const TProgramPlan same = OneStep(Step(c.from, c.to, TDurationUnit::Measures, n), c.beats);
    EXPECT_EQ(Measures(same).size(), static_cast<std::size_t>(n));
    EXPECT_EQ(timed.TotalSamples(), same.TotalSamples());
    EXPECT_GE(timed.TotalSamples(), wanted);
    if (n > 1) {
      EXPECT_LT(OneStep(Step(c.from, c.to, TDurationUnit::Measures, n - 1), c.beats).TotalSamples(), wanted);
    }
    EXPECT_EQ(Measures(timed).back().tempo, c.to);
  }
}

TEST(ProgramPlan, ACountInBeforeTheFirstStepGetsASilentLeadInMeasure) {
  TProgram program;
  program.rounds.push_back({3, {Step(90, 100, TDurationUnit::Measures, 2, true)}});
  const TProgramPlan plan(program, {{ThreeFour}}, TCountInLanguage::Japanese);
  const std::vector<TPlannedMeasure> m = Measures(plan);
  ASSERT_EQ(m.size(), 7u);  // the lead-in and three times two measures
  EXPECT_EQ(m[0].measure, -1);
  EXPECT_TRUE(m[0].silent);
  EXPECT_EQ(m[0].beats, 3);
  EXPECT_EQ(m[0].tempo, 90);
  EXPECT_EQ(m[1].firstSample, MeasureLength(3, 90));
  const std::array<std::int32_t, 3> ja = CountInVoices(TCountInLanguage::Japanese);
  // Before every repetition, each time over the measure before it; not after the last.
  for (const std::size_t i : {0, 2, 4}) {
    ASSERT_EQ(m[i].cueCount, 3) << i;
    EXPECT_EQ(m[i].cues[0], (TCue{ja[0], 0}));
    EXPECT_EQ(m[i].cues[2], (TCue{ja[2], 32}));
  }
  for (const std::size_t i : {1, 3, 5, 6}) EXPECT_EQ(m[i].cueCount, 0) << i;
  EXPECT_EQ(plan.TotalSamples(), m.back().firstSample + m.back().length);
}

TEST(ProgramPlan, NoStepsNoMeasures) {
  for (const TProgram& program : {TProgram{}, TProgram{{{4, {}}, {2, {}}}}}) {
    const TProgramPlan plan(program, {}, TCountInLanguage::English);
    EXPECT_EQ(plan.TotalSamples(), 0u);
    EXPECT_FALSE(plan.Begin().Next());
  }
  // Rounds without steps between others are passed over, the count-in still heard.
  TProgram gaps{{{2, {}}, {1, {Step(120, 120, TDurationUnit::Measures, 1)}}, {5, {}}, {1, {Step(60, 60, TDurationUnit::Measures, 1, true)}}}};
  const std::vector<TPlannedMeasure> m = Measures(TProgramPlan(gaps, {}, TCountInLanguage::English));
  ASSERT_EQ(m.size(), 2u);
  EXPECT_EQ(m[0].cueCount, 3);
  EXPECT_EQ(m[1].place, (TStepPlace{3, 0}));
}

// A cue is mixed as a voice note is, after the notes; unlike a note it is cut at the end of
// the measure rather than heard again at its start.
TEST(RenderMeasureWithCues, AVoiceNoteThatStopsAtTheMeasuresEnd) {
  const TConstantVoices voices;
  const TResourceReader reader = voices.Reader();
  const TNotes notes{DefaultNote(0), DefaultNote(20), Voice(40)};
  for (const auto& [beats, bpm] : {std::pair{4, 120}, {3, 97}, {8, 60}}) {
    const std::uint32_t length = MeasureLength(beats, bpm);
    EXPECT_EQ(RenderMeasureWithCues(notes, {}, length, bpm, reader), RenderMeasure(notes, length, bpm, reader));
    // Words that end inside the measure: the notes and then voice notes, bit for bit.
    const std::vector<TCue> cues{{2, 16}, {0, 24}};
    TNotes withVoices = notes;
    for (const TCue& cue : cues) {
      TNote voice = DefaultNote(cue.offset);
      voice.n_type = static_cast<std::uint16_t>(cue.voice + 1);
      withVoices.push_back(voice);
    }
    EXPECT_EQ(RenderMeasureWithCues(notes, cues, length, bpm, reader), RenderMeasure(withVoices, length, bpm, reader));
  }
  // "One" on the last beat at 240: 30000 samples from 33075 reach past the end at 44100.
  const std::vector<TCue> one{{0, 48}};
  const TWav4416MI cut = RenderMeasureWithCues({}, one, 44100, 240, reader);
  EXPECT_EQ(cut[0], 0);
  EXPECT_EQ(cut[33074], 0);
  EXPECT_EQ(cut[33075], 26213);
  EXPECT_EQ(cut[44099], 26213);
  TNote oneNote = DefaultNote(48);
  oneNote.n_type = 1;
  EXPECT_EQ(RenderMeasure({oneNote}, 44100, 240, reader)[0], 26213);  // a note goes on at the start
}

// The plan's samples, measure after measure: each measure as the player renders it, the
// same one rendered once while it repeats, cut at the limit.
TEST(PlanSamples, TheMeasuresInOrderRenderedOnceWhileTheyRepeat) {
  const TConstantVoices voices;
  const TProgramPlan plan(ThreeSteps(), ThreeStepPatterns(), TCountInLanguage::English);
  TWav4416MI expected;
  for (const TPlannedMeasure& m : Measures(plan)) {
    TWav4416MI measure;
    if (m.cueCount > 0)
      measure = RenderMeasureWithCues(m.silent ? TNotes{} : *m.notes, m.Cues(), m.length, m.tempo, voices.Reader());
    else if (m.silent)
      measure.assign(m.length, 0);
    else
      measure = RenderMeasure(*m.notes, MeasureLength(m.beats, m.tempo), m.tempo, voices.Reader());
    expected.insert(expected.end(), measure.begin(), measure.end());
  }
  for (const std::uint64_t limit : {plan.TotalSamples(), std::uint64_t{100000}, plan.TotalSamples() + 5}) {
    TPlanSamples samples(plan, limit, voices.Reader());
    TWav4416MI got;
    while (const auto block = samples.Next()) got.insert(got.end(), block->begin(), block->end());
    const std::size_t n = std::min<std::uint64_t>(limit, plan.TotalSamples());
    ASSERT_EQ(got.size(), n);
    EXPECT_TRUE(std::equal(got.begin(), got.end(), expected.begin()));
    EXPECT_EQ(samples.Done(), n);
    EXPECT_EQ(samples.Total(), n);
    if (limit >= plan.TotalSamples()) {
      // The warm-up's plain measure once, its count-in; twice six ramp tempos, a silent
      // measure; the first rest's count-in.
      EXPECT_EQ(samples.Rendered(), 2 + 2 * (6 + 1) + 1u);
    }
  }
}

TEST(PlanSamples, APatternLoopedFromTheStartOfItsMeasure) {
  const TConstantVoices voices;
  const TStepPattern pattern{{DefaultNote(8), Voice(30)}, 3};
  const TWav4416MI measure = RenderMeasure(pattern.notes, MeasureLength(3, 137), 137, voices.Reader());
  for (const std::uint64_t wanted : {std::uint64_t{1}, std::uint64_t{measure.size()}, std::uint64_t{5 * 44100 + 7}}) {
    const TProgramPlan plan = TProgramPlan::Loop(pattern, 137, wanted);
    EXPECT_GE(plan.TotalSamples(), wanted);
    EXPECT_LT(plan.TotalSamples() - wanted, measure.size());
    TPlanSamples samples(plan, wanted, voices.Reader());
    std::uint64_t at = 0;
    while (const auto block = samples.Next()) {
      for (std::size_t i = 0; i < block->size(); ++i, ++at)
        ASSERT_EQ((*block)[i], measure[at % measure.size()]) << "sample " << at;
    }
    EXPECT_EQ(at, wanted);
    EXPECT_EQ(samples.Rendered(), 1u);
  }
}

}  // namespace
