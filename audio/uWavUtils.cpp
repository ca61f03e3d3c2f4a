#include "audio/uWavUtils.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstring>
#include <limits>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <string>

#if defined(__SSE2__) || defined(_M_X64)
#include <emmintrin.h>
#define TAKTOLA_SSE2 1
#endif

namespace {

constexpr double TwoPi = 6.283185307179586;

// The longest measure the window makes: 8/4 at the slowest tempo.
constexpr std::uint32_t LongestMeasure = static_cast<std::uint32_t>(
    *std::max_element(TimeSigBeats.begin(), TimeSigBeats.end()) * SamplesPerMinute / MinTempo);

// sin(tone * 2pi * i / 44100) in the order of operations that every burst uses.
inline double SineAt(double step, std::uint32_t i) { return std::sin(step * i / 44100.0); }

// The sine values of the table's tones, kept across builds: every burst the editor makes
// (13 sixteenths at the slowest tempo at most) is a prefix of one of them. At most
// 15 x 35831 doubles, 4.3 MB, made for a tone at its first use.
class TTableSines {
 public:
  std::span<const double> Of(float tone) {
    const auto it = std::find_if(ToneFreqs.begin(), ToneFreqs.end(),
                                 [&](float t) { return std::bit_cast<std::uint32_t>(t) == std::bit_cast<std::uint32_t>(tone); });
    if (it == ToneFreqs.end()) return {};
    const auto k = static_cast<std::size_t>(it - ToneFreqs.begin());
    std::call_once(FMade[k], [&] {
      const std::uint32_t count = SixteenthsToSamples(static_cast<std::uint16_t>(NoteLengths.back()), MinTempo);
      const double step = static_cast<double>(tone) * TwoPi;
      FValues[k].resize(count);
      for (std::uint32_t i = 0; i < count; ++i) FValues[k][i] = SineAt(step, i);
    });
    return FValues[k];
  }

 private:
  std::array<std::once_flag, ToneFreqs.size()> FMade;
  std::array<std::vector<double>, ToneFreqs.size()> FValues;
};

TTableSines& TableSines() {
  static TTableSines sines;
  return sines;
}

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

// ---- Per-sample arithmetic ------------------------------------------------------------------
// Each loop below does for every sample exactly what its scalar statement says. The SSE2
// forms only do several samples at once with the same IEEE operations: float to double and
// 32-bit integer to double are exact, double to float rounds to nearest as the scalar
// conversion does, and nothing is reordered. Nothing is fused either, as long as the build
// targets no FMA: with it, the compiler's default contraction would change the scalar sums
// and these alike, so such a build needs -ffp-contract=off.

#ifdef TAKTOLA_SSE2
// out[0..3] = float(double(out[0..3]) + {a, b}).
inline void AddFour(float* out, __m128d a, __m128d b) {
  const __m128 m = _mm_loadu_ps(out);
  const __m128d low = _mm_add_pd(_mm_cvtps_pd(m), a);
  const __m128d high = _mm_add_pd(_mm_cvtps_pd(_mm_movehl_ps(m, m)), b);
  _mm_storeu_ps(out, _mm_movelh_ps(_mm_cvtpd_ps(low), _mm_cvtpd_ps(high)));
}
#endif

// A burst's known sine values at their level.
void AddScaled(float* out, const double* values, std::size_t n, double level) {
  std::size_t j = 0;
#ifdef TAKTOLA_SSE2
  const __m128d l = _mm_set1_pd(level);
  for (; j + 4 <= n; j += 4)
    AddFour(out + j, _mm_mul_pd(l, _mm_loadu_pd(values + j)), _mm_mul_pd(l, _mm_loadu_pd(values + j + 2)));
#endif
  for (; j < n; ++j) out[j] = static_cast<float>(static_cast<double>(out[j]) + level * values[j]);
}

// A burst's values from item i on, computed here.
void AddComputed(float* out, std::uint32_t i, std::size_t n, double step, double level) {
  for (std::size_t j = 0; j < n; ++j, ++i)
    out[j] = static_cast<float>(static_cast<double>(out[j]) + level * SineAt(step, i));
}

// A recording's 16-bit little-endian samples.
void AddPcm(float* out, const std::uint8_t* pcm, std::size_t n) {
  std::size_t j = 0;
#ifdef TAKTOLA_SSE2
  for (; j + 8 <= n; j += 8) {
    const __m128i s = _mm_loadu_si128(reinterpret_cast<const __m128i*>(pcm + 2 * j));
    const __m128i low = _mm_srai_epi32(_mm_unpacklo_epi16(s, s), 16);  // samples 0..3, sign-extended
    const __m128i high = _mm_srai_epi32(_mm_unpackhi_epi16(s, s), 16);
    AddFour(out + j, _mm_cvtepi32_pd(low), _mm_cvtepi32_pd(_mm_unpackhi_epi64(low, low)));
    AddFour(out + j + 4, _mm_cvtepi32_pd(high), _mm_cvtepi32_pd(_mm_unpackhi_epi64(high, high)));
  }
#endif
  for (; j < n; ++j) {
    const auto sample = static_cast<std::int16_t>(pcm[2 * j] | pcm[2 * j + 1] << 8);
    out[j] = static_cast<float>(static_cast<double>(out[j]) + sample);
  }
}

// The highest and the lowest sample, each starting from 0 and replaced only by a value
// beyond it, so a NaN never counts. The order of a scan cannot change either result.
struct TPeak {
  float hi = 0.0f, lo = 0.0f;

