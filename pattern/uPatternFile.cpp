#include "pattern/uPatternFile.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <limits>
#include <random>
#include <set>
#include <system_error>

#include "pattern/uIniFile.h"

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

constexpr std::string_view System = "System";

bool IsDigit(char ch) { return ch >= '0' && ch <= '9'; }

int HexDigit(char ch) {
  if (IsDigit(ch)) return ch - '0';
  if (ch >= 'a' && ch <= 'f') return ch - 'a' + 10;
  if (ch >= 'A' && ch <= 'F') return ch - 'A' + 10;
  return -1;
}

std::string NoteSection(std::size_t index) {
  char name[32];
  std::snprintf(name, sizeof name, "Note%02zu", index);
  return name;
}

enum class TFileRead { Read, Missing, NotRegular, TooLarge, Failed };

#ifndef _WIN32
// Reads the open file whole when it is a regular file of at most `limit` bytes.
TFileRead ReadOpenFile(int fd, std::uintmax_t limit, std::string& text) {
  struct stat info {};
  if (::fstat(fd, &info) != 0) return TFileRead::Failed;
  if (!S_ISREG(info.st_mode)) return TFileRead::NotRegular;
  if (static_cast<std::uintmax_t>(info.st_size) > limit) return TFileRead::TooLarge;
  // Room for the bytes the file has, and one more to see whether it grew meanwhile.
  text.assign(static_cast<std::size_t>(info.st_size) + 1, '\0');
  std::size_t done = 0;
  for (;;) {
    if (done == text.size()) {
      if (text.size() > limit) return TFileRead::TooLarge;
      text.resize(static_cast<std::size_t>(std::min<std::uintmax_t>(2 * text.size(), limit + 1)));
    }
    const ssize_t n = ::read(fd, text.data() + done, text.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return TFileRead::Failed;
    if (n == 0) break;
    done += static_cast<std::size_t>(n);
  }
  text.resize(done);
  return TFileRead::Read;
}
#endif

// Reads a regular file (or the one a link leads to) of at most `limit` bytes whole. Nothing
// else is read: opening a FIFO for reading would wait for a writer that never comes.
TFileRead ReadRegularFile(const std::filesystem::path& path, std::uintmax_t limit, std::string& text) {
  std::error_code ec;
  const std::filesystem::file_status status = std::filesystem::status(path, ec);
  if (status.type() == std::filesystem::file_type::not_found) return TFileRead::Missing;
  if (ec) return TFileRead::Failed;
  if (status.type() != std::filesystem::file_type::regular) return TFileRead::NotRegular;
#ifdef _WIN32
  const std::uintmax_t size = std::filesystem::file_size(path, ec);
  if (ec) return TFileRead::Failed;
  if (size > limit) return TFileRead::TooLarge;
  std::ifstream in(path, std::ios::binary);
  if (!in) return TFileRead::Failed;
  text.assign(static_cast<std::size_t>(size), '\0');
  in.read(text.data(), static_cast<std::streamsize>(text.size()));
  text.resize(static_cast<std::size_t>(in.gcount()));
  if (in.bad()) return TFileRead::Failed;
  return in.peek() == std::ifstream::traits_type::eof() ? TFileRead::Read : TFileRead::TooLarge;
#else
  // Opened without waiting, and its type checked again on what was opened: the name may
  // have been given to something else since.
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return errno == ENOENT ? TFileRead::Missing : TFileRead::Failed;
  const TFileRead result = ReadOpenFile(fd, limit, text);
  ::close(fd);
  return result;
#endif
}

}  // namespace

std::filesystem::path SaveTarget(const std::filesystem::path& path) {
  std::error_code ec;
  const std::filesystem::file_status status = std::filesystem::symlink_status(path, ec);
  if (status.type() == std::filesystem::file_type::not_found) return path;
  if (ec) throw EPatternWriteError(path);
  if (status.type() != std::filesystem::file_type::symlink) return path;
  std::filesystem::path target = std::filesystem::canonical(path, ec);
  if (ec) throw EPatternWriteError(path);
  return target;
}

