// What the loop players share about their clock and their device, whatever the sound system:
// the sample a millisecond stamp stands for, widening a wrapping stamp, the clock that carries
// on while no device plays, and how often a device is tried for while none can be had.
#pragma once

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>

#include "audio/uWavUtils.h"

// The first sample at or after millisecond `ms` of the sound: where a loop stamped with it
// begins.
inline std::uint64_t FirstSampleAtMs(std::uint64_t ms) {
  return static_cast<std::uint64_t>(std::ceil(static_cast<double>(ms) * 44.1));
}

// The 64-bit millisecond of a 32-bit stamp that lies within 2^31 ms of `near`.
inline std::uint64_t WidenMs(std::uint64_t near, std::uint32_t ms) {
  const auto delta = static_cast<std::int32_t>(ms - static_cast<std::uint32_t>(near));
  return static_cast<std::uint64_t>(static_cast<std::int64_t>(near) + delta);
}

// The clock's next whole millisecond not yet played, after `samples`; `lastMs`, the last
// reading or stamp given, follows it, so the clock never shows less.
inline std::uint32_t NextStartMsAfter(std::uint64_t samples, std::uint64_t& lastMs) {
  const std::uint64_t ms = static_cast<std::uint64_t>(static_cast<double>(samples) / 44.1) + 1;
  lastMs = std::max(lastMs, ms);
  return static_cast<std::uint32_t>(ms);
}

// The sample clock while no device plays: the system's monotonic clock, from where the
// device's clock stood.
class TStandInClock {
 public:
  using TClock = std::chrono::steady_clock;
  void RestartAt(std::uint64_t sample) {
    FBase = sample;
    FSince = TClock::now();
  }
  std::uint64_t Samples() const {
    const double since = std::chrono::duration<double>(TClock::now() - FSince).count();
    return FBase + static_cast<std::uint64_t>(since * SampleRate);
  }

 private:
  std::uint64_t FBase = 0;
  TClock::time_point FSince = TClock::now();
};

// Tries for a device: each failure waits twice as long before the next try, up to eight
// intervals, so a machine without any sound card is not asked every second, and a device
// plugged in is still found within seconds.
class TRetryPacing {
 public:
  using TClock = std::chrono::steady_clock;
  explicit TRetryPacing(std::chrono::milliseconds interval) : FInterval(interval), FDelay(interval / 2) {}
  bool Due() const { return TClock::now() >= FNext; }
  void After(bool opened) {
    FDelay = opened ? FInterval / 2 : std::min(2 * FDelay, 8 * FInterval);
    FNext = TClock::now() + (opened ? FInterval : FDelay);
  }

 private:
  std::chrono::milliseconds FInterval;
  std::chrono::milliseconds FDelay;
  TClock::time_point FNext = TClock::now();
};
