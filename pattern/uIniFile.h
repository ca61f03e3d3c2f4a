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
  // A line of the text: where it stands in FText.
  struct TLine {
    std::size_t at;
    std::size_t size;
  };
  // The first section of each name (later ones of the same name are never read or written):
  // its header line and one past its last line.
  struct TSection {
    std::size_t header;
    std::size_t end;
  };
  std::string_view View(TLine line) const { return {FText.data() + line.at, line.size}; }
  void SetLine(std::size_t index, std::string_view text);
  void Index() const;
  // The section's index in FSections, or none.
  std::optional<std::size_t> Find(std::string_view section) const;
  // The key's entry in FKeys: its name in lower case after the section's index.
  static std::string KeyId(std::size_t section, std::string_view key);

  // The text is held once, as given; a written line is appended to it, and the table of
  // lines says where each line now stands.
  std::string FText;
  std::vector<TLine> FLines;
  // Built when first needed, in one pass, so a file of thousands of keys is read in linear
  // time and a line that is no key costs only its place in FLines; names compare without regard to the
  // case of ASCII letters, the first of a name counts.
  mutable std::vector<TSection> FSections;
  mutable std::unordered_map<std::string, std::size_t> FFirst;  // section name -> FSections
  mutable std::unordered_map<std::string, std::size_t> FKeys;    // KeyId -> line
  mutable bool FIndexed = false;
};
