// What the reader fuzz tests draw their inputs from: choices, noise, and mangled text.
#pragma once

#include <cstdint>
#include <functional>
#include <random>
#include <string>
#include <string_view>

class TFuzzRandom {
 public:
  explicit TFuzzRandom(std::uint64_t seed) : FRandom(seed) {}

  // 0 .. n - 1.
  std::size_t Pick(std::size_t n) { return std::uniform_int_distribution<std::size_t>(0, n - 1)(FRandom); }
  template <std::size_t N>
  const char* Of(const char* const (&items)[N]) { return items[Pick(N)]; }

  // Up to 400 bytes, mostly from the alphabet, now and then any byte at all.
  std::string Noise(std::string_view alphabet) {
    std::string s(Pick(400), ' ');
    for (char& ch : s) ch = Pick(8) == 0 ? static_cast<char>(Pick(256)) : alphabet[Pick(alphabet.size())];
    return s;
  }

  // One to six edits: a byte changed, a run erased, a value inserted, a piece copied elsewhere.
  std::string Mangled(std::string s, const std::function<std::string()>& value) {
    for (std::size_t k = Pick(6) + 1; k > 0 && !s.empty(); --k) {
      const std::size_t at = Pick(s.size());
      switch (Pick(4)) {
        case 0: s[at] = static_cast<char>(Pick(256)); break;
        case 1: s.erase(at, Pick(20)); break;
        case 2: s.insert(at, value()); break;
        default: s.insert(at, s.substr(Pick(s.size()), Pick(60))); break;
      }
    }
    return s;
  }

 private:
  std::mt19937_64 FRandom;
};
