// A main window opened offscreen, with helpers that act on it as a user would.
#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QMessageBox>
#include <QTest>
#include <QWindow>
#include <filesystem>
#include <memory>

#include "audio/uWavUtils.h"
#include "frmmain_access.h"
#include "pattern/uMeasureGeometry.h"
#include "platform/uResources.h"
#include "qt_printers.h"
#include "screen_pixels.h"

inline constexpr TColor Accent = RGBColor(0, 120, 212);

// The message boxes shown now that do not wait for an answer, as the user sees them.
inline QList<QMessageBox*> VisibleBoxes() {
  QList<QMessageBox*> boxes;
  for (QWidget* w : QApplication::topLevelWidgets())
    if (auto* box = qobject_cast<QMessageBox*>(w); box != nullptr && box->isVisible()) boxes << box;
  return boxes;
}

// The window's surroundings in most window tests: the UI language, a fake sound output and
// one pattern folder that is both saved to and listed.
inline TFrmMainEnv FakeEnv(bool japanese, TSoundOutput& sound, const std::filesystem::path& folder) {
  TFrmMainEnv env{[japanese] { return japanese; }};
  env.Sound = &sound;
  env.PatternFolders = [folder] { return TPatternFolders{folder, {folder}}; };
  return env;
}

class FrmMain : public testing::Test {
 protected:
  void SetUp() override { Open(TFrmMainEnv{[] { return false; }}); }

  void Open(TFrmMainEnv env) {
    frm = std::make_unique<TFrmMain>(std::move(env));
    a = std::make_unique<TFrmMainAccess>(*frm);
    frm->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(frm.get()));
  }

  // Mouse events go to the window, so Qt routes them as it routes real ones: to the widget
  // under the pointer, and during a press to the widget that got it.
  QPoint InWindow(int x, int y) { return a->Image1()->mapTo(frm.get(), QPoint(x, y)); }
  void Press(int x, int y) { QTest::mousePress(frm->windowHandle(), Qt::LeftButton, {}, InWindow(x, y)); }
  void MoveTo(int x, int y) { QTest::mouseMove(frm->windowHandle(), InWindow(x, y)); }
  void Release(int x, int y) { QTest::mouseRelease(frm->windowHandle(), Qt::LeftButton, {}, InWindow(x, y)); }
  void Click(int x, int y) {
    Press(x, y);
    Release(x, y);
  }

  // What the user's choice in a drop-down list does: select the item, then report it.
  static void Pick(QComboBox* list, int index) {
    list->setCurrentIndex(index);
    emit list->activated(index);
  }

  TMeasureGeometry Geometry() { return MeasureGeometry(a->Image1()->width(), a->Image1()->height(), a->TSCount()); }
  int NoteX(int offset) { return SixteenthX(Geometry().c, offset); }
  int Middle() { return Geometry().m; }
  void ClickNote(int index) { Click(NoteX(a->Notes().at(index).offset), Middle()); }
  QRgb Pixel(int x, int y) { return a->Image1()->Picture().pixel(x, y) & 0xFFFFFF; }
  static QRgb Rgb(TColor c) { return qRgb(RedOf(c), GreenOf(c), BlueOf(c)) & 0xFFFFFF; }

  void ExpectEditorEnabled(bool enabled) {
    for (QWidget* w : QList<QWidget*>{a->cbType(), a->cbTone(), a->cbLength(), a->cbLoudness(), a->btNoteDelete()})
      EXPECT_EQ(w->isEnabled(), enabled) << w->metaObject()->className();
  }
  void ExpectEditorShows(int type, int tone, int length, int loudness) {
    EXPECT_EQ(a->cbType()->currentIndex(), type);
    EXPECT_EQ(a->cbTone()->currentIndex(), tone);
    EXPECT_EQ(a->cbLength()->currentIndex(), length);
    EXPECT_EQ(a->cbLoudness()->currentIndex(), loudness);
  }

  // The measure view as the window shows it, after the repaints Qt has queued: the playhead
  // is drawn there, over the picture, and never into the picture.
  QImage ShownMeasure() { return Shown(a->Image1()); }

  // The playhead's sixteenth as the window shows it: the only column triple in the
  // foreground colour at the top and the bottom (inside the focus mark); -1 when there is none.
  std::int64_t ShownPlayhead() {
    const QImage shown = ShownMeasure();
    const int c = Geometry().c;
    const int top = TImage::FocusMarkWidth, bottom = shown.height() - 1 - TImage::FocusMarkWidth;
    const auto fg = [&](int x, int y) { return (shown.pixel(x, y) & 0xFFFFFF) == Rgb(a->FGColor()); };
    std::int64_t found = -1;
    for (std::int64_t s = 0; s < 16 * a->TSCount(); ++s) {
      const int x = SixteenthX(c, s);
      bool line = true;
      for (int dx = -1; dx <= 1; ++dx) line = line && fg(x + dx, top) && fg(x + dx, bottom);
      if (line) {
        EXPECT_EQ(found, -1) << "two playheads";
        found = s;
      }
    }
    return found;
  }

  // The playhead's sixteenth as a timer tick shows it.
  std::int64_t DrawnPlayhead() {
    a->Timer1Timer();
    return ShownPlayhead();
  }

  // The measure as the window would render it now, rotated to begin at `offset`.
  TWav4416MI Expected(std::uint32_t offset) {
    const TWav4416MI m = RenderMeasure(a->Notes(), MeasureLength(a->TSCount(), a->TPCount()), a->TPCount(), ReadResource);
    TWav4416MI rotated(m.size());
    for (std::size_t k = 0; k < m.size(); ++k) rotated[k] = m[(offset + k) % m.size()];
    return rotated;
  }

  std::unique_ptr<TFrmMain> frm;
  std::unique_ptr<TFrmMainAccess> a;
};
