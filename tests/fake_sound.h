// A sound output for window tests: a clock the test sets, and a record of what was played.
#pragma once

#include <gtest/gtest.h>

#include <new>
#include <optional>
#include <vector>

#include "audio/uSoundOutput.h"

class TFakeSound : public TSoundOutput {
 public:
  std::uint32_t NextStartMs() override {
    ++stamps;
    return now;
  }
  bool PlayWavLoop(const TMemoryStream& stream, std::uint32_t startMs) override {
    EXPECT_GT(stamps, 0) << "a hand-over with a start the output never gave";
    if (handOverFails) throw std::bad_alloc();
    starts.push_back(startMs);
    auto samples = ReadWavImage(stream.bytes);
    if (!samples) return false;
    loops.push_back(std::move(*samples));
    playing = true;
    return deviceWorks;
  }
  bool StopWav() override {
    ++stops;
    playing = false;
    return true;
  }
  bool CheckDevice() override {
    ++checks;
    return deviceWorks;
  }
  std::uint32_t TimeGetTime() override { return now; }
  double OutputLatencyMs() override { return latencyMs; }

  std::uint32_t now = 0;
  double latencyMs = 0.0;
  bool deviceWorks = true;
  bool handOverFails = false;  // as when memory runs out
  int stamps = 0;
  int stops = 0;
  int checks = 0;
  bool playing = false;
  std::vector<TWav4416MI> loops;  // every image handed over, as samples
  std::vector<std::uint32_t> starts;  // and the start it was stamped with
};
