// The tempo field: a numeric field with up and down arrows. Its text is left alone while it
// is typed (the window reads each keystroke's value, limited, at once); when editing ends it
// shows the limited value, but an empty field stays empty.
#pragma once

#include <QLineEdit>
#include <QSpinBox>

class TSpinEdit : public QSpinBox {
  Q_OBJECT
 public:
  explicit TSpinEdit(QWidget* parent = nullptr);
  using QSpinBox::lineEdit;

 signals:
  // The field's text changed, by typing, the arrows or the wheel, or a value set by code;
  // once per change.
  void TextChanged();

 protected:
  QValidator::State validate(QString& input, int& pos) const override;
  int valueFromText(const QString& text) const override;
  void focusOutEvent(QFocusEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  // Shows the limited value of what was typed; leaves an empty field empty.
  void FinishEditing();
  void NoteText(const QString& text);

  QString FLastText;
};
