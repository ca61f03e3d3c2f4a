#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <limits>
#include <string>

#include "pattern/uPattern.h"

namespace {

TEST(ToneFreqs, AreTheNearestFloatsOfTheirThreeDecimalValues) {
  const char* decimals[] = {"261.626", "293.665", "329.628", "349.228", "391.995",
                            "440.000", "493.883", "523.251", "587.330", "659.255",
                            "698.456", "783.991", "880.000", "987.767", "1046.502"};
  for (std::size_t i = 0; i < ToneFreqs.size(); ++i)
    EXPECT_EQ(ToneFreqs[i], std::strtof(decimals[i], nullptr)) << decimals[i];
}

TEST(Lookups, ToneIndex) {
  const struct {
    float tone;
    int index;
  } cases[] = {
      {440.0f, 5},
      {std::strtof("659.255", nullptr), 9},
      {std::strtof("1046.502", nullptr), 14},
      {std::strtof("261.626", nullptr), 0},
      {500.0f, 5},
      // The double nearest 659.255 is not the float in the table: exact 32-bit comparison.
      {std::nextafter(ToneFreqs[9], 1e9f), 5},
      {std::numeric_limits<float>::quiet_NaN(), 5},
  };
  for (const auto& c : cases) EXPECT_EQ(ToneIndex(c.tone), c.index) << c.tone;
}

TEST(Lookups, LengthIndex) {
  const struct {
    std::uint16_t length;
    int index;
  } cases[] = {{2, 0}, {13, 1}, {1, 0}, {0, 0}, {65535, 0}};
  for (const auto& c : cases) EXPECT_EQ(LengthIndex(c.length), c.index) << c.length;
}

TEST(Lookups, LoudnessIndex) {
  const struct {
    float loudness;
    int index;
  } cases[] = {
      {0.0f, 3}, {0.8f, 0}, {0.5f, 1}, {0.3f, 2}, {0.7f, 1}, {1.0f, 1},
      // 0.8 as a double rounds to the same float; a neighbour of it does not match.
      {static_cast<float>(0.8), 0},
      {std::nextafter(0.8f, 1.0f), 1},
      {std::numeric_limits<float>::quiet_NaN(), 1},
  };
  for (const auto& c : cases) EXPECT_EQ(LoudnessIndex(c.loudness), c.index) << c.loudness;
}

TEST(DefaultPattern, OneDefaultSineNotePerBeat) {
  for (int beats : TimeSigBeats) {
    const TNotes notes = DefaultNotes(beats);
    ASSERT_EQ(notes.size(), static_cast<std::size_t>(beats));
    for (int k = 0; k < beats; ++k) {
      SCOPED_TRACE(std::to_string(beats) + " beats, note " + std::to_string(k));
      EXPECT_EQ(notes[k].n_type, 0);
      EXPECT_EQ(notes[k].offset, 16 * k);
      EXPECT_EQ(notes[k].length, 2);
      EXPECT_EQ(notes[k].tone, 440.0f);
      EXPECT_EQ(notes[k].loudness, 0.5f);
    }
  }
}

TEST(DefaultPattern, DefaultNoteShowsAsTheDefaultListItems) {
  const TNote note = DefaultNote(0);
  EXPECT_EQ(ToneIndex(note.tone), DefaultToneIndex);
  EXPECT_EQ(LengthIndex(note.length), DefaultLengthIndex);
  EXPECT_EQ(LoudnessIndex(note.loudness), DefaultLoudnessIndex);
}

TEST(NoteLimit, TwoNotesPerBeat) {
  for (int beats : TimeSigBeats) {
    const std::size_t limit = 2 * static_cast<std::size_t>(beats);
    EXPECT_TRUE(CanAddNote(0, beats));
    EXPECT_TRUE(CanAddNote(limit - 1, beats)) << beats;
    EXPECT_FALSE(CanAddNote(limit, beats)) << beats;
    // A loaded pattern may hold more than the editor would make.
    EXPECT_FALSE(CanAddNote(limit + 5, beats)) << beats;
  }
}

TEST(TempoFromText, LimitsTheTypedNumber) {
  const struct {
    const char* text;
    int tempo;
  } cases[] = {{"120", 120}, {"60", 60}, {"240", 240}, {"1", 60},   {"9", 60},   {"300", 240},
               {"59", 60},   {"241", 240}, {"", 60},   {"abc", 60}, {"12a", 60}, {"-5", 60},
               {" 90 ", 90}, {"999999999999999999999", 240},
               // Full-width digits, as a Japanese input method types them, alone and mixed.
               {"１８０", 180}, {"９０", 90}, {"1２0", 120}, {"３００", 240}, {"５", 60}, {"１８a", 60}};
  for (const auto& c : cases) EXPECT_EQ(TempoFromText(c.text), c.tempo) << '"' << c.text << '"';
}

}  // namespace
