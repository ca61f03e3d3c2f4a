#include "platform/uTheme.h"

#include <cmath>

#ifdef _WIN32
#include <windows.h>
#else
#include <QAccessible>
#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVariant>
#include <QFileInfo>
#include <QProcess>
#endif

bool IsWin10 = false;
std::uint32_t SysAccentColor = FallbackAccentColor;
bool ThemeFlag = true;

bool IsLightTheme() { return ThemeFlag || !IsWin10; }

#ifdef _WIN32

namespace {

std::optional<DWORD> ReadDword(const wchar_t* key, const wchar_t* value) {
  HKEY handle = nullptr;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, key, 0, KEY_READ, &handle) != ERROR_SUCCESS) return std::nullopt;
  DWORD data = 0, size = sizeof data, type = 0;
  const LSTATUS status = RegQueryValueExW(handle, value, nullptr, &type, reinterpret_cast<BYTE*>(&data), &size);
  RegCloseKey(handle);
  if (status != ERROR_SUCCESS || type != REG_DWORD) return std::nullopt;
  return data;
}

bool WindowsAtLeast10() {
  using TRtlGetVersion = LONG(WINAPI*)(OSVERSIONINFOW*);
  const auto get = reinterpret_cast<TRtlGetVersion>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "RtlGetVersion"));
  OSVERSIONINFOW info{sizeof info};
  return get != nullptr && get(&info) == 0 && info.dwMajorVersion >= 10;
}

}  // namespace

std::uint32_t ReadAccentColor() {
  const auto value = ReadDword(L"Software\\Microsoft\\Windows\\DWM", L"AccentColor");
  return value ? (*value | 0xFF000000u) : FallbackAccentColor;
}

bool ReadLightTheme() {
  HKEY handle = nullptr;
  const wchar_t* key = L"Software\\Microsoft\\Windows\\CurrentVersion\\Themes\\Personalize";
  if (RegOpenKeyExW(HKEY_CURRENT_USER, key, 0, KEY_READ, &handle) != ERROR_SUCCESS) return true;
  RegCloseKey(handle);
  const auto value = ReadDword(key, L"AppsUseLightTheme");
  return value ? *value == 1 : true;
}

void ConnectAccessibilityBridge() {}  // nothing to start there

void ThemeStartup() {
  IsWin10 = WindowsAtLeast10();
  SysAccentColor = ReadAccentColor();
  ThemeFlag = ReadLightTheme();
}

#else

namespace {

// Start-up must not wait on a desktop that does not answer.
constexpr int BusTimeoutMs = 400;
constexpr int GsettingsTimeoutMs = 500;

// The portal's "org.freedesktop.appearance" settings, read one at a time. A portal that is
// missing or does not answer in time is not asked again: start-up waits for it once at most.
class TPortal {
 public:
  explicit TPortal(const QDBusConnection& bus) : FBus(bus), FGone(!bus.isConnected()) {}

  // The setting unwrapped from the variants it comes in; no value when the portal is
  // missing, silent or does not know it.
  std::optional<QVariant> Read(const QString& key) {
    if (FGone) return std::nullopt;
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.portal.Desktop"), QStringLiteral("/org/freedesktop/portal/desktop"),
        QStringLiteral("org.freedesktop.portal.Settings"), QStringLiteral("Read"));
    call << QStringLiteral("org.freedesktop.appearance") << key;
    const QDBusMessage reply = FBus.call(call, QDBus::Block, BusTimeoutMs);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) {
      FGone = reply.errorName() == QLatin1String("org.freedesktop.DBus.Error.NoReply") ||
              reply.errorName() == QLatin1String("org.freedesktop.DBus.Error.ServiceUnknown");
      return std::nullopt;
    }
    QVariant value = reply.arguments().front();
    // Read wraps the value in a variant of its own; unwrap them all.
    while (value.userType() == qMetaTypeId<QDBusVariant>()) value = value.value<QDBusVariant>().variant();
    return value;
  }

 private:
  QDBusConnection FBus;
  bool FGone;
};

