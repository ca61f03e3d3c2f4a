#include "pattern/uPattern.h"

#include <algorithm>
#include <charconv>
#include <string>
#include <system_error>

namespace {

template <typename Table, typename Value>
int IndexOr(const Table& table, Value value, int fallback) {
  const auto it = std::find(table.begin(), table.end(), value);
  return it == table.end() ? fallback : static_cast<int>(it - table.begin());
}

// The text with full-width digits (U+FF10..U+FF19, what a Japanese input method types in
// full-width mode) as ASCII digits; every other byte as it was.
std::string AsciiDigits(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (i + 2 < text.size() && static_cast<unsigned char>(text[i]) == 0xEF &&
        static_cast<unsigned char>(text[i + 1]) == 0xBC && static_cast<unsigned char>(text[i + 2]) >= 0x90 &&
        static_cast<unsigned char>(text[i + 2]) <= 0x99) {
      out += static_cast<char>('0' + (static_cast<unsigned char>(text[i + 2]) - 0x90));
      i += 2;
    } else {
      out += text[i];
    }
  }
  return out;
}

}  // namespace

TNote DefaultNote(std::uint16_t offset) {
  TNote note;
  note.offset = offset;
  return note;
}

TNotes DefaultNotes(int tsCount) {
  TNotes notes;
  for (int k = 0; k < tsCount; ++k)
    notes.push_back(DefaultNote(static_cast<std::uint16_t>(SixteenthsPerBeat * k)));
  return notes;
}

bool CanAddNote(std::size_t noteCount, int tsCount) {
  return tsCount > 0 && noteCount < 2 * static_cast<std::size_t>(tsCount);
}

int ToneIndex(float tone) { return IndexOr(ToneFreqs, tone, DefaultToneIndex); }

int LengthIndex(std::uint16_t length) {
  return IndexOr(NoteLengths, static_cast<std::int32_t>(length), DefaultLengthIndex);
}

int LoudnessIndex(float loudness) { return IndexOr(LoudnessLevels, loudness, DefaultLoudnessIndex); }

int TempoFromText(std::string_view typed) {
  const std::string ascii = AsciiDigits(typed);
  std::string_view text = ascii;
  while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
  while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
  if (!text.empty() && text.front() == '+') text.remove_prefix(1);
  long long value = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || ec == std::errc::invalid_argument || end != text.data() + text.size())
    return MinTempo;
  if (ec == std::errc::result_out_of_range) return text.front() == '-' ? MinTempo : MaxTempo;
  return static_cast<int>(std::clamp<long long>(value, MinTempo, MaxTempo));
}
