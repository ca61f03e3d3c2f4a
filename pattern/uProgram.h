// Training programs: an ordered list of steps, grouped into rounds that repeat, and their
// file "NAME.tktp" beside the patterns, INI text in the pattern files' style. Plain C++: no
// toolkit.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "pattern/uPattern.h"
#include "pattern/uPatternFile.h"

inline constexpr std::string_view ProgramExtension = ".tktp";
inline constexpr std::string_view ProgramVersion = "1.00";

// The limits every value is read and edited within.
inline constexpr std::int32_t MinRoundRepeat = 1;
inline constexpr std::int32_t MaxRoundRepeat = 99;
inline constexpr std::int32_t MaxStepSeconds = 99 * 60 + 59;  // "99:59"
inline constexpr std::int32_t MaxStepMeasures = 9999;
// More rounds, or more steps in all, than this are not read: a program is a page of steps,
// and the dialog shows every one of them.
inline constexpr std::int32_t MaxProgramRounds = 99;
inline constexpr std::int32_t MaxProgramSteps = 99;

// How long a step lasts: a time (minutes:seconds) or a number of measures.
enum class TDurationUnit { Seconds, Measures };

// One step of a program.
struct TProgramStep {
  // The saved pattern the step plays, by name; empty for the pattern in the editor (the
  // current pattern).
  std::string pattern;
  // A fixed tempo when both are equal, otherwise a ramp from tempoFrom to tempoTo.
  std::int32_t tempoFrom = DefaultTempo;
  std::int32_t tempoTo = DefaultTempo;
  TDurationUnit unit = TDurationUnit::Seconds;
  std::int32_t duration = 60;  // seconds or measures, by unit
  // "Three", "Two", "One" over the last three beats of the measure before the step.
  bool countIn = false;
  // The step's measures are silent (its pattern still gives their time signature).
  bool rest = false;

  bool IsRamp() const { return tempoFrom != tempoTo; }
  friend bool operator==(const TProgramStep&, const TProgramStep&) = default;
};

// Steps played in order, the whole group `repeat` times. A single step is a round of one.
struct TProgramRound {
  std::int32_t repeat = 1;
  std::vector<TProgramStep> steps;
  friend bool operator==(const TProgramRound&, const TProgramRound&) = default;
};

struct TProgram {
  std::vector<TProgramRound> rounds;
  friend bool operator==(const TProgram&, const TProgram&) = default;
};

// The steps of all rounds, counted once (not per repetition).
std::size_t StepCount(const TProgram& program);

// A step's place in the program.
struct TStepPlace {
  std::size_t round = 0;
  std::size_t step = 0;
  friend bool operator==(const TStepPlace&, const TStepPlace&) = default;
};

// "M:SS" for a number of seconds: 90 gives "1:30".
std::string DurationText(std::int32_t seconds);
// The seconds of "M:SS" (blanks around it allowed; seconds 0..59), or no value for any
// other text.
std::optional<std::int32_t> ReadDurationValue(std::string_view text);

// The text of a program file after the program was written over `old` key by key (an empty
// `old` gives a fresh file):
//   [Program]  Version=1.00, RoundCount
//   [RoundNN]  Repeat, StepCount
//   [RoundNNStepMM]  Pattern, Tempo, TempoTo, Duration ("M:SS") or Measures, CountIn, Rest
// Keys and sections of the old file that the program does not write stay, as in a pattern
// file; of Duration and Measures only the one that applies is written, and the other is
// written empty when the old file has it, so the file never says both.
std::string ProgramText(std::string_view old, const TProgram& program);

// Reads a program from file text; no value unless the text passes the version gate. Every
// value is limited: repeats to 1..99, tempos to 60..240, seconds to 1..99:59, measures to
// 1..9999; at most 99 rounds and 99 steps in all are read. A key that is missing or does
// not parse takes its default (the defaults of TProgramStep, a repeat of 1). A step with a
// readable "Measures" counts measures, otherwise its "Duration" counts time.
std::optional<TProgram> LoadProgramFromText(std::string_view text);
// The same from a file: no value when it cannot be read. Throws EPatternTooLarge for a file
// larger than MaxPatternFileBytes.
std::optional<TProgram> LoadProgram(const std::filesystem::path& path);
// Writes the program atomically, as SaveNotes writes a pattern (and throws as it does).
void SaveProgram(const std::filesystem::path& path, const TProgram& program, const TSaveHooks& hooks = {});

// The steps that name a pattern the list does not hold (names compare exactly, as the
// pattern list does); the current pattern is never missing. A program with such a step
// must not start.
std::vector<TStepPlace> MissingPatterns(const TProgram& program, const std::vector<TPatternFile>& patterns);

// The names of the patterns those steps name, each once, in the order the steps come.
std::vector<std::string> MissingPatternNames(const TProgram& program, const std::vector<TStepPlace>& missing);

// As LoadProgram, with a file too large to be a program as no program either: for callers
// that tell a user only that the file is none.
std::optional<TProgram> LoadProgramIfAny(const std::filesystem::path& path);

// A step's pattern as it plays: its notes and beats per measure.
struct TStepPattern {
  TNotes notes;
  std::int32_t beats = 4;
  friend bool operator==(const TStepPattern&, const TStepPattern&) = default;
};

// Every step's pattern, [round][step]; and the steps whose pattern is missing from the list
// or fails to load (no such file any more, a wrong version, too large): those play as
// `current` would, and are what the window reports.
struct TResolvedPatterns {
  std::vector<std::vector<TStepPattern>> patterns;
  std::vector<TStepPlace> missing;
};
// Loads each named pattern once (by name from the list), and gives the current pattern to
// the steps that name none.
TResolvedPatterns ResolvePatterns(const TProgram& program, const std::vector<TPatternFile>& patterns,
                                  const TStepPattern& current, std::string_view decimalSeparator);
