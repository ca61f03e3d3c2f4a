// Random and mangled program files through the reader, built with the address and
// undefined-behaviour sanitizers: nothing may crash or trip them, every value read must be
// within its limits, what is read must write and read back unchanged, and its plan must be
// walked to an end that agrees with its length.
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "audio/uProgramPlan.h"
#include "fuzz_random.h"
#include "pattern/uProgram.h"

namespace {

class TInputs : TFuzzRandom {
 public:
  explicit TInputs(std::uint64_t seed) : TFuzzRandom(seed) {}

  std::string Next() {
    switch (Pick(3)) {
      case 0: return Noise();
      case 1: return Structured();
      default: return Mangled(Structured());
    }
  }

 private:
  std::string Noise() {
    static const std::string alphabet =
        "[]=\r\n;#'\" \t0123456789:.,-+$xXRoundStepProgramVersionCountTempoMeasuresDuration\x01\xff\xd9";
    return TFuzzRandom::Noise(alphabet);
  }

  std::string Value() {
    static const char* const values[] = {
        "0", "1", "-1", "2", "59", "60", "99", "100", "150", "240", "241", "9999", "10000", "65536", "2147483647",
        "2147483648", "-2147483649", "$F0", "0x3C", "", "\"7\"", "abc", "0:00", "0:01", "1:30", "99:59", "100:00",
        "1:60", "1:5", ":", "12:345", "9999999:59", "Warm-up", "../x", "  8  "};
    return Of(values);
  }

  std::string Structured() {
    static const char* const keys[] = {"Pattern", "Tempo", "TempoTo", "Duration", "Measures", "CountIn", "Rest", "tempo"};
    std::string s = "[Program]\r\nVersion=" + std::string(Pick(6) ? "1.00" : Value()) + "\r\n";
    const std::size_t rounds = Pick(30) == 0 ? Pick(300) : Pick(5);
    s += "RoundCount=" + (Pick(6) == 0 ? Value() : std::to_string(rounds)) + "\r\n";
    for (std::size_t r = 0; r < std::min<std::size_t>(rounds, 12); ++r) {
      char name[64];
      std::snprintf(name, sizeof name, "Round%02zu", r);
      const std::size_t steps = Pick(20) == 0 ? Pick(200) : Pick(5);
      s += "[" + std::string(name) + "]\r\nRepeat=" + (Pick(3) ? std::to_string(Pick(120)) : Value()) +
           "\r\nStepCount=" + (Pick(6) == 0 ? Value() : std::to_string(steps)) + "\r\n";
      for (std::size_t k = 0; k < std::min<std::size_t>(steps, 8); ++k) {
        if (Pick(6) == 0) continue;
        std::snprintf(name, sizeof name, "Round%02zuStep%02zu", r, k);
        s += "[" + std::string(name) + "]\r\n";
        for (std::size_t n = Pick(9); n > 0; --n) s += std::string(Of(keys)) + "=" + Value() + "\r\n";
      }
    }
    return s;
  }

  std::string Mangled(std::string s) { return TFuzzRandom::Mangled(std::move(s), [this] { return Value(); }); }
};

void ExpectWithinLimits(const TProgram& program) {
  ASSERT_LE(program.rounds.size(), static_cast<std::size_t>(MaxProgramRounds));
  ASSERT_LE(StepCount(program), static_cast<std::size_t>(MaxProgramSteps));
  for (const TProgramRound& round : program.rounds) {
    ASSERT_GE(round.repeat, MinRoundRepeat);
    ASSERT_LE(round.repeat, MaxRoundRepeat);
    for (const TProgramStep& step : round.steps) {
      ASSERT_GE(step.tempoFrom, MinTempo);
      ASSERT_LE(step.tempoFrom, MaxTempo);
      ASSERT_GE(step.tempoTo, MinTempo);
      ASSERT_LE(step.tempoTo, MaxTempo);
      ASSERT_GE(step.duration, 1);
      ASSERT_LE(step.duration, step.unit == TDurationUnit::Seconds ? MaxStepSeconds : MaxStepMeasures);
    }
  }
}

TEST(ProgramReaderFuzz, RandomAndMangledFiles) {
  TInputs inputs(20261212);
  int passed = 0, walked = 0;
  for (int round = 0; round < 12000; ++round) {
    const std::string text = inputs.Next();
    const std::optional<TProgram> program = LoadProgramFromText(text);
    if (!program) continue;
    ++passed;
    ExpectWithinLimits(*program);
    if (HasFatalFailure()) {
      ADD_FAILURE() << "input: " << text;
      return;
    }
    ASSERT_EQ(LoadProgramFromText(ProgramText("", *program)), program) << "input: " << text;
    // Writing over the mangled text reads back the same as well.
    ASSERT_EQ(LoadProgramFromText(ProgramText(text, *program)), program) << "input: " << text;
    // Its plan walks to an end that agrees with its length, whatever it holds.
    if (round % 16 == 0 && StepCount(*program) <= 12) {
      const TProgramPlan plan(*program, {}, TCountInLanguage::English);
      if (plan.TotalSamples() > 3ull * 3600 * 44100) continue;  // walking ten thousand measures is enough
      std::uint64_t end = 0;
      for (auto cursor = plan.Begin(); const auto m = cursor.Next();) {
        ASSERT_EQ(m->firstSample, end);
        ASSERT_GE(m->tempo, MinTempo);
        ASSERT_LE(m->tempo, MaxTempo);
        end += m->length;
      }
      ASSERT_EQ(end, plan.TotalSamples());
      ++walked;
    }
  }
  EXPECT_GT(passed, 4000);  // the inputs reach past the version gate often enough
  EXPECT_GT(walked, 60);
}

}  // namespace
