#include "audio/uWavUtils.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstring>
#include <mutex>
#include <stdexcept>
#include <string>

namespace {

constexpr double TwoPi = 6.283185307179586;

// The next index of a sound that runs on around the end of the measure.
inline std::size_t Next(std::size_t index, std::size_t length) { return ++index == length ? 0 : index; }

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

// Adds samples first..last-1 of a burst to `out`, which holds the place of sample `first`:
// the known values where there are some, the others computed in place.
void AddBurstPart(float* out, std::uint32_t first, std::uint32_t last, double step, double level,
                  std::span<const double> known) {
  const std::uint32_t knownEnd =
      static_cast<std::uint32_t>(std::clamp<std::size_t>(known.size(), first, last));
  std::uint32_t i = first;
  for (; i < knownEnd; ++i, ++out) *out = static_cast<float>(static_cast<double>(*out) + level * known[i]);
  for (; i < last; ++i, ++out) *out = static_cast<float>(static_cast<double>(*out) + level * SineAt(step, i));
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
  // What sounds longer than the measure would only fall onto itself: one measure is heard.
  const auto length = static_cast<std::uint32_t>(mix.size());
  count = std::min(count, length);
  const double step = static_cast<double>(tone) * TwoPi;
  const double level = static_cast<double>(loudness) * 32767.0;
  const std::span<const double> known = TableSines().Of(tone);
  // Up to the end of the measure, then on from its start.
  const std::uint32_t at = start % length;
  const std::uint32_t beforeEnd = std::min(count, length - at);
  AddBurstPart(mix.data() + at, 0, beforeEnd, step, level, known);
  AddBurstPart(mix.data(), beforeEnd, count, step, level, known);
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
    // Samples the resource does not hold in full read as 0.
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
    // Only a value that is no number at all could fall outside the 16-bit range.
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
