// Start-up: the desktop's theme, the application and its style, the main window and the
// About dialog, the event loop.
#include <QApplication>

#include "platform/uTheme.h"
#include "ui/uFrmMain.h"
#include "ui/uStyles.h"
#include "ui/uVCLFrmAbout.h"

int main(int argc, char* argv[]) {
  QApplication app(argc, argv);
  // Read once, before any window exists. On Linux it asks the session bus, which the
  // application object connects to, so that comes first.
  ThemeStartup();
  UseBaseStyle();
  TrySetStyle(LightStyleName, SysAccentColor & 0xFFFFFF);

  TFrmMain frmMain;
  TVCLFrmAbout about(&frmMain);
  frmMain.AttachAbout(&about);
  frmMain.show();
  return QApplication::exec();
}
