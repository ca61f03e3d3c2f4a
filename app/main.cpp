// Start-up: the application, its default style, the main window, the event loop.
#include <QApplication>

#include "ui/uAppStyle.h"
#include "ui/uFrmMain.h"

int main(int argc, char* argv[]) {
  QApplication app(argc, argv);
  // The same look on every desktop.
  QApplication::setStyle(new TAppStyle);

  TFrmMain frmMain;
  frmMain.show();
  return QApplication::exec();
}
