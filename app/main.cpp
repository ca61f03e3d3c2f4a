// Start-up: the command line, the desktop's theme, the application and its look, the main
// window and the About dialog, the event loop.
#include <QApplication>
#include <QTimer>
#include <thread>

#include "app/uCommandLine.h"
#include "app/uStartUp.h"
#include "audio/uSoundDevice.h"
#include "audio/uWavUtils.h"
#include "ui/uFrmMain.h"
#include "ui/uStdDialogs.h"
#include "ui/uVCLFrmAbout.h"

int main(int argc, char* argv[]) {
  // --help and --version answer before the application object, which needs a display.
  SetApplicationIdentity();
  if (const auto exitCode = HandleCommandLine(argc, argv)) return *exitCode;

  PrepareDisplayConnection();
  QApplication app(argc, argv);
  StartUp();

  TFrmMain frmMain;
  TVCLFrmAbout about(&frmMain);
  frmMain.AttachAbout(&about);
  // Connecting to the sound server, with its library loaded first, takes a few milliseconds
  // that the first Start would otherwise wait for; the window is drawn before them.
  AfterFirstFrame(frmMain, [] { PrepareSoundOutput(); });
  frmMain.show();
  if (const auto program = ProgramToPlay(QApplication::arguments()))
    QTimer::singleShot(0, &frmMain, [&frmMain, path = *program] { Guarded([&] { frmMain.PlayProgram(path); }); });
  // The sines of the tone table, made beside the window's start rather than at the first
  // Start, so that every build renders within a couple of milliseconds.
  std::jthread prepare(PrepareRendering);
  return QApplication::exec();
}
