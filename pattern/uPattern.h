// The beat pattern: the note record, the fixed tables behind the editor's lists,
// the default pattern and the lookups from stored values back to list positions.
// Plain C++ only: no toolkit, no sound device.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

// One note of a measure. Positions and lengths count sixteenths of a beat.
struct TNote {
  std::uint16_t n_type = 0;  // 0 = sine tone, 1..9 = spoken count VoiceTable[n_type - 1]
  std::uint16_t offset = 0;  // start, in sixteenths from the start of the measure
  std::uint16_t length = 2;  // sine duration, in sixteenths
  float tone = 440.0f;       // sine frequency, Hz
  float loudness = 0.5f;     // sine amplitude factor, 0..1

  friend bool operator==(const TNote&, const TNote&) = default;
};

using TNotes = std::vector<TNote>;

// Sixteenths per beat: every position and length in a measure is counted in these.
inline constexpr int SixteenthsPerBeat = 16;

// Beats per measure, by item of the time-signature list.
inline constexpr std::array<std::int32_t, 4> TimeSigBeats{3, 4, 6, 8};
inline constexpr std::array<std::string_view, 4> TimeSigLabels{"3/4", "4/4", "6/4", "8/4"};
// The item the window opens with, 4/4.
inline constexpr int DefaultTimeSig = 1;

// White keys C4..C6 (A4 = 440 Hz), each the nearest 32-bit float of its three-decimal value.
inline constexpr std::array<float, 15> ToneFreqs{
    261.626f, 293.665f, 329.628f, 349.228f, 391.995f, 440.000f, 493.883f, 523.251f,
    587.330f, 659.255f, 698.456f, 783.991f, 880.000f, 987.767f, 1046.502f};
inline constexpr std::array<std::string_view, 15> ToneLabels{
    "C4", "D4", "E4", "F4", "G4", "A4", "B4", "C5", "D5", "E5", "F5", "G5", "A5", "B5", "C6"};

// Sine durations in sixteenths.
inline constexpr std::array<std::int32_t, 2> NoteLengths{2, 13};
inline constexpr std::array<std::string_view, 2> LengthLabels{"Short", "Long"};

// Sine amplitude factors.
inline constexpr std::array<float, 4> LoudnessLevels{0.8f, 0.5f, 0.3f, 0.0f};
inline constexpr std::array<std::string_view, 4> LoudnessLabels{"Loud", "Normal", "Soft", "None"};

// The spoken counts: resource name and the name the type list shows. Entry k is n_type k + 1.
struct TVoice {
  std::string_view resource;
  std::string_view name;
};
inline constexpr std::array<TVoice, 9> VoiceTable{{
    {"EN_NUM0_01", "One"},
    {"EN_NUM0_02", "Two"},
    {"EN_NUM0_03", "Three"},
    {"EN_NUM0_04", "Four"},
    {"JA_NUM0_00", "Zero(JA)"},
    {"JA_NUM0_01", "One(JA)"},
    {"JA_NUM0_02", "Two(JA)"},
    {"JA_NUM0_03", "Three(JA)"},
    {"JA_NUM0_04", "Four(JA)"},
}};
// The type list's first item; the voice names follow it, so an item's index is its n_type.
inline constexpr std::string_view SineTypeLabel = "Sine Wave";

// The list indices of the default note's values: "A4", "Short", "Normal".
inline constexpr int DefaultToneIndex = 5;
inline constexpr int DefaultLengthIndex = 0;
inline constexpr int DefaultLoudnessIndex = 1;

// A sine note of 440 Hz, length "Short", loudness "Normal", at the given position.
TNote DefaultNote(std::uint16_t offset);

// One default note on every beat of a measure of tsCount beats, in beat order.
TNotes DefaultNotes(int tsCount);

// The editor lets the user add notes up to two per beat.
bool CanAddNote(std::size_t noteCount, int tsCount);

// First table entry equal to the value (floats compared as exact 32-bit values, so a NaN
// matches nothing), or the default note's index when none is.
int ToneIndex(float tone);
int LengthIndex(std::uint16_t length);
int LoudnessIndex(float loudness);

// The tempo field's range, in beats per minute.
inline constexpr int MinTempo = 60;
inline constexpr int MaxTempo = 240;
inline constexpr int DefaultTempo = 120;

// The tempo a field text (UTF-8) stands for: the whole number it holds, limited to
// MinTempo..MaxTempo; full-width digits count as their ASCII values; an empty text or one
// that is no whole number means MinTempo.
int TempoFromText(std::string_view text);