std::filesystem::path TemporaryIn(const std::filesystem::path& folder) {
  static std::mt19937_64 random{std::random_device{}()};
  char name[32];
  std::snprintf(name, sizeof name, ".taktola-%016llx.tmp", static_cast<unsigned long long>(random()));
  return folder / name;
}

namespace {

enum class TNewFile { Written, Taken, Failed };

// Creates the file, which must not exist yet, writes the text and makes sure it reached the
// disk. After Failed the file may exist; after Taken it is someone else's.
TNewFile WriteNewFile(const std::filesystem::path& path, const std::string& text) {
#ifdef _WIN32
  const int fd = _wopen(path.c_str(), _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY, _S_IREAD | _S_IWRITE);
  if (fd < 0) return errno == EEXIST ? TNewFile::Taken : TNewFile::Failed;
  const bool written = _write(fd, text.data(), static_cast<unsigned>(text.size())) == static_cast<int>(text.size()) &&
                       _commit(fd) == 0;
  return _close(fd) == 0 && written ? TNewFile::Written : TNewFile::Failed;
#else
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  if (fd < 0) return errno == EEXIST ? TNewFile::Taken : TNewFile::Failed;
  std::size_t done = 0;
  while (done < text.size()) {
    const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    done += static_cast<std::size_t>(n);
  }
  const bool written = done == text.size() && ::fsync(fd) == 0;
  return ::close(fd) == 0 && written ? TNewFile::Written : TNewFile::Failed;
#endif
}

// Writes the text to a new temporary file in the folder; its path. Throws, leaving
// nothing behind, when no such file can be written.
std::filesystem::path WriteTemporary(const std::filesystem::path& folder, const std::string& text,
                                     const std::filesystem::path& reported) {
  // A taken name is a chance of one in 2^64, or a leftover; another try settles it.
  for (int attempt = 0; attempt < 8; ++attempt) {
    const std::filesystem::path temporary = TemporaryIn(folder);
    const TNewFile result = WriteNewFile(temporary, text);
    if (result == TNewFile::Written) return temporary;
    if (result == TNewFile::Failed) {
      std::error_code ec;
      std::filesystem::remove(temporary, ec);
      break;
    }
  }
  throw EPatternWriteError(reported);
}

}  // namespace

std::filesystem::path PathFromUtf8(std::string_view text) {
  return std::filesystem::path(std::u8string(reinterpret_cast<const char8_t*>(text.data()), text.size()));
}

std::string Utf8FromPath(const std::filesystem::path& path) {
  const std::u8string text = path.u8string();
  return std::string(text.begin(), text.end());
}

EPatternWriteError::EPatternWriteError(const std::filesystem::path& path)
    : std::runtime_error(Utf8FromPath(path) + " に書き込めません") {}

EPatternTooLarge::EPatternTooLarge(const std::filesystem::path& path)
    : std::runtime_error(Utf8FromPath(path) + " is too large for a pattern file."), FPath(path) {}

std::int32_t ReadIntValue(std::string_view text, std::int32_t fallback) {
  text = TrimBlanks(text);
  bool negative = false;
  if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
    negative = text.front() == '-';
    text.remove_prefix(1);
  }
  if (text.starts_with('$') || text.starts_with("0x") || text.starts_with("0X")) {
    // Hexadecimal: up to 32 bits, taken as a signed 32-bit number.
    text.remove_prefix(text.front() == '$' ? 1 : 2);
    if (text.empty()) return fallback;
    std::uint64_t value = 0;
    for (char ch : text) {
      const int digit = HexDigit(ch);
      if (digit < 0) return fallback;
      value = value * 16 + static_cast<std::uint64_t>(digit);
      if (value > 0xFFFFFFFFull) return fallback;
    }
    const auto bits = static_cast<std::uint32_t>(negative ? 0u - static_cast<std::uint32_t>(value) : value);
    return static_cast<std::int32_t>(bits);
  }
  if (text.empty() || !std::all_of(text.begin(), text.end(), IsDigit)) return fallback;
  std::int64_t value = 0;
  for (char ch : text) {
    value = value * 10 + (ch - '0');
    if (value > std::int64_t{std::numeric_limits<std::int32_t>::max()} + 1) return fallback;
  }
  value = negative ? -value : value;
  if (value > std::numeric_limits<std::int32_t>::max()) return fallback;
  return static_cast<std::int32_t>(value);
}

