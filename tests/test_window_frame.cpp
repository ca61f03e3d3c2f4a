// The main window under a real window manager (tests/with_window_manager.sh), which frames
// it only after it is shown: its sizes are outer sizes all the same.
#include <gtest/gtest.h>

#include <QProcess>
#include <QScreen>
#include <QTest>
#include <QWindow>

#include "fake_sound.h"
#include "platform/uWindowFrame.h"
#include "frmmain_access.h"
#include "qt_printers.h"

namespace {

// What a user's dragging of the border asks for: the window manager gets the request and
// applies the window's size hints.
void UserResize(QWidget& window, int width, int height) {
  QProcess::execute(QStringLiteral("xdotool"), {QStringLiteral("windowsize"), QString::number(window.winId()),
                                                 QString::number(width), QString::number(height)});
}

TEST(WindowFrame, OuterSizesCountTheFrameOnceTheWindowManagerReportsIt) {
  TFakeSound sound;
  TFrmMainEnv env{[] { return false; }};
  env.Sound = &sound;
  TFrmMain frm(std::move(env));
  TFrmMainAccess a(frm);
  frm.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&frm));
  // The outer rectangle, with the frame as the window manager reports it (_NET_FRAME_EXTENTS).
  const auto outer = [&] { return frm.geometry().marginsAdded(ReportedFrame(*frm.windowHandle()).value_or(QMargins())); };
  ASSERT_TRUE(QTest::qWaitFor([&] { return outer().size() != frm.size(); }, 10000))
      << "no window manager framed the window";

  // Opened 60 pixels lower than designed, which the minimum lifts to 318; as wide as the
  // minimum; frame included; in the middle of the screen. The window manager carries out
  // the resize and the move one after the other.
  const auto centred = [&] {
    return (outer().center() - frm.screen()->availableGeometry().center()).manhattanLength() <= 1;
  };
  EXPECT_TRUE(QTest::qWaitFor([&] { return outer().size() == QSize(636, 318) && centred(); }, 5000))
      << outer() << " with a frame of " << outer().size() - frm.size();
  const QSize frame = outer().size() - frm.size();
  EXPECT_EQ(a.bHeight(), 322 + frame.height());
  EXPECT_EQ(frm.minimumSize() + frame, QSize(636, 318));

  // No smaller than the minimum, however the user drags; larger as asked.
  UserResize(frm, 300, 200);
  QTest::qWait(300);
  EXPECT_EQ(outer().size(), QSize(636, 318));
  UserResize(frm, 800, 400);
  EXPECT_TRUE(QTest::qWaitFor([&] { return frm.size() == QSize(800, 400); }, 5000)) << frm.size();
  EXPECT_EQ(outer().size(), QSize(800, 400) + frame);
}

}  // namespace
