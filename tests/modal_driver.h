// Answers the modal dialogs a handler opens, one action per dialog shown, in order.
#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QEvent>
#include <QTimer>
#include <deque>
#include <functional>

class TModalDriver : public QObject {
 public:
  using TAction = std::function<void(QWidget* dialog)>;

  TModalDriver() {
    FTimer.setInterval(5);
    QObject::connect(&FTimer, &QTimer::timeout, this, [this] { Tick(); });
    FTimer.start();
  }
  ~TModalDriver() override { EXPECT_TRUE(FActions.empty()) << FActions.size() << " dialog(s) expected did not open"; }

  void Then(TAction action) { FActions.push_back(std::move(action)); }

 protected:
  // A dialog that hides may be shown again, and is then answered again.
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::Hide) watched->setProperty(Answered, false);
    return false;
  }

 private:
  static constexpr const char* Answered = "modalDriverAnswered";

  void Tick() {
    QWidget* dialog = QApplication::activeModalWidget();
    if (dialog == nullptr || dialog->property(Answered).toBool()) return;
    dialog->setProperty(Answered, true);
    dialog->removeEventFilter(this);
    dialog->installEventFilter(this);
    if (FActions.empty()) {
      ADD_FAILURE() << "an unexpected dialog: " << dialog->windowTitle().toStdString();
      if (auto* d = qobject_cast<QDialog*>(dialog)) d->reject();
      return;
    }
    const TAction action = std::move(FActions.front());
    FActions.pop_front();
    action(dialog);
  }

  std::deque<TAction> FActions;
  QTimer FTimer;
};