  void Scan(const float* x, std::size_t n) {
    std::size_t j = 0;
#ifdef TAKTOLA_SSE2
    if (n >= 4) {
      // maxps(a, b) and minps(a, b) give b unless a is beyond it: the scalar rule below.
      __m128 vhi = _mm_set1_ps(hi), vlo = _mm_set1_ps(lo);
      for (; j + 4 <= n; j += 4) {
        const __m128 v = _mm_loadu_ps(x + j);
        vhi = _mm_max_ps(v, vhi);
        vlo = _mm_min_ps(v, vlo);
      }
      float lanes[8];
      _mm_storeu_ps(lanes, vhi);
      _mm_storeu_ps(lanes + 4, vlo);
      for (int k = 0; k < 4; ++k) Take(lanes[k]), Take(lanes[4 + k]);
    }
#endif
    for (; j < n; ++j) Take(x[j]);
  }
  void Take(float x) {
    if (x > hi) hi = x;
    if (x < lo) lo = x;
  }
  float Value() const { return -lo > hi ? -lo : hi; }
};

// out[j] = trunc(double(mix[j]) * NormalizedPeak / peak), for a peak that Scan found in the
// whole mix. Then every result is either no number (0 here) or below 26214 in size, since
// no sample lies beyond the peak, so truncating to a 32-bit integer gives trunc's value.
void Scale(const float* mix, std::int16_t* out, std::size_t n, float peak) {
  std::size_t j = 0;
#ifdef TAKTOLA_SSE2
  const __m128d scale = _mm_set1_pd(NormalizedPeak), divisor = _mm_set1_pd(static_cast<double>(peak));
  const __m128i noNumber = _mm_set1_epi32(std::numeric_limits<std::int32_t>::min());  // cvttpd2dq's NaN
  const auto two = [&](__m128 m) {  // the low two floats of m, scaled and truncated
    return _mm_cvttpd_epi32(_mm_div_pd(_mm_mul_pd(_mm_cvtps_pd(m), scale), divisor));
  };
  for (; j + 8 <= n; j += 8) {
    const __m128 m0 = _mm_loadu_ps(mix + j), m1 = _mm_loadu_ps(mix + j + 4);
    __m128i a = _mm_unpacklo_epi64(two(m0), two(_mm_movehl_ps(m0, m0)));
    __m128i b = _mm_unpacklo_epi64(two(m1), two(_mm_movehl_ps(m1, m1)));
    a = _mm_andnot_si128(_mm_cmpeq_epi32(a, noNumber), a);
    b = _mm_andnot_si128(_mm_cmpeq_epi32(b, noNumber), b);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + j), _mm_packs_epi32(a, b));
  }
#endif
  for (; j < n; ++j) {
    const double scaled = std::trunc(static_cast<double>(mix[j]) * NormalizedPeak / peak);
    out[j] = std::isfinite(scaled) ? static_cast<std::int16_t>(scaled) : std::int16_t{0};
  }
}

// ---- Sounds -------------------------------------------------------------------------------------

// A note's sound as it falls into a measure: `count` items from sample `at` on, going on
// from sample 0 past the end. Either a sine burst or a recording.
struct TSound {
  std::uint32_t at = 0, count = 0;
  double step = 0.0, level = 0.0;     // sine
  std::span<const double> known;      // sine: its first values, when the table has them
  const std::uint8_t* pcm = nullptr;  // recording: its samples
  std::uint32_t held = 0;             // recording: samples the resource holds in full; the rest read as 0
  bool sine = true;
};

