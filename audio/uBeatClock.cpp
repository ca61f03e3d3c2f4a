#include "audio/uBeatClock.h"

#include <cmath>

namespace {

// Milliseconds into the measure of what is heard at clock reading `now`, and the length of
// a sixteenth.
double HeardMs(std::uint32_t now, std::uint32_t timeStart, std::uint32_t wavOffset, double latencyMs) {
  const std::uint32_t played = now - timeStart;
  return played + wavOffset / 44.1 - latencyMs;
}

double SixteenthMs(std::int32_t tpCount) { return 60000.0 / (tpCount * 16); }

}  // namespace

std::uint32_t TimerInterval(std::int32_t tpCount) {
  return static_cast<std::uint32_t>(SixteenthMs(tpCount));
}

std::int64_t ElapsedSamples(std::uint32_t now, std::uint32_t start) {
  const std::uint32_t ms = now - start;
  return static_cast<std::int64_t>(ms * 44.1);
}

std::uint32_t RestartOffset(std::uint32_t wavOffset, std::int64_t elapsed, std::uint32_t oldLength,
                            std::uint32_t newLength) {
  if (oldLength == 0 || newLength == 0) return 0;
  const std::int64_t phase = (wavOffset + elapsed) % oldLength;
  const float fraction = static_cast<float>(static_cast<double>(phase) / oldLength);
  const auto offset = static_cast<std::uint32_t>(static_cast<double>(fraction) * newLength);
  // A fraction rounded up to 1.0 in 32 bits must still land inside the new measure.
  return offset < newLength ? offset : newLength - 1;
}

std::int64_t PlayheadSixteenth(std::uint32_t now, std::uint32_t timeStart, std::uint32_t wavOffset,
                               std::int32_t tpCount, std::int32_t tsCount, double latencyMs) {
  const double position = HeardMs(now, timeStart, wavOffset, latencyMs);
  const double sixteenthTime = SixteenthMs(tpCount);
  const std::int64_t sixteenths = tsCount * 16;
  // Floor, not truncation: just after a restart near the start of the measure, what is heard
  // is still the end of the measure before.
  const auto s = static_cast<std::int64_t>(std::floor(position / sixteenthTime)) % sixteenths;
  return s < 0 ? s + sixteenths : s;
}

std::uint32_t MsToNextSixteenth(std::uint32_t now, std::uint32_t timeStart, std::uint32_t wavOffset,
                                std::int32_t tpCount, double latencyMs) {
  const double position = HeardMs(now, timeStart, wavOffset, latencyMs);
  const double sixteenthTime = SixteenthMs(tpCount);
  const double next = (std::floor(position / sixteenthTime) + 1.0) * sixteenthTime;
  const double wait = std::ceil(next - position);
  return wait < 1.0 ? 1u : static_cast<std::uint32_t>(wait);
}
