#include "pattern/uProgram.h"

#include <algorithm>
#include <cstdio>
#include <map>

#include "pattern/uIniFile.h"

namespace {

constexpr std::string_view ProgramSection = "Program";

std::string RoundSection(std::size_t round) {
  char name[32];
  std::snprintf(name, sizeof name, "Round%02zu", round);
  return name;
}

std::string StepSection(std::size_t round, std::size_t step) {
  char name[64];
  std::snprintf(name, sizeof name, "Round%02zuStep%02zu", round, step);
  return name;
}

// Reads a key as the pattern reader does: a missing key or text that is no number gives the
// default.
struct TReader {
  const TIniText& ini;
  std::int32_t Int(std::string_view section, std::string_view key, std::int32_t fallback) const {
    const auto value = ini.Read(section, key);
    return value ? ReadIntValue(*value, fallback) : fallback;
  }
  std::int32_t Limited(std::string_view section, std::string_view key, std::int32_t fallback, std::int32_t low,
                       std::int32_t high) const {
    return std::clamp(Int(section, key, fallback), low, high);
  }
  bool Flag(std::string_view section, std::string_view key) const { return Int(section, key, 0) != 0; }
};

// Text that the integer reader takes as a number: only then do two defaults give the same.
bool ReadsAsInt(std::string_view text) { return ReadIntValue(text, 0) == ReadIntValue(text, 1); }

TProgramStep ReadStep(const TReader& r, const std::string& section) {
  TProgramStep step;
  step.pattern = r.ini.Read(section, "Pattern").value_or("");
  step.tempoFrom = r.Limited(section, "Tempo", DefaultTempo, MinTempo, MaxTempo);
  step.tempoTo = r.Limited(section, "TempoTo", step.tempoFrom, MinTempo, MaxTempo);
  // A "Measures" that reads as a number wins; an empty one (as a save leaves it when the
  // step changed to a time) does not.
  if (const auto measures = r.ini.Read(section, "Measures"); measures && ReadsAsInt(*measures)) {
    step.unit = TDurationUnit::Measures;
    step.duration = std::clamp(ReadIntValue(*measures, 1), 1, MaxStepMeasures);
  } else {
    const auto text = r.ini.Read(section, "Duration");
    step.duration = std::clamp(text ? ReadDurationValue(*text).value_or(60) : 60, 1, MaxStepSeconds);
  }
  step.countIn = r.Flag(section, "CountIn");
  step.rest = r.Flag(section, "Rest");
  return step;
}

}  // namespace

std::size_t StepCount(const TProgram& program) {
  std::size_t count = 0;
  for (const TProgramRound& round : program.rounds) count += round.steps.size();
  return count;
}

std::string DurationText(std::int32_t seconds) {
  char text[32];
  std::snprintf(text, sizeof text, "%d:%02d", seconds / 60, seconds % 60);
  return text;
}

std::optional<std::int32_t> ReadDurationValue(std::string_view text) {
  text = TrimBlanks(text);
  const std::size_t colon = text.find(':');
  if (colon == std::string_view::npos || colon == 0 || colon > 6 || text.size() - colon - 1 != 2) return std::nullopt;
  std::int32_t minutes = 0;
  for (char ch : text.substr(0, colon)) {
    if (ch < '0' || ch > '9') return std::nullopt;
    minutes = minutes * 10 + (ch - '0');
  }
  const char tens = text[colon + 1], ones = text[colon + 2];
  if (tens < '0' || tens > '5' || ones < '0' || ones > '9') return std::nullopt;
  return minutes * 60 + (tens - '0') * 10 + (ones - '0');
}

std::string ProgramText(std::string_view old, const TProgram& program) {
  TIniText ini(old);
  ini.Write(ProgramSection, "Version", ProgramVersion);
  ini.Write(ProgramSection, "RoundCount", std::to_string(program.rounds.size()));
  for (std::size_t r = 0; r < program.rounds.size(); ++r) {
    const TProgramRound& round = program.rounds[r];
    ini.Write(RoundSection(r), "Repeat", std::to_string(round.repeat));
    ini.Write(RoundSection(r), "StepCount", std::to_string(round.steps.size()));
    for (std::size_t s = 0; s < round.steps.size(); ++s) {
      const TProgramStep& step = round.steps[s];
      const std::string section = StepSection(r, s);
      ini.Write(section, "Pattern", step.pattern);
      ini.Write(section, "Tempo", std::to_string(step.tempoFrom));
      ini.Write(section, "TempoTo", std::to_string(step.tempoTo));
      const bool measures = step.unit == TDurationUnit::Measures;
      const std::string_view used = measures ? "Measures" : "Duration", unused = measures ? "Duration" : "Measures";
      if (ini.Read(section, unused)) ini.Write(section, unused, "");
      ini.Write(section, used, measures ? std::to_string(step.duration) : DurationText(step.duration));
      ini.Write(section, "CountIn", step.countIn ? "1" : "0");
      ini.Write(section, "Rest", step.rest ? "1" : "0");
    }
  }
  return ini.Text();
}

