// A sound output that plays through the SDL player and notes where in the output stream
// each loop was handed over and where the sound stopped.
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
  std::uint32_t TimeGetTime() override { return FPlayer.TimeGetTime(); }
  double OutputLatencyMs() override { return FPlayer.OutputLatencyMs(); }
  void HoldClock() override { FPlayer.HoldClock(); }
  void ReleaseClock() override { FPlayer.ReleaseClock(); }

  std::vector<THandOver> handOvers;
  std::uint64_t stoppedAt = 0;

 private:
  TSdlLoopPlayer& FPlayer;
};
