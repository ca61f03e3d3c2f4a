// The loop player on SDL2's audio callback. The callback copies samples from the current
// loop and wraps at its end. A new loop takes over at a whole millisecond of the sound's own
// clock, between two samples, so the output has no gap and the new loop begins exactly when
// the clock says it did. Loops are made and freed on the caller's thread, never in the
// callback.
//
// The sample clock counts every sample of the timeline, played or not: while a device plays,
// the callback advances it; while none does (none could be opened, or the one in use was
// lost), the system's monotonic clock carries it on from where it stood. A device that stops
// is closed and the default device opened again (the audio subsystem is started afresh, so
// a sound server that came back or another driver is found); the new device begins at the
// clock's sample, and the loop goes on at the place the clock gives it, in phase with what
// the caller computed from the clock.
#pragma once

#include <SDL.h>

#include <chrono>
#include <memory>

#include "audio/uSoundOutput.h"

class TSdlLoopPlayer final : public TSoundOutput {
 public:
  // bufferSamples: the device buffer, which sets how soon a new loop is heard.
  // retryInterval: how soon CheckDevice tries again to open a device while none plays; it
  // waits longer after each failure, up to eight times as long.
  explicit TSdlLoopPlayer(int bufferSamples = 1024,
                          std::chrono::milliseconds retryInterval = std::chrono::seconds(1));
  ~TSdlLoopPlayer() override;

  // Opens a device when none is open or the one in use stopped; false when none could be.
  bool PlayWavLoop(const TMemoryStream& stream) override;
  bool StopWav() override;
  bool CheckDevice() override;
  std::uint32_t TimeGetTime() override;
  double OutputLatencyMs() override;
  void HoldClock() override;
  void ReleaseClock() override;

  // Whether a device is open; tries to open one when none is.
  bool HasDevice();
  // The sample clock: samples put out, or that would have been while no device played.
  std::uint64_t SamplesPlayed();
  // The sample at which the loop handed over last begins (or began) to play.
  std::uint64_t LastHandOverSample();
  // The sample of the clock at which the device in use began to play; devices opened so far.
  std::uint64_t DeviceOpenedAt() const { return FOpenedAt; }
  int DevicesOpened() const { return FOpenings; }

 private:
  using TClock = std::chrono::steady_clock;
  using TLoop = TWav4416MI;

  bool Open();
  void Close();
  bool Lost();
  bool TryOpen();
  // A lost device closed, and one opened when none is; whether one is open.
  bool EnsureDevice();
  // While no callback runs: the switch to the next loop that it would have made by sample
  // `at`.
  void SwitchIfDue(std::uint64_t at);
  void Lock();
  void Unlock();
  static void SDLCALL Callback(void* self, Uint8* stream, int len);
  void Fill(std::int16_t* out, std::uint64_t count);
  std::uint64_t FreeSamples() const;
  std::uint64_t HeldMs() const;

  // The caller's thread only (the GUI thread), no lock.
  int FBufferSamples;
  std::chrono::milliseconds FRetryInterval;
  std::chrono::milliseconds FRetryDelay;  // after the last failed try
  TClock::time_point FNextTry;          // CheckDevice tries no earlier
  SDL_AudioDeviceID FDevice = 0;
  int FHolds = 0;
  bool FLocked = false;                 // the outermost hold holds the device lock
  bool FPlaying = false;                // a loop is wanted; the device runs exactly then
  std::uint64_t FHeldSamples = 0;       // the clock, standing, while held
  std::uint64_t FLastMs = 0;            // the last reading; outside holds the clock never shows less
  std::uint64_t FFreeBase = 0;          // while no device plays: the clock's sample at
  TClock::time_point FFreeSince;        //   this moment
  std::uint64_t FOpenedAt = 0;
  int FOpenings = 0;

  // Shared with SDL's audio thread, whose callback (Fill) runs under the device lock: the
  // caller's thread takes that lock (SDL_LockAudioDevice) while a device is open and has been
  // started; while none is open, or one is just being opened and is still paused, they are
  // the caller's thread's alone. The callback only copies, wraps and switches.
  std::unique_ptr<TLoop> FLoop;     // playing
  std::unique_ptr<TLoop> FNext;     // takes over at sample FSwitchAt
  std::unique_ptr<TLoop> FRetired;  // played out, to be freed by the caller's thread
  std::uint64_t FSwitchAt = 0;
  std::uint64_t FLoopStart = 0;     // the sample at which FLoop began
  std::size_t FPosition = 0;
  std::uint64_t FPlayed = 0;
  TClock::time_point FLastCallback;
};
