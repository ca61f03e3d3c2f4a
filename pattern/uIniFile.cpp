#include "pattern/uIniFile.h"

#include <algorithm>
#include <cstring>

std::string_view TrimBlanks(std::string_view text) {
  const auto blank = [](char ch) { return ch == ' ' || ch == '\t'; };
  while (!text.empty() && blank(text.front())) text.remove_prefix(1);
  while (!text.empty() && blank(text.back())) text.remove_suffix(1);
  return text;
}

std::string AsciiLower(std::string_view text) {
  std::string lower(text);
  for (char& ch : lower)
    if (ch >= 'A' && ch <= 'Z') ch = static_cast<char>(ch - 'A' + 'a');
  return lower;
}

namespace {

// The name of a "[name]" line, or no value for any other line.
std::optional<std::string_view> SectionName(std::string_view line) {
  line = TrimBlanks(line);
  if (line.size() < 2 || line.front() != '[') return std::nullopt;
  const std::size_t close = line.find(']');
  if (close == std::string_view::npos) return std::nullopt;
  return TrimBlanks(line.substr(1, close - 1));
}

// Comments start with ';' or '#'; a key line holds '='.
std::optional<std::string_view> KeyName(std::string_view line) {
  const std::string_view trimmed = TrimBlanks(line);
  if (trimmed.empty() || trimmed.front() == ';' || trimmed.front() == '#') return std::nullopt;
  const std::size_t eq = trimmed.find('=');
  if (eq == std::string_view::npos) return std::nullopt;
  return TrimBlanks(trimmed.substr(0, eq));
}

std::string_view ValueOf(std::string_view line) {
  std::string_view value = TrimBlanks(line.substr(line.find('=') + 1));
  if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front())
    value = value.substr(1, value.size() - 2);
  return value;
}

}  // namespace

TIniText::TIniText(std::string_view text) : FText(text) {
  // Lines end with CR LF, LF or CR. The table is made in one piece: growing it step by step
  // costs more than counting the line ends first.
  const auto ends = std::count_if(text.begin(), text.end(), [](char ch) { return ch == '\n' || ch == '\r'; });
  FLines.reserve(static_cast<std::size_t>(ends) + 1);
  std::size_t start = 0;
  while (start < text.size()) {
    const std::size_t end = text.find_first_of("\r\n", start);
    if (end == std::string_view::npos) {
      FLines.push_back({start, text.size() - start});
      break;
    }
    FLines.push_back({start, end - start});
    start = end + (text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n' ? 2 : 1);
  }
}

std::string TIniText::KeyId(std::size_t section, std::string_view key) {
  std::string id(sizeof section, '\0');
  std::memcpy(id.data(), &section, sizeof section);
  return id + AsciiLower(key);
}

void TIniText::SetLine(std::size_t index, std::string_view text) {
  FLines[index] = {FText.size(), text.size()};
  FText += text;
}

void TIniText::Index() const {
  if (FIndexed) return;
  FSections.clear();
  FFirst.clear();
  FKeys.clear();
  // The section whose keys are being read; none before the first header and in a section
  // whose name came before.
  std::optional<std::size_t> current;
  for (std::size_t i = 0; i < FLines.size(); ++i) {
    const std::string_view line = View(FLines[i]);
    if (const auto name = SectionName(line)) {
      if (current) FSections[*current].end = i;
      current.reset();
      if (FFirst.emplace(AsciiLower(*name), FSections.size()).second) {
        current = FSections.size();
        FSections.push_back({i, 0});
      }
    } else if (const auto key = KeyName(line); key && current) {
      FKeys.emplace(KeyId(*current, *key), i);
    }
  }
  if (current) FSections[*current].end = FLines.size();
  FIndexed = true;
}

std::optional<std::size_t> TIniText::Find(std::string_view section) const {
  Index();
  const auto it = FFirst.find(AsciiLower(section));
  if (it == FFirst.end()) return std::nullopt;
  return it->second;
}

std::optional<std::string> TIniText::Read(std::string_view section, std::string_view key) const {
  const auto s = Find(section);
  if (!s) return std::nullopt;
  const auto it = FKeys.find(KeyId(*s, key));
  if (it == FKeys.end()) return std::nullopt;
  return std::string(ValueOf(View(FLines[it->second])));
}

void TIniText::Write(std::string_view section, std::string_view key, std::string_view value) {
  const std::string line = std::string(key) + "=" + std::string(value);
  const auto s = Find(section);
  if (!s) {
    const std::size_t header = FLines.size();
    FFirst.emplace(AsciiLower(section), FSections.size());
    FKeys.emplace(KeyId(FSections.size(), key), header + 1);
    FSections.push_back({header, header + 2});
    FLines.resize(header + 2);
    SetLine(header, "[" + std::string(section) + "]");
    SetLine(header + 1, line);
    return;
  }
  if (const auto it = FKeys.find(KeyId(*s, key)); it != FKeys.end()) {
    SetLine(it->second, line);
    return;
  }
  // After the section's last line that is not blank, so blank lines between sections stay
  // between them.
  const TSection& where = FSections[*s];
  std::size_t at = where.end;
  while (at > where.header + 1 && TrimBlanks(View(FLines[at - 1])).empty()) --at;
  FLines.insert(FLines.begin() + static_cast<std::ptrdiff_t>(at), TLine{});
  SetLine(at, line);
  if (at + 1 == FLines.size()) {
    FKeys.emplace(KeyId(*s, key), at);
    FSections[*s].end = FLines.size();
  } else {
    FIndexed = false;  // lines below moved
  }
}

std::string TIniText::Text() const {
  std::string text;
  for (const TLine& line : FLines) {
    text += View(line);
    text += "\r\n";
  }
  return text;
}
