#include "platform/uVCLUtils.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QImage>
#include <QLocale>
#include <QStandardPaths>
#include <QUrl>
#include <fstream>
#include <sstream>

#include "platform/uResources.h"

#ifdef _WIN32
#include <io.h>
#include <windows.h>
#include <vector>
#else
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

std::string_view Trim(std::string_view s) {
  const auto blank = [](char ch) { return ch == ' ' || ch == '\t' || ch == '\r' || ch == '\n'; };
  while (!s.empty() && blank(s.front())) s.remove_prefix(1);
  while (!s.empty() && blank(s.back())) s.remove_suffix(1);
  return s;
}

}  // namespace

std::string LangFromLocaleFile(std::string_view text) {
  std::string lang;
  std::istringstream lines{std::string(text)};
  for (std::string raw; std::getline(lines, raw);) {
    std::string_view line = Trim(raw);
    if (line.starts_with("export ")) line = Trim(line.substr(7));
    if (!line.starts_with("LANG=")) continue;
    std::string_view value = Trim(line.substr(5));
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front())
      value = value.substr(1, value.size() - 2);
    lang = std::string(value);  // the last assignment wins, as in a shell
  }
  return lang;
}

std::string LanguageOfLocale(std::string_view locale) {
  return std::string(locale.substr(0, locale.find_first_of("_.@")));
}

std::vector<std::string> SystemLocaleFiles() { return {"/etc/locale.conf", "/etc/default/locale"}; }

bool IsJapaneseIn(const std::vector<std::string>& localeFiles) {
  for (const std::string& path : localeFiles) {
    std::ifstream file(path, std::ios::binary);
    if (!file) continue;
    std::ostringstream text;
    text << file.rdbuf();
    return LanguageOfLocale(LangFromLocaleFile(text.str())) == "ja";
  }
  return false;
}

bool IsJapanese() {
#ifdef _WIN32
  wchar_t buffer[85] = {};
  GetLocaleInfoW(LOCALE_SYSTEM_DEFAULT, LOCALE_SISO639LANGNAME, buffer, 85);
  return std::wstring_view(buffer) == L"ja";
#else
  return IsJapaneseIn(SystemLocaleFiles());
#endif
}

std::string ProgramFolder() { return QCoreApplication::applicationDirPath().toStdString(); }

std::string UserDataFolder() {
  return QStandardPaths::writableLocation(QStandardPaths::AppDataLocation).toStdString();
}

bool IsWritableFolder(const std::string& folder) {
#ifdef _WIN32
  const std::wstring wide = QString::fromStdString(folder).toStdWString();
  const DWORD attributes = GetFileAttributesW(wide.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 &&
         _waccess(wide.c_str(), 2) == 0;
#else
  struct stat info {};
  return ::stat(folder.c_str(), &info) == 0 && S_ISDIR(info.st_mode) && ::access(folder.c_str(), W_OK | X_OK) == 0;
#endif
}

std::string DecimalSeparator() { return QLocale::system().decimalPoint().toStdString(); }

bool LoadPngResource(std::string_view name, QImage& target) {
  const auto bytes = ReadResource(name);
  if (!bytes) return false;
  QImage picture;
  if (!picture.loadFromData(bytes->data(), static_cast<int>(bytes->size()), "PNG")) return false;
  target = picture;
  return true;
}

std::string GetAppVersion() {
#ifdef _WIN32
  // The fixed file version of the program's version resource, which the build writes.
  wchar_t path[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, path, MAX_PATH);
  DWORD handle = 0;
  const DWORD size = GetFileVersionInfoSizeW(path, &handle);
  if (size == 0) return {};
  std::vector<BYTE> buffer(size);
  if (!GetFileVersionInfoW(path, 0, size, buffer.data())) return {};
  VS_FIXEDFILEINFO* info = nullptr;
  UINT length = 0;
  if (!VerQueryValueW(buffer.data(), L"\\", reinterpret_cast<void**>(&info), &length) || length == 0) return {};
  return std::to_string(HIWORD(info->dwFileVersionMS)) + "." + std::to_string(LOWORD(info->dwFileVersionMS)) + "." +
         std::to_string(HIWORD(info->dwFileVersionLS)) + "." + std::to_string(LOWORD(info->dwFileVersionLS));
#else
  // Written into the program by the build, from the project's version.
  return TAKTOLA_VERSION;
#endif
}

void OpenURL(std::string_view url) {
  QDesktopServices::openUrl(QUrl(QString::fromUtf8(url.data(), static_cast<qsizetype>(url.size()))));
}
