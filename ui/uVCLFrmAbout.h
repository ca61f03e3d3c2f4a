// The About dialog: the emblem, the name with the version, the product page, the maker and
// the credits for the spoken counts. Made once, hidden, and filled afresh at every opening.
#pragma once

#include <QDialog>
#include <functional>
#include <string>

#include "platform/uTheme.h"
#include "platform/uVCLUtils.h"

class QLabel;
class QPlainTextEdit;
class QPushButton;
class TPanel;

// The product's pages, by language.
inline constexpr const char* ProductPageEnglish = "https://taktola.example/en/";
inline constexpr const char* ProductPageJapanese = "https://taktola.example/ja/";

// What the dialog takes from the system. The defaults are the real ones; tests replace them.
struct TVCLFrmAboutEnv {
  std::function<bool()> IsJapanese = ::IsJapanese;
  std::function<bool()> IsLightTheme = ::IsLightTheme;
  std::function<std::uint32_t()> AccentColor = [] { return SysAccentColor; };
  std::function<std::string()> AppVersion = GetAppVersion;
};

class TVCLFrmAbout : public QDialog {
  Q_OBJECT
 public:
  explicit TVCLFrmAbout(QWidget* parent = nullptr, TVCLFrmAboutEnv env = {});

  // Fills the dialog, shows it modally and returns when it is closed.
  void Execute();

 private:
  friend struct TVCLFrmAboutAccess;  // tests read the controls through it

  void lbURLClick();

  TVCLFrmAboutEnv Env;
  TPanel* Panel1 = nullptr;
  QLabel* Image1 = nullptr;
  QLabel* lbAppName = nullptr;
  QLabel* lbURL = nullptr;
  QLabel* lbMIRELO = nullptr;
  QPushButton* btOK = nullptr;
  QPlainTextEdit* Memo = nullptr;
  bool FShownOnce = false;
};
