// The pattern file: values, limits, the version gate, saving over an old file, listing.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <fstream>
#include <functional>
#include <limits>
#include <optional>
#include <set>
#include <sstream>

#include "fifo_watchdog.h"
#include "temp_folder.h"
#include "pattern/uPatternFile.h"

namespace {

std::string Read(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

void Write(const std::filesystem::path& path, std::string_view text) {
  std::ofstream(path, std::ios::binary) << text;
}

// The names in a folder, sorted.
std::vector<std::string> Names(const std::filesystem::path& folder) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

// Everything under a folder as it stands: each entry's path, its type, and a link's target
// or a file's text; links are not followed.
std::vector<std::string> Snapshot(const std::filesystem::path& folder) {
  std::vector<std::string> entries;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(folder)) {
    const auto type = entry.symlink_status().type();
    std::string line = entry.path().lexically_relative(folder).string() + " " +
                       std::to_string(static_cast<int>(type));
    if (type == std::filesystem::file_type::symlink) line += " -> " + std::filesystem::read_symlink(entry.path()).string();
    if (type == std::filesystem::file_type::regular) line += " = " + Read(entry.path());
    entries.push_back(line);
  }
  std::sort(entries.begin(), entries.end());
  return entries;
}

// The message of the write error a save raises, or "no error".
std::string SaveError(const std::filesystem::path& path, const TSaveHooks& hooks = {}) {
  try {
    SaveNotes(path, DefaultNotes(4), 1, 120, ".", hooks);
  } catch (const EPatternWriteError& e) {
    return e.what();
  }
  return "no error";
}

std::string WriteErrorOf(const std::filesystem::path& path) { return path.string() + " に書き込めません"; }

std::string Repeat(std::string_view text, int times) {
  std::string out;
  for (int k = 0; k < times; ++k) out += text;
  return out;
}

struct TLoaded {
  bool passed;
  TNotes notes;
  std::int32_t timeSig, tempo;
};

TLoaded Load(std::string_view text, std::string_view separator = ".") {
  TLoaded r{false, {DefaultNote(99)}, 77, 88};
  r.passed = LoadNotesFromText(text, r.notes, r.timeSig, r.tempo, separator);
  return r;
}

std::string WithNote(std::string_view keys, std::string_view system = "TimeSigniture=1\nNoteCount=1\n") {
  return "[System]\nVersion=1.00\n" + std::string(system) + "[Note00]\n" + std::string(keys);
}

const char* const DefaultPatternFile =
    "[System]\r\nVersion=1.00\r\nTimeSigniture=1\r\nBPM=120\r\nNoteCount=4\r\n"
    "[Note00]\r\nNoteType=0\r\nOffset=0\r\nTone=440\r\nLength=2\r\nLoudness=0.5\r\n"
    "[Note01]\r\nNoteType=0\r\nOffset=16\r\nTone=440\r\nLength=2\r\nLoudness=0.5\r\n"
    "[Note02]\r\nNoteType=0\r\nOffset=32\r\nTone=440\r\nLength=2\r\nLoudness=0.5\r\n"
    "[Note03]\r\nNoteType=0\r\nOffset=48\r\nTone=440\r\nLength=2\r\nLoudness=0.5\r\n";

TEST(PatternText, DefaultPatternAsAFreshFile) {
  EXPECT_EQ(PatternText("", DefaultNotes(4), 1, 120, "."), DefaultPatternFile);
}

TEST(FloatText, FifteenDigitsOfTheWidenedFloat) {
  const struct {
    float value;
    const char* separator;
    const char* text;
  } cases[] = {
      {440.0f, ".", "440"},          {0.5f, ".", "0.5"},      {1.0f, ".", "1"},
      {0.0f, ".", "0"},              {0.8f, ".", "0.800000011920929"},
      {261.626f, ".", "261.626007080078"},                   {0.5f, ",", "0,5"},
      {261.626f, ",", "261,626007080078"},                   {1046.502f, ".", "1046.501953125"},
      {1e-7f, ".", "1.0000000116861E-7"},                   {-0.0f, ".", "-0"},
  };
  for (const auto& c : cases) EXPECT_EQ(FloatText(c.value, c.separator), c.text) << c.value;
}

TEST(ReadIntValue, DecimalAndHexadecimal) {
  const struct {
    const char* text;
    std::int32_t value;
  } cases[] = {
      {"12", 12},           {"+12", 12},          {"-12", -12},          {"0", 0},
      {"$20", 32},          {"0x20", 32},         {"0X20", 32},          {"$ff", 255},
      {"-$20", -32},        {"$FFFFFFFF", -1},    {"$7fffffff", 2147483647},
      {"2147483647", 2147483647},                 {"-2147483648", -2147483647 - 1},
      {" 7 ", 7},           {"007", 7},
      // Not a number, or out of range: the default.
      {"", -5},             {"2147483648", -5},   {"-2147483649", -5},   {"$100000000", -5},
      {"12a", -5},          {"1 2", -5},          {"0x", -5},            {"$", -5},
      {"abc", -5},          {"1.5", -5},          {"--1", -5},           {"$-1", -5},
  };
  for (const auto& c : cases) EXPECT_EQ(ReadIntValue(c.text, -5), c.value) << '"' << c.text << '"';
}

TEST(ReadFloatValue, EitherSeparatorAndTheLimitsOfAFloat) {
  const float inf = std::numeric_limits<float>::infinity();
  const struct {
    const char* text;
    const char* separator;
    float value;
  } cases[] = {
      {"440", ".", 440.0f},      {"0.5", ".", 0.5f},     {"0,5", ".", 0.5f},     {"0.5", ",", 0.5f},
      {"0,5", ",", 0.5f},        {".5", ".", 0.5f},      {"5.", ".", 5.0f},      {"+2", ".", 2.0f},
      {"-0.5", ".", -0.5f},      {"1e3", ".", 1000.0f},  {"1E-2", ".", 0.01f},   {"2.5e+1", ".", 25.0f},
      {" 1.5 ", ".", 1.5f},      {"1\xd9\xab" "5", "\xd9\xab", 1.5f},
      {"0.800000011920929", ".", 0.8f},                  {"261,626007080078", ".", 261.626f},
      {"1e999", ".", inf},       {"-1e999", ".", -inf},  {"1e-999", ".", 0.0f},
      {"0.000000000000000000000000000000000000000000000000001e-400", ".", 0.0f},
      {"1e39", ".", inf},        {"123456789012345678901234567890123456789012345", ".", inf},
      // Not a number: the default.
      {"", ".", 9.0f},           {"abc", ".", 9.0f},     {"1.2.3", ".", 9.0f},   {"e5", ".", 9.0f},
      {"1e", ".", 9.0f},         {".", ".", 9.0f},       {"1 5", ".", 9.0f},     {"nan", ".", 9.0f},
      {"inf", ".", 9.0f},        {"0x10", ".", 9.0f},    {"1;5", ".", 9.0f},
  };
  for (const auto& c : cases) EXPECT_EQ(ReadFloatValue(c.text, 9.0f, c.separator), c.value) << '"' << c.text << '"';
}

TEST(LoadNotes, VersionGate) {
  const TLoaded wrong = Load("[System]\nVersion=1.0\nTimeSigniture=2\nBPM=90\nNoteCount=0\n");
  EXPECT_FALSE(wrong.passed);
  EXPECT_EQ(wrong.notes, TNotes{DefaultNote(99)});
  EXPECT_EQ(wrong.timeSig, 77);
  EXPECT_EQ(wrong.tempo, 88);
  EXPECT_FALSE(Load("[System]\nVersion=2.00\n").passed);
  EXPECT_FALSE(Load("").passed);
  EXPECT_FALSE(Load("[Other]\nVersion=1.00\n").passed);

  const TLoaded bare = Load("[system]\n version = \"1.00\" \n");
  EXPECT_TRUE(bare.passed);
  EXPECT_EQ(bare.timeSig, 0);
  EXPECT_EQ(bare.tempo, 0);
  EXPECT_TRUE(bare.notes.empty());
}

TEST(LoadNotes, MissingSectionsAreDefaultNotes) {
  const TLoaded r = Load(
      "[System]\nVersion=1.00\nTimeSigniture=1\nBPM=100\nNoteCount=3\n"
      "[Note00]\nNoteType=3\nOffset=8\n[Note02]\nOffset=40\nLoudness=0.3\n[Note03]\nOffset=5\n");
  ASSERT_EQ(r.notes.size(), 3u);
  EXPECT_EQ(r.tempo, 100);
  EXPECT_EQ(r.notes[0].n_type, 3);
  EXPECT_EQ(r.notes[0].offset, 8);
  EXPECT_EQ(r.notes[1], DefaultNote(0));
  EXPECT_EQ(r.notes[2].offset, 40);
  EXPECT_EQ(r.notes[2].loudness, 0.3f);
  EXPECT_TRUE(Load("[System]\nVersion=1.00\nNoteCount=-4\n[Note00]\n").notes.empty());
}

TEST(LoadNotes, EveryValueLimited) {
  const float c4 = ToneFreqs.front(), c6 = ToneFreqs.back();
  const struct {
    const char* keys;
    TNote expected;
  } cases[] = {
      {"Offset=300\n", {0, 255, 2, 440.0f, 0.5f}},
      {"Offset=-1\n", {0, 255, 2, 440.0f, 0.5f}},
      {"Offset=$20\n", {0, 32, 2, 440.0f, 0.5f}},
      {"Offset=0x20\n", {0, 32, 2, 440.0f, 0.5f}},
      {"Offset=65536\n", {0, 0, 2, 440.0f, 0.5f}},
      {"Length=0\n", {0, 0, 1, 440.0f, 0.5f}},
      {"Length=1000\n", {0, 0, 256, 440.0f, 0.5f}},
      {"Length=65536\n", {0, 0, 1, 440.0f, 0.5f}},
      {"NoteType=12\n", {9, 0, 2, 440.0f, 0.5f}},
      {"NoteType=-1\n", {9, 0, 2, 440.0f, 0.5f}},
      {"NoteType=65536\n", {0, 0, 2, 440.0f, 0.5f}},
      {"NoteType=junk\n", {0, 0, 2, 440.0f, 0.5f}},
      {"Tone=100\n", {0, 0, 2, c4, 0.5f}},
      {"Tone=5000\n", {0, 0, 2, c6, 0.5f}},
      {"Tone=abc\n", {0, 0, 2, 440.0f, 0.5f}},
      {"Tone=1e999\n", {0, 0, 2, c6, 0.5f}},
      {"Tone=261.626\n", {0, 0, 2, c4, 0.5f}},
      {"Tone=500\n", {0, 0, 2, 500.0f, 0.5f}},
      {"Loudness=-0.5\n", {0, 0, 2, 440.0f, 0.0f}},
      {"Loudness=2\n", {0, 0, 2, 440.0f, 1.0f}},
      {"Loudness=\n", {0, 0, 2, 440.0f, 0.5f}},
      {"Loudness=0,8\n", {0, 0, 2, 440.0f, 0.8f}},
      {"Tone=880,000\nLoudness=0.3\n", {0, 0, 2, 880.0f, 0.3f}},
  };
  for (const auto& c : cases) {
    const TLoaded r = Load(WithNote(c.keys));
    ASSERT_EQ(r.notes.size(), 1u) << c.keys;
    EXPECT_EQ(r.notes[0], c.expected) << c.keys;
  }
  // The bounds follow the time signature: 8 beats allow four measures of 128.
  const TLoaded wide = Load(WithNote("Offset=600\nLength=600\n", "TimeSigniture=3\nNoteCount=1\n"));
  EXPECT_EQ(wide.notes[0].offset, 511);
  EXPECT_EQ(wide.notes[0].length, 512);
}

TEST(LoadNotes, TimeSignatureAndNoteCountLimited) {
  const struct {
    const char* system;
    std::int32_t timeSig;
    std::uint16_t maxOffset;
  } cases[] = {{"TimeSigniture=-3\n", 0, 191}, {"TimeSigniture=7\n", 3, 511}, {"TimeSigniture=2\n", 2, 383},
               {"TimeSigniture=$7FFFFFFF\n", 3, 511}, {"", 0, 191}};
  for (const auto& c : cases) {
    const TLoaded r = Load(WithNote("Offset=9999\n", std::string(c.system) + "NoteCount=1\n"));
    EXPECT_EQ(r.timeSig, c.timeSig) << c.system;
    EXPECT_EQ(r.notes.at(0).offset, c.maxOffset) << c.system;
  }
  const TLoaded many = Load("[System]\nVersion=1.00\nNoteCount=2000000000\n");
  EXPECT_EQ(many.notes.size(), static_cast<std::size_t>(MaxLoadedNotes));
  EXPECT_EQ(many.notes.back(), DefaultNote(0));
}

// Up to the cut every note of a file is read as written; beyond it, none. The cut lies above
// anything the editor makes (two notes per beat).
TEST(LoadNotes, NoteCountCutAboveTheEditorsLimit) {
  EXPECT_GE(MaxLoadedNotes, 2 * TimeSigBeats.back());
  TNotes written;
  for (int i = 0; i < MaxLoadedNotes + 10; ++i) {
    TNote n = DefaultNote(static_cast<std::uint16_t>(i % 511));
    n.n_type = static_cast<std::uint16_t>(i % 10);
    n.tone = 300.0f + static_cast<float>(i);
    n.length = static_cast<std::uint16_t>(1 + i);
    written.push_back(n);
  }
  const TNotes upToCut(written.begin(), written.begin() + MaxLoadedNotes);
  const struct {
    std::size_t count;
    TNotes expected;
  } cases[] = {{16, TNotes(written.begin(), written.begin() + 16)},
               {static_cast<std::size_t>(MaxLoadedNotes), upToCut},
               {static_cast<std::size_t>(MaxLoadedNotes) + 1, upToCut},
               {written.size(), upToCut}};
  for (const auto& c : cases) {
    const TNotes notes(written.begin(), written.begin() + static_cast<std::ptrdiff_t>(c.count));
    EXPECT_EQ(Load(PatternText("", notes, 3, 60, ".")).notes, c.expected) << c.count;
  }
}

TEST(LoadNotes, TempoIsNotLimitedHere) {
  EXPECT_EQ(Load("[System]\nVersion=1.00\nBPM=300\n").tempo, 300);
  EXPECT_EQ(Load("[System]\nVersion=1.00\nBPM=-7\n").tempo, -7);
  EXPECT_EQ(Load("[System]\nVersion=1.00\n").tempo, 0);
}

// Every pattern the editor can make comes back bit for bit, whichever separator is in use:
// every offset of every time signature, every type, tone, length and loudness, tempos
// across the range, in patterns of up to two notes per beat.
TEST(PatternFile, RoundTripOfEditorPatterns) {
  TTempFolder folder;
  const auto path = folder.path / "round.tktm";
  std::set<std::uint32_t> types, tones, lengths, loudnesses;
  int made = 0, patterns = 0;
  for (const char* separator : {".", ","}) {
    for (std::size_t ts = 0; ts < TimeSigBeats.size(); ++ts) {
      const int beats = TimeSigBeats[ts];
      TNotes all;
      for (int offset = 0; offset <= 16 * beats; ++offset, ++made) {
        TNote n;
        n.n_type = static_cast<std::uint16_t>(made % 10);
        n.offset = static_cast<std::uint16_t>(offset);
        n.tone = ToneFreqs[static_cast<std::size_t>(made % 15)];
        n.length = static_cast<std::uint16_t>(NoteLengths[static_cast<std::size_t>(made % 2)]);
        n.loudness = LoudnessLevels[static_cast<std::size_t>((made / 3) % 4)];
        all.push_back(n);
        types.insert(n.n_type);
        tones.insert(std::bit_cast<std::uint32_t>(n.tone));
        lengths.insert(n.length);
        loudnesses.insert(std::bit_cast<std::uint32_t>(n.loudness));
      }
      for (std::size_t from = 0; from < all.size(); from += 2 * beats, ++patterns) {
        const TNotes notes(all.begin() + static_cast<std::ptrdiff_t>(from),
                           all.begin() + static_cast<std::ptrdiff_t>(std::min(all.size(), from + 2 * beats)));
        const int tempo = 60 + (patterns * 37) % 181;
        SaveNotes(path, notes, static_cast<std::int32_t>(ts), tempo, separator);
        TNotes back;
        std::int32_t backTs = -1, backTempo = -1;
        ASSERT_TRUE(LoadNotes(path, back, backTs, backTempo, separator));
        EXPECT_EQ(backTs, static_cast<std::int32_t>(ts));
        EXPECT_EQ(backTempo, tempo);
        ASSERT_EQ(back.size(), notes.size());
        for (std::size_t i = 0; i < notes.size(); ++i) {
          EXPECT_EQ(back[i], notes[i]);
          EXPECT_EQ(std::bit_cast<std::uint32_t>(back[i].tone), std::bit_cast<std::uint32_t>(notes[i].tone));
          EXPECT_EQ(std::bit_cast<std::uint32_t>(back[i].loudness), std::bit_cast<std::uint32_t>(notes[i].loudness));
        }
        std::filesystem::remove(path);
      }
    }
  }
  EXPECT_EQ(types.size(), 10u);
  EXPECT_EQ(tones.size(), ToneFreqs.size());
  EXPECT_EQ(lengths.size(), NoteLengths.size());
  EXPECT_EQ(loudnesses.size(), LoudnessLevels.size());
}

TEST(PatternFile, SmallerPatternOverALargerOneLeavesItsSections) {
  TTempFolder folder;
  const auto path = folder.path / "Run.tktm";
  TNotes six = DefaultNotes(6);
  SaveNotes(path, six, 2, 90, ".");
  SaveNotes(path, DefaultNotes(2), 0, 150, ".");
  const std::string text = Read(path);
  for (const char* section : {"[Note02]", "[Note05]"}) EXPECT_NE(text.find(section), std::string::npos) << section;
  EXPECT_NE(text.find("NoteCount=2\r\n"), std::string::npos);
  TNotes back;
  std::int32_t ts = -1, tempo = -1;
  ASSERT_TRUE(LoadNotes(path, back, ts, tempo, "."));
  EXPECT_EQ(back, DefaultNotes(2));
  EXPECT_EQ(ts, 0);
  EXPECT_EQ(tempo, 150);
}

TEST(PatternFile, SaveKeepsLinesOfOtherShapes) {
  TTempFolder folder;
  const auto path = folder.path / "hand.tktm";
  Write(path, "; edited by hand\n[System]\nversion=1.00\nComment=mine\n[Extra]\nA=1\n");
  SaveNotes(path, {DefaultNote(0)}, 1, 120, ".");
  EXPECT_EQ(Read(path),
            "; edited by hand\r\n[System]\r\nVersion=1.00\r\nComment=mine\r\nTimeSigniture=1\r\nBPM=120\r\n"
            "NoteCount=1\r\n[Extra]\r\nA=1\r\n"
            "[Note00]\r\nNoteType=0\r\nOffset=0\r\nTone=440\r\nLength=2\r\nLoudness=0.5\r\n");
}

TEST(PatternFile, UnreadableFilesChangeNothing) {
  TTempFolder folder;
  TNotes notes{DefaultNote(5)};
  std::int32_t ts = 2, tempo = 90;
  EXPECT_FALSE(LoadNotes(folder.path / "missing.tktm", notes, ts, tempo, "."));
  std::filesystem::create_directory(folder.path / "dir.tktm");
  EXPECT_FALSE(LoadNotes(folder.path / "dir.tktm", notes, ts, tempo, "."));
  std::filesystem::create_symlink(folder.path / "gone.tktm", folder.path / "dangling.tktm");
  EXPECT_FALSE(LoadNotes(folder.path / "dangling.tktm", notes, ts, tempo, "."));
  ASSERT_TRUE(MakeFifo(folder.path / "pipe.tktm"));
  TFifoWatchdog watchdog(folder.path / "pipe.tktm");
  EXPECT_FALSE(LoadNotes(folder.path / "pipe.tktm", notes, ts, tempo, "."));
  EXPECT_FALSE(watchdog.Fired()) << "waited on the FIFO";
  EXPECT_EQ(notes, TNotes{DefaultNote(5)});
  EXPECT_EQ(ts, 2);
  EXPECT_EQ(tempo, 90);
}

// A file larger than any pattern file is refused whole, with an error, whatever it holds
// where; one of exactly the limit is read.
TEST(LoadNotes, RefusesAFileLargerThanAnyPatternFile) {
  TTempFolder folder;
  const std::string pattern = PatternText("", DefaultNotes(3), 0, 90, ".");
  const auto padded = [&](std::uintmax_t size) { return pattern + ";" + std::string(size - pattern.size() - 1, 'x'); };
  Write(folder.path / "limit.tktm", padded(MaxPatternFileBytes));
  Write(folder.path / "over.tktm", padded(MaxPatternFileBytes + 1));
  {
    // 20 MB, the notes after the first 16 MB.
    std::ofstream out(folder.path / "far.tktm", std::ios::binary);
    out << "[System]\r\nVersion=1.00\r\nTimeSigniture=2\r\nBPM=90\r\nNoteCount=1\r\n";
    out.seekp(17 * 1024 * 1024);
    out << "\r\n[Note00]\r\nOffset=40\r\n";
    out.seekp(20 * 1000 * 1000 - 1);
    out << "\n";
  }
  const struct {
    const char* name;
    bool refused;
  } cases[] = {{"limit.tktm", false}, {"over.tktm", true}, {"far.tktm", true}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const auto path = folder.path / c.name;
    TNotes notes{DefaultNote(5)};
    std::int32_t ts = 1, tempo = 120;
    try {
      EXPECT_TRUE(LoadNotes(path, notes, ts, tempo, "."));
      EXPECT_FALSE(c.refused) << "loaded";
      EXPECT_EQ(notes, DefaultNotes(3));
      EXPECT_EQ(tempo, 90);
    } catch (const EPatternTooLarge& e) {
      EXPECT_TRUE(c.refused) << "refused";
      EXPECT_EQ(e.Path(), path);
      EXPECT_EQ(notes, TNotes{DefaultNote(5)});
      EXPECT_EQ(ts, 1);
      EXPECT_EQ(tempo, 120);
    }
  }
}

// ---- A failed save leaves the old file as it was, and nothing beside it -------------------

class FailedSave : public testing::Test {
 protected:
  void SetUp() override {
    path = folder.path / "Run.tktm";
    Write(path, old);
  }
  void ExpectOldFileAlone() {
    EXPECT_EQ(Read(path), old);
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder.path))
      names.push_back(entry.path().filename().string());
    EXPECT_EQ(names, std::vector<std::string>{"Run.tktm"});
  }
  TTempFolder folder;
  std::filesystem::path path;
  const std::string old = "[System]\r\nVersion=1.00\r\nTimeSigniture=3\r\nBPM=77\r\nNoteCount=0\r\n";
};