float ReadFloatValue(std::string_view text, float fallback, std::string_view decimalSeparator) {
  text = TrimBlanks(text);
  std::string number;  // the same number with "." as separator
  std::size_t i = 0;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
    if (text[i] == '-') number += '-';
    ++i;
  }
  std::size_t digits = 0, wholeDigits = 0, leadingFractionZeros = 0;
  bool significant = false;
  for (; i < text.size() && IsDigit(text[i]); ++i, ++digits) {
    number += text[i];
    if (text[i] != '0') significant = true;
    if (significant) ++wholeDigits;
  }
  // Either separator is read, whichever the file's writer used.
  const auto separatorAt = [&](std::size_t at) -> std::size_t {
    for (std::string_view sep : {std::string_view("."), std::string_view(","), decimalSeparator})
      if (!sep.empty() && text.substr(at).starts_with(sep)) return sep.size();
    return 0;
  };
  if (const std::size_t sep = i < text.size() ? separatorAt(i) : 0; sep > 0) {
    number += '.';
    i += sep;
    for (; i < text.size() && IsDigit(text[i]); ++i, ++digits) {
      number += text[i];
      if (text[i] != '0') significant = true;
      if (!significant) ++leadingFractionZeros;
    }
  }
  if (digits == 0) return fallback;
  long exponent = 0;
  if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
    number += 'e';
    ++i;
    const bool negativeExponent = i < text.size() && text[i] == '-';
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) number += text[i++];
    const std::size_t first = i;
    for (; i < text.size() && IsDigit(text[i]); ++i) {
      number += text[i];
      exponent = std::min(exponent * 10 + (text[i] - '0'), 100000L);
    }
    if (i == first) return fallback;
    if (negativeExponent) exponent = -exponent;
  }
  if (i != text.size()) return fallback;

  double value = 0.0;
  const auto [end, ec] = std::from_chars(number.data(), number.data() + number.size(), value);
  if (end != number.data() + number.size()) return fallback;
  if (ec == std::errc::result_out_of_range) {
    // Too large for a double is infinite, too small is zero; the limits take it from there.
    const long magnitude = wholeDigits > 0 ? static_cast<long>(wholeDigits) + exponent
                                           : exponent - static_cast<long>(leadingFractionZeros);
    value = magnitude > 0 ? std::numeric_limits<double>::infinity() : 0.0;
    if (number.front() == '-') value = -value;
  }
  if (std::abs(value) > std::numeric_limits<float>::max() && std::isfinite(value))
    value = std::copysign(std::numeric_limits<double>::infinity(), value);
  return static_cast<float>(value);
}

std::string FloatText(float value, std::string_view decimalSeparator) {
  char buffer[64];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, static_cast<double>(value),
                                    std::chars_format::general, 15);
  std::string text(buffer, result.ptr);
  // "1e-07" is written "1E-7".
  if (const std::size_t e = text.find('e'); e != std::string::npos) {
    std::string mantissa = text.substr(0, e), exponent = text.substr(e + 1);
    const bool negative = exponent.front() == '-';
    exponent.erase(0, exponent.find_first_not_of("+-0"));
    text = mantissa + "E" + (negative ? "-" : "") + (exponent.empty() ? "0" : exponent);
  }
  if (const std::size_t dot = text.find('.'); dot != std::string::npos) text.replace(dot, 1, decimalSeparator);
  return text;
}

