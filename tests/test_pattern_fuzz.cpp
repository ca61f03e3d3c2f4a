// Tens of thousands of random and mangled pattern files through the reader, built with
// the address and undefined-behaviour sanitizers: nothing may crash or trip them, every note
// read must be within its limits, and what is read must write and read back unchanged.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <random>
#include <string>

#include "audio/uWavUtils.h"
#include "fuzz_random.h"
#include "pattern/uPatternFile.h"

namespace {

const std::string DefaultFile = PatternText("", DefaultNotes(4), 1, 120, ".");

class TInputs : TFuzzRandom {
 public:
  explicit TInputs(std::uint64_t seed) : TFuzzRandom(seed) {}

  std::string Next() {
    switch (Pick(3)) {
      case 0: return Noise();
      case 1: return Structured();
      default: return Mangled(Pick(2) ? DefaultFile : Structured());
    }
  }

 private:
  std::string Noise() {
    static const std::string alphabet = "[]=\r\n;#'\" \t0123456789.,-+$xXeEabfNoteSystemVersionCount\x01\xff\xd9\xab";
    return TFuzzRandom::Noise(alphabet);
  }

  std::string Number() {
    static const char* const numbers[] = {
        "0", "1", "-1", "9", "10", "12", "255", "256", "511", "512", "4096", "4097", "65535", "65536", "-65536",
        "2147483647", "2147483648", "-2147483648", "-2147483649", "$20", "0x20", "$FFFFFFFF", "$100000000",
        "-$1", "0.5", "0,5", ".5", "5.", "1e3", "1e999", "-1e999", "1e-999", "1e39", "3.4028235e38",
        "261.626", "1046.502", "1046.5021", "261.6259", "440", "nan", "inf", "", "\"7\"", "'1.00'", "abc",
        "1.2.3", "  8  ", "1e", "e1", "0x", "$", "99999999999999999999999999999"};
    std::string n = Of(numbers);
    if (Pick(4) == 0) n += std::to_string(Pick(1000));
    return n;
  }

  std::string Structured() {
    static const char* const versions[] = {"1.00", "1.0", "1.00 ", "\"1.00\"", "2.00", ""};
    static const char* const keys[] = {"NoteType", "Offset", "Tone", "Length", "Loudness", "noteTYPE", "OFFSET"};
    std::string s = "[System]\r\nVersion=" + std::string(Pick(5) ? "1.00" : Of(versions)) + "\r\n";
    s += "TimeSigniture=" + Number() + "\r\nBPM=" + Number() + "\r\n";
    const std::size_t count = Pick(40) == 0 ? Pick(5000) : Pick(20);
    s += "NoteCount=" + (Pick(6) == 0 ? Number() : std::to_string(count)) + "\r\n";
    const std::size_t sections = std::min<std::size_t>(count + 3, 40);
    for (std::size_t i = 0; i < sections; ++i) {
      if (Pick(5) == 0) continue;
      char name[16];
      std::snprintf(name, sizeof name, Pick(8) ? "Note%02zu" : "note%zu", i);
      s += "[" + std::string(name) + "]\r\n";
      for (std::size_t k = Pick(8); k > 0; --k) s += std::string(Of(keys)) + "=" + Number() + "\r\n";
    }
    return s;
  }

  std::string Mangled(std::string s) { return TFuzzRandom::Mangled(std::move(s), [this] { return Number(); }); }
};

std::optional<std::span<const std::uint8_t>> Voices(std::string_view) {
  static const std::vector<std::uint8_t> voice = [] {
    TMemoryStream s;
    WriteWav(s, TWav4416MI(5000, 1234), 0);
    return s.bytes;
  }();
  return std::span<const std::uint8_t>(voice);
}

void ExpectWithinLimits(const TNotes& notes, std::int32_t timeSig) {
  ASSERT_GE(timeSig, 0);
  ASSERT_LE(timeSig, 3);
  const int beats = TimeSigBeats[static_cast<std::size_t>(timeSig)];
  ASSERT_LE(notes.size(), static_cast<std::size_t>(MaxLoadedNotes));
  for (const TNote& n : notes) {
    ASSERT_LE(n.n_type, 9);
    ASSERT_LE(n.offset, 64 * beats - 1);
    ASSERT_GE(n.length, 1);
    ASSERT_LE(n.length, 64 * beats);
    ASSERT_TRUE(n.tone >= ToneFreqs.front() && n.tone <= ToneFreqs.back()) << n.tone;
    ASSERT_TRUE(n.loudness >= 0.0f && n.loudness <= 1.0f) << n.loudness;
  }
}

bool SameBits(const TNotes& a, const TNotes& b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](const TNote& x, const TNote& y) {
           return x.n_type == y.n_type && x.offset == y.offset && x.length == y.length &&
                  std::bit_cast<std::uint32_t>(x.tone) == std::bit_cast<std::uint32_t>(y.tone) &&
                  std::bit_cast<std::uint32_t>(x.loudness) == std::bit_cast<std::uint32_t>(y.loudness);
         });
}

