#include "platform/uVCLUtils.h"

#include <QCoreApplication>
#include <QLocale>
#include <fstream>
#include <sstream>

#ifdef _WIN32
#include <windows.h>
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

std::string DecimalSeparator() { return QLocale::system().decimalPoint().toStdString(); }
