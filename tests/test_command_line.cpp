// The command line as the program reads it before any window (the real binary is tried
// without a display by test_command_line.sh).
#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QIcon>
#include <fstream>
#include <sndfile.h>

#include "app/uCommandLine.h"
#include "pattern/uProgram.h"
#include "platform/uResources.h"
#include "platform/uVCLUtils.h"
#include "temp_folder.h"

namespace {

TEST(CommandLine, HelpVersionAndErrors) {
  const struct {
    QStringList arguments;
    bool starts;
    int exitCode;
    bool error;
    const char* says;
  } cases[] = {
      {{"taktola"}, true, 0, false, ""},
      // The toolkit's own options reach the application object.
      {{"taktola", "-style", "fusion", "-platform", "offscreen", "--reverse"}, true, 0, false, ""},
      {{"taktola", "--help"}, false, 0, false, "Usage: taktola [options]"},
      {{"taktola", "-h"}, false, 0, false, "Ctrl+S saves the pattern"},
      {{"taktola", "--version"}, false, 0, false, "taktola " TAKTOLA_VERSION "\n"},
      {{"taktola", "-v"}, false, 0, false, "taktola " TAKTOLA_VERSION "\n"},
      {{"taktola", "--frobnicate"}, false, 2, true, "taktola: Unknown option 'frobnicate'."},
      {{"taktola", "-style"}, false, 2, true, "Missing value after '-style'."},
      {{"taktola", "Run.tktm"}, false, 2, true, "unexpected argument 'Run.tktm'"},
      // A program named alone is played in the window; two, or with an export, are not taken.
      {{"taktola", "Run.tktp"}, true, 0, false, ""},
      {{"taktola", "Run.tktp", "Walk.tktp"}, false, 2, true, "unexpected argument 'Run.tktp'"},
      {{"taktola", "--export", "Run", "--output", "a.wav", "Walk.tktp"}, false, 2, true, "unexpected argument 'Walk.tktp'"},
      // An export needs what to export and where; its options mean nothing without it.
      {{"taktola", "--export", "Run", "--minutes", "10"}, false, 2, true, "--export needs --output FILE"},
      {{"taktola", "--export"}, false, 2, true, "Missing value after '--export'."},
      {{"taktola", "--export", "", "--output", "a.wav"}, false, 2, true, "--export needs a program or pattern"},
      {{"taktola", "--minutes", "10"}, false, 2, true, "--minutes needs --export"},
      {{"taktola", "--output", "a.wav"}, false, 2, true, "--output needs --export"},
      {{"taktola", "--export", "Run", "--minutes", "ten", "--output", "a.wav"}, false, 2, true,
       "--minutes takes a number above 0 and at most 600, not 'ten'"},
      {{"taktola", "--export", "Run", "--minutes", "0", "--output", "a.wav"}, false, 2, true, "not '0'"},
      {{"taktola", "--export", "Run", "--minutes", "601", "--output", "a.wav"}, false, 2, true, "not '601'"},
      {{"taktola", "--export", "Run", "--minutes", "nan", "--output", "a.wav"}, false, 2, true, "not 'nan'"},
      {{"taktola", "-h"}, false, 0, false, "--export <program-or-pattern>"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.arguments.join(' ').toStdString());
    const auto answer = AnswerCommandLine(c.arguments);
    ASSERT_EQ(!answer.has_value(), c.starts);
    if (!answer) continue;
    EXPECT_EQ(answer->exitCode, c.exitCode);
    EXPECT_EQ(answer->error, c.error);
    EXPECT_NE(answer->text.find(c.says), std::string::npos) << answer->text;
  }
}

TEST(CommandLine, ExportRequests) {
  const auto request = [](const QStringList& arguments) {
    const auto answer = AnswerCommandLine(arguments);
    return answer && answer->exportRequest ? std::optional<TExportRequest>(*answer->exportRequest) : std::nullopt;
  };
  const auto run = request({"taktola", "--export", "Run 180", "--minutes", "2.5", "--output", "out/run.flac"});
  ASSERT_TRUE(run);
  EXPECT_EQ(run->source, "Run 180");
  EXPECT_EQ(run->minutes, 2.5);
  EXPECT_EQ(run->output, "out/run.flac");
  const auto program = request({"taktola", "-export", "/p/Intervals.tktp", "-output", "i.wav"});
  ASSERT_TRUE(program);
  EXPECT_EQ(program->minutes, std::nullopt);
}

// RunExport in folders of its own: what it finds, what it writes, and how it refuses.
class CommandLineExport : public testing::Test {
 protected:
  void SetUp() override {
    environment.folders = {folder.path / "save", folder.path / "program"};
    for (const auto& f : environment.folders) std::filesystem::create_directory(f);
    environment.reader = ReadResource;
    SaveNotes(environment.folders[1] / "Run.tktm", DefaultNotes(3), 0, 180, ".");
    TProgram program;
    program.rounds.push_back({2, {{"Run", 180, 180, TDurationUnit::Measures, 3, true, false},
                                  {"", 100, 120, TDurationUnit::Seconds, 5, false, false}}});
    SaveProgram(environment.folders[0] / "Intervals.tktp", program);
    program.rounds[0].steps[0].pattern = "Gone";
    SaveProgram(environment.folders[0] / "Broken.tktp", program);
    std::ofstream(folder.path / "Junk.tktp") << "[Program]\r\nVersion=9\r\n";
    // A program elsewhere, with its pattern beside it.
    std::filesystem::create_directory(folder.path / "elsewhere");
    SaveNotes(folder.path / "elsewhere" / "Own.tktm", DefaultNotes(8), 3, 60, ".");
    SaveProgram(folder.path / "elsewhere" / "Own.tktp",
                TProgram{{{1, {{"Own", 60, 60, TDurationUnit::Measures, 2, false, false}}}}});
  }
  // The samples of a written file, or none.
  static std::optional<std::vector<short>> Samples(const std::filesystem::path& file) {
    SF_INFO info{};
    SNDFILE* f = sf_open(file.c_str(), SFM_READ, &info);
    if (!f) return std::nullopt;
    std::vector<short> samples(static_cast<std::size_t>(info.frames));
    sf_read_short(f, samples.data(), info.frames);
    sf_close(f);
    return info.channels == 1 && info.samplerate == 44100 ? std::optional(samples) : std::nullopt;
  }
  TTempFolder folder;
  TExportEnvironment environment;
};

TEST_F(CommandLineExport, FindsByNameOrPathAndWritesTheFile) {
  const std::string out = (folder.path / "out.wav").string();
  const std::string runPath = (environment.folders[1] / "Run.tktm").string();
  const struct {
    TExportRequest request;
    std::size_t samples;
    const char* says;
  } cases[] = {
      // A pattern loops for the minutes asked, from the start of its measure.
      {{"Run", 0.5, out}, 1323000, "wrote "},
      {{runPath, 0.25, out}, 661500, "(0:15, WAV)"},
      {{"Run.tktm", 1.0 / 60, out}, 44100, "(0:01, WAV)"},
      // A program plays once through (a lead-in measure, then twice: three 3/4 measures at
      // 180, and the default 4/4 pattern ramped from 100 to 120 over 5 s, which takes three
      // measures), or is cut at the minutes asked.
      {{"Intervals", std::nullopt, out}, 44100 + 2 * (3 * 44100 + 105840 + 96218 + 88200), "wrote "},
      {{"Intervals.tktp", 0.1, out}, 264600, "(0:06, WAV)"},
      {{(folder.path / "elsewhere" / "Own.tktp").string(), std::nullopt, out}, 2 * 352800, "(0:16, WAV)"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.request.source);
    const TCommandLineAnswer answer = RunExport(c.request, environment);
    EXPECT_EQ(answer.exitCode, 0) << answer.text;
    EXPECT_FALSE(answer.error);
    EXPECT_NE(answer.text.find(c.says), std::string::npos) << answer.text;
    const auto samples = Samples(out);
    ASSERT_TRUE(samples);
    EXPECT_EQ(samples->size(), c.samples);
  }
}

TEST_F(CommandLineExport, BadRequestsAreRefusedClearlyAndWriteNothing) {
  const std::string out = (folder.path / "out.wav").string();
  const struct {
    TExportRequest request;
    int exitCode;
    std::string says;
  } cases[] = {
      {{"Run", 1, (folder.path / "out.aiff").string()}, 2, "cannot tell the format of"},
      {{"Run", std::nullopt, out}, 2, "--minutes is needed to export a pattern"},
      {{"Nothing", 1, out}, 1, "no program or pattern 'Nothing'"},
      {{"Broken", 1, out}, 1, "names patterns that are missing:\n  round 1, step 1: 'Gone'"},
      {{(folder.path / "Junk.tktp").string(), 1, out}, 1, "is not a program file"},
      {{"Run", 1, (folder.path / "no folder" / "out.wav").string()}, 1, "cannot write"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.request.source + " -> " + c.request.output);
    const TCommandLineAnswer answer = RunExport(c.request, environment);
    EXPECT_EQ(answer.exitCode, c.exitCode);
    EXPECT_TRUE(answer.error);
    EXPECT_NE(answer.text.find(c.says), std::string::npos) << answer.text;
  }
  EXPECT_FALSE(std::filesystem::exists(out));
}

// What start-up gives the program to be known by: its version, its desktop entry, and the
// user's data folder that takes its patterns when its own folder is read-only.
TEST(CommandLine, ApplicationIdentity) {
  EXPECT_EQ(QCoreApplication::applicationVersion(), TAKTOLA_VERSION);
  EXPECT_EQ(QGuiApplication::desktopFileName(), "example.taktola.Taktola");
  EXPECT_EQ(QString::fromStdString(UserDataFolder()), qEnvironmentVariable("XDG_DATA_HOME") + "/taktola");
  EXPECT_FALSE(QGuiApplication::windowIcon().isNull());
}

}  // namespace
