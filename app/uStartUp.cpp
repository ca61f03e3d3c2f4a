#include "app/uStartUp.h"

#include <QApplication>
#include <QIcon>

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

void StartUp() {
  SetApplicationIdentity();
  QApplication::setWindowIcon(QIcon(QStringLiteral(":/app/taktola.svg")));
  InstallAccessibleRoles();
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