TEST_F(FailedSave, WhenTheFolderCannotBeWritten) {
  const int status = RunWithoutWriteAccess(folder.path, [&] {
    try {
      SaveNotes(path, DefaultNotes(4), 1, 120, ".");
    } catch (const EPatternWriteError& e) {
      return std::string(e.what()) == path.string() + " に書き込めません" ? 0 : 2;
    }
    return 1;
  });
  EXPECT_EQ(status, 0) << "1: saved although the folder is read-only, 2: the wrong message";
  ExpectOldFileAlone();
}

TEST_F(FailedSave, WhenTheFileSystemFailsAtTheRename) {
  TSaveHooks hooks;
  hooks.rename = [](const std::filesystem::path&, const std::filesystem::path&) {
    throw std::filesystem::filesystem_error("injected", std::make_error_code(std::errc::io_error));
  };
  try {
    SaveNotes(path, DefaultNotes(4), 1, 120, ".", hooks);
    ADD_FAILURE() << "no error";
  } catch (const EPatternWriteError& e) {
    EXPECT_EQ(std::string(e.what()), path.string() + " に書き込めません");
  }
  ExpectOldFileAlone();
}

TEST(SaveNotes, RefusesAnOldFileLargerThanAnyPatternFile) {
  // Its keys could not be kept within bounds, and they are not thrown away.
  TTempFolder folder;
  const auto path = folder.path / "Big.tktm";
  const std::string old = "[System]\r\nVersion=1.00\r\n;" + std::string(MaxPatternFileBytes, 'x');
  Write(path, old);
  EXPECT_EQ(SaveError(path), WriteErrorOf(path));
  EXPECT_EQ(Read(path), old);
  EXPECT_EQ(Names(folder.path), std::vector<std::string>{"Big.tktm"});
}

