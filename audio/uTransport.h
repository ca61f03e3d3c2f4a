// Looped playback as the window's handlers drive it: Start, the in-phase restart after an
// edit, Stop, and where in the measure the sound is. Plain C++ on a TSoundOutput, so it is
// tried without a window or a device.
#pragma once

#include <cstdint>
#include <functional>

#include "audio/uSoundOutput.h"
#include "audio/uWavUtils.h"

class TTransport {
 public:
  explicit TTransport(TSoundOutput& output) : FOutput(output) {}

  // Renders the measure now to be played.
  using TBuild = std::function<TWav4416MI()>;

  // Plays the measure from its first sample. The start is read from the sound's clock
  // before the measure is built, and the loop stamped with it. True when it reaches a device.
  bool Start(const TBuild& build);
  // Hands over the rebuilt measure at the beat phase the playing one will have reached at
  // the start read now, carried over as a fraction of the measure when its length changed.
  bool Restart(const TBuild& build);
  // Stops the sound.
  void Stop();
  // Forgets the loop, as before the first Start: after a start or restart that failed.
  void Forget();

  // Where the sound is now, from one reading of its clock: the sixteenth of the measure being
  // heard, 0 .. 16 * tsCount - 1, and the milliseconds until it changes, at least 1.
  struct THeard {
    std::int64_t sixteenth;
    std::uint32_t msToNext;
  };
  THeard Heard(std::int32_t tpCount, std::int32_t tsCount);

  // The measure's length in samples; the sample of the measure with which the loop now
  // playing begins; the clock's millisecond at which it began; its WAV image.
  std::uint32_t WavLength() const { return FWavLength; }
  std::uint32_t WavOffset() const { return FWavOffset; }
  std::uint32_t TimeStart() const { return FTimeStart; }
  const TMemoryStream& MemoryStream() const { return FMemoryStream; }

 private:
  // Writes the measure's WAV image, rotated to begin at sample `offset`.
  void MakeWav(const TWav4416MI& samples, std::uint32_t offset);
  // Reads the start, builds the measure and hands it over stamped with that start: at the
  // phase reached then for a restart, from its first sample for a start.
  bool HandOver(const TBuild& build, bool restart);

  TSoundOutput& FOutput;
  std::uint32_t FWavLength = 0;
  std::uint32_t FWavOffset = 0;
  std::uint32_t FTimeStart = 0;
  TMemoryStream FMemoryStream;
};
