// Entry point of the tests that need a QApplication: Qt draws offscreen, no display needed,
// and the program's own start-up steps run before any window is made.
#include <QApplication>
#include <gtest/gtest.h>

#include "app/uStartUp.h"

int main(int argc, char* argv[]) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  // A machine without a desktop session: the theme's start-up finds no settings and takes
  // the light theme and the fallback accent, whatever desktop the tests are run from.
  qunsetenv("DBUS_SESSION_BUS_ADDRESS");
  testing::InitGoogleTest(&argc, argv);
  QApplication app(argc, argv);
  StartUp();
  return RUN_ALL_TESTS();
}
