#include "app/uCommandLine.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <algorithm>
#include <cmath>
#include <cstdio>

#include "audio/uExport.h"
#include "pattern/uIniFile.h"
#include "pattern/uPatternFile.h"
#include "pattern/uProgram.h"
#include "platform/uResources.h"
#include "platform/uVCLUtils.h"

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

TCommandLineAnswer Refusal(const QString& message) {
  const QString program = QCoreApplication::applicationName();
  return {(program + QStringLiteral(": ") + message + QStringLiteral("\nTry '%1 --help' for more information.\n").arg(program))
              .toStdString(),
          true, 2, std::nullopt};
}

TCommandLineAnswer Failure(const std::string& message, int exitCode = 1) {
  return {QCoreApplication::applicationName().toStdString() + ": " + message + "\n", true, exitCode, std::nullopt};
}

bool HasExtension(const std::filesystem::path& path, std::string_view extension) {
  return AsciiLower(Utf8FromPath(path.extension())) == extension;
}

// What --export names: a program or a pattern file.
struct TExportSource {
  std::filesystem::path path;
  bool program = false;
};

// By path when such a file exists, otherwise by name in the folders: a program first, then
// a pattern; a name may carry its extension.
std::optional<TExportSource> FindExportSource(const std::string& source, const std::vector<std::filesystem::path>& folders) {
  const std::filesystem::path path = PathFromUtf8(source);
  std::error_code ec;
  if (std::filesystem::is_regular_file(path, ec))
    return TExportSource{path, HasExtension(path, ProgramExtension)};
  for (const bool program : {true, false}) {
    const std::string_view extension = program ? ProgramExtension : PatternExtension;
    std::string name = source;
    if (HasExtension(path, extension)) name.resize(name.size() - extension.size());
    for (const TPatternFile& file : ListPatternFiles(folders, extension))
      if (file.name == name) return TExportSource{file.path, program};
  }
  return std::nullopt;
}

std::string FolderList(const std::vector<std::filesystem::path>& folders) {
  std::string list;
  for (const auto& folder : folders) list += (list.empty() ? "" : ", ") + Utf8FromPath(folder);
  return list.empty() ? "(none)" : list;
}

}  // namespace

bool IsProgramArgument(const QString& argument) {
  return !argument.startsWith(QLatin1Char('-')) &&
         argument.endsWith(QString::fromLatin1(ProgramExtension.data(), static_cast<qsizetype>(ProgramExtension.size())),
                           Qt::CaseInsensitive);
}

std::optional<std::filesystem::path> ProgramToPlay(const QStringList& arguments) {
  for (qsizetype i = arguments.size() - 1; i > 0; --i)
    if (IsProgramArgument(arguments[i])) return std::filesystem::path(arguments[i].toStdString());
  return std::nullopt;
}

