// Entry point of the tests that need a QApplication.
#include "qt_test_app.h"

int main(int argc, char* argv[]) { return RunQtTests(argc, argv); }
