// What the window needs of the sound: loop a WAV image, stop, and a millisecond clock that
// runs with what is being played.
#pragma once

#include <cstdint>

#include "audio/uWavUtils.h"

class TSoundOutput {
 public:
  virtual ~TSoundOutput() = default;

  // Loops the WAV image held by the stream from its first sample, replacing whatever plays,
  // without a gap between the two. False when the image is not one WriteWav makes or no
  // sound device can be opened; without a device the loop is kept, and it is heard, in step
  // with the clock, once CheckDevice finds one.
  virtual bool PlayWavLoop(const TMemoryStream& stream) = 0;
  // Stops the loop; true when nothing plays afterwards.
  virtual bool StopWav() = 0;
  // Called often while a loop plays: notices a device that was lost and opens one again
  // (trying not too often when none can be had), going on with the loop in step with the
  // clock. True while the sound reaches a device.
  virtual bool CheckDevice() = 0;

  // Milliseconds, wrapping after 2^32. While a loop plays, the clock advances with the
  // samples played, so it agrees with the sound however long the metronome runs.
  virtual std::uint32_t TimeGetTime() = 0;
  // How far the sound being heard lags the clock, in milliseconds.
  virtual double OutputLatencyMs() = 0;

  // Between HoldClock and ReleaseClock no sample is played: a clock reading and a hand-over
  // made in between meet at the same sample. Calls nest.
  virtual void HoldClock() {}
  virtual void ReleaseClock() {}
};

// Holds the sound clock for a scope.
class TClockHold {
 public:
  explicit TClockHold(TSoundOutput& output) : FOutput(output) { FOutput.HoldClock(); }
  ~TClockHold() { FOutput.ReleaseClock(); }
  TClockHold(const TClockHold&) = delete;
  TClockHold& operator=(const TClockHold&) = delete;

 private:
  TSoundOutput& FOutput;
};
