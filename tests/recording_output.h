// A sound output that plays through the SDL player and notes where in the output stream
// each loop was handed over, where the sound stopped, and whether the clock ever ran back.
#pragma once

#include <vector>

#include "audio/uSdlPlayer.h"

class TRecordingOutput : public TSoundOutput {
 public:
  struct THandOver {
    std::uint64_t at;  // output sample at which the loop begins
    TWav4416MI loop;
  };

  explicit TRecordingOutput(TSdlLoopPlayer& player) : FPlayer(player) {}

  bool PlayWavLoop(const TMemoryStream& stream) override {
    const bool played = FPlayer.PlayWavLoop(stream);
    if (played) handOvers.push_back({FPlayer.LastHandOverSample(), *ReadWavImage(stream.bytes)});
    return played;
  }
  bool StopWav() override {
    TClockHold hold(FPlayer);
    stoppedAt = FPlayer.SamplesPlayed();
    return FPlayer.StopWav();
  }
  bool CheckDevice() override { return FPlayer.CheckDevice(); }
  std::uint32_t TimeGetTime() override {
    const std::uint32_t now = FPlayer.TimeGetTime();
    // Outside holds the clock must never run back, also when the device changes.
    if (FHolds == 0) {
      if (readings > 0 && static_cast<std::int32_t>(now - lastReading) < 0) ++clockRanBack;
      lastReading = now;
      ++readings;
    }
    return now;
  }
  double OutputLatencyMs() override { return FPlayer.OutputLatencyMs(); }
  void HoldClock() override {
    ++FHolds;
    FPlayer.HoldClock();
  }
  void ReleaseClock() override {
    --FHolds;
    FPlayer.ReleaseClock();
  }

  std::vector<THandOver> handOvers;
  std::uint64_t stoppedAt = 0;
  std::uint32_t lastReading = 0;
  int readings = 0;
  int clockRanBack = 0;

 private:
  TSdlLoopPlayer& FPlayer;
  int FHolds = 0;
};