// What sounds longer than the measure would only fall onto itself: one measure is heard.
TSound SineSound(std::uint32_t length, std::uint32_t start, float tone, std::uint32_t count, float loudness) {
  TSound s;
  s.at = start % length;
  s.count = std::min(count, length);
  s.step = static_cast<double>(tone) * TwoPi;
  s.level = static_cast<double>(loudness) * 32767.0;
  s.known = TableSines().Of(tone);
  return s;
}

// Reads the recording, so a missing one fails before anything is mixed.
TSound VoiceSound(std::uint32_t length, std::int32_t voice, std::uint32_t start, const TResourceReader& reader) {
  const std::string_view name = VoiceTable.at(static_cast<std::size_t>(voice)).resource;
  const auto resource = reader(name);
  if (!resource) throw std::runtime_error("voice resource " + std::string(name) + " not found");
  const std::span<const std::uint8_t> bytes = *resource;
  TSound s;
  s.sine = false;
  s.at = length == 0 ? 0 : start % length;
  s.count = std::min(ReadU32(bytes, 40) / 2, length);
  const std::size_t held = bytes.size() >= WavHeaderSize + 2 ? (bytes.size() - WavHeaderSize) / 2 : 0;
  s.held = static_cast<std::uint32_t>(std::min<std::size_t>(held, s.count));
  if (s.held > 0) s.pcm = bytes.data() + WavHeaderSize;
  return s;
}

// Adds items first..last-1 of the sound to `out`, which holds the place of item `first`.
void AddSoundPart(const TSound& s, float* out, std::uint32_t first, std::uint32_t last) {
  if (s.sine) {
    const auto knownEnd = static_cast<std::uint32_t>(std::clamp<std::size_t>(s.known.size(), first, last));
    if (knownEnd > first) AddScaled(out, s.known.data() + first, knownEnd - first, s.level);
    AddComputed(out + (knownEnd - first), knownEnd, last - knownEnd, s.step, s.level);
  } else {
    const std::uint32_t heldEnd = std::clamp(s.held, first, last);
    if (heldEnd > first) AddPcm(out, s.pcm + 2 * static_cast<std::size_t>(first), heldEnd - first);
    for (std::uint32_t i = heldEnd; i < last; ++i)
      out[i - first] = static_cast<float>(static_cast<double>(out[i - first]) + 0.0);
  }
}

// The samples of the measure a sound covers: up to its end, then on from its start.
struct TSegment {
  std::uint32_t first, last;  // samples first..last-1
  std::uint32_t item;         // the sound's item on sample `first`
  const TSound* sound;
};

void AddSegments(std::vector<TSegment>& segments, const TSound& s, std::uint32_t length) {
  const std::uint32_t beforeEnd = std::min(s.count, length - s.at);
  if (beforeEnd > 0) segments.push_back({s.at, s.at + beforeEnd, 0, &s});
  if (s.count > beforeEnd) segments.push_back({0, s.count - beforeEnd, beforeEnd, &s});
}

void AddSound(float* mix, std::uint32_t length, const TSound& s) {
  std::vector<TSegment> segments;
  AddSegments(segments, s, length);
  for (const TSegment& g : segments) AddSoundPart(s, mix + g.first, g.item, g.item + (g.last - g.first));
}

// The mix of the measure being built, kept for the next build: new memory for a long
// measure costs more in page faults than the whole render, so it is faulted in once. Pages
// that no build has reached yet take no memory. One build at a time uses it; another one
// meanwhile mixes in its own.
class TKeptMix {
 public:
  // Room for `length` floats, kept or the caller's own.
  float* Lock(std::uint32_t length, std::unique_lock<std::mutex>& lock, std::vector<float>& own) {
    if (length <= LongestMeasure) {
      lock = std::unique_lock(FMutex, std::try_to_lock);
      if (lock.owns_lock()) return FMix.get();
    }
    own.resize(length);
    return own.data();
  }

 private:
  std::mutex FMutex;
  const std::unique_ptr<float[]> FMix{new float[LongestMeasure]};
};

TKeptMix& KeptMix() {
  static TKeptMix mix;
  return mix;
}

// Samples mixed and scanned together, so the notes add onto a mix that stays in the cache.
constexpr std::uint32_t BlockSamples = 4096;

void WriteU32(TMemoryStream& s, std::uint32_t v) {
  const std::uint8_t b[4] = {static_cast<std::uint8_t>(v), static_cast<std::uint8_t>(v >> 8),
                             static_cast<std::uint8_t>(v >> 16), static_cast<std::uint8_t>(v >> 24)};
  s.Write(b, 4);
}

