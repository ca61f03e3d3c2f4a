// Answers the modal dialogs a handler opens, one action per dialog, in order.
#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QTimer>
#include <deque>
#include <functional>

class TModalDriver {
 public:
  using TAction = std::function<void(QWidget* dialog)>;

  TModalDriver() {
    FTimer.setInterval(5);
    QObject::connect(&FTimer, &QTimer::timeout, [this] { Tick(); });
    FTimer.start();
  }
  ~TModalDriver() { EXPECT_TRUE(FActions.empty()) << FActions.size() << " dialog(s) expected did not open"; }

  void Then(TAction action) { FActions.push_back(std::move(action)); }

 private:
  void Tick() {
    QWidget* dialog = QApplication::activeModalWidget();
    if (dialog == nullptr || dialog->property("answered").toBool()) return;
    dialog->setProperty("answered", true);
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
