#include "app/uStartUp.h"

#include <QApplication>
#include <QIcon>
#include <QTimer>
#include <QWidget>
#include <QWindow>

#include "platform/uTheme.h"
#include "platform/uVCLUtils.h"
#include "ui/uHints.h"
#include "ui/uStyles.h"

void SetApplicationIdentity() {
  QCoreApplication::setApplicationName(QStringLiteral("taktola"));
  QCoreApplication::setApplicationVersion(QString::fromStdString(GetAppVersion()));
  // Docks and task switchers match the window to the installed entry by this name.
  QGuiApplication::setDesktopFileName(QString::fromLatin1(DesktopFileName));
}

void PrepareDisplayConnection() {
  // On X11, Qt hands a frame to the server in shared memory and then waits for the server
  // (a round trip) before it paints the next one. A playhead frame is a strip of a few
  // kilobytes, cheaper to send in the request itself: this halves the window thread's
  // cost while playing, and the X server's with it.
  if (!qEnvironmentVariableIsSet("QT_XCB_NO_MITSHM")) qputenv("QT_XCB_NO_MITSHM", "1");
}

namespace {

// Waits for the window's first expose, which the toolkit answers by drawing the window; the
// work is posted from there, so it runs after that drawing.
class TFirstFrame final : public QObject {
 public:
  TFirstFrame(QWindow* window, std::function<void()> work) : QObject(window), FWork(std::move(work)) {
    window->installEventFilter(this);
  }

  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::Expose && static_cast<QWindow*>(watched)->isExposed()) {
      watched->removeEventFilter(this);
      QTimer::singleShot(0, watched, std::move(FWork));
      deleteLater();
    }
    return false;
  }

 private:
  std::function<void()> FWork;
};

}  // namespace

void AfterFirstFrame(QWidget& window, std::function<void()> work) {
  window.winId();  // the native window, which receives the expose
  new TFirstFrame(window.windowHandle(), std::move(work));
}

void StartUp() {
  SetApplicationIdentity();
  QApplication::setWindowIcon(QIcon(QStringLiteral(":/app/taktola.svg")));
  InstallAccessibleRoles();
  ConnectAccessibilityBridge();
  // On Linux the theme comes from the session bus, which the application object connects
  // to, so the application must exist first.
  ThemeStartup();
  ApplyApplicationLook(SysAccentColor & 0xFFFFFF, IsLightTheme());
}

void ApplyApplicationLook(TColor accent, bool light) {
  UseBaseStyle();
  QApplication::setFont(UIFont());
  // The theme's own style at once, so the window's widgets are polished once, in it.
  TrySetStyle(light ? LightStyleName : DarkStyleName, accent);
}