void WriteU16(TMemoryStream& s, std::uint16_t v) {
  const std::uint8_t b[2] = {static_cast<std::uint8_t>(v), static_cast<std::uint8_t>(v >> 8)};
  s.Write(b, 2);
}

void WriteSamples(TMemoryStream& s, const std::int16_t* first, std::size_t count) {
  std::vector<std::uint8_t> bytes(count * 2);
  for (std::size_t i = 0; i < count; ++i) {
    const auto v = static_cast<std::uint16_t>(first[i]);
    bytes[2 * i] = static_cast<std::uint8_t>(v);
    bytes[2 * i + 1] = static_cast<std::uint8_t>(v >> 8);
  }
  s.Write(bytes.data(), bytes.size());
}

}  // namespace

std::uint32_t MeasureLength(std::int32_t tsCount, std::int32_t tpCount) {
  return static_cast<std::uint32_t>(static_cast<double>(tsCount * SamplesPerMinute) / tpCount);
}

std::uint32_t SixteenthsToSamples(std::uint16_t sixteenths, std::int32_t tpCount) {
  const std::uint32_t product = static_cast<std::uint32_t>(sixteenths) * static_cast<std::uint32_t>(SamplesPerMinute);
  return static_cast<std::uint32_t>(static_cast<double>(product) / (tpCount * 16));
}

void AddSine(TWav4416MS& mix, std::uint32_t start, float tone, std::uint32_t count, float loudness) {
  if (mix.empty()) return;
  const auto length = static_cast<std::uint32_t>(mix.size());
  AddSound(mix.data(), length, SineSound(length, start, tone, count, loudness));
}

void AddVoice(TWav4416MS& mix, std::int32_t voice, std::uint32_t start, const TResourceReader& reader) {
  const auto length = static_cast<std::uint32_t>(mix.size());
  const TSound s = VoiceSound(length, voice, start, reader);
  if (length > 0) AddSound(mix.data(), length, s);
}

void NormalizeWav(const TWav4416MS& mix, TWav4416MI& samples) {
  TPeak peak;
  peak.Scan(mix.data(), mix.size());
  if (peak.Value() == 0.0f) {
    std::fill(samples.begin(), samples.end(), std::int16_t{0});
    return;
  }
  Scale(mix.data(), samples.data(), mix.size(), peak.Value());
}

void PrepareRendering() {
  // The default note's tone only: each table tone costs about 0.3 MB and 2 ms to make, so
  // the others are made at their first use, and memory holds only the tones in use.
  TableSines().Of(ToneFreqs[DefaultToneIndex]);
  // Only as much of the mix as the measure the window opens with (0.35 MB of the 1.4): a
  // longer measure faults the rest in at its first build.
  const std::uint32_t opening = MeasureLength(TimeSigBeats[DefaultTimeSig], DefaultTempo);
  std::unique_lock<std::mutex> kept;
  std::vector<float> own;
  if (float* const mix = KeptMix().Lock(opening, kept, own); kept.owns_lock()) std::fill(mix, mix + opening, 0.0f);
}

namespace {

// The notes' sounds, in their order; every recording is read here, so a missing one fails
// the build before any work.
std::vector<TSound> NoteSounds(const TNotes& notes, std::uint32_t length, std::int32_t tpCount,
                               const TResourceReader& reader, std::size_t more) {
  std::vector<TSound> sounds;
  sounds.reserve(notes.size() + more);
  for (const TNote& note : notes) {
    const std::uint32_t start = SixteenthsToSamples(note.offset, tpCount);
    if (note.n_type != 0)
      sounds.push_back(VoiceSound(length, note.n_type - 1, start, reader));
    else if (length > 0)
      sounds.push_back(SineSound(length, start, note.tone, SixteenthsToSamples(note.length, tpCount), note.loudness));
  }
  return sounds;
}

// Mixes the sounds in their order into a measure of `length` samples and scales it by its peak.
TWav4416MI MixMeasure(const std::vector<TSound>& sounds, std::uint32_t length) {
  TWav4416MI samples(length);
  if (length == 0) return samples;
  std::vector<TSegment> segments;
  segments.reserve(2 * sounds.size());
  for (const TSound& s : sounds) AddSegments(segments, s, length);

  std::unique_lock<std::mutex> kept;
  std::vector<float> own;
  float* const mix = KeptMix().Lock(length, kept, own);

  // Block by block: where no note sounds the mix is 0, and so is the sample. Elsewhere the
  // notes add in their order, as the sums are rounded to float after every note.
  const std::uint32_t blocks = (length + BlockSamples - 1) / BlockSamples;
  std::vector<std::uint8_t> sounding(blocks, 0);
  TPeak peak;
  for (std::uint32_t b = 0; b < blocks; ++b) {
    const std::uint32_t from = b * BlockSamples, to = std::min(from + BlockSamples, length);
    for (const TSegment& g : segments) {
      const std::uint32_t first = std::max(g.first, from), last = std::min(g.last, to);
      if (first >= last) continue;
      if (!sounding[b]) std::fill(mix + from, mix + to, 0.0f);
      sounding[b] = 1;
      const std::uint32_t item = g.item + (first - g.first);
      AddSoundPart(*g.sound, mix + first, item, item + (last - first));
    }
    if (sounding[b]) peak.Scan(mix + from, to - from);
  }
  if (peak.Value() == 0.0f) return samples;
  for (std::uint32_t b = 0; b < blocks; ++b) {
    const std::uint32_t from = b * BlockSamples, to = std::min(from + BlockSamples, length);
    if (sounding[b]) Scale(mix + from, samples.data() + from, to - from, peak.Value());
  }
  return samples;
}

}  // namespace

