// Entry point of the tests that need a QApplication: Qt draws offscreen, no display needed.
#include <QApplication>
#include <gtest/gtest.h>

#include "ui/uStyles.h"

int main(int argc, char* argv[]) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  testing::InitGoogleTest(&argc, argv);
  QApplication app(argc, argv);
  UseBaseStyle();
  return RUN_ALL_TESTS();
}