std::string PatternText(std::string_view old, const TNotes& notes, std::int32_t timeSig, std::int32_t tempo,
                        std::string_view decimalSeparator) {
  TIniText ini(old);
  ini.Write(System, "Version", PatternVersion);
  ini.Write(System, "TimeSigniture", std::to_string(timeSig));
  ini.Write(System, "BPM", std::to_string(tempo));
  ini.Write(System, "NoteCount", std::to_string(notes.size()));
  for (std::size_t i = 0; i < notes.size(); ++i) {
    const std::string section = NoteSection(i);
    ini.Write(section, "NoteType", std::to_string(notes[i].n_type));
    ini.Write(section, "Offset", std::to_string(notes[i].offset));
    ini.Write(section, "Tone", FloatText(notes[i].tone, decimalSeparator));
    ini.Write(section, "Length", std::to_string(notes[i].length));
    ini.Write(section, "Loudness", FloatText(notes[i].loudness, decimalSeparator));
  }
  return ini.Text();
}

void SaveNotes(const std::filesystem::path& path, const TNotes& notes, std::int32_t timeSig, std::int32_t tempo,
               std::string_view decimalSeparator, const TSaveHooks& hooks) {
  SaveIniText(
      path, [&](std::string_view old) { return PatternText(old, notes, timeSig, tempo, decimalSeparator); }, hooks);
}

void SaveIniText(const std::filesystem::path& path, const std::function<std::string(std::string_view old)>& makeText,
                 const TSaveHooks& hooks) {
  // Everything that can be known beforehand is checked before anything is written.
  const std::filesystem::path target = SaveTarget(path);
  std::string old;
  const TFileRead read = ReadRegularFile(target, MaxPatternFileBytes, old);
  if (read != TFileRead::Read && read != TFileRead::Missing) throw EPatternWriteError(path);
  const std::string text = makeText(old);

  // The new text takes the old file's place in one step, or not at all.
  const std::filesystem::path temporary = WriteTemporary(target.parent_path(), text, path);
  try {
    if (read == TFileRead::Read) {
      std::error_code ec;
      const auto mode = std::filesystem::status(target, ec).permissions();
      if (!ec) std::filesystem::permissions(temporary, mode, ec);
    }
    hooks.rename(temporary, target);
  } catch (...) {
    std::error_code ec;
    std::filesystem::remove(temporary, ec);
    throw EPatternWriteError(path);
  }
}

bool LoadNotesFromText(std::string_view text, TNotes& notes, std::int32_t& timeSig, std::int32_t& tempo,
                       std::string_view decimalSeparator) {
  const TIniText ini(text);
  const auto readInt = [&](std::string_view section, std::string_view key, std::int32_t fallback) {
    const auto value = ini.Read(section, key);
    return value ? ReadIntValue(*value, fallback) : fallback;
  };
  const auto readFloat = [&](std::string_view section, std::string_view key, float fallback) {
    const auto value = ini.Read(section, key);
    return value ? ReadFloatValue(*value, fallback, decimalSeparator) : fallback;
  };
  if (ini.Read(System, "Version").value_or("") != PatternVersion) return false;

  timeSig = std::clamp(readInt(System, "TimeSigniture", 0), 0, static_cast<std::int32_t>(TimeSigBeats.size()) - 1);
  const std::int32_t beats = TimeSigBeats[static_cast<std::size_t>(timeSig)];
  tempo = readInt(System, "BPM", 0);
  const std::int32_t count = std::min(readInt(System, "NoteCount", 0), MaxLoadedNotes);

  const TNote defaults;
  const auto low16 = [](std::int32_t v) { return static_cast<std::uint16_t>(static_cast<std::uint32_t>(v) & 0xFFFF); };
  notes.clear();
  for (std::int32_t i = 0; i < count; ++i) {
    const std::string section = NoteSection(static_cast<std::size_t>(i));
    TNote note;
    note.n_type = std::min<std::uint16_t>(low16(readInt(section, "NoteType", defaults.n_type)), 9);
    note.offset = std::min<std::uint16_t>(low16(readInt(section, "Offset", defaults.offset)),
                                          static_cast<std::uint16_t>(64 * beats - 1));
    const float tone = readFloat(section, "Tone", defaults.tone);
    note.tone = static_cast<double>(tone) < static_cast<double>(ToneFreqs.front()) ? ToneFreqs.front()
                : static_cast<double>(tone) > static_cast<double>(ToneFreqs.back()) ? ToneFreqs.back()
                                                                                    : tone;
    note.length = low16(readInt(section, "Length", defaults.length));
    if (note.length == 0) note.length = 1;
    note.length = std::min<std::uint16_t>(note.length, static_cast<std::uint16_t>(64 * beats));
    const float loudness = readFloat(section, "Loudness", defaults.loudness);
    note.loudness = loudness < 0.0f ? 0.0f : loudness > 1.0f ? 1.0f : loudness;
    notes.push_back(note);
  }
  return true;
}

