// The command line: --help and --version answer without a window (and without a display),
// anything the program does not know is refused with exit status 2.
#pragma once

#include <QStringList>
#include <optional>
#include <string>

struct TCommandLineAnswer {
  std::string text;    // what to print
  bool error = false;  // print it to stderr, not stdout
  int exitCode = 0;
};

// The answer to the arguments (the program's name first, as in argv), or nothing when the
// program should start its window. Qt's own window options (-platform, -style, -display...)
// pass through to the application object.
std::optional<TCommandLineAnswer> AnswerCommandLine(const QStringList& arguments);

// AnswerCommandLine on argv; prints the answer and gives its exit status.
std::optional<int> HandleCommandLine(int argc, char* argv[]);
