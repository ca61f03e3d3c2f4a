// Runs the tests of a program that needs a QApplication: Qt draws offscreen unless told
// otherwise, and the program's own start-up steps run before any window is made.
#pragma once

#include <QApplication>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "app/uStartUp.h"

// sessionBus: the address of a session bus of the tests' own, or none.
inline int RunQtTests(int argc, char* argv[], const QString& sessionBus = {}) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  // A machine without a desktop session: the theme's start-up finds no settings and takes
  // the light theme and the fallback accent, whatever desktop the tests are run from. Tests
  // of the program on a session bus bring a private one.
  if (sessionBus.isEmpty())
    qunsetenv("DBUS_SESSION_BUS_ADDRESS");
  else
    qputenv("DBUS_SESSION_BUS_ADDRESS", sessionBus.toLocal8Bit());
  // Nor do the tests see or write the patterns of whoever runs them.
  QTemporaryDir dataHome;
  qputenv("XDG_DATA_HOME", dataHome.path().toLocal8Bit());
  testing::InitGoogleTest(&argc, argv);
  PrepareDisplayConnection();
  QApplication app(argc, argv);
  StartUp();
  return RUN_ALL_TESTS();
}
