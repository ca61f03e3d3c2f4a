// A session bus of a test's own: a dbus-daemon started for it and ended with it, so that no
// test sees or changes the bus of whoever runs it.
#pragma once

#include <QProcess>
#include <QString>

class TPrivateBus {
 public:
  // Starts the daemon; Address() stays empty when it did not start.
  TPrivateBus() {
    FDaemon.start(QStringLiteral("dbus-daemon"),
                  {QStringLiteral("--session"), QStringLiteral("--nofork"), QStringLiteral("--print-address=1")});
    if (!FDaemon.waitForStarted(5000) || !FDaemon.waitForReadyRead(5000)) return;
    FAddress = QString::fromUtf8(FDaemon.readLine()).trimmed();
  }
  ~TPrivateBus() {
    FDaemon.kill();
    FDaemon.waitForFinished();
  }
  TPrivateBus(const TPrivateBus&) = delete;
  TPrivateBus& operator=(const TPrivateBus&) = delete;

  const QString& Address() const { return FAddress; }

 private:
  QProcess FDaemon;
  QString FAddress;
};
