// The main window as the desktop's media controls see it, on a session bus of the tests' own
// that is there before the program starts, as a desktop's is: a client on that bus presses
// PlayPause, Play, Pause, Stop and Next, as a headset button or a sound menu does, and reads
// and hears back what the player shows.
#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusPendingCall>
#include <QDBusVariant>
#include <QLineEdit>
#include <cstdio>

#include "fake_sound.h"
#include "frmmain_fixture.h"
#include "pattern/uPatternFile.h"
#include "platform/uMpris.h"
#include "private_bus.h"
#include "qt_test_app.h"
#include "temp_folder.h"

// Properties as names and values, in failure messages.
void PrintTo(const QVariantMap& map, std::ostream* os) {
  *os << "{";
  for (auto it = map.begin(); it != map.end(); ++it)
    *os << " " << it.key().toStdString() << ": " << it.value().typeName() << " " << it.value().toString().toStdString();
  *os << " }";
}

namespace {

const QString Service = QString::fromLatin1(MprisServiceName);
const QString ObjectPath = QStringLiteral("/org/mpris/MediaPlayer2");
const QString Root = QStringLiteral("org.mpris.MediaPlayer2");
const QString Player = QStringLiteral("org.mpris.MediaPlayer2.Player");
const QString Properties = QStringLiteral("org.freedesktop.DBus.Properties");

// The PropertiesChanged signals the player sends, as they arrive.
class TChanges : public QObject {
  Q_OBJECT
 public slots:
  void Changed(const QString& interface, const QVariantMap& changed, const QStringList&) {
    received.push_back({interface, changed});
  }

 public:
  std::vector<std::pair<QString, QVariantMap>> received;
};

// A value as it came over the bus: a map arrives still marshalled.
QVariantMap Map(const QVariant& value) {
  if (value.userType() == qMetaTypeId<QDBusArgument>()) return qdbus_cast<QVariantMap>(value.value<QDBusArgument>());
  return value.toMap();
}

class Mpris : public FrmMain {
 protected:
  void SetUp() override {
    SaveNotes(folder.path / "Run.tktm", DefaultNotes(3), 0, 90, ".");
    client = QDBusConnection::connectToBus(qEnvironmentVariable("DBUS_SESSION_BUS_ADDRESS"), ClientName);
    ASSERT_TRUE(client.isConnected());
    ASSERT_TRUE(client.connect(QString(), ObjectPath, Properties, QStringLiteral("PropertiesChanged"), &changes,
                               SLOT(Changed(QString, QVariantMap, QStringList))));
    // The window as main() makes it, but for the fakes every window test has; the media
    // controls are the program's own, on the session bus.
    Open(FakeEnv(false, sound, folder.path));
  }
  void TearDown() override {
    frm.reset();  // before the fake sound goes
    QDBusConnection::disconnectFromBus(ClientName);
  }

  // A call as a desktop makes it. The window answers on its own event loop, so the call is
  // waited for with that loop running; what it sent before its answer has arrived then.
  QDBusMessage Call(const QString& interface, const QString& method, const QVariantList& args = {}) {
    QDBusMessage call = QDBusMessage::createMethodCall(Service, ObjectPath, interface, method);
    call.setArguments(args);
    QDBusPendingCall pending = client.asyncCall(call, 5000);
    EXPECT_TRUE(QTest::qWaitFor([&] { return pending.isFinished(); }, 6000)) << method.toStdString();
    QCoreApplication::processEvents();
    const QDBusMessage reply = pending.reply();
    EXPECT_EQ(reply.type(), QDBusMessage::ReplyMessage) << method.toStdString() << ": " << reply.errorMessage().toStdString();
    return reply;
  }
  QVariant Get(const QString& interface, const QString& property) {
    const QDBusMessage reply = Call(Properties, QStringLiteral("Get"), {interface, property});
    if (reply.arguments().isEmpty()) return {};
    return reply.arguments().front().value<QDBusVariant>().variant();
  }
  QString Status() { return Get(Player, QStringLiteral("PlaybackStatus")).toString(); }
  QVariantMap Metadata() { return Map(Get(Player, QStringLiteral("Metadata"))); }
  // The changes announced since the last look, the properties of each in order.
  std::vector<QVariantMap> Announced() {
    std::vector<QVariantMap> out;
    for (const auto& [interface, changed] : changes.received) {
      EXPECT_EQ(interface, Player);
      out.push_back(changed);
    }
    changes.received.clear();
    return out;
  }

