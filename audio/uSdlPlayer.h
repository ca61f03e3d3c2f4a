// The loop player on SDL2's audio callback. The callback copies samples from the current
// loop and wraps at its end. A new loop takes over at a whole millisecond of the sound's own
// clock, between two samples, so the output has no gap and the new loop begins exactly when
// the clock says it did. Loops are made and freed on the caller's thread, never in the
// callback. The device is opened at the first hold or hand-over and kept; until then, and
// without a device, the clock is the system's.
#pragma once

#include <SDL.h>

#include <chrono>
#include <memory>

#include "audio/uSoundOutput.h"

class TSdlLoopPlayer final : public TSoundOutput {
 public:
  // bufferSamples: the device buffer, which sets how soon a new loop is heard.
  explicit TSdlLoopPlayer(int bufferSamples = 1024);
  ~TSdlLoopPlayer() override;

  bool PlayWavLoop(const TMemoryStream& stream) override;
  bool StopWav() override;
  std::uint32_t TimeGetTime() override;
  double OutputLatencyMs() override;
  void HoldClock() override;
  void ReleaseClock() override;

  // Whether a device could be opened (tried once, at the first need).
  bool HasDevice();
  // Samples the callback has put out since the device opened.
  std::uint64_t SamplesPlayed();
  // The sample at which the loop handed over last begins (or began) to play.
  std::uint64_t LastHandOverSample();

 private:
  using TClock = std::chrono::steady_clock;
  using TLoop = TWav4416MI;

  bool Open();
  void Lock();
  void Unlock();
  static void SDLCALL Callback(void* self, Uint8* stream, int len);
  void Fill(std::int16_t* out, std::uint64_t count);
  std::uint64_t HeldMs() const;

  int FBufferSamples;
  bool FTriedOpen = false;
  SDL_AudioDeviceID FDevice = 0;
  int FHolds = 0;
  bool FPaused = true;
  std::uint64_t FLastHeldMs = 0;

  // Shared with the callback; guarded by the device lock.
  std::unique_ptr<TLoop> FLoop;     // playing
  std::unique_ptr<TLoop> FNext;     // takes over at sample FSwitchAt
  std::unique_ptr<TLoop> FRetired;  // played out, to be freed by the caller's thread
  std::uint64_t FSwitchAt = 0;
  std::size_t FPosition = 0;
  std::uint64_t FPlayed = 0;
  TClock::time_point FLastCallback;
};
