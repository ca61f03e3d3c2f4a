// Training programs: the file's text, its reader's limits, saving over an old file, every
// program shape written and read back, and the steps whose pattern is missing.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "pattern/uProgram.h"
#include "temp_folder.h"

namespace {

void Write(const std::filesystem::path& path, std::string_view text) { std::ofstream(path, std::ios::binary) << text; }

std::string Read(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

TProgramStep Step(std::string pattern, std::int32_t from, std::int32_t to, TDurationUnit unit, std::int32_t duration,
                  bool countIn = false, bool rest = false) {
  return {std::move(pattern), from, to, unit, duration, countIn, rest};
}

// Warm up, eight rounds of a minute fast and a minute easy, cool down.
TProgram Intervals() {
  TProgram p;
  p.rounds.push_back({1, {Step("Warm-up", 160, 160, TDurationUnit::Seconds, 300)}});
  p.rounds.push_back({8,
                      {Step("", 180, 180, TDurationUnit::Seconds, 60, true),
                       Step("Easy", 165, 165, TDurationUnit::Measures, 16, false, false)}});
  p.rounds.push_back({1, {Step("", 165, 150, TDurationUnit::Seconds, 90, true, true)}});
  return p;
}

const char* const IntervalsFile =
    "[Program]\r\nVersion=1.00\r\nRoundCount=3\r\n"
    "[Round00]\r\nRepeat=1\r\nStepCount=1\r\n"
    "[Round00Step00]\r\nPattern=Warm-up\r\nTempo=160\r\nTempoTo=160\r\nDuration=5:00\r\nCountIn=0\r\nRest=0\r\n"
    "[Round01]\r\nRepeat=8\r\nStepCount=2\r\n"
    "[Round01Step00]\r\nPattern=\r\nTempo=180\r\nTempoTo=180\r\nDuration=1:00\r\nCountIn=1\r\nRest=0\r\n"
    "[Round01Step01]\r\nPattern=Easy\r\nTempo=165\r\nTempoTo=165\r\nMeasures=16\r\nCountIn=0\r\nRest=0\r\n"
    "[Round02]\r\nRepeat=1\r\nStepCount=1\r\n"
    "[Round02Step00]\r\nPattern=\r\nTempo=165\r\nTempoTo=150\r\nDuration=1:30\r\nCountIn=1\r\nRest=1\r\n";

TEST(ProgramText, AFreshFileInTheFixedOrder) { EXPECT_EQ(ProgramText("", Intervals()), IntervalsFile); }

TEST(ProgramText, ReadsBackWhatItWrote) { EXPECT_EQ(LoadProgramFromText(IntervalsFile), Intervals()); }

TEST(DurationValue, MinutesAndSeconds) {
  const struct {
    const char* text;
    std::optional<std::int32_t> seconds;
  } cases[] = {
      {"1:30", 90}, {"0:05", 5},  {" 99:59 ", 5999}, {"120:00", 7200}, {"0:00", 0},      {"1:60", std::nullopt},
      {"1:5", std::nullopt},      {"90", std::nullopt}, {":30", std::nullopt}, {"1:30:00", std::nullopt},
      {"-1:30", std::nullopt},    {"1:3x", std::nullopt}, {"", std::nullopt},  {"9999999:00", std::nullopt},
  };
  for (const auto& c : cases) EXPECT_EQ(ReadDurationValue(c.text), c.seconds) << c.text;
  for (const std::int32_t seconds : {1, 59, 60, 61, 599, 600, 5999})
    EXPECT_EQ(ReadDurationValue(DurationText(seconds)), seconds) << DurationText(seconds);
}

// One step's keys as a hand might write them, and the step read.
TEST(LoadProgram, EveryStepValueLimited) {
  const TProgramStep defaults;
  const auto with = [&](auto change) {
    TProgramStep s = defaults;
    change(s);
    return s;
  };
  const struct {
    const char* keys;
    TProgramStep step;
  } cases[] = {
      {"", defaults},
      {"Tempo=300\n", with([](auto& s) { s.tempoFrom = s.tempoTo = 240; })},
      {"Tempo=30\nTempoTo=500\n", with([](auto& s) { s.tempoFrom = 60, s.tempoTo = 240; })},
      {"Tempo=abc\nTempoTo=$96\n", with([](auto& s) { s.tempoTo = 150; })},
      {"Tempo=100\n", with([](auto& s) { s.tempoFrom = s.tempoTo = 100; })},  // no ramp without TempoTo
      {"Duration=2:15\n", with([](auto& s) { s.duration = 135; })},
      {"Duration=0:00\n", with([](auto& s) { s.duration = 1; })},
      {"Duration=250:00\n", with([](auto& s) { s.duration = MaxStepSeconds; })},
      {"Duration=90\n", defaults},  // no minutes:seconds: the default minute
      {"Measures=12\n", with([](auto& s) { s.unit = TDurationUnit::Measures, s.duration = 12; })},
      {"Measures=0\n", with([](auto& s) { s.unit = TDurationUnit::Measures, s.duration = 1; })},
      {"Measures=-5\n", with([](auto& s) { s.unit = TDurationUnit::Measures, s.duration = 1; })},
      {"Measures=123456\n", with([](auto& s) { s.unit = TDurationUnit::Measures, s.duration = MaxStepMeasures; })},
      {"Measures=\nDuration=0:45\n", with([](auto& s) { s.duration = 45; })},
      {"Measures=many\n", defaults},
      {"Duration=0:45\nMeasures=8\n", with([](auto& s) { s.unit = TDurationUnit::Measures, s.duration = 8; })},
      {"CountIn=1\nRest=1\n", with([](auto& s) { s.countIn = s.rest = true; })},
      {"countin=7\nREST=yes\n", with([](auto& s) { s.countIn = true; })},
      {"Pattern= 'Hill run' \n", with([](auto& s) { s.pattern = "Hill run"; })},
      {"Pattern=../../etc/passwd\n", with([](auto& s) { s.pattern = "../../etc/passwd"; })},
  };
  for (const auto& c : cases) {
    const std::string text = "[program]\nversion=1.00\nRoundCount=1\n[Round00]\nStepCount=1\n[Round00Step00]\n" +
                             std::string(c.keys);
    const auto program = LoadProgramFromText(text);
    ASSERT_TRUE(program) << c.keys;
    ASSERT_EQ(program->rounds.size(), 1u);
    EXPECT_EQ(program->rounds[0].repeat, 1);
    ASSERT_EQ(program->rounds[0].steps.size(), 1u) << c.keys;
    EXPECT_EQ(program->rounds[0].steps[0], c.step) << c.keys;
  }
}

TEST(LoadProgram, VersionGateRoundsAndCounts) {
  const auto rounds = [](const std::string& text) -> std::vector<std::pair<int, std::size_t>> {
    const auto program = LoadProgramFromText(text);
    if (!program) return {{-1, 0}};
    std::vector<std::pair<int, std::size_t>> shape;
    for (const auto& r : program->rounds) shape.emplace_back(r.repeat, r.steps.size());
    return shape;
  };
  const std::string head = "[Program]\nVersion=1.00\n";
  std::string manyRounds = head + "RoundCount=500\n", manySteps = head + "RoundCount=3\n";
  for (int r = 0; r < 3; ++r) manySteps += "[Round0" + std::to_string(r) + "]\nStepCount=60\n";
  const struct {
    std::string text;
    std::vector<std::pair<int, std::size_t>> shape;  // repeat and steps of each round
  } cases[] = {
      {"[Program]\nVersion=1.0\nRoundCount=1\n", {{-1, 0}}},
      {"[System]\nVersion=1.00\n", {{-1, 0}}},
      {"", {{-1, 0}}},
      {head, {}},
      {head + "RoundCount=-4\n", {}},
      {head + "RoundCount=2\n[Round00]\nRepeat=0\n[Round01]\nRepeat=150\nStepCount=2\n", {{1, 0}, {99, 2}}},
      {head + "RoundCount=1\n[Round00]\nRepeat=8\nStepCount=x\n", {{8, 0}}},
      {manyRounds, std::vector<std::pair<int, std::size_t>>(MaxProgramRounds, {1, 0})},
      // 99 steps in all: the third round gets none.
      {manySteps, {{1, 60}, {1, 39}, {1, 0}}},
  };
  for (const auto& c : cases) EXPECT_EQ(rounds(c.text), c.shape) << c.text;
}

// Every shape the dialog makes: each kind of tempo, unit, count-in, rest and pattern in every
// combination, in rounds of one and of many repeats, and the edges of every value.
TEST(SaveProgram, EveryShapeRoundTrips) {
  TTempFolder folder;
  std::vector<TProgramStep> steps;
  for (const auto& [from, to] : {std::pair{120, 120}, {60, 240}, {240, 60}, {150, 151}})
    for (const auto unit : {TDurationUnit::Seconds, TDurationUnit::Measures})
      for (const bool countIn : {false, true})
        for (const bool rest : {false, true})
          for (const char* pattern : {"", "Run 180", "日本語のパターン"})
            steps.push_back(Step(pattern, from, to, unit, unit == TDurationUnit::Seconds ? 90 : 16, countIn, rest));
  steps.push_back(Step("x", 60, 60, TDurationUnit::Seconds, MaxStepSeconds));
  steps.push_back(Step("x", 240, 240, TDurationUnit::Measures, MaxStepMeasures));
  std::vector<TProgram> programs{TProgram{}, TProgram{{TProgramRound{5, {}}}}, Intervals()};
  for (std::size_t k = 0; k < steps.size(); k += MaxProgramSteps) {
    TProgram p;
    for (std::size_t i = k; i < std::min(steps.size(), k + MaxProgramSteps); i += 7) {
      const auto end = std::min({steps.size(), i + 7, k + MaxProgramSteps});
      p.rounds.push_back({static_cast<std::int32_t>(1 + (i * 13) % 99), {steps.begin() + i, steps.begin() + end}});
    }
    programs.push_back(p);
  }
  const std::filesystem::path path = folder.path / "Shapes.tktp";
  for (const TProgram& program : programs) {
    SaveProgram(path, program);
    EXPECT_EQ(LoadProgram(path), program);
    EXPECT_EQ(ListPatternFiles(folder.path, ProgramExtension).size(), 1u);
  }
}

TEST(SaveProgram, OverAnOldFileKeepsItsOtherKeysAndNeverSaysBothDurations) {
  TTempFolder folder;
  const std::filesystem::path path = folder.path / "Old.tktp";
  Write(path, "; my intervals\r\n[Program]\r\nVersion=1.00\r\nRoundCount=1\r\nNote=keep me\r\n"
              "[Round00]\r\nRepeat=2\r\nStepCount=1\r\n"
              "[Round00Step00]\r\nPattern=A\r\nMeasures=16\r\n");
  TProgram program{{{3, {Step("B", 100, 110, TDurationUnit::Seconds, 75)}}}};
  SaveProgram(path, program);
  const std::string text = Read(path);
  EXPECT_NE(text.find("; my intervals\r\n"), std::string::npos);
  EXPECT_NE(text.find("Note=keep me\r\n"), std::string::npos);
  EXPECT_NE(text.find("\r\nMeasures=\r\n"), std::string::npos) << text;
  EXPECT_NE(text.find("\r\nDuration=1:15\r\n"), std::string::npos) << text;
  EXPECT_EQ(LoadProgram(path), program);
  // And back to measures: the time is emptied in its turn.
  program.rounds[0].steps[0].unit = TDurationUnit::Measures;
  program.rounds[0].steps[0].duration = 8;
  SaveProgram(path, program);
  EXPECT_NE(Read(path).find("\r\nMeasures=8\r\n"), std::string::npos) << Read(path);
  EXPECT_NE(Read(path).find("\r\nDuration=\r\n"), std::string::npos) << Read(path);
  EXPECT_EQ(LoadProgram(path), program);
}

TEST(SaveProgram, AFailedSaveLeavesTheOldFile) {
  TTempFolder folder;
  const std::filesystem::path path = folder.path / "Keep.tktp";
  SaveProgram(path, Intervals());
  TSaveHooks failing;
  failing.rename = [](const std::filesystem::path&, const std::filesystem::path&) {
    throw std::filesystem::filesystem_error("disk full", std::make_error_code(std::errc::no_space_on_device));
  };
  EXPECT_THROW(SaveProgram(path, TProgram{}, failing), EPatternWriteError);
  EXPECT_EQ(Read(path), IntervalsFile);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.path), {}), 1);  // no temporary left
  EXPECT_THROW(SaveProgram(folder.path / "no folder" / "x.tktp", Intervals()), EPatternWriteError);
}

