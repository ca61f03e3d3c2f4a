#include "platform/uMpris.h"

#include <QCoreApplication>
#include <QDBusAbstractAdaptor>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QGuiApplication>
#include <QStringList>
#include <QVariantMap>
#include <utility>

#include "platform/uTheme.h"

namespace {

const QString ObjectPath = QStringLiteral("/org/mpris/MediaPlayer2");
const QString PlayerInterface = QStringLiteral("org.mpris.MediaPlayer2.Player");
// The one "track" there is: the measure that plays. MPRIS wants an object path of the
// player's own, outside /org/mpris.
const QString TrackId = QStringLiteral("/example/taktola/Measure");

// The object on the bus; the two adaptors below export its interfaces.
class TMpris : public QObject, public TMediaControls {
 public:
  TMpris(const QDBusConnection& bus, TMediaHooks hooks) : FBus(bus), FHooks(std::move(hooks)) {}
  ~TMpris() override {
    if (FService.isEmpty()) return;
    FBus.unregisterService(FService);
    FBus.unregisterObject(ObjectPath);
  }

  // Puts the object and then the name on the bus: a desktop that sees the name finds the
  // object. False when the bus is missing or takes neither name.
  bool Register();
  void Publish(const TMediaState& state) override;

  const TMediaHooks& Hooks() const { return FHooks; }
  const TMediaState& State() const { return FState; }
  QVariantMap Metadata() const;

 private:
  QDBusConnection FBus;
  TMediaHooks FHooks;
  TMediaState FState;
  bool FPublished = false;
  QString FService;
};

void Run(const std::function<void()>& hook) {
  if (hook) hook();
}

// org.mpris.MediaPlayer2: who the player is.
class TMprisRoot : public QDBusAbstractAdaptor {
  Q_OBJECT
  Q_CLASSINFO("D-Bus Interface", "org.mpris.MediaPlayer2")
  Q_PROPERTY(bool CanQuit READ CanQuit)
  Q_PROPERTY(bool CanRaise READ CanRaise)
  Q_PROPERTY(bool HasTrackList READ HasTrackList)
  Q_PROPERTY(QString Identity READ Identity)
  Q_PROPERTY(QString DesktopEntry READ DesktopEntry)
  Q_PROPERTY(QStringList SupportedUriSchemes READ SupportedUriSchemes)
  Q_PROPERTY(QStringList SupportedMimeTypes READ SupportedMimeTypes)
 public:
  explicit TMprisRoot(TMpris* player) : QDBusAbstractAdaptor(player), FPlayer(*player) {}

  bool CanQuit() const { return static_cast<bool>(FPlayer.Hooks().Quit); }
  bool CanRaise() const { return static_cast<bool>(FPlayer.Hooks().Raise); }
  bool HasTrackList() const { return false; }
  QString Identity() const { return QStringLiteral("TAKTOLA"); }
  // The installed desktop entry, by the name the application carries.
  QString DesktopEntry() const { return QGuiApplication::desktopFileName(); }
  // It opens no files or addresses from outside.
  QStringList SupportedUriSchemes() const { return {}; }
  QStringList SupportedMimeTypes() const { return {}; }

 public slots:
  void Raise() { Run(FPlayer.Hooks().Raise); }
  void Quit() { Run(FPlayer.Hooks().Quit); }

 private:
  TMpris& FPlayer;
};

// org.mpris.MediaPlayer2.Player: playing and stopping. A measure loops, so there is no
// position to seek to, no previous track and no rate or volume to set from outside.
class TMprisPlayer : public QDBusAbstractAdaptor {
  Q_OBJECT
  Q_CLASSINFO("D-Bus Interface", "org.mpris.MediaPlayer2.Player")
  Q_PROPERTY(QString PlaybackStatus READ PlaybackStatus)
  Q_PROPERTY(double Rate READ Rate)
  Q_PROPERTY(QVariantMap Metadata READ Metadata)
  Q_PROPERTY(double Volume READ Volume)
  Q_PROPERTY(qlonglong Position READ Position)
  Q_PROPERTY(double MinimumRate READ Rate)
  Q_PROPERTY(double MaximumRate READ Rate)
  Q_PROPERTY(bool CanGoNext READ CanGoNext)
  Q_PROPERTY(bool CanGoPrevious READ No)
  Q_PROPERTY(bool CanPlay READ Yes)
  Q_PROPERTY(bool CanPause READ Yes)
  Q_PROPERTY(bool CanSeek READ No)
  Q_PROPERTY(bool CanControl READ Yes)
 public:
  explicit TMprisPlayer(TMpris* player) : QDBusAbstractAdaptor(player), FPlayer(*player) {}