// Every name the file system takes is saved, once and again over itself; a name it does not
// take is an error that leaves nothing behind. The temporary file must not lengthen the name.
TEST(SaveNotes, AnyNameTheFileSystemTakes) {
  TTempFolder probe;
  ASSERT_EQ(::pathconf(probe.path.c_str(), _PC_NAME_MAX), 255) << "the cases assume names of at most 255 bytes";
  const struct {
    const char* what;
    std::string name;
    bool fits;
  } cases[] = {
      {"1 byte", "a", true},
      {"200 bytes", std::string(200, 'b'), true},
      {"240 bytes", std::string(240, 'c'), true},
      {"80 kanji, 240 bytes", Repeat("漢", 80), true},
      {"250 bytes", std::string(250, 'e'), true},
      {"255 bytes, 260 with the extension", std::string(255, 'f'), false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    TTempFolder folder;
    const std::string file = c.name + ".tktm";
    const auto path = folder.path / PathFromUtf8(file);
    if (!c.fits) {
      EXPECT_EQ(SaveError(path), WriteErrorOf(path));
      EXPECT_TRUE(Names(folder.path).empty());
      continue;
    }
    SaveNotes(path, DefaultNotes(6), 2, 60, ".");
    const std::string first = PatternText("", DefaultNotes(6), 2, 60, ".");
    EXPECT_EQ(Read(path), first);
    SaveNotes(path, DefaultNotes(3), 0, 200, ".");
    EXPECT_EQ(Read(path), PatternText(first, DefaultNotes(3), 0, 200, "."));
    EXPECT_EQ(Names(folder.path), std::vector<std::string>{file});
  }
}

// What is no regular file, nor a link to one, is refused before anything is opened or made:
// everything stays as it was and no temporary file is left.
TEST(SaveNotes, RefusesWhatIsNoRegularFile) {
  using TMake = std::function<void(const std::filesystem::path& folder, const std::filesystem::path& target)>;
  const struct {
    const char* what;
    TMake make;
    const char* fifo;  // a FIFO a save might wait on
  } cases[] = {
      {"a FIFO", [](auto&, auto& target) { ASSERT_TRUE(MakeFifo(target)); }, "Run.tktm"},
      {"a folder",
       [](auto&, auto& target) {
         std::filesystem::create_directory(target);
         Write(target / "inside.txt", "kept");
       },
       nullptr},
      {"a dangling link", [](auto& folder, auto& target) { std::filesystem::create_symlink(folder / "gone.tktm", target); },
       nullptr},
      {"a loop of links",
       [](auto& folder, auto& target) {
         std::filesystem::create_symlink(folder / "other.tktm", target);
         std::filesystem::create_symlink(target, folder / "other.tktm");
       },
       nullptr},
      {"a link to a folder",
       [](auto& folder, auto& target) {
         std::filesystem::create_directory(folder / "sub");
         std::filesystem::create_directory_symlink("sub", target);
       },
       nullptr},
      {"a link to a FIFO",
       [](auto& folder, auto& target) {
         ASSERT_TRUE(MakeFifo(folder / "pipe"));
         std::filesystem::create_symlink("pipe", target);
       },
       "pipe"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    TTempFolder folder;
    const auto target = folder.path / "Run.tktm";
    c.make(folder.path, target);
    const std::vector<std::string> before = Snapshot(folder.path);
    std::optional<TFifoWatchdog> watchdog;
    if (c.fifo != nullptr) watchdog.emplace(folder.path / c.fifo);
    EXPECT_EQ(SaveError(target), WriteErrorOf(target));
    if (watchdog) {
      EXPECT_FALSE(watchdog->Fired()) << "waited on the FIFO";
    }
    EXPECT_EQ(Snapshot(folder.path), before);
  }
}

// A pattern kept elsewhere and linked into the pattern folder stays there: the save replaces
// the file at the end of the links, in its own folder, and every link stays as it was.
TEST(SaveNotes, WritesThroughLinksAndKeepsThem) {
  const std::string old = "[System]\r\nVersion=1.00\r\nMine=kept\r\n";
  const struct {
    const char* what;
    std::vector<std::pair<std::string, std::string>> links;  // link (under the folder) -> target
  } cases[] = {
      {"a link", {{"patterns/Run.tktm", "../store/real.tktm"}}},
      {"a chain of two links", {{"patterns/Run.tktm", "<abs>store/mid.tktm"}, {"store/mid.tktm", "real.tktm"}}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    TTempFolder folder;
    std::filesystem::create_directory(folder.path / "patterns");
    std::filesystem::create_directory(folder.path / "store");
    const auto real = folder.path / "store" / "real.tktm";
    Write(real, old);
    std::filesystem::permissions(real, std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
    for (const auto& [link, to] : c.links)
      std::filesystem::create_symlink(to.starts_with("<abs>") ? (folder.path / to.substr(5)).string() : to,
                                      folder.path / link);
    std::vector<std::string> links;
    for (const std::string& entry : Snapshot(folder.path))
      if (entry.find(" -> ") != std::string::npos) links.push_back(entry);

    SaveNotes(folder.path / "patterns" / "Run.tktm", DefaultNotes(4), 1, 120, ".");
    EXPECT_EQ(Read(real), PatternText(old, DefaultNotes(4), 1, 120, "."));
    EXPECT_EQ(std::filesystem::status(real).permissions() & std::filesystem::perms::all,
              std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
    std::vector<std::string> linksAfter;
    for (const std::string& entry : Snapshot(folder.path))
      if (entry.find(" -> ") != std::string::npos) linksAfter.push_back(entry);
    EXPECT_EQ(linksAfter, links);
    EXPECT_EQ(Names(folder.path / "patterns"), std::vector<std::string>{"Run.tktm"});
    EXPECT_EQ(Names(folder.path / "store").size(), c.links.size());  // real.tktm and the links there

    // A failure at the last step leaves the file and the links, and nothing beside them.
    const std::vector<std::string> before = Snapshot(folder.path);
    TSaveHooks hooks;
    hooks.rename = [](const std::filesystem::path&, const std::filesystem::path&) {
      throw std::filesystem::filesystem_error("injected", std::make_error_code(std::errc::io_error));
    };
    EXPECT_EQ(SaveError(folder.path / "patterns" / "Run.tktm", hooks),
              WriteErrorOf(folder.path / "patterns" / "Run.tktm"));
    EXPECT_EQ(Snapshot(folder.path), before);
  }
}

TEST(PatternFile, SavePreservesTheFilesPermissions) {
  TTempFolder folder;
  const auto path = folder.path / "mine.tktm";
  Write(path, "");
  std::filesystem::permissions(path, std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
  SaveNotes(path, DefaultNotes(3), 0, 60, ".");
  EXPECT_EQ(std::filesystem::status(path).permissions() & std::filesystem::perms::all,
            std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
}

// ---- Listing -------------------------------------------------------------------------------

TEST(ListPatternFiles, RegularPatternFilesByName) {
  TTempFolder folder;
  for (const char* name : {"Run.tktm", "warm-up.TKTM", "notes.txt", ".hidden.tktm", "a.b.tktm", "b.tktm",
                           "B.tktm", "A.tktm", "tktm", ".tktm", "x.tktm.bak"})
    Write(folder.path / name, "");
  std::filesystem::create_directory(folder.path / "old.tktm");
  std::filesystem::create_directory(folder.path / "sub");
  Write(folder.path / "sub" / "deep.tktm", "");
  std::filesystem::create_symlink(folder.path / "Run.tktm", folder.path / "link.tktm");
  std::filesystem::create_directory_symlink(folder.path / "sub", folder.path / "dirlink.tktm");

  std::vector<std::string> names;
  for (const TPatternFile& file : ListPatternFiles(folder.path)) {
    names.push_back(file.name);
    EXPECT_EQ(file.path.parent_path(), folder.path);
  }
  EXPECT_EQ(names, (std::vector<std::string>{".hidden", "A", "a.b", "B", "b", "link", "Run", "warm-up"}));
  EXPECT_TRUE(ListPatternFiles(folder.path / "missing").empty());
}

TEST(ListPatternFiles, SeveralFoldersAsOneListTheFirstFolderWinningAName) {
  TTempFolder mine, program;
  for (const char* name : {"Run.tktm", "sprint.tktm"}) Write(mine.path / name, "");
  for (const char* name : {"Run.tktm", "Cool-down.tktm", "run.tktm", "Sprint.TKTM"}) Write(program.path / name, "");

  std::vector<std::pair<std::string, std::filesystem::path>> listed;
  for (const TPatternFile& file : ListPatternFiles({mine.path, program.path / "missing", program.path}))
    listed.emplace_back(file.name, file.path.parent_path());
  EXPECT_EQ(listed, (std::vector<std::pair<std::string, std::filesystem::path>>{{"Cool-down", program.path},
                                                                                {"Run", mine.path},
                                                                                {"run", program.path},
                                                                                {"Sprint", program.path},
                                                                                {"sprint", mine.path}}));
}

TEST(ChoosePatternFolders, TheProgramsFolderWhileWritableElseTheUsers) {
  const std::filesystem::path program = "/opt/taktola/bin", user = "/home/u/.local/share/taktola";
  struct Case {
    std::filesystem::path user;
    bool writable;
    std::filesystem::path save;
    std::vector<std::filesystem::path> listed;
  } cases[] = {
      {user, true, program, {program, user}},
      {user, false, user, {user, program}},
      {"", false, program, {program}},  // no home: the save fails with its error, as before
      {program, false, program, {program}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.user.string() + (c.writable ? " writable" : " read-only"));
    const TPatternFolders folders = ChoosePatternFolders(program, c.user, c.writable);
    EXPECT_EQ(folders.save, c.save);
    EXPECT_EQ(folders.listed, c.listed);
  }
}

TEST(IsValidPatternName, ControlCharactersAndReservedPunctuation) {
  for (const char32_t* name : {U"New Item", U"   ", U"a.b", U".", U"新しい設定", U"tab\u00a0nbsp", U"a'b", U"#1"})
    EXPECT_TRUE(IsValidPatternName(name));
  for (const char32_t* name : {U"", U"a/b", U"a:b", U"?", U"a\\b", U"a*b", U"a\"b", U"<a", U"a>", U"a|b", U"\tx",
                               U"x\n", U"\x1f"})
    EXPECT_FALSE(IsValidPatternName(name));
}

}  // namespace