TEST(LoadProgram, FilesThatAreNoProgram) {
  TTempFolder folder;
  EXPECT_EQ(LoadProgram(folder.path / "missing.tktp"), std::nullopt);
  EXPECT_EQ(LoadProgram(folder.path), std::nullopt);
  const std::filesystem::path huge = folder.path / "Huge.tktp";
  Write(huge, std::string(IntervalsFile) + std::string(MaxPatternFileBytes, ';'));
  EXPECT_THROW(LoadProgram(huge), EPatternTooLarge);
}

TEST(ResolvePatterns, StepsNamingMissingPatternsAreMarked) {
  TTempFolder folder;
  const TNotes threeFour = DefaultNotes(3);
  SaveNotes(folder.path / "Easy.tktm", threeFour, 0, 150, ".");
  Write(folder.path / "Broken.tktm", "[System]\r\nVersion=2.00\r\n");
  const std::vector<TPatternFile> list = ListPatternFiles(folder.path);
  TProgram program;
  program.rounds.push_back({1, {Step("Easy", 120, 120, TDurationUnit::Seconds, 60), Step("Gone", 120, 120, TDurationUnit::Seconds, 60)}});
  program.rounds.push_back({4, {Step("", 120, 120, TDurationUnit::Seconds, 60), Step("Broken", 120, 120, TDurationUnit::Seconds, 60),
                                Step("easy", 120, 120, TDurationUnit::Seconds, 60), Step("Easy", 90, 90, TDurationUnit::Measures, 2)}});
  EXPECT_EQ(MissingPatterns(program, list), (std::vector<TStepPlace>{{0, 1}, {1, 2}}));

  const TStepPattern current{{DefaultNote(5)}, 8};
  const TResolvedPatterns resolved = ResolvePatterns(program, list, current, ".");
  // A file that is listed but fails to load is missing too.
  EXPECT_EQ(resolved.missing, (std::vector<TStepPlace>{{0, 1}, {1, 1}, {1, 2}}));
  const TStepPattern easy{threeFour, 3};
  const std::vector<std::vector<TStepPattern>> expected{{easy, current}, {current, current, current, easy}};
  EXPECT_EQ(resolved.patterns, expected);
}

}  // namespace
