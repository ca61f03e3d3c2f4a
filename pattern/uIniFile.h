// The INI text of a pattern file, read and written key by key the way the classic profile
// functions do: sections "[name]", keys "name=value", names matched without regard to
// case, blanks around names and values dropped, one pair of enclosing quotes dropped from a
// value. A write replaces a key's value where it stands, adds a new key at the end of its
// section and a new section at the end of the text, and keeps every other line as it was.
// Lines are written with CR LF.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

// Blanks (spaces and tabs) dropped from both ends.
std::string_view TrimBlanks(std::string_view text);
// ASCII letters in lower case, every other byte as it was.
std::string AsciiLower(std::string_view text);

class TIniText {
 public:
  TIniText() = default;
  // Lines may end with CR LF, LF or CR.
  explicit TIniText(std::string_view text);

  // The value of the first such key in the first such section; no value when there is none.
  std::optional<std::string> Read(std::string_view section, std::string_view key) const;
  void Write(std::string_view section, std::string_view key, std::string_view value);

  // The whole text, each line ended with CR LF.
  std::string Text() const;

 private:
  // Where each section's lines are, and its keys by name in lower case, as names compare
  // without regard to the case of ASCII letters (the first of a name counts); built when first needed, so a file of thousands of keys is read in one pass.
  struct TSection {
    std::size_t header;  // index of the "[section]" line
    std::size_t end;     // one past the section's last line
    std::unordered_map<std::string, std::size_t> keys;
  };
  void Index() const;
  TSection* Find(std::string_view section) const;

  std::vector<std::string> FLines;
  mutable std::vector<TSection> FSections;
  mutable std::unordered_map<std::string, std::size_t> FFirst;  // section name -> FSections
  mutable bool FIndexed = false;
};