std::optional<TProgram> LoadProgramFromText(std::string_view text) {
  const TIniText ini(text);
  if (ini.Read(ProgramSection, "Version").value_or("") != ProgramVersion) return std::nullopt;
  const TReader r{ini};
  TProgram program;
  const std::int32_t rounds = r.Limited(ProgramSection, "RoundCount", 0, 0, MaxProgramRounds);
  std::int32_t steps = 0;
  for (std::int32_t i = 0; i < rounds; ++i) {
    const auto index = static_cast<std::size_t>(i);
    TProgramRound round;
    round.repeat = r.Limited(RoundSection(index), "Repeat", 1, MinRoundRepeat, MaxRoundRepeat);
    const std::int32_t count =
        std::min(r.Limited(RoundSection(index), "StepCount", 0, 0, MaxProgramSteps), MaxProgramSteps - steps);
    for (std::int32_t s = 0; s < count; ++s)
      round.steps.push_back(ReadStep(r, StepSection(index, static_cast<std::size_t>(s))));
    steps += count;
    program.rounds.push_back(std::move(round));
  }
  return program;
}

std::optional<TProgram> LoadProgram(const std::filesystem::path& path) {
  const std::optional<std::string> text = ReadIniText(path);
  if (!text) return std::nullopt;
  return LoadProgramFromText(*text);
}

void SaveProgram(const std::filesystem::path& path, const TProgram& program, const TSaveHooks& hooks) {
  SaveIniText(path, [&](std::string_view old) { return ProgramText(old, program); }, hooks);
}

std::vector<TStepPlace> MissingPatterns(const TProgram& program, const std::vector<TPatternFile>& patterns) {
  std::vector<TStepPlace> missing;
  for (std::size_t r = 0; r < program.rounds.size(); ++r)
    for (std::size_t s = 0; s < program.rounds[r].steps.size(); ++s) {
      const std::string& name = program.rounds[r].steps[s].pattern;
      if (!name.empty() &&
          std::none_of(patterns.begin(), patterns.end(), [&](const TPatternFile& f) { return f.name == name; }))
        missing.push_back({r, s});
    }
  return missing;
}

TResolvedPatterns ResolvePatterns(const TProgram& program, const std::vector<TPatternFile>& patterns,
                                  const TStepPattern& current, std::string_view decimalSeparator) {
  TResolvedPatterns resolved;
  std::map<std::string, std::optional<TStepPattern>> loaded;  // by name, each file read once
  const auto load = [&](const std::string& name) -> const std::optional<TStepPattern>& {
    if (const auto it = loaded.find(name); it != loaded.end()) return it->second;
    std::optional<TStepPattern> pattern;
    const auto file =
        std::find_if(patterns.begin(), patterns.end(), [&](const TPatternFile& f) { return f.name == name; });
    if (file != patterns.end()) {
      TStepPattern p;
      std::int32_t timeSig = 0, tempo = 0;
      try {
        if (LoadNotes(file->path, p.notes, timeSig, tempo, decimalSeparator)) {
          p.beats = TimeSigBeats[static_cast<std::size_t>(timeSig)];
          pattern = std::move(p);
        }
      } catch (const EPatternTooLarge&) {
        // reported as missing below
      }
    }
    return loaded.emplace(name, std::move(pattern)).first->second;
  };
  for (std::size_t r = 0; r < program.rounds.size(); ++r) {
    resolved.patterns.emplace_back();
    for (std::size_t s = 0; s < program.rounds[r].steps.size(); ++s) {
      const std::string& name = program.rounds[r].steps[s].pattern;
      const std::optional<TStepPattern>* pattern = name.empty() ? nullptr : &load(name);
      if (pattern && !*pattern) resolved.missing.push_back({r, s});
      resolved.patterns.back().push_back(pattern && *pattern ? **pattern : current);
    }
  }
  return resolved;
}

std::vector<std::string> MissingPatternNames(const TProgram& program, const std::vector<TStepPlace>& missing) {
  std::vector<std::string> names;
  for (const TStepPlace& place : missing) {
    const std::string& name = program.rounds[place.round].steps[place.step].pattern;
    if (std::find(names.begin(), names.end(), name) == names.end()) names.push_back(name);
  }
  return names;
}

std::optional<TProgram> LoadProgramIfAny(const std::filesystem::path& path) {
  try {
    return LoadProgram(path);
  } catch (const EPatternTooLarge&) {
    return std::nullopt;
  }
}
