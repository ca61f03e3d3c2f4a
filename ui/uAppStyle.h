// The toolkit style under the program's looks: Fusion, with drop-down lists that give their
// text the room the designed widths allow. Desktop fonts on Linux run wider than the font
// the layout was drawn with, and Fusion's arrow area would clip names like "Sine Wave".
#pragma once

#include <QFont>
#include <QProxyStyle>

class TAppStyle : public QProxyStyle {
 public:
  TAppStyle();

  QRect subControlRect(ComplexControl control, const QStyleOptionComplex* option, SubControl sub,
                       const QWidget* widget) const override;
};

// Segoe UI where the system has it, else the desktop's own UI font, at 9 points. Without
// Segoe UI, Japanese text takes a gothic with proportional kana where one is installed:
// full-width kana would run "テンポ" into the tempo field beside it.
QFont UIFont();
