// Voice recordings for tests of the core: voice v is `length` samples of the constant
// 100 * (v + 1), so a word is told by its level in a rendered measure.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "audio/uWavUtils.h"

struct TConstantVoices {
  std::map<std::string, std::vector<std::uint8_t>, std::less<>> files;
  explicit TConstantVoices(std::size_t length = 30000) {
    for (std::size_t v = 0; v < VoiceTable.size(); ++v) {
      TMemoryStream s;
      WriteWav(s, TWav4416MI(length, static_cast<std::int16_t>(100 * (v + 1))), 0);
      files[std::string(VoiceTable[v].resource)] = s.bytes;
    }
  }
  TResourceReader Reader() const {
    return [this](std::string_view name) -> std::optional<std::span<const std::uint8_t>> {
      const auto it = files.find(name);
      if (it == files.end()) return std::nullopt;
      return std::span<const std::uint8_t>(it->second);
    };
  }
};