TWav4416MI RenderMeasure(const TNotes& notes, std::uint32_t length, std::int32_t tpCount,
                         const TResourceReader& reader) {
  return MixMeasure(NoteSounds(notes, length, tpCount, reader, 0), length);
}

TWav4416MI RenderMeasureWithCues(const TNotes& notes, std::span<const TCue> cues, std::uint32_t length,
                                 std::int32_t tpCount, const TResourceReader& reader) {
  std::vector<TSound> sounds = NoteSounds(notes, length, tpCount, reader, cues.size());
  for (const TCue& cue : cues) {
    TSound s = VoiceSound(length, cue.voice, SixteenthsToSamples(cue.offset, tpCount), reader);
    if (length == 0) continue;
    // Cut at the end of the measure: the next measure is another one, not this one again.
    s.count = std::min(s.count, length - s.at);
    s.held = std::min(s.held, s.count);
    sounds.push_back(s);
  }
  return MixMeasure(sounds, length);
}

void TMemoryStream::Write(const void* data, std::size_t size) {
  if (size == 0) return;
  if (position + size > bytes.size()) bytes.resize(position + size);
  std::memcpy(bytes.data() + position, data, size);
  position += size;
}

void WriteWav(TMemoryStream& stream, const TWav4416MI& samples, std::uint32_t offset) {
  const auto n = static_cast<std::uint32_t>(samples.size());
  const std::uint32_t dataSize = 2 * n;
  stream.Write("RIFF", 4);
  WriteU32(stream, dataSize + 36);
  stream.Write("WAVE", 4);
  stream.Write("fmt ", 4);
  WriteU32(stream, 16);
  WriteU16(stream, 1);  // PCM
  WriteU16(stream, 1);  // channels
  WriteU32(stream, SampleRate);
  WriteU32(stream, SampleRate * 2);
  WriteU16(stream, 2);   // block alignment
  WriteU16(stream, 16);  // bits per sample
  stream.Write("data", 4);
  WriteU32(stream, dataSize);
  if (n == 0) return;
  offset %= n;
  WriteSamples(stream, samples.data() + offset, n - offset);
  WriteSamples(stream, samples.data(), offset);
}

std::optional<TWav4416MI> ReadWavImage(std::span<const std::uint8_t> image) {
  const auto tag = [&](std::size_t at, const char* text) {
    return image.size() >= at + 4 && std::memcmp(image.data() + at, text, 4) == 0;
  };
  if (image.size() < WavHeaderSize || !tag(0, "RIFF") || !tag(8, "WAVE") || !tag(12, "fmt ") || !tag(36, "data"))
    return std::nullopt;
  const std::uint32_t dataSize = ReadU32(image, 40);
  const bool pcmMono16 = ReadU32(image, 16) == 16 && ReadU16(image, 20) == 1 && ReadU16(image, 22) == 1 &&
                         ReadU32(image, 24) == SampleRate && ReadU32(image, 28) == SampleRate * 2 &&
                         ReadU16(image, 32) == 2 && ReadU16(image, 34) == 16;
  const bool sizesAgree = dataSize % 2 == 0 && dataSize == image.size() - WavHeaderSize &&
                          ReadU32(image, 4) == image.size() - 8;
  if (!pcmMono16 || !sizesAgree) return std::nullopt;
  TWav4416MI samples(dataSize / 2);
  for (std::size_t i = 0; i < samples.size(); ++i)
    samples[i] = static_cast<std::int16_t>(ReadU16(image, WavHeaderSize + 2 * i));
  return samples;
}
