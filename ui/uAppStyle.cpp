#include "ui/uAppStyle.h"

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
