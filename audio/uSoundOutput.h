// What the window needs of the sound: loop a WAV image, stop, and a millisecond clock that
// runs with what is being played.
#pragma once

#include <cstdint>

#include "audio/uWavUtils.h"

class TSoundOutput {
 public:
  virtual ~TSoundOutput() = default;

  // The clock's next whole millisecond that has not been played yet, read under a lock held
  // only for the reading: a loop stamped with it and handed over soon begins there. Opens a
  // device when none plays, so that Start is heard at once.
  virtual std::uint32_t NextStartMs() = 0;
  // Loops the WAV image held by the stream from its first sample, beginning at the first
  // sample at or after millisecond `startMs` of the clock (a stamp NextStartMs gave) and
  // replacing whatever plays there, without a gap. Should the sound have passed that sample
  // before the loop arrives, the loop comes in where it would have been by then, so the
  // phase computed for the stamp holds. False when the image is not one WriteWav makes or no
  // sound device can be opened; without a device the loop is kept, and it is heard, in step
  // with the clock, once CheckDevice finds one.
  virtual bool PlayWavLoop(const TMemoryStream& stream, std::uint32_t startMs) = 0;
  // Stops the loop and lets the device go, so nothing runs while stopped; true when nothing
  // plays afterwards.
  virtual bool StopWav() = 0;
  // Called often while a loop plays: notices a device that was lost and opens one again
  // (trying not too often when none can be had), going on with the loop in step with the
  // clock. True while the sound reaches a device.
  virtual bool CheckDevice() = 0;

  // Milliseconds, wrapping after 2^32. While a loop plays, the clock advances with the
  // samples played, so it agrees with the sound however long the metronome runs. It never
  // shows less than a stamp NextStartMs gave.
  virtual std::uint32_t TimeGetTime() = 0;
  // How far the sound being heard lags the clock, in milliseconds.
  virtual double OutputLatencyMs() = 0;
};