bool LoadNotes(const std::filesystem::path& path, TNotes& notes, std::int32_t& timeSig, std::int32_t& tempo,
               std::string_view decimalSeparator) {
  const std::optional<std::string> text = ReadIniText(path);
  return text && LoadNotesFromText(*text, notes, timeSig, tempo, decimalSeparator);
}

std::optional<std::string> ReadIniText(const std::filesystem::path& path) {
  std::string text;
  switch (ReadRegularFile(path, MaxPatternFileBytes, text)) {
    case TFileRead::Read: return text;
    case TFileRead::TooLarge: throw EPatternTooLarge(path);
    default: return std::nullopt;
  }
}

namespace {
// Letter case ignored first, then by code point.
bool ByName(const TPatternFile& a, const TPatternFile& b) {
  const std::string la = AsciiLower(a.name), lb = AsciiLower(b.name);
  return la != lb ? la < lb : a.name < b.name;
}
}  // namespace

std::vector<TPatternFile> ListPatternFiles(const std::filesystem::path& folder, std::string_view extension) {
  std::vector<TPatternFile> files;
  std::error_code ec;
  for (std::filesystem::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
    const std::string name = Utf8FromPath(it->path().filename());
    if (name.size() <= extension.size() || AsciiLower(name.substr(name.size() - extension.size())) != extension)
      continue;
    std::error_code typeError;
    if (!std::filesystem::is_regular_file(it->path(), typeError)) continue;
    files.push_back({name.substr(0, name.size() - extension.size()), it->path()});
  }
  std::sort(files.begin(), files.end(), ByName);
  return files;
}

std::vector<TPatternFile> ListPatternFiles(const std::vector<std::filesystem::path>& folders,
                                           std::string_view extension) {
  std::vector<TPatternFile> files;
  std::set<std::string> names;
  for (const std::filesystem::path& folder : folders)
    for (TPatternFile& file : ListPatternFiles(folder, extension))
      if (names.insert(file.name).second) files.push_back(std::move(file));
  std::sort(files.begin(), files.end(), ByName);
  return files;
}

TPatternFolders ChoosePatternFolders(const std::filesystem::path& programFolder, const std::filesystem::path& userFolder,
                                     bool programFolderWritable) {
  if (userFolder.empty() || userFolder == programFolder) return {programFolder, {programFolder}};
  if (programFolderWritable) return {programFolder, {programFolder, userFolder}};
  return {userFolder, {userFolder, programFolder}};
}

bool IsValidPatternName(std::u32string_view name) {
  constexpr std::u32string_view Forbidden = U"\"*/:<>?\\|";
  return !name.empty() && std::none_of(name.begin(), name.end(), [&](char32_t ch) {
    return ch < 0x20 || Forbidden.find(ch) != std::u32string_view::npos;
  });
}
