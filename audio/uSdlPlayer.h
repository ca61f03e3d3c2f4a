// The loop player on SDL2's audio callback. The callback copies samples from the current
// loop and wraps at its end. A new loop is stamped by the caller with the whole millisecond
// of the sound's own clock at which it is to begin; the callback takes it over there, between
// two samples, so the output has no gap and the loop begins exactly when the clock says it
// did. Should the callback already have passed that sample when the loop arrives, it enters
// the loop at the place the stamp gives it for the sample being played, so the phase holds.
// Loops are made and freed on the caller's thread, never in the callback.
//
// The sample clock counts every sample of the timeline, played or not: while a device plays,
// the callback advances it; while none does (stopped, none could be opened, or the one in use
// was lost), the system's monotonic clock carries it on from where it stood. Stop closes the
// device, so nothing runs while stopped; Start opens it again. A device that stops by itself
// is closed and the default device opened again (the audio subsystem is started afresh, so a
// sound server that came back or another driver is found); the new device begins at the
// clock's sample, and the loop goes on at the place the clock gives it.
//
// Threads. The caller's thread (the GUI thread) calls every public function. SDL's audio
// thread runs the callback (Fill), with SDL's device lock held. The fields marked "shared"
// below are read and written by the callback, and by the caller's thread only while it holds
// that lock (Lock/Unlock) or while no device is open or the device is still paused; the
// caller holds the lock only to read the clock or to swap a pointer, never while it renders,
// decodes, allocates or frees. All other fields are the caller's thread's alone.
#pragma once

#include <SDL.h>

#include <chrono>
#include <memory>

#include "audio/uDeviceClock.h"
#include "audio/uSoundOutput.h"

class TSdlLoopPlayer final : public TSoundOutput {
 public:
  // bufferSamples: the device buffer, which sets how soon a new loop is heard.
  // retryInterval: how soon CheckDevice tries again to open a device while none plays; it
  // waits longer after each failure, up to eight times as long.
  explicit TSdlLoopPlayer(int bufferSamples = 1024,
                          std::chrono::milliseconds retryInterval = std::chrono::seconds(1));
  ~TSdlLoopPlayer() override;

  std::uint32_t NextStartMs() override;
  // Opens a device when none is open or the one in use stopped; false when none could be.
  bool PlayWavLoop(const TMemoryStream& stream, std::uint32_t startMs) override;
  bool StopWav() override;
  bool CheckDevice() override;
  std::uint32_t TimeGetTime() override;
  double OutputLatencyMs() override;

  // Whether a device is open; a lost one is closed first, and one opened when none is.
  bool HasDevice();
  // The sample clock: samples put out, or that would have been while no device played.
  std::uint64_t SamplesPlayed();
  // The sample at which the loop handed over last begins (or began) to play, as stamped.
  std::uint64_t LastHandOverSample();
  // The sample at which the callback actually switched to the loop handed over last: its
  // stamped start, or later when the loop arrived after that; 0 before the switch.
  std::uint64_t LastSwitchSample();
  // The sample of the clock at which the device in use began to play; devices opened so far.
  std::uint64_t DeviceOpenedAt() const { return FOpenedAt; }
  bool DeviceOpen() const { return FDevice != 0; }
  int DevicesOpened() const { return FOpenings; }

 private:
  using TClock = std::chrono::steady_clock;
  using TLoop = TWav4416MI;

  bool Open();
  // Closes the device; `keepDriver` leaves the audio subsystem running for a quick reopen.
  void Close(bool keepDriver = false);
  bool Lost();
  bool TryOpen();
  // While no callback runs: the switch to the next loop that it would have made by sample
  // `at`.
  void SwitchIfDue(std::uint64_t at);
  void Lock();
  void Unlock();
  static void SDLCALL Callback(void* self, Uint8* stream, int len) noexcept;
  void Fill(std::int16_t* out, std::uint64_t count) noexcept;
  // Where in FLoop sample `at` of the timeline falls.
  std::size_t PositionAt(std::uint64_t at) const noexcept;

  // The caller's thread only (the GUI thread), no lock.
  int FBufferSamples;
  TRetryPacing FRetry;                  // when CheckDevice tries again
  SDL_AudioDeviceID FDevice = 0;
  bool FDriverUp = false;               // the audio subsystem is initialised
  bool FPlaying = false;                // a loop is wanted; the device runs exactly then
  std::uint64_t FLastMs = 0;            // the last reading or stamp; the clock never shows less
  TStandInClock FStandIn;               // the clock while no device plays
  std::uint64_t FOpenedAt = 0;
  int FOpenings = 0;

  // Shared (see the top): the callback only copies, wraps and switches. At most one loop is
  // retired per loop handed over, and the caller takes it before it hands over the next, so
  // the callback never frees one.
  std::unique_ptr<TLoop> FLoop;     // playing
  std::unique_ptr<TLoop> FNext;     // takes over at sample FSwitchAt
  std::unique_ptr<TLoop> FRetired;  // played out, to be freed by the caller's thread
  std::uint64_t FSwitchAt = 0;
  std::uint64_t FSwitchedAt = 0;    // where the callback actually took FLoop over
  std::uint64_t FLoopStart = 0;     // the sample at which FLoop began, as stamped
  std::size_t FPosition = 0;        // of FLoop, always below its size
  std::uint64_t FPlayed = 0;
  TClock::time_point FLastCallback;
};