std::optional<TCommandLineAnswer> AnswerCommandLine(const QStringList& arguments) {
  QCommandLineParser parser;
  parser.setApplicationDescription(
      QStringLiteral("A metronome for sports training: shape one measure of notes, sine tones or spoken counts, "
                     "and loop it at 60 to 240 BPM.\nPatterns are saved beside the program when its folder can be "
                     "written, otherwise in %1.\n\nKeys: Space starts and stops; + and - step the tempo (with Shift "
                     "by 10); T, four times or more, taps the tempo; Ctrl+S saves the pattern; Ctrl+P edits training "
                     "programs; Ctrl+E exports to an audio file; F1 shows About; "
                     "Ctrl+Q quits. In the measure: Left and Right "
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
  const QCommandLineOption exportOption(
      QStringLiteral("export"),
      QStringLiteral("Writes the program (.tktp) or pattern (.tktm), named as in the pattern folders or by path, to "
                     "an audio file without opening a window, and exits. A program plays its steps once through; a "
                     "pattern loops from the start of its measure."),
      QStringLiteral("program-or-pattern"));
  const QCommandLineOption minutesOption(
      QStringLiteral("minutes"),
      QStringLiteral("With --export: the length of the file in minutes (needed for a pattern; a program is cut there "
                     "when longer), at most %1.")
          .arg(MaxExportMinutes),
      QStringLiteral("minutes"));
  const QCommandLineOption outputOption(
      QStringLiteral("output"),
      QStringLiteral("With --export: the audio file to write, 44.1 kHz 16-bit mono. Its extension names the format: "
                     ".wav, or .flac, .ogg, .mp3 where this system's libsndfile writes them."),
      QStringLiteral("file"));
  parser.addOption(help);
  parser.addOption(version);
  parser.addOption(exportOption);
  parser.addOption(minutesOption);
  parser.addOption(outputOption);
  parser.addOptions(ToolkitOptions());

  const QString program = QCoreApplication::applicationName();
  if (!parser.parse(arguments)) return Refusal(parser.errorText());
  if (parser.isSet(help)) {
    // The usage line names the program as installed, not the path it was started by (nor,
    // before an application object exists, a placeholder).
    QString text = parser.helpText();
    text.replace(0, text.indexOf(QLatin1Char('\n')), QStringLiteral("Usage: %1 [options] [PROGRAM.tktp]").arg(program));
    text += QStringLiteral("\nA training program (.tktp) named without an option is played in the window from its "
                           "start.\n");
    return TCommandLineAnswer{text.toStdString(), false, 0, std::nullopt};
  }
  if (parser.isSet(version))
    return TCommandLineAnswer{(program + QLatin1Char(' ') + QCoreApplication::applicationVersion() + QLatin1Char('\n'))
                                  .toStdString(),
                              false, 0, std::nullopt};
  // One training program may be named, to be played in the window.
  const QStringList positional = parser.positionalArguments();
  const bool programToPlay = positional.size() == 1 && !parser.isSet(exportOption) && IsProgramArgument(positional.first());
  if (!positional.isEmpty() && !programToPlay)
    return Refusal(QStringLiteral("unexpected argument '%1'").arg(positional.first()));
  if (!parser.isSet(exportOption)) {
    for (const QCommandLineOption* option : {&minutesOption, &outputOption})
      if (parser.isSet(*option)) return Refusal(QStringLiteral("--%1 needs --export").arg(option->names().first()));
    return std::nullopt;
  }
  TExportRequest request;
  request.source = parser.value(exportOption).toStdString();
  if (request.source.empty()) return Refusal(QStringLiteral("--export needs a program or pattern"));
  if (!parser.isSet(outputOption) || parser.value(outputOption).isEmpty())
    return Refusal(QStringLiteral("--export needs --output FILE"));
  request.output = parser.value(outputOption).toStdString();
  if (parser.isSet(minutesOption)) {
    bool ok = false;
    const double minutes = parser.value(minutesOption).toDouble(&ok);
    if (!ok || !std::isfinite(minutes) || minutes <= 0 || minutes > MaxExportMinutes)
      return Refusal(QStringLiteral("--minutes takes a number above 0 and at most %1, not '%2'")
                         .arg(MaxExportMinutes)
                         .arg(parser.value(minutesOption)));
    request.minutes = minutes;
  }
  return TCommandLineAnswer{{}, false, 0, request};
}

TCommandLineAnswer RunExport(const TExportRequest& request, const TExportEnvironment& environment) {
  const std::filesystem::path output = PathFromUtf8(request.output);
  const std::optional<TExportFormat> format = ExportFormatOfPath(output);
  if (!format)
    return Failure("cannot tell the format of '" + request.output + "': name it .wav, .flac, .ogg or .mp3", 2);
  if (!IsExportFormatAvailable(*format))
    return Failure(ExportFormatProblem(*format) +
                   (IsExportFormatAvailable(TExportFormat::Wav) ? "; .wav always works" : ""));
  const std::optional<TExportSource> source = FindExportSource(request.source, environment.folders);
  if (!source)
    return Failure("no program or pattern '" + request.source + "' (looked for a file of that path and in " +
                   FolderList(environment.folders) + ")");
  const std::string sourceName = Utf8FromPath(source->path);
  const std::optional<std::uint64_t> wanted =
      request.minutes ? std::optional<std::uint64_t>(static_cast<std::uint64_t>(std::llround(*request.minutes * 60 * SampleRate)))
                      : std::nullopt;
  const auto maxSamples = static_cast<std::uint64_t>(MaxExportMinutes * 60 * SampleRate);
  try {
    std::optional<TProgramPlan> plan;
    if (source->program) {
      const std::optional<TProgram> program = LoadProgram(source->path);
      if (!program) return Failure(sourceName + " is not a program file (no \"Version=1.00\" under [Program])");
      // Its patterns beside it first, as when it was given by a path outside the folders.
      const std::filesystem::path beside = source->path.parent_path();
      std::vector<std::filesystem::path> folders{beside.empty() ? std::filesystem::path(".") : beside};
      folders.insert(folders.end(), environment.folders.begin(), environment.folders.end());
      const std::vector<TPatternFile> patterns = ListPatternFiles(folders);
      TResolvedPatterns resolved =
          ResolvePatterns(*program, patterns, TStepPattern{DefaultNotes(4), 4}, environment.decimalSeparator);
      if (!resolved.missing.empty()) {
        std::string message = sourceName + " names patterns that are missing:";
        for (const TStepPlace& place : resolved.missing)
          message += "\n  round " + std::to_string(place.round + 1) + ", step " + std::to_string(place.step + 1) + ": '" +
                     program->rounds[place.round].steps[place.step].pattern + "'";
        return Failure(message);
      }
      plan.emplace(*program, std::move(resolved.patterns), environment.language);
      if (!wanted && plan->TotalSamples() > maxSamples)
        return Failure(sourceName + " lasts longer than " + std::to_string(static_cast<int>(MaxExportMinutes)) +
                       " minutes; give --minutes to export its beginning");
    } else {
      if (!wanted) return Failure("--minutes is needed to export a pattern (" + sourceName + ")", 2);
      TStepPattern pattern;
      std::int32_t timeSig = 0, tempo = 0;
      if (!LoadNotes(source->path, pattern.notes, timeSig, tempo, environment.decimalSeparator))
        return Failure(sourceName + " is not a pattern file (no \"Version=1.00\" under [System])");
      pattern.beats = TimeSigBeats[static_cast<std::size_t>(timeSig)];
      // The tempo as the window's field limits it when the pattern is loaded.
      plan = TProgramPlan::Loop(pattern, std::clamp(tempo, MinTempo, MaxTempo), *wanted);
    }
    TPlanSamples samples(*plan, wanted.value_or(plan->TotalSamples()), environment.reader);
    ExportSamples(samples, output, *format);
    const auto seconds = static_cast<std::int32_t>(samples.Done() / SampleRate);
    return {"wrote " + request.output + " (" + DurationText(seconds) + ", " + std::string(ExportFormatName(*format)) +
                ")\n",
            false, 0, std::nullopt};
  } catch (const EPatternTooLarge&) {
    return Failure(sourceName + " is too large to be a program or pattern file");
  } catch (const std::exception& e) {
    return Failure(e.what());
  }
}

std::optional<int> HandleCommandLine(int argc, char* argv[]) {
  QStringList arguments;
  for (int i = 0; i < argc; ++i) arguments << QString::fromLocal8Bit(argv[i]);
  auto answer = AnswerCommandLine(arguments);
  if (!answer) return std::nullopt;
  if (answer->exportRequest) {
    // The program's folder comes from the application object; a core one needs no display.
    QCoreApplication application(argc, argv);
    const std::string programFolder = ProgramFolder();
    TExportEnvironment environment;
    environment.folders =
        ChoosePatternFolders(PathFromUtf8(programFolder), PathFromUtf8(UserDataFolder()), IsWritableFolder(programFolder))
            .listed;
    environment.decimalSeparator = DecimalSeparator();
    environment.language = IsJapanese() ? TCountInLanguage::Japanese : TCountInLanguage::English;
    environment.reader = ReadResource;
    answer = RunExport(*answer->exportRequest, environment);
  }
  std::fputs(answer->text.c_str(), answer->error ? stderr : stdout);
  return answer->exitCode;
}
