// The command line as the program reads it before any window (the real binary is tried
// without a display by test_command_line.sh).
#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QIcon>

#include "app/uCommandLine.h"
#include "platform/uVCLUtils.h"

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

// What start-up gives the program to be known by: its version, its desktop entry, and the
// user's data folder that takes its patterns when its own folder is read-only.
TEST(CommandLine, ApplicationIdentity) {
  EXPECT_EQ(QCoreApplication::applicationVersion(), TAKTOLA_VERSION);
  EXPECT_EQ(QGuiApplication::desktopFileName(), "example.taktola.Taktola");
  EXPECT_EQ(QString::fromStdString(UserDataFolder()), qEnvironmentVariable("XDG_DATA_HOME") + "/taktola");
  EXPECT_FALSE(QGuiApplication::windowIcon().isNull());
}

}  // namespace