  static constexpr const char* ClientName = "mpris-test-client";
  TTempFolder folder;
  TFakeSound sound;
  QDBusConnection client{QString()};
  TChanges changes;
};

TEST_F(Mpris, TheWindowIsOnTheBusAsAMediaPlayer) {
  ASSERT_TRUE(client.interface()->isServiceRegistered(Service).value());
  EXPECT_EQ(Get(Root, QStringLiteral("Identity")).toString(), "TAKTOLA");
  EXPECT_EQ(Get(Root, QStringLiteral("DesktopEntry")).toString(), "example.taktola.Taktola");
  const struct {
    const QString& interface;
    const char* property;
    bool value;
  } flags[] = {
      {Root, "CanRaise", true},      {Root, "CanQuit", true},       {Root, "HasTrackList", false},
      {Player, "CanPlay", true},     {Player, "CanPause", true},    {Player, "CanControl", true},
      {Player, "CanGoNext", false},  {Player, "CanGoPrevious", false}, {Player, "CanSeek", false},
  };
  for (const auto& f : flags) {
    const QVariant value = Get(f.interface, QString::fromLatin1(f.property));
    EXPECT_EQ(value.userType(), QMetaType::Bool) << f.property;
    EXPECT_EQ(value.toBool(), f.value) << f.property;
  }
  EXPECT_EQ(Status(), "Stopped");
  const QVariantMap metadata = Metadata();
  EXPECT_EQ(metadata.value(QStringLiteral("xesam:title")).toString(), "TAKTOLA- Sports Metronome (120 BPM)");
  EXPECT_EQ(metadata.value(QStringLiteral("taktola:tempo")).toInt(), 120);
  EXPECT_EQ(metadata.value(QStringLiteral("mpris:trackid")).value<QDBusObjectPath>().path(), "/example/taktola/Measure");
}

TEST_F(Mpris, PlayPauseStartsAndStopsTheWindow) {
  sound.now = 3000;
  Call(Player, QStringLiteral("PlayPause"));
  EXPECT_TRUE(a->Playing());
  ASSERT_EQ(sound.loops.size(), 1u);
  EXPECT_EQ(sound.loops[0], Expected(0));
  EXPECT_EQ(sound.starts, std::vector<std::uint32_t>{3000});
  EXPECT_EQ(Status(), "Playing");
  EXPECT_EQ(Announced(), (std::vector<QVariantMap>{{{QStringLiteral("PlaybackStatus"), QStringLiteral("Playing")}}}));

  Call(Player, QStringLiteral("PlayPause"));
  EXPECT_FALSE(a->Playing());
  EXPECT_EQ(sound.stops, 1);
  EXPECT_FALSE(sound.playing);
  EXPECT_EQ(Status(), "Stopped");
  EXPECT_EQ(Announced(), (std::vector<QVariantMap>{{{QStringLiteral("PlaybackStatus"), QStringLiteral("Stopped")}}}));
}

// Each command from each state: Play never restarts what plays, Pause stops, and Next has no
// step to go to while no program plays.
TEST_F(Mpris, CommandsFromEitherState) {
  const struct {
    bool playing;
    const char* method;
    bool playingAfter;
    std::size_t newLoops;
    int newStops;
  } cases[] = {
      {false, "Play", true, 1, 0},   {true, "Play", true, 0, 0},    {true, "Pause", false, 0, 1},
      {false, "Pause", false, 0, 0}, {true, "Stop", false, 0, 1},   {false, "Stop", false, 0, 0},
      {true, "Next", true, 0, 0},    {false, "Next", false, 0, 0},  {false, "PlayPause", true, 1, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.method) + (c.playing ? " while playing" : " while stopped"));
    QTest::mouseClick(c.playing ? a->btStart() : a->btStop(), Qt::LeftButton);
    ASSERT_EQ(a->Playing(), c.playing);
    const std::size_t loops = sound.loops.size();
    const int stops = sound.stops;
    Call(Player, QString::fromLatin1(c.method));
    EXPECT_EQ(a->Playing(), c.playingAfter);
    EXPECT_EQ(sound.loops.size() - loops, c.newLoops);
    EXPECT_EQ(sound.stops - stops, c.newStops);
    EXPECT_EQ(Status(), c.playingAfter ? "Playing" : "Stopped");
  }
}

