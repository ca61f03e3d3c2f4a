#include "ui/uHints.h"

#include <QAccessibleWidget>
#include <QWidget>
#include <QStringList>
#include <algorithm>

#include "pattern/uMeasureGeometry.h"

namespace {

// Where a note sits, in beats counted from 1 and the sixteenths past the beat.
QString Position(int offset, int tsCount, bool japanese) {
  if (offset >= SixteenthsPerBeat * tsCount) return japanese ? QStringLiteral("小節の終わり") : QStringLiteral("at the end of the measure");
  const int beat = offset / SixteenthsPerBeat + 1, past = offset % SixteenthsPerBeat;
  QString text = japanese ? QStringLiteral("%1拍目").arg(beat) : QStringLiteral("at beat %1").arg(beat);
  if (past != 0) text += QStringLiteral(" + %1/16").arg(past);
  return text;
}

}  // namespace

void InstallAccessibleRoles() {
  QAccessible::installFactory([](const QString& className, QObject* object) -> QAccessibleInterface* {
    if (object == nullptr || !object->isWidgetType()) return nullptr;
    auto* widget = static_cast<QWidget*>(object);
    if (className == QLatin1String("TFrmMain")) return new QAccessibleWidget(widget, QAccessible::Window);
    if (className == QLatin1String("TImage")) return new QAccessibleWidget(widget, QAccessible::Canvas);
    return nullptr;
  });
}

QString MeasureDescription(int tsCount, const TNotes& notes, int notesIndex, bool japanese) {
  const QString signature = QStringLiteral("%1/4").arg(tsCount);
  const int count = static_cast<int>(notes.size());
  const QString separator = japanese ? QStringLiteral("、") : QStringLiteral(", ");
  QStringList parts{signature};
  if (count == 0) {
    parts << (japanese ? QStringLiteral("音なし") : QStringLiteral("no notes"));
    return parts.join(separator);
  }
  parts << (japanese ? QStringLiteral("%1音").arg(count)
                     : count == 1 ? QStringLiteral("1 note") : QStringLiteral("%1 notes").arg(count));
  if (notesIndex < 0 || notesIndex >= count) {
    parts << (japanese ? QStringLiteral("選択なし") : QStringLiteral("no note selected"));
    return parts.join(separator);
  }
  const std::vector<int> order = TimeLineOrder(notes);
  const auto place = std::find(order.begin(), order.end(), notesIndex) - order.begin() + 1;
  const QString where = Position(notes[notesIndex].offset, tsCount, japanese);
  parts << (japanese ? QStringLiteral("%1音中%2番目、%3").arg(count).arg(place).arg(where)
                     : QStringLiteral("note %1 of %2 %3").arg(place).arg(count).arg(where));
  return parts.join(separator);
}

int TempoKeyStep(int key, Qt::KeyboardModifiers modifiers) {
  modifiers &= ~Qt::KeypadModifier;
  if (modifiers != Qt::NoModifier && modifiers != Qt::ShiftModifier) return 0;
  const bool shift = modifiers == Qt::ShiftModifier;
  switch (key) {
    case Qt::Key_Plus: return shift ? 10 : 1;
    case Qt::Key_Equal: return shift ? -10 : 1;
    case Qt::Key_Minus: return shift ? -10 : -1;
    case Qt::Key_Underscore: return -10;
    default: return 0;
  }
}
