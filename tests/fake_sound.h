// A sound output for window tests: a clock the test sets, and a record of what was played.
#pragma once

#include <gtest/gtest.h>

#include <new>
#include <optional>
#include <vector>

#include "audio/uSoundOutput.h"

class TFakeSound : public TSoundOutput {
 public:
  bool PlayWavLoop(const TMemoryStream& stream) override {
    EXPECT_GT(holds, 0) << "a hand-over outside a clock hold";
    if (handOverFails) throw std::bad_alloc();
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
  void HoldClock() override { ++holds; }
  void ReleaseClock() override { --holds; }

  std::uint32_t now = 0;
  double latencyMs = 0.0;
  bool deviceWorks = true;
  bool handOverFails = false;  // as when memory runs out
  int holds = 0;
  int stops = 0;
  int checks = 0;
  bool playing = false;
  std::vector<TWav4416MI> loops;  // every image handed over, as samples
};
