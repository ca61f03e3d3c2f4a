// A sound output that plays through the SDL player and notes where in the output stream
// each loop was handed over, where the sound stopped, and whether the clock ever ran back.
#pragma once

#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "audio/uSdlPlayer.h"

// A file for SDL's disk driver to record into, of this process and by name.
inline std::filesystem::path RecordingFile(const std::string& name) {
  return std::filesystem::temp_directory_path() / ("taktola-" + name + "-" + std::to_string(::getpid()) + ".raw");
}

// What the disk driver wrote: the device's signed 16-bit samples, in the order put out.
inline std::vector<std::int16_t> ReadRecording(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  const std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::vector<std::int16_t> samples(bytes.size() / 2);
  std::memcpy(samples.data(), bytes.data(), samples.size() * 2);
  return samples;
}

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
