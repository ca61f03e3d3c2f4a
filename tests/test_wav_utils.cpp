// Measure synthesis and the WAV image.
#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <limits>
#include <map>
#include <numeric>
#include <random>
#include <string>
#include <thread>

#include "audio/uWavUtils.h"

namespace {

// A voice recording as the resources hold one: canonical header, then samples.
std::vector<std::uint8_t> VoiceFixture(const std::vector<std::int16_t>& samples, std::uint32_t claimedBytes) {
  TMemoryStream s;
  WriteWav(s, samples, 0);
  std::vector<std::uint8_t> bytes = s.bytes;
  for (int k = 0; k < 4; ++k) bytes[40 + k] = static_cast<std::uint8_t>(claimedBytes >> (8 * k));
  return bytes;
}

// Voices 0..8, each a ramp 1, 2, 3, ... of 100 + voice samples.
struct TFixtureVoices {
  std::map<std::string, std::vector<std::uint8_t>, std::less<>> files;
  TFixtureVoices() {
    for (std::size_t v = 0; v < VoiceTable.size(); ++v) {
      std::vector<std::int16_t> ramp(100 + v);
      std::iota(ramp.begin(), ramp.end(), std::int16_t{1});
      files[std::string(VoiceTable[v].resource)] = VoiceFixture(ramp, static_cast<std::uint32_t>(2 * ramp.size()));
    }
  }
  TResourceReader Reader() {
    return [this](std::string_view name) -> std::optional<std::span<const std::uint8_t>> {
      const auto it = files.find(name);
      if (it == files.end()) return std::nullopt;
      return std::span<const std::uint8_t>(it->second);
    };
  }
};

TNote Sine(std::uint16_t offset, std::uint16_t length = 2, float tone = 440.0f, float loudness = 0.5f) {
  TNote n = DefaultNote(offset);
  n.length = length;
  n.tone = tone;
  n.loudness = loudness;
  return n;
}

TNote Voice(std::uint16_t offset, std::uint16_t type) {
  TNote n = DefaultNote(offset);
  n.n_type = type;
  return n;
}

TWav4416MI Render(const TNotes& notes, int beats = 4, int bpm = 120) {
  TFixtureVoices voices;
  return RenderMeasure(notes, MeasureLength(beats, bpm), bpm, voices.Reader());
}

TEST(MeasureLength, BeatsAndTempo) {
  const struct {
    int beats, bpm;
    std::uint32_t samples;
  } cases[] = {{4, 120, 88200}, {3, 240, 33075}, {8, 60, 352800}, {4, 97, 109113}, {6, 180, 88200}};
  for (const auto& c : cases) EXPECT_EQ(MeasureLength(c.beats, c.bpm), c.samples) << c.beats << "/" << c.bpm;
}

TEST(SixteenthsToSamples, TruncatesEachConversion) {
  const struct {
    std::uint16_t sixteenths;
    int bpm;
    std::uint32_t samples;
  } cases[] = {{16, 120, 22050}, {2, 120, 2756}, {13, 120, 17915}, {64, 120, 88200},
               {0, 120, 0},      {1, 97, 1704},  {48, 240, 33075}, {128, 60, 352800}};
  for (const auto& c : cases) EXPECT_EQ(SixteenthsToSamples(c.sixteenths, c.bpm), c.samples) << c.sixteenths;
}

TEST(AddSine, BurstAtPhaseZeroForCountSamples) {
  TWav4416MS mix(1000, 0.0f);
  AddSine(mix, 100, 440.0f, 50, 0.5f);
  for (int i = 0; i < 100; ++i) ASSERT_EQ(mix[i], 0.0f) << i;
  for (int i = 150; i < 1000; ++i) ASSERT_EQ(mix[i], 0.0f) << i;
  EXPECT_EQ(mix[100], 0.0f);  // sin 0
  for (int i = 1; i < 50; ++i)
    EXPECT_NEAR(mix[100 + i], 0.5 * 32767 * std::sin(2 * M_PI * 440 * i / 44100), 0.01) << i;
}

TEST(AddSine, WrapsAroundTheMeasureAndOnlyThere) {
  // A burst that starts near the end continues the same sine from sample 0.
  TWav4416MS wrapped(1000, 0.0f), straight(2000, 0.0f);
  AddSine(wrapped, 990, 523.251f, 30, 0.8f);
  AddSine(straight, 990, 523.251f, 30, 0.8f);
  for (int i = 0; i < 30; ++i) EXPECT_EQ(wrapped[(990 + i) % 1000], straight[990 + i]) << i;
  for (int i = 20; i < 990; ++i) ASSERT_EQ(wrapped[i], 0.0f) << i;

  // Notes from a pattern file may start or last beyond the measure: the start is taken
  // modulo its length, and the burst is cut at one measure instead of going round onto itself.
  for (const float tone : {440.0f, 500.0f}) {
    TWav4416MS far(100, 0.0f), straight(1234 + 250, 0.0f);
    AddSine(far, 1234, tone, 250, 1.0f);  // from 34, 100 samples of the 250
    AddSine(straight, 1234, tone, 250, 1.0f);
    for (int i = 0; i < 100; ++i) EXPECT_EQ(far[(34 + i) % 100], straight[1234 + i]) << tone << " " << i;
  }
}

TEST(RenderMeasure, NoteAtTheEndOfTheMeasureSoundsFromItsStart) {
  EXPECT_EQ(Render({Sine(64)}), Render({Sine(0)}));
  EXPECT_EQ(Render({Sine(48, 2), Sine(64, 13, 880.0f)}), Render({Sine(48, 2), Sine(0, 13, 880.0f)}));
}

TEST(RenderMeasure, LongNoteTwoSixteenthsBeforeTheEndWraps) {
  const TWav4416MI wrapped = Render({Sine(62, 13)});
  const std::uint32_t start = SixteenthsToSamples(62, 120), n = 88200, count = 17915;
  ASSERT_EQ(start, 85443u);
  // The same burst rendered where it fits, in a measure twice as long, then folded.
  TWav4416MS straight(2 * n, 0.0f);
  AddSine(straight, start, 440.0f, count, 0.5f);
  TWav4416MS folded(n, 0.0f);
  for (std::uint32_t i = 0; i < 2 * n; ++i) folded[i % n] += straight[i];
  TWav4416MI expected(n);
  NormalizeWav(folded, expected);
  EXPECT_EQ(wrapped, expected);
  EXPECT_NE(wrapped[100], 0);  // the tail sounds at the start of the measure
  EXPECT_EQ(wrapped[count - (n - start) + 10], 0);
}

// A note from a file may last up to four measures: one measure of it sounds, once.
TEST(RenderMeasure, BurstCutAtOneMeasure) {
  // 64 sixteenths at 120 BPM are exactly the measure; offset 100 is offset 36 one measure on.
  for (const float tone : {440.0f, 500.0f, ToneFreqs.back()}) {
    SCOPED_TRACE(tone);
    EXPECT_EQ(Render({Sine(0, 256, tone)}), Render({Sine(0, 64, tone)}));
    EXPECT_EQ(Render({Sine(100, 256, tone), Sine(3, 13, tone)}), Render({Sine(36, 64, tone), Sine(3, 13, tone)}));
    EXPECT_EQ(Render({Sine(511, 512, tone)}, 8, 60), Render({Sine(127, 128, tone)}, 8, 60));
  }
}

// The measure as the rules of synthesis define it, written plainly: every burst computed
// whole for its note, the single wrap, the peak scaling. Good for every note the editor makes.
TWav4416MI ReferenceMeasure(const TNotes& notes, int beats, int bpm, const TResourceReader& reader) {
  const auto n = static_cast<std::uint32_t>(static_cast<double>(beats * 2646000) / bpm);
  const auto samplesOf = [&](std::uint16_t sixteenths) {
    return static_cast<std::uint32_t>(static_cast<double>(static_cast<std::uint32_t>(sixteenths) * 2646000u) /
                                      (bpm * 16));
  };
  const auto wrap = [&](std::uint32_t index) { return index > n - 1 ? index - n : index; };
  std::vector<float> mix(n, 0.0f);
  for (const TNote& note : notes) {
    const std::uint32_t start = samplesOf(note.offset);
    if (note.n_type == 0) {
      const std::uint32_t count = samplesOf(note.length);
      for (std::uint32_t i = 0; i < count; ++i) {
        const double value = static_cast<double>(note.loudness) * 32767.0 *
                             std::sin(static_cast<double>(note.tone) * 6.283185307179586 * i / 44100.0);
        float& m = mix[wrap(start + i)];
        m = static_cast<float>(static_cast<double>(m) + value);
      }
    } else {
      const auto bytes = *reader(VoiceTable[note.n_type - 1u].resource);
      std::uint32_t count = (bytes[40] | bytes[41] << 8 | bytes[42] << 16 | static_cast<std::uint32_t>(bytes[43]) << 24) / 2;
      count = std::min(count, n);
      for (std::uint32_t i = 0; i < count; ++i) {
        const auto sample = static_cast<std::int16_t>(bytes[44 + 2 * i] | bytes[45 + 2 * i] << 8);
        float& m = mix[wrap(start + i)];
        m = static_cast<float>(static_cast<double>(m) + sample);
      }
    }
  }
  float hi = 0.0f, lo = 0.0f;
  for (float x : mix) {
    if (x > hi) hi = x;
    if (x < lo) lo = x;
  }
  const float peak = -lo > hi ? -lo : hi;
  TWav4416MI out(n, 0);
  if (peak != 0.0f)
    for (std::uint32_t i = 0; i < n; ++i)
      out[i] = static_cast<std::int16_t>(std::trunc(static_cast<double>(mix[i]) * (0.8 * 32767) / peak));
  return out;
}

// Every kind of measure the editor makes renders bit for bit as the plain arithmetic does,
// again and again (values kept between builds must not change what a build makes): every
// time signature at slow, odd and fast tempos; every tone, both lengths, every loudness,
// voices; offsets from the start to the end of the measure, with bursts wrapping round it.
TEST(RenderMeasure, EditorMeasuresBitExact) {
  TFixtureVoices voices;
  int made = 0;
  for (const int bpm : {60, 97, 120, 240}) {
    for (const int beats : TimeSigBeats) {
      const int last = 16 * beats;
      for (int variant = 0; variant < 3; ++variant) {
        TNotes notes;
        for (int k = 0; k < 2 * beats; ++k, ++made) {
          TNote n;
          // The end of the measure, two before it (a long burst wraps), and spread between.
          n.offset = static_cast<std::uint16_t>(k == 0 ? last : k == 1 ? last - 2 : (k * 7 + variant * 5) % (last + 1));
          n.tone = ToneFreqs[static_cast<std::size_t>(made % 15)];
          n.length = static_cast<std::uint16_t>(NoteLengths[static_cast<std::size_t>((made / 2 + variant) % 2)]);
          n.loudness = LoudnessLevels[static_cast<std::size_t>(made % 4)];
          if (variant == 2 && k % 3 == 2) n.n_type = static_cast<std::uint16_t>(1 + made % 9);
          notes.push_back(n);
        }
        SCOPED_TRACE(std::to_string(beats) + " beats at " + std::to_string(bpm) + " BPM, variant " +
                     std::to_string(variant));
        const TWav4416MI expected = ReferenceMeasure(notes, beats, bpm, voices.Reader());
        for (int again = 0; again < 2; ++again) {
          const TWav4416MI got = RenderMeasure(notes, MeasureLength(beats, bpm), bpm, voices.Reader());
          ASSERT_EQ(got.size(), expected.size());
          const auto differs = std::mismatch(got.begin(), got.end(), expected.begin());
          ASSERT_TRUE(differs.first == got.end())
              << "first difference at sample " << (differs.first - got.begin()) << ": " << *differs.first
              << " instead of " << *differs.second;
        }
      }
    }
  }
}

// ---- The render as it was before it mixed in blocks and SSE2 ------------------------------------
// Kept as written then, as the yardstick of the faster one: note after note over the whole
// mix, one sample at a time, with every bounds check in the loop. Only the table of kept
// sines is left out: its values are these same sin() calls.
namespace note_by_note {

std::size_t Next(std::size_t index, std::size_t length) { return ++index == length ? 0 : index; }

double SineAt(double step, std::uint32_t i) { return std::sin(step * i / 44100.0); }

std::uint32_t ReadU32(std::span<const std::uint8_t> bytes, std::size_t at) {
  std::uint32_t value = 0;
  for (std::size_t k = 0; k < 4; ++k)
    if (at + k < bytes.size()) value |= static_cast<std::uint32_t>(bytes[at + k]) << (8 * k);
  return value;
}

std::uint16_t ReadU16(std::span<const std::uint8_t> bytes, std::size_t at) {
  std::uint16_t value = 0;
  for (std::size_t k = 0; k < 2; ++k)
    if (at + k < bytes.size()) value |= static_cast<std::uint16_t>(bytes[at + k] << (8 * k));
  return value;
}

void AddSine(TWav4416MS& mix, std::uint32_t start, float tone, std::uint32_t count, float loudness) {
  if (mix.empty()) return;
  const auto length = static_cast<std::uint32_t>(mix.size());
  count = std::min(count, length);
  const double step = static_cast<double>(tone) * 6.283185307179586;
  const double level = static_cast<double>(loudness) * 32767.0;
  std::size_t index = start % length;
  for (std::uint32_t i = 0; i < count; ++i, index = Next(index, length))
    mix[index] = static_cast<float>(static_cast<double>(mix[index]) + level * SineAt(step, i));
}

void AddVoice(TWav4416MS& mix, std::int32_t voice, std::uint32_t start, const TResourceReader& reader) {
  const std::string_view name = VoiceTable.at(static_cast<std::size_t>(voice)).resource;
  const auto resource = reader(name);
  if (!resource) throw std::runtime_error("voice resource " + std::string(name) + " not found");
  const std::span<const std::uint8_t> bytes = *resource;
  std::uint32_t n = ReadU32(bytes, 40) / 2;
  if (n > mix.size()) n = static_cast<std::uint32_t>(mix.size());
  if (mix.empty()) return;
  std::size_t index = start % mix.size();
  for (std::uint32_t i = 0; i < n; ++i, index = Next(index, mix.size())) {
    const std::size_t at = WavHeaderSize + 2 * static_cast<std::size_t>(i);
    const auto sample = at + 1 < bytes.size() ? static_cast<std::int16_t>(ReadU16(bytes, at)) : std::int16_t{0};
    mix[index] = static_cast<float>(static_cast<double>(mix[index]) + sample);
  }
}

void NormalizeWav(const TWav4416MS& mix, TWav4416MI& samples) {
  float hi = 0.0f, lo = 0.0f;
  for (float x : mix) {
    if (x > hi) hi = x;
    if (x < lo) lo = x;
  }
  const float peak = -lo > hi ? -lo : hi;
  if (peak == 0.0f) {
    std::fill(samples.begin(), samples.end(), std::int16_t{0});
    return;
  }
  for (std::size_t i = 0; i < mix.size(); ++i) {
    const double scaled = std::trunc(static_cast<double>(mix[i]) * NormalizedPeak / peak);
    samples[i] = std::isfinite(scaled) ? static_cast<std::int16_t>(scaled) : std::int16_t{0};
  }
}

TWav4416MI RenderMeasure(const TNotes& notes, std::uint32_t length, std::int32_t tpCount,
                         const TResourceReader& reader) {
  TWav4416MI samples(length);
  TWav4416MS mix(length, 0.0f);
  for (const TNote& note : notes) {
    const std::uint32_t start = SixteenthsToSamples(note.offset, tpCount);
    if (note.n_type == 0)
      AddSine(mix, start, note.tone, SixteenthsToSamples(note.length, tpCount), note.loudness);
    else
      AddVoice(mix, note.n_type - 1, start, reader);
  }
  NormalizeWav(mix, samples);
  return samples;
}

}  // namespace note_by_note

// Voices of full-scale noise, both extremes among them, of lengths that end anywhere within
// a group of samples: one whose header claims more than it holds, one that ends in half a
// sample, one whose header claims less, one longer than the shortest measure.
struct TNoisyVoices : TFixtureVoices {
  TNoisyVoices() {
    std::mt19937 random(4416);
    for (std::size_t v = 0; v < VoiceTable.size(); ++v) {
      std::vector<std::int16_t> noise(v == 8 ? 40000 : 3001 + 1237 * v);
      for (auto& sample : noise) sample = static_cast<std::int16_t>(random());
      noise[1] = -32768;
      noise[2] = 32767;
      std::uint32_t claimed = static_cast<std::uint32_t>(2 * noise.size());
      if (v == 1) claimed += 2000;
      if (v == 4) claimed /= 2;
      auto& file = files[std::string(VoiceTable[v].resource)] = VoiceFixture(noise, claimed);
      if (v == 2) {
        file.push_back(0x7f);
        file[40] = static_cast<std::uint8_t>(file[40] + 2);  // claims the half sample too
      }
    }
  }
};

::testing::AssertionResult SameSamples(const TWav4416MI& got, const TWav4416MI& expected) {
  if (got.size() != expected.size())
    return ::testing::AssertionFailure() << got.size() << " samples instead of " << expected.size();
  const auto differs = std::mismatch(got.begin(), got.end(), expected.begin());
  if (differs.first == got.end()) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "first difference at sample " << (differs.first - got.begin()) << ": "
                                       << *differs.first << " instead of " << *differs.second;
}

// Renders twice (the second build finds the kept sines and mix buffer the first one left)
// and compares both with the note-by-note render. True when the measure is not silence.
bool ExpectAsNoteByNote(const TNotes& notes, int beats, int bpm, const TResourceReader& reader) {
  const std::uint32_t length = MeasureLength(beats, bpm);
  const TWav4416MI expected = note_by_note::RenderMeasure(notes, length, bpm, reader);
  for (int again = 0; again < 2; ++again)
    EXPECT_TRUE(SameSamples(RenderMeasure(notes, length, bpm, reader), expected)) << "build " << again + 1;
  return std::any_of(expected.begin(), expected.end(), [](std::int16_t s) { return s != 0; });
}

// A table of the measures the editor makes, at every time signature and at slow, odd and
// fast tempos: sixteen notes of fifteen tones (long, short, both), every loudness with None
// among them, voices, notes on the measure's last sixteenth and just before it (long bursts
// wrap round), all notes on one sixteenth (the order of the sums shows), silent measures.
TEST(RenderMeasure, BitExactWithTheNoteByNoteRenderForEditorMeasures) {
  TNoisyVoices voices;
  const TResourceReader reader = voices.Reader();
  int sounding = 0, cases = 0;
  for (const int beats : TimeSigBeats) {
    const int last = 16 * beats;  // the offset the editor gives a new note
    for (const int bpm : {60, 61, 120, 173, 240}) {
      const auto make = [&](auto note) {
        TNotes notes;
        for (int k = 0; k < 16; ++k) notes.push_back(note(k));
        return notes;
      };
      const auto sine = [](int offset, int tone, int length, int loudness) {
        TNote n = DefaultNote(static_cast<std::uint16_t>(offset));
        n.tone = ToneFreqs[static_cast<std::size_t>(tone % 15)];
        n.length = static_cast<std::uint16_t>(NoteLengths[static_cast<std::size_t>(length % 2)]);
        n.loudness = LoudnessLevels[static_cast<std::size_t>(loudness % 4)];
        return n;
      };
      const auto voice = [](int offset, int type) {
        TNote n = DefaultNote(static_cast<std::uint16_t>(offset));
        n.n_type = static_cast<std::uint16_t>(1 + type % 9);
        return n;
      };
      const struct {
        const char* what;
        TNotes notes;
      } table[] = {
          {"fifteen tones, long, spread", make([&](int k) { return sine(k * beats, k, 1, k); })},
          {"fifteen tones, short, spread", make([&](int k) { return sine(k * beats, k, 0, k + 1); })},
          {"fifteen tones, both lengths, two per beat",
           make([&](int k) { return sine(8 * k % (last + 1), 29 - k, k / 3, k / 2); })},
          {"at the end and just before it",
           make([&](int k) { return sine(k % 3 == 0 ? last : k % 3 == 1 ? last - 2 : last - 1 - k, k, k / 2, k); })},
          {"all on the last sixteenth", make([&](int k) { return sine(last, k, k, k + 2); })},
          {"all on the first sixteenth", make([&](int k) { return sine(0, 15 - k, k + 1, k); })},
          {"voices and sines",
           make([&](int k) { return k % 2 ? voice(k * beats + 3, k) : sine(k * beats, k, k / 2, k / 2); })},
          {"voices only, the last on the end", make([&](int k) { return voice(k == 15 ? last : 5 * k % last, k); })},
          {"loudness None only", make([&](int k) { return sine(k * beats, k, k, 3); })},
          {"loudness None and one voice",
           make([&](int k) { return k == 7 ? voice(last - 1, 8) : sine(k * beats, k, k, 3); })},
      };
      for (const auto& c : table) {
        SCOPED_TRACE(std::string(c.what) + ": " + std::to_string(beats) + " beats at " + std::to_string(bpm) + " BPM");
        sounding += ExpectAsNoteByNote(c.notes, beats, bpm, reader);
        ++cases;
      }
    }
  }
  EXPECT_EQ(sounding, cases - 20);  // only the "None only" measures are silent
}

// Random measures from a fixed seed: as the editor makes them (up to two notes a beat, table
// values), then as files may hold them (up to 64 notes, offsets and bursts up to four
// measures, any tone and loudness the reader accepts).
TEST(RenderMeasure, BitExactWithTheNoteByNoteRenderForRandomMeasures) {
  TNoisyVoices voices;
  const TResourceReader reader = voices.Reader();
  std::mt19937_64 random(20261210);
  const auto pick = [&](int from, int to) { return std::uniform_int_distribution<int>(from, to)(random); };
  const auto real = [&](float from, float to) { return std::uniform_real_distribution<float>(from, to)(random); };
  const int tempos[] = {60, 61, 120, 173, 240};
  int sounding = 0;
  for (int round = 0; round < 160; ++round) {
    const bool file = round >= 120;
    const int beats = TimeSigBeats[static_cast<std::size_t>(pick(0, 3))];
    const int bpm = pick(0, 1) ? tempos[pick(0, 4)] : pick(MinTempo, MaxTempo);
    TNotes notes(static_cast<std::size_t>(file ? pick(0, 64) : pick(0, 2 * beats)));
    for (TNote& n : notes) {
      n.n_type = static_cast<std::uint16_t>(pick(0, 3) ? 0 : pick(1, 9));
      if (file) {
        n.offset = static_cast<std::uint16_t>(pick(0, 64 * beats - 1));
        // Mostly short bursts, so the sines that no table holds stay few.
        n.length = static_cast<std::uint16_t>(pick(0, 7) ? pick(1, 20) : pick(1, 64 * beats));
        n.tone =
            pick(0, 1) ? ToneFreqs[static_cast<std::size_t>(pick(0, 14))] : real(ToneFreqs.front(), ToneFreqs.back());
        n.loudness = pick(0, 1) ? LoudnessLevels[static_cast<std::size_t>(pick(0, 3))] : real(0.0f, 1.0f);
      } else {
        n.offset = static_cast<std::uint16_t>(pick(0, 16 * beats));
        n.length = static_cast<std::uint16_t>(NoteLengths[static_cast<std::size_t>(pick(0, 1))]);
        n.tone = ToneFreqs[static_cast<std::size_t>(pick(0, 14))];
        n.loudness = LoudnessLevels[static_cast<std::size_t>(pick(0, 3))];
      }
    }
    SCOPED_TRACE("round " + std::to_string(round) + ": " + std::to_string(notes.size()) + " notes, " +
                 std::to_string(beats) + " beats at " + std::to_string(bpm) + " BPM");
    sounding += ExpectAsNoteByNote(notes, beats, bpm, reader);
    if (HasFailure()) return;
  }
  EXPECT_GT(sounding, 140);
}

// Values that neither the editor nor the file reader lets through still render as they did:
// no-number and infinite tones and loudness, a loudness that overflows the float mix,
// negative ones, one so small the mix holds only subnormal numbers, an infinite tone at
// loudness None (no number times 0), measures of a few samples.
TEST(RenderMeasure, BitExactWithTheNoteByNoteRenderForValuesNoPatternHolds) {
  TNoisyVoices voices;
  const TResourceReader reader = voices.Reader();
  const float nan = std::numeric_limits<float>::quiet_NaN(), inf = std::numeric_limits<float>::infinity();
  const struct {
    float tone, loudness;
  } odd[] = {{nan, 0.5f}, {inf, 0.5f}, {440.0f, nan}, {440.0f, inf}, {440.0f, 3e38f}, {440.0f, -0.7f},
             {-523.251f, 0.8f}, {0.0f, 0.8f}, {440.0f, 1e-44f}, {30000.0f, 1.0f}, {inf, 0.0f}};
  for (std::size_t k = 0; k < std::size(odd); ++k) {
    SCOPED_TRACE(k);
    TNote strange = Sine(10, 2, odd[k].tone, odd[k].loudness);
    const TNotes alone{strange}, among{Sine(0, 13), strange, Voice(30, 4), Sine(40, 2, 880.0f, 0.3f)};
    ExpectAsNoteByNote(alone, 3, 240, reader);
    ExpectAsNoteByNote(among, 3, 240, reader);
    // Measures shorter than a group of samples, or than the notes' offsets.
    for (const std::uint32_t length : {1u, 3u, 7u, 9u, 4097u}) {
      EXPECT_TRUE(SameSamples(RenderMeasure(among, length, 240, reader),
                              note_by_note::RenderMeasure(among, length, 240, reader)))
          << length << " samples";
    }
  }
  EXPECT_TRUE(SameSamples(RenderMeasure(TNotes{Sine(0)}, 0, 120, reader), TWav4416MI{}));
}

// Floats equal bit for bit, or both no number (which NaN a sum keeps is the processor's choice).
bool SameFloat(float a, float b) {
  return std::bit_cast<std::uint32_t>(a) == std::bit_cast<std::uint32_t>(b) || (std::isnan(a) && std::isnan(b));
}

// A mix of anything: ordinary values, both zeros, subnormals, values at and just below
// k / 26213.6 of 3 (near whole numbers once scaled, when 3 is the peak); unless `finite`,
// also no numbers, infinities and the largest floats.
TWav4416MS StrangeMix(std::mt19937& random, std::size_t n, bool finite) {
  TWav4416MS mix(n);
  for (float& x : mix) {
    switch (random() % (finite ? 6 : 9)) {
      case 0: x = 0.0f; break;
      case 1: x = -0.0f; break;
      case 2:
        x = std::bit_cast<float>(static_cast<std::uint32_t>(random() % 0x00800000u | (random() & 0x80000000u)));
        break;
      case 3: x = std::nextafter(static_cast<float>(random() % 26214) / 26213.6f * 3.0f, 0.0f); break;
      case 4: x = static_cast<float>(random() % 26214) / 26213.6f * 3.0f; break;
      case 5: x = std::uniform_real_distribution<float>(-1000.0f, 1000.0f)(random); break;
      case 6: x = std::numeric_limits<float>::quiet_NaN(); break;
      case 7:
        x = random() % 2 ? std::numeric_limits<float>::infinity() : -std::numeric_limits<float>::infinity();
        break;
      default: x = random() % 2 ? std::numeric_limits<float>::max() : -std::numeric_limits<float>::max(); break;
    }
  }
  return mix;
}

// The parts of a build one by one, on mixes of every length up to a few groups of samples and
// anything in them: each sample ends up as the note-by-note arithmetic leaves it.
TEST(AddSine, BitExactWithTheNoteByNoteRenderOnAnyMix) {
  std::mt19937 random(441);
  for (int round = 0; round < 400; ++round) {
    const std::size_t n = round < 300 ? 1 + round % 50 : 1 + random() % 40000;
    const TWav4416MS before = StrangeMix(random, n, round % 2 == 0);
    const auto start = static_cast<std::uint32_t>(random() % (3 * n + 1));
    const auto count = static_cast<std::uint32_t>(round % 7 == 0 ? n + random() % (2 * n) : random() % (n + 1));
    const float tone = round % 3 ? ToneFreqs[random() % 15] : 200.0f + static_cast<float>(random() % 100000) / 97.0f;
    const float loudness = round % 5 ? LoudnessLevels[random() % 4] : static_cast<float>(random() % 1000) / 999.0f;
    TWav4416MS got = before, expected = before;
    AddSine(got, start, tone, count, loudness);
    note_by_note::AddSine(expected, start, tone, count, loudness);
    for (std::size_t i = 0; i < n; ++i)
      ASSERT_TRUE(SameFloat(got[i], expected[i]))
          << "round " << round << ", sample " << i << " of " << n << ": " << got[i] << " instead of " << expected[i];
  }
}

TEST(AddVoice, BitExactWithTheNoteByNoteRenderOnAnyMix) {
  TNoisyVoices voices;
  const TResourceReader reader = voices.Reader();
  std::mt19937 random(442);
  for (int round = 0; round < 300; ++round) {
    const std::size_t n = round < 200 ? 1 + round % 50 : 1 + random() % 50000;
    const TWav4416MS before = StrangeMix(random, n, round % 2 == 0);
    const auto start = static_cast<std::uint32_t>(random() % (3 * n + 1));
    const auto voice = static_cast<std::int32_t>(random() % 9);
    TWav4416MS got = before, expected = before;
    AddVoice(got, voice, start, reader);
    note_by_note::AddVoice(expected, voice, start, reader);
    for (std::size_t i = 0; i < n; ++i)
      ASSERT_TRUE(SameFloat(got[i], expected[i]))
          << "round " << round << ", voice " << voice << ", sample " << i << " of " << n;
  }
}

TEST(NormalizeWav, BitExactWithTheNoteByNoteRenderOnAnyMix) {
  std::mt19937 random(443);
  for (int round = 0; round < 450; ++round) {
    const std::size_t n = round < 400 ? round % 41 : random() % 100000;
    const TWav4416MS mix = StrangeMix(random, n, round % 3 != 0);
    TWav4416MI got(n, 99), expected(n, 99);
    NormalizeWav(mix, got);
    note_by_note::NormalizeWav(mix, expected);
    ASSERT_TRUE(SameSamples(got, expected)) << "round " << round;
  }
}

// Samples whose scaled value is a whole number exactly: any shortcut that rounds differently
// from the one division (say, multiplying by the peak's reciprocal) truncates them one lower.
// Such pairs are rare; these were found by search. At every place within a group of samples.
TEST(NormalizeWav, ScaledValuesOnWholeNumbersAtEveryPlace) {
  const struct {
    float peak, sample;
  } onWholeNumbers[] = {{0x1.610564p+0f, 0x1.7a3ca2p-1f},  {0x1.5a7104p+6f, 0x1.732ff2p+5f},
                        {0x1.871fd2p-16f, 0x1.7a81e4p-19f}, {0x1.871fd2p-16f, 0x1.7a81e4p-16f},
                        {0x1.de6a38p-14f, 0x1.81d188p-16f}, {0x1.de6a38p-14f, 0x1.a8667cp-14f},
                        {0x1.2bbfa8p-15f, 0x1.6a9964p-16f}};
  for (const auto& pair : onWholeNumbers) {
    const double scaled = static_cast<double>(pair.sample) * NormalizedPeak / pair.peak;
    ASSERT_EQ(scaled, std::trunc(scaled)) << pair.sample;  // the premise of the case
    for (const float sign : {1.0f, -1.0f}) {
      for (std::size_t at = 0; at < 17; ++at) {
        TWav4416MS mix(17, 0.25f * pair.sample);
        mix[(at + 9) % 17] = sign * pair.peak;
        mix[at] = sign * pair.sample;
        TWav4416MI got(17), expected(17);
        NormalizeWav(mix, got);
        note_by_note::NormalizeWav(mix, expected);
        ASSERT_TRUE(SameSamples(got, expected)) << pair.sample << " at " << at;
        ASSERT_EQ(std::abs(got[at]), static_cast<int>(scaled));
      }
    }
  }
}

// The kept mix buffer serves one build at a time; builds in other threads meanwhile must
// neither see nor spoil it.
TEST(RenderMeasure, BuildsInSeveralThreadsAtOnce) {
  TNoisyVoices voices;
  const TResourceReader reader = voices.Reader();
  std::vector<TNotes> patterns;
  for (int t = 0; t < 3; ++t) {
    TNotes notes;
    for (int k = 0; k < 16; ++k)
      notes.push_back(k % 4 == 3 ? Voice(static_cast<std::uint16_t>(8 * k), static_cast<std::uint16_t>(1 + (k + t) % 9))
                                 : Sine(static_cast<std::uint16_t>(8 * k + t), 13, ToneFreqs[(k + 5 * t) % 15],
                                        LoudnessLevels[(k + t) % 3]));
    patterns.push_back(notes);
  }
  std::vector<TWav4416MI> expected;
  for (const TNotes& notes : patterns)
    expected.push_back(note_by_note::RenderMeasure(notes, MeasureLength(8, 60), 60, reader));
  std::vector<int> wrong(patterns.size(), 0);
  std::vector<std::thread> threads;
  for (std::size_t t = 0; t < patterns.size(); ++t)
    threads.emplace_back([&, t] {
      for (int again = 0; again < 12; ++again)
        wrong[t] += RenderMeasure(patterns[t], MeasureLength(8, 60), 60, reader) != expected[t];
    });
  for (std::thread& t : threads) t.join();
  EXPECT_EQ(wrong, std::vector<int>(patterns.size(), 0));
}

// Making the kept values ahead changes nothing a build makes, whenever it happens.
TEST(RenderMeasure, PreparedOrNotTheSame) {
  TNoisyVoices voices;
  const TResourceReader reader = voices.Reader();
  TNotes notes;
  for (int k = 0; k < 16; ++k) notes.push_back(Sine(static_cast<std::uint16_t>(8 * k), 13, ToneFreqs[k % 15]));
  notes[4] = Voice(32, 6);
  const TWav4416MI expected = note_by_note::RenderMeasure(notes, MeasureLength(8, 60), 60, reader);
  std::thread preparing(PrepareRendering);
  const TWav4416MI meanwhile = RenderMeasure(notes, MeasureLength(8, 60), 60, reader);
  preparing.join();
  PrepareRendering();
  EXPECT_TRUE(SameSamples(meanwhile, expected));
  EXPECT_TRUE(SameSamples(RenderMeasure(notes, MeasureLength(8, 60), 60, reader), expected));
}

TEST(RenderMeasure, NotesAtOneOffsetAdd) {
  TWav4416MS one(3000, 0.0f), two(3000, 0.0f);
  AddSine(one, 0, 440.0f, 2756, 0.3f);
  AddSine(two, 0, 440.0f, 2756, 0.3f);
  AddSine(two, 0, 440.0f, 2756, 0.3f);
  for (int i = 0; i < 2756; ++i) EXPECT_EQ(two[i], static_cast<float>(static_cast<double>(one[i]) * 2)) << i;
  // Louder in the mix, but the measure is scaled to the same peak.
  const TWav4416MI a = Render({Sine(16, 2, 440.0f, 0.3f)});
  const TWav4416MI b = Render({Sine(16, 2, 440.0f, 0.3f), Sine(16, 2, 440.0f, 0.3f)});
  for (std::size_t i = 0; i < a.size(); ++i) ASSERT_LE(std::abs(a[i] - b[i]), 1) << i;
}

TEST(RenderMeasure, LoudnessSetsBalanceNotLevel) {
  const TWav4416MI loud = Render({Sine(0, 2, 440.0f, 0.8f)});
  const TWav4416MI soft = Render({Sine(0, 2, 440.0f, 0.3f)});
  for (std::size_t i = 0; i < loud.size(); ++i) ASSERT_LE(std::abs(loud[i] - soft[i]), 1) << i;
  const auto peak = [](const TWav4416MI& s, std::size_t from, std::size_t to) {
    int p = 0;
    for (std::size_t i = from; i < to; ++i) p = std::max(p, std::abs(int{s[i]}));
    return p;
  };
  EXPECT_EQ(peak(loud, 0, loud.size()), 26213);

  const TWav4416MI both = Render({Sine(0, 2, 440.0f, 0.8f), Sine(32, 2, 440.0f, 0.3f)});
  EXPECT_EQ(peak(both, 0, 3000), 26213);
  EXPECT_NEAR(peak(both, 44100, 47000) / 26213.0, 0.3 / 0.8, 0.0001);
}

TEST(RenderMeasure, SilenceWhenNothingSounds) {
  const TWav4416MI zeros(88200, 0);
  EXPECT_EQ(Render({}), zeros);
  EXPECT_EQ(Render({Sine(0, 13, 440.0f, 0.0f), Sine(16, 2, 880.0f, 0.0f)}), zeros);
  EXPECT_EQ(Render({}, 8, 60).size(), 352800u);
}

TEST(RenderMeasure, VoiceNotesIgnoreToneLengthAndLoudness) {
  TNote voice = Voice(16, 3);
  const TWav4416MI plain = Render({voice, Sine(0)});
  voice.tone = 1046.502f;
  voice.length = 13;
  voice.loudness = 0.0f;
  EXPECT_EQ(Render({voice, Sine(0)}), plain);
}

TEST(AddVoice, AddsTheRecordingAtItsLevel) {
  TFixtureVoices voices;
  TWav4416MS mix(1000, 0.5f);
  AddVoice(mix, 2, 990, voices.Reader());  // 102 samples: 1..102, wrapping after 10
  for (int i = 0; i < 10; ++i) EXPECT_EQ(mix[990 + i], 0.5f + i + 1) << i;
  for (int i = 10; i < 102; ++i) EXPECT_EQ(mix[i - 10], 0.5f + i + 1) << i;
  EXPECT_EQ(mix[92], 0.5f);
}

TEST(AddVoice, ShortResourcesAndLongVoices) {
  TFixtureVoices voices;
  // A header that claims more samples than the resource holds: the rest read as 0.
  voices.files["EN_NUM0_01"] = VoiceFixture({7, 8, 9}, 20);
  TWav4416MS mix(50, 0.0f);
  AddVoice(mix, 0, 0, voices.Reader());
  EXPECT_EQ(mix[0], 7.0f);
  EXPECT_EQ(mix[2], 9.0f);
  EXPECT_EQ(mix[3], 0.0f);
  // A voice longer than the measure is cut to one measure, not wrapped onto itself.
  TWav4416MS tiny(40, 0.0f);
  AddVoice(tiny, 5, 0, voices.Reader());  // 105 samples 1..105
  for (int i = 0; i < 40; ++i) EXPECT_EQ(tiny[i], static_cast<float>(i + 1)) << i;
  // Hardly a header at all: no samples.
  voices.files["EN_NUM0_02"] = {'R', 'I', 'F', 'F'};
  TWav4416MS untouched(10, 0.0f);
  AddVoice(untouched, 1, 0, voices.Reader());
  EXPECT_EQ(untouched, TWav4416MS(10, 0.0f));
}

TEST(AddVoice, MissingResourceFailsTheBuild) {
  TFixtureVoices voices;
  voices.files.erase("JA_NUM0_04");
  TWav4416MS mix(100, 0.0f);
  EXPECT_THROW(AddVoice(mix, 8, 0, voices.Reader()), std::runtime_error);
  EXPECT_THROW(RenderMeasure({Sine(0), Voice(16, 9)}, 88200, 120, voices.Reader()), std::runtime_error);
}

TEST(NormalizeWav, ScalesByThePeakOfEitherSign) {
  EXPECT_EQ(NormalizedPeak, 26213.600000000002);
  TWav4416MS mix{0.0f, 100.0f, -200.0f, 50.0f, -0.01f};
  TWav4416MI out(mix.size());
  NormalizeWav(mix, out);
  EXPECT_EQ(out, (TWav4416MI{0, 13106, -26213, 6553, -1}));
  mix = {3.0f, -1.5f};
  out.assign(2, 99);
  NormalizeWav(mix, out);
  EXPECT_EQ(out, (TWav4416MI{26213, -13106}));
  mix = {0.0f, 0.0f};
  out.assign(2, 99);
  NormalizeWav(mix, out);
  EXPECT_EQ(out, (TWav4416MI{0, 0}));
}

TEST(WriteWav, CanonicalImageOfAMeasure) {
  TWav4416MI samples(88200);
  std::iota(samples.begin(), samples.end(), std::int16_t{-3000});
  TMemoryStream s;
  WriteWav(s, samples, 0);
  ASSERT_EQ(s.bytes.size(), 176444u);
  const auto u32 = [&](std::size_t at) {
    std::uint32_t v;
    std::memcpy(&v, s.bytes.data() + at, 4);
    return v;
  };
  EXPECT_EQ(std::string(s.bytes.begin(), s.bytes.begin() + 4), "RIFF");
  EXPECT_EQ(u32(4), 176436u);
  EXPECT_EQ(std::string(s.bytes.begin() + 8, s.bytes.begin() + 16), "WAVEfmt ");
  EXPECT_EQ(u32(16), 16u);
  EXPECT_EQ(u32(20), 0x00010001u);  // PCM, one channel
  EXPECT_EQ(u32(24), 44100u);
  EXPECT_EQ(u32(28), 88200u);
  EXPECT_EQ(u32(32), 0x00100002u);  // block 2, 16 bits
  EXPECT_EQ(std::string(s.bytes.begin() + 36, s.bytes.begin() + 40), "data");
  EXPECT_EQ(u32(40), 176400u);
  EXPECT_EQ(s.position, s.bytes.size());
  EXPECT_EQ(ReadWavImage(s.bytes), samples);
}

TEST(WriteWav, RotatedToBeginAtAnySample) {
  TWav4416MI samples(1000);
  std::iota(samples.begin(), samples.end(), std::int16_t{0});
  TMemoryStream first;
  WriteWav(first, samples, 0);
  for (std::uint32_t offset : {0u, 500u, 999u, 1500u}) {
    TMemoryStream s;
    WriteWav(s, samples, offset);
    const auto image = ReadWavImage(s.bytes);
    ASSERT_TRUE(image);
    for (std::uint32_t k = 0; k < 1000; ++k) ASSERT_EQ((*image)[k], samples[(offset + k) % 1000]) << offset;
    EXPECT_TRUE(std::equal(s.bytes.begin(), s.bytes.begin() + 40, first.bytes.begin()));
  }
  // The header alone differs between measures in its two size fields.
  TMemoryStream other;
  WriteWav(other, TWav4416MI(33075), 0);
  for (std::size_t i = 0; i < 40; ++i)
    if (i < 4 || i >= 8) {
      EXPECT_EQ(other.bytes[i], first.bytes[i]) << i;
    }
}

TEST(WriteWav, WritesAtThePosition) {
  TMemoryStream s;
  s.Write("xyz", 3);
  WriteWav(s, {1, 2}, 1);
  ASSERT_EQ(s.bytes.size(), 3u + 48u);
  EXPECT_EQ(s.bytes[3], 'R');
  EXPECT_EQ(s.bytes[47], 2);  // sample 1 first
  EXPECT_EQ(s.bytes[49], 1);
}

TEST(ReadWavImage, RefusesAnythingElse) {
  TMemoryStream good;
  WriteWav(good, {1, 2, 3, 4}, 0);
  ASSERT_TRUE(ReadWavImage(good.bytes));
  const struct {
    const char* what;
    std::size_t at;
    std::uint8_t value;
  } spoilt[] = {{"tag", 0, 'X'},       {"form", 8, 'X'},      {"fmt", 12, 'X'},  {"format", 20, 3},
                {"stereo", 22, 2},     {"rate", 24, 0x22},    {"block", 32, 4},  {"bits", 34, 8},
                {"data tag", 36, 'X'}, {"data size", 40, 10}, {"riff size", 4, 1}};
  for (const auto& s : spoilt) {
    std::vector<std::uint8_t> bytes = good.bytes;
    bytes[s.at] = s.value;
    EXPECT_FALSE(ReadWavImage(bytes)) << s.what;
  }
  std::vector<std::uint8_t> cut(good.bytes.begin(), good.bytes.end() - 2);
  EXPECT_FALSE(ReadWavImage(cut));
  EXPECT_FALSE(ReadWavImage({}));
  EXPECT_FALSE(ReadWavImage(std::span<const std::uint8_t>(good.bytes.data(), 43)));
}

}  // namespace
