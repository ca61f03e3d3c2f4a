// Readable Qt values in test failure messages.
#pragma once

#include <QRect>
#include <QSize>
#include <QString>
#include <ostream>

inline void PrintTo(const QString& text, std::ostream* os) { *os << '"' << text.toStdString() << '"'; }

inline std::ostream& operator<<(std::ostream& os, const QSize& size) {
  return os << size.width() << " x " << size.height();
}
inline std::ostream& operator<<(std::ostream& os, const QPoint& point) {
  return os << "(" << point.x() << ", " << point.y() << ")";
}
inline std::ostream& operator<<(std::ostream& os, const QRect& rect) {
  return os << rect.size() << " at " << rect.topLeft();
}
