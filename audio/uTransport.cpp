#include "audio/uTransport.h"

#include "audio/uBeatClock.h"

bool TTransport::Start(const TBuild& build) { return HandOver(build, false); }

bool TTransport::Restart(const TBuild& build) { return HandOver(build, true); }

bool TTransport::HandOver(const TBuild& build, bool restart) {
  // The start first, under the output's brief lock; everything after it runs with no lock
  // held, and the loop, stamped with that start, keeps its phase however long it took.
  const std::uint32_t startMs = FOutput.NextStartMs();
  const std::uint32_t oldLength = FWavLength;
  const TWav4416MI samples = build();
  FWavLength = static_cast<std::uint32_t>(samples.size());
  FWavOffset = restart ? RestartOffset(FWavOffset, ElapsedSamples(startMs, FTimeStart), oldLength, FWavLength) : 0;
  MakeWav(samples, FWavOffset);
  FTimeStart = startMs;
  return FOutput.PlayWavLoop(FMemoryStream, startMs);
}

void TTransport::Stop() { FOutput.StopWav(); }

void TTransport::Forget() {
  FMemoryStream.Clear();
  FWavLength = 0;
  FWavOffset = 0;
}

void TTransport::MakeWav(const TWav4416MI& samples, std::uint32_t offset) {
  FMemoryStream.Clear();
  WriteWav(FMemoryStream, samples, offset);
  FMemoryStream.position = 0;
}

TTransport::THeard TTransport::Heard(std::int32_t tpCount, std::int32_t tsCount) {
  // Read once for both: a sound server's clock costs a lock and an interpolation.
  const std::uint32_t now = FOutput.TimeGetTime();
  const double latencyMs = FOutput.OutputLatencyMs();
  return {PlayheadSixteenth(now, FTimeStart, FWavOffset, tpCount, tsCount, latencyMs),
          MsToNextSixteenth(now, FTimeStart, FWavOffset, tpCount, latencyMs)};
}