  QString PlaybackStatus() const { return StatusText(FPlayer.State().Playing); }
  double Rate() const { return 1.0; }
  QVariantMap Metadata() const { return FPlayer.Metadata(); }
  double Volume() const { return 1.0; }
  qlonglong Position() const { return 0; }
  bool CanGoNext() const { return FPlayer.State().CanGoNext && FPlayer.Hooks().Next; }
  bool Yes() const { return true; }
  bool No() const { return false; }

  static QString StatusText(bool playing) { return playing ? QStringLiteral("Playing") : QStringLiteral("Stopped"); }

 public slots:
  void Play() {
    if (!FPlayer.State().Playing) Run(FPlayer.Hooks().Play);
  }
  // Stopping is the only pause a loop has.
  void Pause() { Stop(); }
  void Stop() {
    if (FPlayer.State().Playing) Run(FPlayer.Hooks().Stop);
  }
  void PlayPause() { FPlayer.State().Playing ? Stop() : Play(); }
  void Next() {
    if (CanGoNext()) Run(FPlayer.Hooks().Next);
  }
  // What MPRIS asks of a player that cannot do these: nothing.
  void Previous() {}
  void Seek(qlonglong) {}
  void SetPosition(const QDBusObjectPath&, qlonglong) {}
  void OpenUri(const QString&) {}

 signals:
  void Seeked(qlonglong position);

 private:
  TMpris& FPlayer;
};

bool TMpris::Register() {
  if (!FBus.isConnected()) return false;
  new TMprisRoot(this);
  new TMprisPlayer(this);
  if (!FBus.registerObject(ObjectPath, this, QDBusConnection::ExportAdaptors)) return false;
  const QString name = QString::fromLatin1(MprisServiceName);
  for (const QString& candidate :
       {name, name + QStringLiteral(".instance%1").arg(QCoreApplication::applicationPid())}) {
    if (FBus.registerService(candidate)) {
      FService = candidate;
      return true;
    }
  }
  FBus.unregisterObject(ObjectPath);
  return false;
}

QVariantMap TMpris::Metadata() const {
  return {
      {QStringLiteral("mpris:trackid"), QVariant::fromValue(QDBusObjectPath(TrackId))},
      {QStringLiteral("xesam:title"), QStringLiteral("%1 (%2 BPM)").arg(FState.Title).arg(FState.Tempo)},
      {QStringLiteral("taktola:tempo"), FState.Tempo},
  };
}

void TMpris::Publish(const TMediaState& state) {
  const TMediaState old = std::exchange(FState, state);
  // The first state is no change: nobody has seen the player before it.
  if (!std::exchange(FPublished, true)) return;
  QVariantMap changed;
  if (state.Playing != old.Playing) changed.insert(QStringLiteral("PlaybackStatus"), TMprisPlayer::StatusText(state.Playing));
  if (state.Title != old.Title || state.Tempo != old.Tempo) changed.insert(QStringLiteral("Metadata"), Metadata());
  if (state.CanGoNext != old.CanGoNext)
    changed.insert(QStringLiteral("CanGoNext"), state.CanGoNext && static_cast<bool>(FHooks.Next));
  if (changed.isEmpty() || FService.isEmpty()) return;
  QDBusMessage signal = QDBusMessage::createSignal(ObjectPath, QStringLiteral("org.freedesktop.DBus.Properties"),
                                                   QStringLiteral("PropertiesChanged"));
  signal << PlayerInterface << changed << QStringList();
  FBus.send(signal);
}

}  // namespace

std::unique_ptr<TMediaControls> RegisterMprisOn(const QDBusConnection& bus, TMediaHooks hooks) {
  auto player = std::make_unique<TMpris>(bus, std::move(hooks));
  if (!player->Register()) return nullptr;
  return player;
}

std::unique_ptr<TMediaControls> RegisterMpris(TMediaHooks hooks) { return RegisterMprisOn(SessionBus(), std::move(hooks)); }

#include "uMpris.moc"
