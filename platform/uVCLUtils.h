// Small platform utilities: the system language and the program's own folder.
#pragma once

#include <string>
#include <string_view>
#include <vector>

class QImage;

// True when the language of the system's default locale is Japanese. Asks the system afresh
// on every call. On Linux the system's default locale is the LANG of the system locale file
// (not the user's environment); no file or no LANG means English.
bool IsJapanese();

// The files that name the system's default locale on Linux, in the order they are consulted.
std::vector<std::string> SystemLocaleFiles();

// IsJapanese with the locale read from the first of these files that exists.
bool IsJapaneseIn(const std::vector<std::string>& localeFiles);

// The value of LANG in the text of a locale file ("LANG=ja_JP.UTF-8", quoted or not),
// or an empty text when the file sets none.
std::string LangFromLocaleFile(std::string_view text);

// The two-letter language code of a locale name: "ja" for "ja_JP.UTF-8", "en" for "en_US".
std::string LanguageOfLocale(std::string_view locale);

// The folder that holds the program file (UTF-8), with no trailing separator.
std::string ProgramFolder();

// The user's own data folder for the program (UTF-8): ~/.local/share/taktola on Linux, as
// the desktop names it; empty when there is no home to put it in.
std::string UserDataFolder();

// The folder exists and this process may create files in it (its permissions, and a file
// system that is not mounted read-only).
bool IsWritableFolder(const std::string& folder);

// The decimal separator of the user's regional settings (UTF-8).
std::string DecimalSeparator();

// Decodes the named PNG resource into `target`; false, with `target` untouched, when there
// is no such resource or its bytes are not a PNG picture.
bool LoadPngResource(std::string_view name, QImage& target);

// The four numbers of the program's file version, "a.b.c.d"; empty when there are none.
std::string GetAppVersion();

// Hands the URL to the desktop's default browser; nothing is reported when that fails.
void OpenURL(std::string_view url);
