#include "ui/uAppStyle.h"

#include <QApplication>
#include <QFontDatabase>
#include <QFontInfo>
#include <QStyleFactory>
#include <QStyleOptionComboBox>

namespace {
constexpr int ComboArrowWidth = 15;  // room for Fusion's 7-pixel arrow and its frame
constexpr int ComboTextInset = 2;
}  // namespace

TAppStyle::TAppStyle() : QProxyStyle(QStyleFactory::create(QStringLiteral("Fusion"))) {}

QRect TAppStyle::subControlRect(ComplexControl control, const QStyleOptionComplex* option, SubControl sub,
                                const QWidget* widget) const {
  const auto* combo = qstyleoption_cast<const QStyleOptionComboBox*>(option);
  if (control != CC_ComboBox || !combo || combo->editable)
    return QProxyStyle::subControlRect(control, option, sub, widget);
  const QRect r = option->rect;
  QRect result;
  switch (sub) {
    case SC_ComboBoxArrow:
      result = QRect(r.right() - ComboArrowWidth + 1, r.top(), ComboArrowWidth, r.height());
      break;
    case SC_ComboBoxEditField:
      result = QRect(r.left() + ComboTextInset, r.top() + 2, r.width() - ComboArrowWidth - ComboTextInset,
                     r.height() - 4);
      break;
    default:
      return QProxyStyle::subControlRect(control, option, sub, widget);
  }
  return visualRect(option->direction, r, result);
}

QFont UIFont() {
  const bool segoe = QFontDatabase::families().contains(QStringLiteral("Segoe UI"));
  QFont font = segoe ? QFont(QStringLiteral("Segoe UI")) : QApplication::font();
  // The desktop font may be an alias ("Sans Serif"); name the family it stands for, or the
  // alias would lose to the Japanese font for Latin text too.
  if (!segoe) font.setFamilies({QFontInfo(font).family(), QStringLiteral("IPAPGothic")});
  font.setPointSize(9);
  return font;
}