std::optional<std::uint8_t> Channel(double value) {
  if (!(value >= 0.0 && value <= 1.0)) return std::nullopt;  // outside 0..1 means "not set"
  return static_cast<std::uint8_t>(std::lround(value * 255.0));
}

std::uint32_t ReadAccentColor(TPortal& portal) {
  const auto value = portal.Read(QStringLiteral("accent-color"));
  if (!value || value->userType() != qMetaTypeId<QDBusArgument>()) return FallbackAccentColor;
  const QDBusArgument argument = value->value<QDBusArgument>();
  if (argument.currentSignature() != QLatin1String("(ddd)")) return FallbackAccentColor;
  double r = -1, g = -1, b = -1;
  argument.beginStructure();
  argument >> r >> g >> b;
  argument.endStructure();
  const auto red = Channel(r), green = Channel(g), blue = Channel(b);
  if (!red || !green || !blue) return FallbackAccentColor;
  return 0xFF000000u | RGBColor(*red, *green, *blue);
}

bool ReadLightTheme(TPortal& portal, const TGnomeColorScheme& gnome) {
  // color-scheme: 1 prefers dark; 0 (no preference) and 2 (prefers light) are light.
  if (const auto value = portal.Read(QStringLiteral("color-scheme")); value && value->canConvert<uint>())
    return value->toUInt() != 1;
  if (const auto scheme = gnome ? gnome() : std::nullopt) return *scheme != "prefer-dark";
  return true;
}

}  // namespace

bool SessionBusReachable() {
  const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
  return !qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS") ||
         (!runtime.isEmpty() && QFileInfo::exists(runtime + QStringLiteral("/bus")));
}

// Asking for a session bus that is not reachable would make libdbus try to start one
// through the X server (a fork of this process and a search of PATH for dbus-launch, 6 ms of
// start-up), which finds nothing there.
QDBusConnection SessionBus() {
  if (!SessionBusReachable()) return QDBusConnection(QStringLiteral("taktola-no-session-bus"));
  return QDBusConnection::sessionBus();
}

void ConnectAccessibilityBridge() {
  if (SessionBusReachable()) return;  // it starts at its own time, on the bus that is there
  // Qt's bridge asks for the session bus itself. An address that fails at once stands in
  // while it does, and only then: programs started later see the environment we were given.
  qputenv("DBUS_SESSION_BUS_ADDRESS", "disabled:");
  QAccessible::isActive();
  qunsetenv("DBUS_SESSION_BUS_ADDRESS");
}

std::optional<std::string> GnomeColorScheme() {
  // GNOME's setting means nothing on other desktops, and asking costs a process start
  // (tens of milliseconds of start-up).
  if (!qEnvironmentVariable("XDG_CURRENT_DESKTOP").contains(QLatin1String("GNOME"), Qt::CaseInsensitive))
    return std::nullopt;
  QProcess gsettings;
  gsettings.start(QStringLiteral("gsettings"),
                  {QStringLiteral("get"), QStringLiteral("org.gnome.desktop.interface"), QStringLiteral("color-scheme")});
  if (!gsettings.waitForFinished(GsettingsTimeoutMs) || gsettings.exitStatus() != QProcess::NormalExit ||
      gsettings.exitCode() != 0) {
    gsettings.kill();
    gsettings.waitForFinished(100);
    return std::nullopt;
  }
  QString value = QString::fromUtf8(gsettings.readAllStandardOutput()).trimmed();
  if (value.size() >= 2 && value.front() == u'\'' && value.back() == u'\'') value = value.mid(1, value.size() - 2);
  return value.toStdString();
}

void ThemeStartup(const QDBusConnection& bus, const TGnomeColorScheme& gnome) {
  TPortal portal(bus);
  IsWin10 = true;  // no older system to stay light for
  SysAccentColor = ReadAccentColor(portal);
  ThemeFlag = ReadLightTheme(portal, gnome);
}

std::uint32_t ReadAccentColor() {
  TPortal portal(SessionBus());
  return ReadAccentColor(portal);
}

bool ReadLightTheme() {
  TPortal portal(SessionBus());
  return ReadLightTheme(portal, GnomeColorScheme);
}

void ThemeStartup() { ThemeStartup(SessionBus(), GnomeColorScheme); }

#endif