// What changes in the window, however it is changed there, reaches the desktop: the state,
// and the name and tempo of what plays.
TEST_F(Mpris, ChangesInTheWindowAreAnnounced) {
  const auto title = [](const QVariantMap& changed) {
    return Map(changed.value(QStringLiteral("Metadata"))).value(QStringLiteral("xesam:title")).toString();
  };
  QTest::keyClick(frm->windowHandle(), Qt::Key_Space);
  EXPECT_EQ(Status(), "Playing");
  EXPECT_EQ(Announced(), (std::vector<QVariantMap>{{{QStringLiteral("PlaybackStatus"), QStringLiteral("Playing")}}}));

  a->seTempo()->findChild<QLineEdit*>()->setText(QStringLiteral("150"));
  EXPECT_EQ(Metadata().value(QStringLiteral("taktola:tempo")).toInt(), 150);
  std::vector<QVariantMap> announced = Announced();
  ASSERT_EQ(announced.size(), 1u);
  EXPECT_EQ(announced[0].keys(), QStringList{QStringLiteral("Metadata")});
  EXPECT_EQ(title(announced[0]), "TAKTOLA- Sports Metronome (150 BPM)");

  // A timer tick changes nothing the desktop shows, and says nothing.
  a->Timer1Timer();
  Status();
  EXPECT_TRUE(Announced().empty());

  // A saved pattern is named by its name, with its own tempo.
  ASSERT_EQ(a->cbNotesList()->itemText(1), "Run");
  Pick(a->cbNotesList(), 1);
  EXPECT_EQ(Metadata().value(QStringLiteral("xesam:title")).toString(), "Run (90 BPM)");
  announced = Announced();
  ASSERT_EQ(announced.size(), 1u);
  EXPECT_EQ(title(announced[0]), "Run (90 BPM)");

  QTest::mouseClick(a->btStop(), Qt::LeftButton);
  EXPECT_EQ(Status(), "Stopped");
  EXPECT_EQ(Announced(), (std::vector<QVariantMap>{{{QStringLiteral("PlaybackStatus"), QStringLiteral("Stopped")}}}));
}

// A second copy of the program, on a connection of its own as another process has, takes a
// name of its own; a player that goes leaves the bus.
TEST_F(Mpris, ASecondPlayerTakesAnInstanceNameAndAClosedOneLeaves) {
  const QString instance = Service + QStringLiteral(".instance%1").arg(QCoreApplication::applicationPid());
  {
    const QString name = QStringLiteral("mpris-test-second");
    auto second = RegisterMprisOn(QDBusConnection::connectToBus(qEnvironmentVariable("DBUS_SESSION_BUS_ADDRESS"), name), {});
    ASSERT_NE(second, nullptr);
    EXPECT_TRUE(client.interface()->isServiceRegistered(instance).value());
    second.reset();
    EXPECT_FALSE(client.interface()->isServiceRegistered(instance).value());
    QDBusConnection::disconnectFromBus(name);
  }
  frm.reset();
  EXPECT_FALSE(client.interface()->isServiceRegistered(Service).value());
}

// Without a session bus the window has no media controls and says nothing about it.
TEST(MprisWithoutABus, NothingIsRegistered) {
  EXPECT_EQ(RegisterMprisOn(QDBusConnection(QStringLiteral("not connected")), {}), nullptr);
}

}  // namespace

int main(int argc, char* argv[]) {
  TPrivateBus bus;
  if (bus.Address().isEmpty()) {
    std::fprintf(stderr, "dbus-daemon did not start\n");
    return 1;
  }
  return RunQtTests(argc, argv, bus.Address());
}

#include "test_mpris.moc"
