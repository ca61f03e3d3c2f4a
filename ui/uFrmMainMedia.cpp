// The main window as the desktop's media controls see it: headset buttons, media keys and the
// sound menu press Start and Stop, and are shown what plays.
#include <QPushButton>
#include <QComboBox>
#include <QTimer>

#include "ui/uFrmMain.h"
#include "ui/uSpinEdit.h"
#include "ui/uStdDialogs.h"

void TFrmMain::ConnectMediaControls() {
  if (!Env.MediaControls) return;
  TMediaHooks hooks;
  hooks.Play = [this] { btStart->click(); };
  hooks.Stop = [this] { btStop->click(); };
  hooks.Next = [this] {
    Guarded([&] { ProgramNext(); });
    Guarded([&] { PublishMediaState(); });
  };
  hooks.Raise = [this] {
    setWindowState(windowState() & ~Qt::WindowMinimized);
    show();
    raise();
    activateWindow();
  };
  hooks.Quit = [this] { close(); };
  FMedia = Env.MediaControls(std::move(hooks));
  PublishMediaState();
}

TMediaState TFrmMain::MediaState() const {
  // A pattern picked from the list is named by it; an edited or new one by the window.
  const bool named = cbNotesList->currentIndex() > 0;
  if (Run.Active()) return {true, true, QString::fromStdString(FProgramName), seTempo->value()};
  return {Timer1->isActive(), false, named ? cbNotesList->currentText() : windowTitle(), TPCount};
}

void TFrmMain::PublishMediaState() {
  if (FMedia) FMedia->Publish(MediaState());
}
