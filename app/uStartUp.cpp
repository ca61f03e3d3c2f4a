#include "app/uStartUp.h"

#include <QApplication>

#include "platform/uTheme.h"
#include "ui/uStyles.h"

void StartUp() {
  // On Linux the theme comes from the session bus, which the application object connects
  // to, so the application must exist first.
  ThemeStartup();
  ApplyApplicationLook(SysAccentColor & 0xFFFFFF);
}

void ApplyApplicationLook(TColor accent) {
  UseBaseStyle();
  QApplication::setFont(UIFont());
  TrySetStyle(LightStyleName, accent);
}
