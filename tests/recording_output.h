// A sound output that plays through the SDL player and notes where in the output stream
// each loop was handed over, where the sound stopped, and whether the clock ever ran back.
#pragma once

#include <unistd.h>

#include <chrono>
#include <cstring>
#include <thread>
#include <utility>
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
    std::uint64_t at;  // output sample at which the loop begins, as stamped
    TWav4416MI loop;
    std::uint64_t switchedAt = 0;  // where the callback actually took it over: `at`, or later
  };

  explicit TRecordingOutput(TSdlLoopPlayer& player) : FPlayer(player) {}

  std::uint32_t NextStartMs() override { return FPlayer.NextStartMs(); }
  bool PlayWavLoop(const TMemoryStream& stream, std::uint32_t startMs) override {
    // As a machine too busy to hand the loop over before its start would.
    if (delayNextHandOverMs > 0)
      std::this_thread::sleep_for(std::chrono::milliseconds(std::exchange(delayNextHandOverMs, 0)));
    NoteSwitch();
    const bool played = FPlayer.PlayWavLoop(stream, startMs);
    if (played) handOvers.push_back({FPlayer.LastHandOverSample(), *ReadWavImage(stream.bytes)});
    return played;
  }
  bool StopWav() override {
    NoteSwitch();
    stoppedAt = FPlayer.SamplesPlayed();
    return FPlayer.StopWav();
  }
  bool CheckDevice() override { return FPlayer.CheckDevice(); }
  std::uint32_t TimeGetTime() override {
    const std::uint32_t now = FPlayer.TimeGetTime();
    // The clock must never run back, also when the device changes.
    if (readings > 0 && static_cast<std::int32_t>(now - lastReading) < 0) ++clockRanBack;
    lastReading = now;
    ++readings;
    return now;
  }
  double OutputLatencyMs() override { return FPlayer.OutputLatencyMs(); }

  // Where the last loop handed over was actually taken over, once it has been.
  void NoteSwitch() {
    if (!handOvers.empty() && handOvers.back().switchedAt == 0) handOvers.back().switchedAt = FPlayer.LastSwitchSample();
  }

  std::vector<THandOver> handOvers;
  std::uint64_t stoppedAt = 0;
  std::uint32_t lastReading = 0;
  int readings = 0;
  int clockRanBack = 0;
  int delayNextHandOverMs = 0;

 private:
  TSdlLoopPlayer& FPlayer;
};
