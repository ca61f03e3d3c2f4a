// Rendering one measure into 16-bit samples, and the WAV image the player loops.
// Plain C++: no toolkit, no sound device. Voice recordings come through a reader.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

#include "pattern/uPattern.h"

using TWav4416MS = std::vector<float>;          // the mix, in 16-bit sample steps
using TWav4416MI = std::vector<std::int16_t>;  // a finished measure

inline constexpr int SampleRate = 44100;
// Samples in a minute: tempos and sixteenths convert through it.
inline constexpr std::int32_t SamplesPerMinute = 2646000;
// The level every audible measure is scaled to: 0.8 of full scale.
inline constexpr double NormalizedPeak = 0.8 * 32767;
// Size of the canonical RIFF/WAVE header in front of the samples.
inline constexpr std::size_t WavHeaderSize = 44;

// Opens an embedded resource by name; no value when there is none. The bytes stay valid
// while the build that asked for them runs.
using TResourceReader = std::function<std::optional<std::span<const std::uint8_t>>(std::string_view name)>;

// Samples in a measure of tsCount beats at tpCount BPM: trunc(tsCount * 2646000 / tpCount).
std::uint32_t MeasureLength(std::int32_t tsCount, std::int32_t tpCount);

// Samples in a span of sixteenths at tpCount BPM: trunc(sixteenths * 2646000 / (tpCount * 16)).
std::uint32_t SixteenthsToSamples(std::uint16_t sixteenths, std::int32_t tpCount);

// Adds a sine burst that starts at phase 0 on sample `start`, lasts `count` samples and
// wraps around the end of the mix, which is where the looped measure goes on. A start
// beyond the mix is taken modulo its length; a burst longer than the mix is cut at its
// length, so no sample of it falls onto another. The sines of the ToneFreqs tones are kept
// across calls (a few megabytes at most); other tones' are computed in place.
void AddSine(TWav4416MS& mix, std::uint32_t start, float tone, std::uint32_t count, float loudness);

// Adds the recording VoiceTable[voice] at its own level from sample `start`, wrapped the
// same way and cut to one measure. Throws std::runtime_error when the reader has no such
// resource.
void AddVoice(TWav4416MS& mix, std::int32_t voice, std::uint32_t start, const TResourceReader& reader);

// Scales the mix by its peak so the loudest sample becomes +-26213; all zeros when the mix
// is silent. `samples` must already have the mix's length.
void NormalizeWav(const TWav4416MS& mix, TWav4416MI& samples);

// Makes now what builds keep rather than at their first use: the sines of the default note's
// tone (36 k sines, 0.3 MB; each other table tone is made at its first use, about 2 ms once)
// and the mix buffer for the measure the window opens with. Safe from any thread, at any
// time, any number of times; a build that runs meanwhile waits only for the tones it uses.
void PrepareRendering();

// Renders the notes into a measure of `length` samples at tpCount BPM. Throws when a voice
// recording cannot be read. Keeps its mix buffer for the next build (room for the longest
// measure the window makes, 1.4 MB, of which only what builds have used takes memory);
// builds in several threads at once are safe.
TWav4416MI RenderMeasure(const TNotes& notes, std::uint32_t length, std::int32_t tpCount,
                         const TResourceReader& reader);

// A spoken word laid over a measure: the recording VoiceTable[voice] from the sixteenth
// `offset` on.
struct TCue {
  std::int32_t voice = 0;
  std::uint16_t offset = 0;
  friend bool operator==(const TCue&, const TCue&) = default;
};

// RenderMeasure with the cues mixed in after the notes, each at its own level as a voice
// note is; unlike a note, a cue is cut at the end of the measure instead of going on at its
// start, since the measure is played once, not looped. Without cues it is RenderMeasure.
TWav4416MI RenderMeasureWithCues(const TNotes& notes, std::span<const TCue> cues, std::uint32_t length,
                                 std::int32_t tpCount, const TResourceReader& reader);

// A growable byte stream with a position, as the WAV image is written into.
struct TMemoryStream {
  std::vector<std::uint8_t> bytes;
  std::size_t position = 0;

  void Write(const void* data, std::size_t size);
  void Clear() {
    bytes.clear();
    position = 0;
  }
};

// Writes the measure as a WAV image at the stream's position, rotated to begin at sample
// `offset`: samples offset..N-1, then 0..offset-1. An offset beyond the measure is taken
// modulo its length.
void WriteWav(TMemoryStream& stream, const TWav4416MI& samples, std::uint32_t offset);

// The samples of a WAV image as WriteWav makes it (RIFF/WAVE, PCM, one channel, 44100 Hz,
// 16 bits, sizes that agree with the image); no value for anything else.
std::optional<TWav4416MI> ReadWavImage(std::span<const std::uint8_t> image);
