// What a widget shows on the screen, and comparisons of pixels that name what differs.
#pragma once

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QImage>
#include <QScreen>
#include <QTest>
#include <QWidget>

#include "qt_printers.h"

// Runs the repaints Qt has queued, as the event loop would.
inline void FlushRepaints() { QCoreApplication::sendPostedEvents(nullptr, QEvent::UpdateRequest); }

// The widget's pixels as its window shows them: the window's store, or the X server's
// screen, after the queued repaints and what the widget queued to draw after them; so a
// strip painted wrong or left unpainted shows. (QWidget::grab() would paint the whole widget
// anew.) In device pixels.
inline QImage Shown(QWidget* w) {
  FlushRepaints();
  QCoreApplication::sendPostedEvents(w, QEvent::MetaCall);
  const QPoint at = w->mapTo(w->window(), QPoint(0, 0));
  return w->screen()->grabWindow(w->window()->winId(), at.x(), at.y(), w->width(), w->height()).toImage();
}

// Compares in RGB, whatever the formats of the screen and the bitmap; names the first pixel
// that differs.
inline testing::AssertionResult SamePixels(const QImage& shown, const QImage& expected) {
  const QImage a = shown.convertToFormat(QImage::Format_RGB32), b = expected.convertToFormat(QImage::Format_RGB32);
  if (a.size() != b.size()) return testing::AssertionFailure() << "shown " << a.size() << ", expected " << b.size();
  int differ = 0;
  QPoint first;
  for (int y = 0; y < a.height(); ++y)
    for (int x = 0; x < a.width(); ++x)
      if ((a.pixel(x, y) & 0xFFFFFF) != (b.pixel(x, y) & 0xFFFFFF) && differ++ == 0) first = QPoint(x, y);
  if (differ == 0) return testing::AssertionSuccess();
  return testing::AssertionFailure() << differ << " pixels differ, the first at " << first << ": shown #" << std::hex
                                     << (a.pixel(first) & 0xFFFFFF) << ", expected #" << (b.pixel(first) & 0xFFFFFF);
}

// A window shown again reaches an X server's screen a moment later.
inline testing::AssertionResult ShownSoon(QWidget* w, const QImage& expected) {
  if (QTest::qWaitFor([&] { return static_cast<bool>(SamePixels(Shown(w), expected)); }, 5000))
    return testing::AssertionSuccess();
  return SamePixels(Shown(w), expected);
}
