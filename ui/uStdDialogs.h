// The standard dialogs the program uses, with the texts the toolkit's dialogs carry: an input
// box, an error box, a yes/no question, a warning that does not wait for its answer, and the
// application's general error report. Their
// titles and buttons read the same in every UI language.
#pragma once

#include <QString>
#include <exception>
#include <optional>

class QWidget;

inline const QString TitleWarning = QStringLiteral("警告");
inline const QString TitleError = QStringLiteral("エラー");
inline const QString ButtonOk = QStringLiteral("OK");
inline const QString ButtonCancel = QStringLiteral("キャンセル");
inline const QString ButtonYes = QStringLiteral("はい(&Y)");
inline const QString ButtonNo = QStringLiteral("いいえ(&N)");
// The title of the general error report.
inline const QString ApplicationTitle = QStringLiteral("TAKTOLA");

// A modal input box with one line of at most 255 characters, holding `text` selected so
// that typing replaces it; no value when the user cancels or closes it.
std::optional<QString> InputQuery(QWidget* parent, const QString& caption, const QString& prompt,
                                  const QString& text);

// A modal error box with the stop icon and an OK button.
void ShowErrorBox(QWidget* parent, const QString& text);

// A modal warning box asking yes or no, yes being the default; true for yes.
bool AskYesNo(QWidget* parent, const QString& text);

// A warning box with an OK button that blocks nothing: it is shown and the caller goes on;
// it deletes itself when closed.
QWidget* ShowWarningBox(QWidget* parent, const QString& text);

// The message as the general error report shows it: a period is added when the last
// character comes after "." in code order.
QString ReportedMessage(const QString& message);

// Shows an error that escaped an event handler; the program goes on.
void ShowException(const std::exception& error);

// Runs an event handler; an error escaping it is reported, and the handler ends there.
template <typename Handler>
void Guarded(Handler&& handler) {
  try {
    handler();
  } catch (const std::exception& error) {
    ShowException(error);
  }
}
