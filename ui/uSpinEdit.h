// The tempo field: a numeric field with up and down arrows whose text the window reads as
// it is typed.
#pragma once

#include <QLineEdit>
#include <QSpinBox>

class TSpinEdit : public QSpinBox {
 public:
  using QSpinBox::QSpinBox;
  using QSpinBox::lineEdit;
};
