// Start-up: the application, its default style, the main window, the event loop.
#include <QApplication>
#include <QStyleFactory>

#include "ui/uFrmMain.h"

int main(int argc, char* argv[]) {
  QApplication app(argc, argv);
  // The same look on every desktop until the program's own styles are chosen.
  QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));

  TFrmMain frmMain;
  frmMain.show();
  return QApplication::exec();
}