TEST(PatternReaderFuzz, RandomAndMangledFiles) {
  TInputs inputs(20261210);
  int passed = 0, rendered = 0;
  for (int round = 0; round < 25000; ++round) {
    const std::string text = inputs.Next();
    for (const char* separator : {".", ","}) {
      TNotes notes{DefaultNote(3)};
      std::int32_t timeSig = -9, tempo = -9;
      if (!LoadNotesFromText(text, notes, timeSig, tempo, separator)) {
        ASSERT_EQ(notes, TNotes{DefaultNote(3)});
        ASSERT_EQ(timeSig, -9);
        ASSERT_EQ(tempo, -9);
        continue;
      }
      ++passed;
      ExpectWithinLimits(notes, timeSig);
      if (HasFatalFailure()) {
        ADD_FAILURE() << "input: " << text;
        return;
      }
      if (notes.size() > 64) continue;
      // Whatever was read writes and reads back bit for bit.
      TNotes back;
      std::int32_t backTs = -1, backTempo = -1;
      ASSERT_TRUE(LoadNotesFromText(PatternText("", notes, timeSig, tempo, separator), back, backTs, backTempo,
                                    separator));
      ASSERT_TRUE(SameBits(back, notes)) << "input: " << text;
      ASSERT_EQ(backTs, timeSig);
      ASSERT_EQ(backTempo, tempo);
      // And renders without touching memory outside the measure.
      if (round % 64 == 0 && notes.size() <= 16) {
        const int bpm = std::clamp(tempo, MinTempo, MaxTempo);
        const std::uint32_t length = MeasureLength(TimeSigBeats[static_cast<std::size_t>(timeSig)], bpm);
        ASSERT_EQ(RenderMeasure(notes, length, bpm, Voices).size(), length);
        ++rendered;
      }
    }
  }
  EXPECT_GT(passed, 8000);  // the inputs reach past the version gate often enough
  EXPECT_GT(rendered, 60);
}

// Files whose notes reach the reader's limits (offsets and bursts of up to four measures,
// any tone in range, every voice, as many notes as are read) render without touching memory
// outside a buffer, at the slowest, the fastest and odd tempos.
TEST(PatternReaderFuzz, NotesUpToTheReadersLimitsRender) {
  std::mt19937_64 random(20261211);
  const auto pick = [&](std::int64_t from, std::int64_t to) {
    return std::uniform_int_distribution<std::int64_t>(from, to)(random);
  };
  for (int round = 0; round < 24; ++round) {
    const auto timeSig = static_cast<std::int32_t>(pick(0, 3));
    const std::int64_t beats = TimeSigBeats[static_cast<std::size_t>(timeSig)];
    const std::int64_t bpm = round % 3 == 0 ? MinTempo : round % 3 == 1 ? MaxTempo : pick(MinTempo, MaxTempo);
    const std::int64_t count = round % 4 == 0 ? MaxLoadedNotes + pick(0, 8) : pick(1, 20);
    std::string text = "[System]\r\nVersion=1.00\r\nTimeSigniture=" + std::to_string(timeSig) +
                       "\r\nBPM=" + std::to_string(bpm) + "\r\nNoteCount=" + std::to_string(count) + "\r\n";
    for (std::int64_t i = 0; i < count; ++i) {
      char section[32];
      std::snprintf(section, sizeof section, "Note%02lld", static_cast<long long>(i));
      const std::string tone = pick(0, 1) ? std::to_string(ToneFreqs[static_cast<std::size_t>(pick(0, 14))])
                                          : std::to_string(pick(200, 1100)) + "." + std::to_string(pick(0, 999));
      text += "[" + std::string(section) + "]\r\nNoteType=" + std::to_string(pick(0, 3) ? 0 : pick(0, 12)) +
              "\r\nOffset=" + std::to_string(pick(0, 70 * beats)) + "\r\nTone=" + tone +
              "\r\nLength=" + std::to_string(pick(0, 70 * beats)) + "\r\nLoudness=0." + std::to_string(pick(0, 9)) +
              "\r\n";
    }
    TNotes notes;
    std::int32_t readTimeSig = -1, tempo = -1;
    ASSERT_TRUE(LoadNotesFromText(text, notes, readTimeSig, tempo, "."));
    ASSERT_EQ(readTimeSig, timeSig);
    ASSERT_EQ(notes.size(), static_cast<std::size_t>(std::min<std::int64_t>(count, MaxLoadedNotes)));
    ExpectWithinLimits(notes, readTimeSig);
    const std::uint32_t length = MeasureLength(static_cast<std::int32_t>(beats), tempo);
    const TWav4416MI measure = RenderMeasure(notes, length, tempo, Voices);
    ASSERT_EQ(measure.size(), length);
    for (const std::int16_t sample : measure) ASSERT_LE(std::abs(sample), 26213);
  }
}

}  // namespace
