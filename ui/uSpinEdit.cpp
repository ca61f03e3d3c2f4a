#include "ui/uSpinEdit.h"

#include <QCoreApplication>
#include <QKeyEvent>

#include "pattern/uPattern.h"

TSpinEdit::TSpinEdit(QWidget* parent) : QSpinBox(parent) {
  // Typing changes the editor's text; steps and values set by code change it with the
  // editor's signals blocked and report it as the spin box's text instead.
  connect(lineEdit(), &QLineEdit::textChanged, this, &TSpinEdit::NoteText);
  connect(this, &QSpinBox::textChanged, this, &TSpinEdit::NoteText);
}

void TSpinEdit::NoteText(const QString& text) {
  if (text == FLastText) return;
  FLastText = text;
  emit TextChanged();
}

QValidator::State TSpinEdit::validate(QString& input, int&) const {
  // Any whole number that fits the field may be typed, even one out of range; it is limited
  // when it is read. Digits of other scripts (full-width ones from a Japanese input method)
  // are shown as the ASCII digits they stand for, so the field shows what the tempo is.
  for (QChar& ch : input) {
    if (!ch.isDigit()) return QValidator::Invalid;
    ch = QChar(u'0' + ch.digitValue());
  }
  return QValidator::Acceptable;
}

int TSpinEdit::valueFromText(const QString& text) const { return TempoFromText(text.toStdString()); }

void TSpinEdit::FinishEditing() {
  if (lineEdit()->text().isEmpty()) return;
  const int value = valueFromText(lineEdit()->text());
  setValue(value);
  // setValue rewrites the text only when the value changes; "300" over a value of 240 still
  // has to read "240".
  const QString limited = textFromValue(value);
  if (lineEdit()->text() != limited) lineEdit()->setText(limited);
}

void TSpinEdit::focusOutEvent(QFocusEvent* event) {
  FinishEditing();
  if (lineEdit()->text().isEmpty()) {
    // The base class would fill in the last value; an empty field stays empty.
    QCoreApplication::sendEvent(lineEdit(), event);
    QWidget::focusOutEvent(event);
    emit editingFinished();
    return;
  }
  QSpinBox::focusOutEvent(event);
}

void TSpinEdit::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
    FinishEditing();
    lineEdit()->selectAll();
    emit editingFinished();
    return;
  }
  QSpinBox::keyPressEvent(event);
}
