// The command line: --help and --version answer without a window (and without a display),
// --export writes a program or a pattern to an audio file without a window either; anything
// the program does not know is refused with exit status 2.
#pragma once

#include <QStringList>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "audio/uExport.h"
#include "audio/uProgramPlan.h"
#include "audio/uWavUtils.h"

// What --export asks for, as parsed.
struct TExportRequest {
  std::string source;              // a program or pattern: a name in the pattern folders, or a path
  std::optional<double> minutes;   // how long; a program's whole length when not given
  std::string output;              // the audio file; its extension names the format
};

struct TCommandLineAnswer {
  std::string text;    // what to print
  bool error = false;  // print it to stderr, not stdout
  int exitCode = 0;
  // Set (with no text) when the arguments ask for an export, which RunExport then does.
  std::optional<TExportRequest> exportRequest;
};

// What an export reads besides its request: where patterns and programs are, how numbers in
// pattern files are written, the count-in's language and the voice recordings.
struct TExportEnvironment {
  std::vector<std::filesystem::path> folders;
  std::string decimalSeparator = ".";
  TCountInLanguage language = TCountInLanguage::English;
  TResourceReader reader;
};

// Does the export: finds the program (".tktp") or pattern (".tktm") by path, or by name in
// the folders (a program first, then a pattern), renders it and writes the file. Exit status
// 0 when written, 2 for a request that cannot be met as given (an unknown format, a pattern
// without --minutes), 1 for anything else that fails (not found, unreadable, a missing
// pattern in the program, a format this system cannot write, a file that cannot be written).
// A program's patterns are looked for beside it first, then in the folders. Steps of a
// program that play the current pattern play the default pattern here.
TCommandLineAnswer RunExport(const TExportRequest& request, const TExportEnvironment& environment);

// The answer to the arguments (the program's name first, as in argv), or nothing when the
// program should start its window. Qt's own window options (-platform, -style, -display...)
// pass through to the application object.
std::optional<TCommandLineAnswer> AnswerCommandLine(const QStringList& arguments);

// Whether an argument names a training program to play in the window: a ".tktp" file.
bool IsProgramArgument(const QString& argument);
// The program the command line (as AnswerCommandLine let it through) names to play, if any.
std::optional<std::filesystem::path> ProgramToPlay(const QStringList& arguments);

// AnswerCommandLine on argv, and RunExport on this system when it asks for an export (with a
// core application object, which needs no display); prints the answer and gives its exit
// status.
std::optional<int> HandleCommandLine(int argc, char* argv[]);
