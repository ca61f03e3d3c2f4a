#include "ui/uStdDialogs.h"

#include <QApplication>
#include <QInputDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>

std::optional<QString> InputQuery(QWidget* parent, const QString& caption, const QString& prompt,
                                  const QString& text) {
  QInputDialog box(parent);
  box.setWindowTitle(caption);
  box.setLabelText(prompt);
  box.setInputMode(QInputDialog::TextInput);
  box.setOkButtonText(ButtonOk);
  box.setCancelButtonText(ButtonCancel);
  box.setTextValue(text);
  if (auto* edit = box.findChild<QLineEdit*>()) {
    edit->setMaxLength(255);
    edit->selectAll();
  }
  if (box.exec() != QDialog::Accepted) return std::nullopt;
  return box.textValue();
}

namespace {

// A modal box with the stop icon and an OK button.
void StopBox(QWidget* parent, const QString& title, const QString& text) {
  QMessageBox box(QMessageBox::Critical, title, text, QMessageBox::Ok, parent);
  box.button(QMessageBox::Ok)->setText(ButtonOk);
  box.exec();
}

}  // namespace

void ShowErrorBox(QWidget* parent, const QString& text) { StopBox(parent, TitleError, text); }

bool AskYesNo(QWidget* parent, const QString& text) {
  QMessageBox box(QMessageBox::Warning, TitleWarning, text, QMessageBox::Yes | QMessageBox::No, parent);
  box.button(QMessageBox::Yes)->setText(ButtonYes);
  box.button(QMessageBox::No)->setText(ButtonNo);
  box.setDefaultButton(QMessageBox::Yes);
  box.setEscapeButton(QMessageBox::No);
  return box.exec() == QMessageBox::Yes;
}

QWidget* ShowWarningBox(QWidget* parent, const QString& text) {
  auto* box = new QMessageBox(QMessageBox::Warning, TitleWarning, text, QMessageBox::Ok, parent);
  box->button(QMessageBox::Ok)->setText(ButtonOk);
  box->setWindowModality(Qt::NonModal);
  box->setAttribute(Qt::WA_DeleteOnClose);
  box->show();
  return box;
}

QString ReportedMessage(const QString& message) {
  if (!message.isEmpty() && message.back() > QChar(u'.')) return message + u'.';
  return message;
}

void ShowException(const std::exception& error) {
  StopBox(QApplication::activeWindow(), ApplicationTitle, ReportedMessage(QString::fromUtf8(error.what())));
}
