// The pattern file: one pattern (time signature, tempo, notes) as INI text, and the list of
// the pattern files in a folder. Plain C++: no toolkit.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "pattern/uPattern.h"

inline constexpr std::string_view PatternExtension = ".tktm";
inline constexpr std::string_view PatternVersion = "1.00";
// A file may hold more notes than the editor makes (two per beat, 16 at most); more than
// this are not read, so that rendering a file's measure stays well under a second.
inline constexpr std::int32_t MaxLoadedNotes = 64;
// A pattern file is a few kilobytes (about 110 bytes a note); a larger file than this is no
// pattern file and is refused whole.
inline constexpr std::uintmax_t MaxPatternFileBytes = 1024 * 1024;

// A path from UTF-8 text, on every system.
std::filesystem::path PathFromUtf8(std::string_view text);
std::string Utf8FromPath(const std::filesystem::path& path);

// Raised when a pattern file cannot be written; the message names the file.
class EPatternWriteError : public std::runtime_error {
 public:
  explicit EPatternWriteError(const std::filesystem::path& path);
};

// Raised when a pattern file to be read is larger than MaxPatternFileBytes. The window words
// the message in its own language.
class EPatternTooLarge : public std::runtime_error {
 public:
  explicit EPatternTooLarge(const std::filesystem::path& path);
  const std::filesystem::path& Path() const { return FPath; }

 private:
  std::filesystem::path FPath;
};

// Integer and float values as the file holds them. Reading never fails: text that is no
// such number gives the default.
std::int32_t ReadIntValue(std::string_view text, std::int32_t fallback);
// Digits with "." or "," or the given separator between whole and fraction, an optional
// exponent; the nearest 32-bit float.
float ReadFloatValue(std::string_view text, float fallback, std::string_view decimalSeparator);
// The float widened to 64 bits, at most 15 significant digits, trailing zeros dropped.
std::string FloatText(float value, std::string_view decimalSeparator);

// The text of a pattern file after the pattern was written over `old` key by key
// (an empty `old` gives a fresh file).
std::string PatternText(std::string_view old, const TNotes& notes, std::int32_t timeSig, std::int32_t tempo,
                        std::string_view decimalSeparator);

// Writes the pattern to the file, replacing it whole or not at all: the new text goes to a
// temporary file of a short random name in the same folder, which then takes the file's
// place. Keys and sections of the old file that the pattern does not write stay. A symbolic
// link (or a chain of them) is written through: its final file is replaced in its own folder
// and the link stays. Throws EPatternWriteError, leaving everything as it was, when
// something other than a regular file or a link to one stands at the path (a FIFO, a
// folder, a dangling link, a loop of links), when the old file is larger than
// MaxPatternFileBytes, or when the file system refuses a step (a name it does not take, a
// folder it does not let us write).
struct TSaveHooks {
  std::function<void(const std::filesystem::path& from, const std::filesystem::path& to)> rename =
      [](const std::filesystem::path& from, const std::filesystem::path& to) { std::filesystem::rename(from, to); };
};
void SaveNotes(const std::filesystem::path& path, const TNotes& notes, std::int32_t timeSig, std::int32_t tempo,
               std::string_view decimalSeparator, const TSaveHooks& hooks = {});
// The save behind SaveNotes, for any INI file of ours (patterns, programs): `makeText` turns
// the old file's text (empty when there is none) into the new one, which replaces the file
// whole or not at all, as SaveNotes says.
void SaveIniText(const std::filesystem::path& path, const std::function<std::string(std::string_view old)>& makeText,
                 const TSaveHooks& hooks = {});

// Where saving under `path` writes: the path itself, or the file at the end of the chain of
// links it names. Throws EPatternWriteError when that cannot be known: a name the file
// system does not take, a dangling link (it may point into a drive that is not mounted, so
// no file is made there), a loop of links.
std::filesystem::path SaveTarget(const std::filesystem::path& path);
// A name for new contents beside the file they replace: short and of fixed length, so that
// every file name the file system takes can be saved; hidden, and ending in neither ".tktm"
// nor ".tktp", so it is never listed.
std::filesystem::path TemporaryIn(const std::filesystem::path& folder);

// Reads a pattern from file text. Unless the text passes the version gate, nothing changes.
// Otherwise timeSig (limited to 0..3) and tempo are set from it and notes replaced, every
// value limited. Returns whether the gate was passed.
bool LoadNotesFromText(std::string_view text, TNotes& notes, std::int32_t& timeSig, std::int32_t& tempo,
                       std::string_view decimalSeparator);
// The same from a file; a file that cannot be read, or is no regular file, changes
// nothing. Throws EPatternTooLarge, changing nothing, for a file larger than
// MaxPatternFileBytes.
bool LoadNotes(const std::filesystem::path& path, TNotes& notes, std::int32_t& timeSig, std::int32_t& tempo,
               std::string_view decimalSeparator);
// The text of an INI file of ours: no value when it cannot be read or is no regular file
// (a FIFO is never opened for reading); throws EPatternTooLarge for a file larger than
// MaxPatternFileBytes.
std::optional<std::string> ReadIniText(const std::filesystem::path& path);

// A pattern file in a folder: its pattern name (the file name without its last extension)
// and its path.
struct TPatternFile {
  std::string name;  // UTF-8
  std::filesystem::path path;
};
// The regular files of the folder (not of its subfolders) whose names end in ".tktm" (or
// the given lower-case extension: ".tktp" lists the programs) in any letter case, hidden ones
// too, by name: letter case ignored first, then by code point.
std::vector<TPatternFile> ListPatternFiles(const std::filesystem::path& folder,
                                           std::string_view extension = PatternExtension);
// The pattern files of several folders as one list in that order; a name found in more
// than one folder is listed once, with the file of the first folder that has it.
std::vector<TPatternFile> ListPatternFiles(const std::vector<std::filesystem::path>& folders,
                                           std::string_view extension = PatternExtension);

// Where patterns are saved, and the folders whose patterns are listed: the save folder
// first, so that a name found in both opens the file that a save under it replaces.
struct TPatternFolders {
  std::filesystem::path save;
  std::vector<std::filesystem::path> listed;
};
// The program's own folder while it can be written (a portable copy, as pattern files
// beside the program expect); otherwise the user's data folder. Both are listed. An empty
// user folder (no home to put it in) leaves the program's folder alone.
TPatternFolders ChoosePatternFolders(const std::filesystem::path& programFolder, const std::filesystem::path& userFolder,
                                     bool programFolderWritable);

// A name under which a pattern may be stored: not empty, no control characters and none
// of " * / : < > ? \ |.
bool IsValidPatternName(std::u32string_view name);
