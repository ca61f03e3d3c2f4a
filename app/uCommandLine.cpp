#include "app/uCommandLine.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <cstdio>

namespace {

// Options the application object takes for itself; accepted here so that they reach it.
QList<QCommandLineOption> ToolkitOptions() {
  QList<QCommandLineOption> options;
  for (const char* name : {"platform", "platformpluginpath", "platformtheme", "plugin", "display", "style",
                           "stylesheet", "geometry", "qwindowgeometry", "qwindowtitle", "qwindowicon", "session",
                           "dialogs", "fontengine"})
    options << QCommandLineOption(QString::fromLatin1(name), QString(), QStringLiteral("value"));
  for (const char* name : {"reverse", "widgetcount", "nograb", "dograb", "sync"})
    options << QCommandLineOption(QString::fromLatin1(name));
  for (QCommandLineOption& option : options) option.setFlags(QCommandLineOption::HiddenFromHelp);
  return options;
}

}  // namespace

std::optional<TCommandLineAnswer> AnswerCommandLine(const QStringList& arguments) {
  QCommandLineParser parser;
  parser.setApplicationDescription(
      QStringLiteral("A metronome for sports training: shape one measure of notes, sine tones or spoken counts, "
                     "and loop it at 60 to 240 BPM.\nPatterns are saved beside the program when its folder can be "
                     "written, otherwise in %1.\n\nKeys: Space starts and stops; + and - step the tempo (with Shift "
                     "by 10); Ctrl+S saves the pattern; F1 shows About; Ctrl+Q quits. In the measure: Left and Right "
                     "select a note, Shift+Left and Shift+Right move it by a sixteenth, Delete removes it, Insert "
                     "adds one.")
          .arg(QStringLiteral("~/.local/share/%1/").arg(QCoreApplication::applicationName())));
  // Qt's options are written with one dash ("-style fusion"); so may ours be.
  parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
  // Our own help and version options: Qt's would add a --help-all about options that only
  // an application object can list.
  const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help"), QStringLiteral("?")},
                                QStringLiteral("Shows this help and exits."));
  const QCommandLineOption version({QStringLiteral("v"), QStringLiteral("version")},
                                   QStringLiteral("Shows the version and exits."));
  parser.addOption(help);
  parser.addOption(version);
  parser.addOptions(ToolkitOptions());

  const QString program = QCoreApplication::applicationName();
  if (!parser.parse(arguments))
    return TCommandLineAnswer{(program + QStringLiteral(": ") + parser.errorText() +
                               QStringLiteral("\nTry '%1 --help' for more information.\n").arg(program))
                                  .toStdString(),
                              true, 2};
  if (parser.isSet(help)) {
    // The usage line names the program as installed, not the path it was started by (nor,
    // before an application object exists, a placeholder).
    QString text = parser.helpText();
    text.replace(0, text.indexOf(QLatin1Char('\n')), QStringLiteral("Usage: %1 [options]").arg(program));
    return TCommandLineAnswer{text.toStdString(), false, 0};
  }
  if (parser.isSet(version))
    return TCommandLineAnswer{(program + QLatin1Char(' ') + QCoreApplication::applicationVersion() + QLatin1Char('\n'))
                                  .toStdString(),
                              false, 0};
  if (!parser.positionalArguments().isEmpty())
    return TCommandLineAnswer{(program + QStringLiteral(": unexpected argument '%1'\nTry '%2 --help' for more information.\n")
                                             .arg(parser.positionalArguments().first(), program))
                                  .toStdString(),
                              true, 2};
  return std::nullopt;
}

std::optional<int> HandleCommandLine(int argc, char* argv[]) {
  QStringList arguments;
  for (int i = 0; i < argc; ++i) arguments << QString::fromLocal8Bit(argv[i]);
  const auto answer = AnswerCommandLine(arguments);
  if (!answer) return std::nullopt;
  std::fputs(answer->text.c_str(), answer->error ? stderr : stdout);
  return answer->exitCode;
}
