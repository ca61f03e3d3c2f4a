#include "pattern/uIniFile.h"

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

TIniText::TIniText(std::string_view text) {
  std::size_t start = 0;
  while (start < text.size()) {
    const std::size_t end = text.find_first_of("\r\n", start);
    if (end == std::string_view::npos) {
      FLines.emplace_back(text.substr(start));
      break;
    }
    FLines.emplace_back(text.substr(start, end - start));
    start = end + (text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n' ? 2 : 1);
  }
}

void TIniText::Index() const {
  if (FIndexed) return;
  FSections.clear();
  FFirst.clear();
  for (std::size_t i = 0; i < FLines.size(); ++i) {
    if (const auto name = SectionName(FLines[i])) {
      if (!FSections.empty()) FSections.back().end = i;
      FFirst.emplace(AsciiLower(*name), FSections.size());
      FSections.push_back({i, FLines.size(), {}});
    } else if (const auto key = KeyName(FLines[i]); key && !FSections.empty()) {
      FSections.back().keys.emplace(AsciiLower(*key), i);
    }
  }
  FIndexed = true;
}

TIniText::TSection* TIniText::Find(std::string_view section) const {
  Index();
  const auto it = FFirst.find(AsciiLower(section));
  return it == FFirst.end() ? nullptr : &FSections[it->second];
}

std::optional<std::string> TIniText::Read(std::string_view section, std::string_view key) const {
  const TSection* s = Find(section);
  if (s == nullptr) return std::nullopt;
  const auto it = s->keys.find(AsciiLower(key));
  if (it == s->keys.end()) return std::nullopt;
  return std::string(ValueOf(FLines[it->second]));
}

void TIniText::Write(std::string_view section, std::string_view key, std::string_view value) {
  std::string line = std::string(key) + "=" + std::string(value);
  TSection* s = Find(section);
  if (s == nullptr) {
    FFirst.emplace(AsciiLower(section), FSections.size());
    FSections.push_back({FLines.size(), FLines.size() + 2, {{AsciiLower(key), FLines.size() + 1}}});
    FLines.push_back("[" + std::string(section) + "]");
    FLines.push_back(std::move(line));
    return;
  }
  if (const auto it = s->keys.find(AsciiLower(key)); it != s->keys.end()) {
    FLines[it->second] = std::move(line);
    return;
  }
  // After the section's last line that is not blank, so blank lines between sections stay
  // between them.
  std::size_t at = s->end;
  while (at > s->header + 1 && TrimBlanks(FLines[at - 1]).empty()) --at;
  FLines.insert(FLines.begin() + static_cast<std::ptrdiff_t>(at), std::move(line));
  if (at + 1 == FLines.size()) {
    s->keys.emplace(AsciiLower(key), at);
    s->end = FLines.size();
  } else {
    FIndexed = false;  // lines below moved
  }
}

std::string TIniText::Text() const {
  std::string text;
  for (const std::string& line : FLines) text += line + "\r\n";
  return text;
}
