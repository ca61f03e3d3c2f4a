#include <gtest/gtest.h>

#include "qt_printers.h"
#include "ui/uStdDialogs.h"

namespace {

TEST(ReportedMessage, PeriodAfterCharactersBeyondIt) {
  const struct {
    const char* message;
    const char* shown;
  } cases[] = {
      {"/p/Run.tktm に書き込めません", "/p/Run.tktm に書き込めません."},
      {"Out of memory", "Out of memory."},
      {"Done.", "Done."},
      {"Really!", "Really!"},
      {"3", "3."},
      {"a/", "a/."},
      {"(x)", "(x)"},
      {"", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(ReportedMessage(QString::fromUtf8(c.message)), QString::fromUtf8(c.shown));
}

}  // namespace
