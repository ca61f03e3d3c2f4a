// The INI text, read and written key by key.
#include <gtest/gtest.h>

#include "pattern/uIniFile.h"

namespace {

TEST(IniRead, NamesValuesAndQuotes) {
  const TIniText ini(
      "top=ignored\r\n"
      "[System]\r\n"
      "Version=1.00\r\n"
      "  bpm  =  120  \r\n"
      "; NoteCount=9\r\n"
      "# NoteCount=8\r\n"
      "no equals sign\r\n"
      "NoteCount=3\r\n"
      "noteCOUNT=4\r\n"
      "Name=\"quoted value\"\r\n"
      "Single='x'\r\n"
      "Odd=\"x'\r\n"
      "Lone=\"\r\n"
      "Eq=a=b\r\n"
      "Empty=\r\n"
      "[ note00 ]\r\n"
      "Tone=440\r\n"
      "[SYSTEM]\r\n"
      "Version=2.00\r\n");
  const struct {
    const char* section;
    const char* key;
    const char* value;  // nullptr: no such key
  } cases[] = {
      {"System", "Version", "1.00"},     {"system", "VERSION", "1.00"},  {"System", "BPM", "120"},
      {"System", "NoteCount", "3"},      {"System", "Name", "quoted value"}, {"System", "Single", "x"},
      {"System", "Odd", "\"x'"},         {"System", "Lone", "\""},       {"System", "Eq", "a=b"},
      {"System", "Empty", ""},           {"Note00", "tone", "440"},      {"System", "top", nullptr},
      {"System", "Tone", nullptr},       {"Note01", "Tone", nullptr},    {"System", "no equals sign", nullptr},
  };
  for (const auto& c : cases) {
    const auto value = ini.Read(c.section, c.key);
    if (c.value == nullptr)
      EXPECT_FALSE(value) << c.section << "/" << c.key;
    else
      EXPECT_EQ(value.value_or("<none>"), c.value) << c.section << "/" << c.key;
  }
}

TEST(IniRead, AnyLineEnding) {
  for (const char* text : {"[a]\nk=1\n[b]\nk=2", "[a]\rk=1\r[b]\rk=2\r", "[a]\r\nk=1\r\n[b]\r\nk=2\r\n"}) {
    const TIniText ini(text);
    EXPECT_EQ(ini.Read("a", "k").value_or(""), "1");
    EXPECT_EQ(ini.Read("b", "k").value_or(""), "2");
  }
}

TEST(IniWrite, FreshTextInWritingOrder) {
  TIniText ini;
  ini.Write("System", "Version", "1.00");
  ini.Write("System", "BPM", "120");
  ini.Write("Note00", "Tone", "440");
  ini.Write("System", "NoteCount", "1");
  EXPECT_EQ(ini.Text(), "[System]\r\nVersion=1.00\r\nBPM=120\r\nNoteCount=1\r\n[Note00]\r\nTone=440\r\n");
}

TEST(IniWrite, ReplacesInPlaceAndKeepsEveryOtherLine) {
  TIniText ini(
      "; made by hand\n"
      "[system]\n"
      "  bpm = 90 \n"
      "Extra=kept\n"
      "\n"
      "[Note00]\n"
      "Tone=440\n"
      "odd line\n"
      "[Note09]\n"
      "Tone=1\n");
  ini.Write("System", "BPM", "120");           // in place, under the name as written now
  ini.Write("System", "Version", "1.00");      // at the end of its section, before the blank
  ini.Write("Note00", "Length", "2");          // after the odd line
  ini.Write("Note01", "Tone", "880");          // a new section at the end
  ini.Write("NOTE09", "tone", "2");            // the first such section, whatever the case
  EXPECT_EQ(ini.Text(),
            "; made by hand\r\n"
            "[system]\r\n"
            "BPM=120\r\n"
            "Extra=kept\r\n"
            "Version=1.00\r\n"
            "\r\n"
            "[Note00]\r\n"
            "Tone=440\r\n"
            "odd line\r\n"
            "Length=2\r\n"
            "[Note09]\r\n"
            "tone=2\r\n"
            "[Note01]\r\n"
            "Tone=880\r\n");
  // Reading after insertions in the middle finds every key where it now is.
  EXPECT_EQ(ini.Read("Note09", "Tone").value_or(""), "2");
  EXPECT_EQ(ini.Read("Note00", "Length").value_or(""), "2");
  EXPECT_EQ(ini.Read("System", "Extra").value_or(""), "kept");
}

TEST(IniWrite, OnlyTheFirstSectionOfANameCounts) {
  TIniText ini("[a]\nk=1\n[b]\nx=1\n[A]\nk=2\nj=3\n");
  EXPECT_FALSE(ini.Read("a", "j"));
  ini.Write("a", "j", "4");  // into the first [a], not the later one that has it
  ini.Write("A", "k", "5");
  ini.Write("b", "y", "6");
  EXPECT_EQ(ini.Text(), "[a]\r\nk=5\r\nj=4\r\n[b]\r\nx=1\r\ny=6\r\n[A]\r\nk=2\r\nj=3\r\n");
  EXPECT_EQ(ini.Read("a", "j").value_or(""), "4");
  EXPECT_EQ(ini.Read("a", "k").value_or(""), "5");
  EXPECT_EQ(ini.Read("B", "y").value_or(""), "6");
}

TEST(IniWrite, ThousandsOfSections) {
  // A pattern of thousands of notes is written and read back key by key.
  TIniText ini;
  for (int i = 0; i < 4096; ++i)
    for (const char* key : {"NoteType", "Offset", "Tone", "Length", "Loudness"})
      ini.Write("Note" + std::to_string(i), key, std::to_string(i));
  const TIniText back(ini.Text());
  EXPECT_EQ(back.Read("Note4095", "Loudness").value_or(""), "4095");
  EXPECT_EQ(back.Read("note17", "offset").value_or(""), "17");
}

}  // namespace
