// Start-up: the desktop's theme, the application and its look, the main window and the
// About dialog, the event loop.
#include <QApplication>

#include "app/uStartUp.h"
#include "ui/uFrmMain.h"
#include "ui/uVCLFrmAbout.h"

int main(int argc, char* argv[]) {
  QApplication app(argc, argv);
  StartUp();

  TFrmMain frmMain;
  TVCLFrmAbout about(&frmMain);
  frmMain.AttachAbout(&about);
  frmMain.show();
  return QApplication::exec();
}
