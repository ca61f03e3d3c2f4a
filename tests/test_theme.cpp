// The start-up work of the theme against a settings portal on a private session bus.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QThread>

#include "platform/uMpris.h"
#include "platform/uTheme.h"
#include "private_bus.h"

namespace {

// A private session bus, and on it (when asked) a fake portal that answers as told.
class PrivateBus : public testing::Test {
 protected:
  void SetUp() override { ASSERT_FALSE(address.isEmpty()) << "dbus-daemon did not start"; }
  void TearDown() override {
    if (portal.state() != QProcess::NotRunning) {
      portal.kill();
      portal.waitForFinished();
    }
    QDBusConnection::disconnectFromBus(connectionName);
  }

  void StartPortal(const QStringList& args) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), address);
    portal.setProcessEnvironment(env);
    portal.start(QStringLiteral(FAKE_PORTAL), args);
    ASSERT_TRUE(portal.waitForStarted(5000));
    QDBusConnection bus = Bus();
    for (int i = 0; i < 500 && !bus.interface()->isServiceRegistered(QStringLiteral("org.freedesktop.portal.Desktop")); ++i)
      QThread::msleep(10);
    ASSERT_TRUE(bus.interface()->isServiceRegistered(QStringLiteral("org.freedesktop.portal.Desktop")));
  }

  QDBusConnection Bus() { return QDBusConnection::connectToBus(address, connectionName); }

  // The start-up work as the program does it, but on this bus; GNOME's setting as given.
  void Startup(std::optional<std::string> gnome = std::nullopt) {
    IsWin10 = false;
    SysAccentColor = 0;
    ThemeFlag = false;
    ThemeStartup(Bus(), [gnome] { return gnome; });
  }

  TPrivateBus bus;
  QProcess portal;
  const QString address = bus.Address();
  const QString connectionName = QStringLiteral("theme-test");
};

TEST_F(PrivateBus, DarkLightAndNoPreference) {
  const struct {
    const char* scheme;
    bool light;
  } cases[] = {{"1", false}, {"2", true}, {"0", true}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.scheme);
    StartPortal({QStringLiteral("--color-scheme"), QString::fromLatin1(c.scheme)});
    Startup(std::string("prefer-dark"));  // the portal's answer comes first
    EXPECT_EQ(ThemeFlag, c.light);
    EXPECT_EQ(IsLightTheme(), c.light);
    EXPECT_TRUE(IsWin10);
    EXPECT_EQ(SysAccentColor, FallbackAccentColor);  // the portal names no accent colour
    portal.kill();
    portal.waitForFinished();
  }
}

TEST_F(PrivateBus, AccentColourRoundedToBytes) {
  StartPortal({QStringLiteral("--color-scheme"), QStringLiteral("1"), QStringLiteral("--accent"),
               QStringLiteral("0.2,0.6,0.999")});
  Startup();
  EXPECT_EQ(SysAccentColor, 0xFF000000u | RGBColor(51, 153, 255));
  EXPECT_FALSE(IsLightTheme());
}

TEST_F(PrivateBus, AccentColourOutOfRangeIsNone) {
  StartPortal({QStringLiteral("--accent"), QStringLiteral("-1,-1,-1")});
  Startup();
  EXPECT_EQ(SysAccentColor, FallbackAccentColor);
}

TEST_F(PrivateBus, PortalWithoutTheSettingFallsBackToGnome) {
  StartPortal({});
  Startup(std::string("prefer-dark"));
  EXPECT_FALSE(ThemeFlag);
  Startup(std::string("default"));
  EXPECT_TRUE(ThemeFlag);
  Startup(std::nullopt);
  EXPECT_TRUE(ThemeFlag);
}

TEST_F(PrivateBus, APortalThatNeverAnswers) {
  StartPortal({QStringLiteral("--silent"), QStringLiteral("1")});
  Startup(std::string("prefer-dark"));
  EXPECT_FALSE(ThemeFlag);
  EXPECT_EQ(SysAccentColor, FallbackAccentColor);
}

TEST_F(PrivateBus, NoPortalAtAll) {
  Startup(std::string("prefer-dark"));
  EXPECT_FALSE(ThemeFlag);
  EXPECT_EQ(SysAccentColor, FallbackAccentColor);
  Startup(std::nullopt);
  EXPECT_TRUE(ThemeFlag);
  EXPECT_TRUE(IsLightTheme());
}

TEST(NoBus, LightAndTheFallbackAccent) {
  IsWin10 = false;
  ThemeStartup(QDBusConnection(QStringLiteral("not connected")), [] { return std::optional<std::string>(); });
  EXPECT_TRUE(ThemeFlag);
  EXPECT_TRUE(IsWin10);
  EXPECT_EQ(SysAccentColor, FallbackAccentColor);
}

// Start-up asks nothing it cannot get an answer from: without a session bus no bus is
// launched, and off GNOME no gsettings is started. Stand-ins for both note being run.
TEST(NoBus, StartUpStartsNoHelperProcesses) {
  const QString folder = QDir::temp().filePath(QStringLiteral("taktola-theme-%1").arg(QCoreApplication::applicationPid()));
  QDir().mkpath(folder);
  for (const char* name : {"dbus-launch", "gsettings"}) {
    QFile tool(folder + QLatin1Char('/') + QLatin1String(name));
    ASSERT_TRUE(tool.open(QIODevice::WriteOnly));
    tool.write(QStringLiteral("#!/bin/sh\ntouch '%1/ran-%2'\necho \"'prefer-dark'\"\n").arg(folder, QLatin1String(name)).toUtf8());
    tool.close();
    tool.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
  }
  const QByteArray path = qgetenv("PATH"), address = qgetenv("DBUS_SESSION_BUS_ADDRESS"),
                   runtime = qgetenv("XDG_RUNTIME_DIR"), desktop = qgetenv("XDG_CURRENT_DESKTOP");
  qputenv("PATH", folder.toLocal8Bit() + ":" + path);
  qunsetenv("DBUS_SESSION_BUS_ADDRESS");
  qputenv("XDG_RUNTIME_DIR", folder.toLocal8Bit());  // holds no bus socket
  qputenv("XDG_CURRENT_DESKTOP", "KDE");
  ThemeStartup();
  EXPECT_TRUE(ThemeFlag);
  // Nor do the media controls, which silently are not there.
  EXPECT_EQ(RegisterMpris({}), nullptr);
  EXPECT_FALSE(QFileInfo::exists(folder + QStringLiteral("/ran-dbus-launch")));
  EXPECT_FALSE(QFileInfo::exists(folder + QStringLiteral("/ran-gsettings")));
  // On GNOME its own setting is asked for.
  qputenv("XDG_CURRENT_DESKTOP", "ubuntu:GNOME");
  EXPECT_EQ(GnomeColorScheme(), "prefer-dark");
  EXPECT_TRUE(QFileInfo::exists(folder + QStringLiteral("/ran-gsettings")));
  qputenv("PATH", path);
  qputenv("XDG_RUNTIME_DIR", runtime);
  qputenv("XDG_CURRENT_DESKTOP", desktop);
  if (!address.isEmpty()) qputenv("DBUS_SESSION_BUS_ADDRESS", address);
  QDir(folder).removeRecursively();
}

}  // namespace

int main(int argc, char* argv[]) {
  testing::InitGoogleTest(&argc, argv);
  QCoreApplication app(argc, argv);
  return RUN_ALL_TESTS();
}
