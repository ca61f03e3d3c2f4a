// A stand-in for the desktop's settings portal, for the theme tests: it owns the portal's
// bus name and answers Settings.Read for the appearance keys it was given.
//   fake_portal [--color-scheme N] [--accent R,G,B] [--silent 1]
#include <QCoreApplication>
#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVariant>
#include <QDBusVirtualObject>
#include <QStringList>
#include <cstdio>

namespace {

class TSettings : public QDBusVirtualObject {
 public:
  std::optional<uint> colorScheme;
  std::optional<QList<double>> accent;
  bool silent = false;  // takes every call and never answers

  QString introspect(const QString&) const override {
    return QStringLiteral(
        "<interface name=\"org.freedesktop.portal.Settings\">"
        "<method name=\"Read\"><arg type=\"s\" direction=\"in\"/><arg type=\"s\" direction=\"in\"/>"
        "<arg type=\"v\" direction=\"out\"/></method></interface>");
  }

  bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override {
    if (message.interface() != QLatin1String("org.freedesktop.portal.Settings") ||
        message.member() != QLatin1String("Read") || message.arguments().size() != 2)
      return false;
    if (silent) return true;
    const QString ns = message.arguments()[0].toString(), key = message.arguments()[1].toString();
    QVariant value;
    if (ns == QLatin1String("org.freedesktop.appearance") && key == QLatin1String("color-scheme") && colorScheme) {
      value = QVariant::fromValue(*colorScheme);
    } else if (ns == QLatin1String("org.freedesktop.appearance") && key == QLatin1String("accent-color") && accent) {
      QDBusArgument rgb;
      rgb.beginStructure();
      rgb << (*accent)[0] << (*accent)[1] << (*accent)[2];
      rgb.endStructure();
      value = QVariant::fromValue(rgb);
    } else {
      connection.send(message.createErrorReply(QStringLiteral("org.freedesktop.portal.Error.NotFound"),
                                               QStringLiteral("Requested setting not found")));
      return true;
    }
    // Like the portal itself, Read answers with the value inside a second variant.
    connection.send(message.createReply(QVariant::fromValue(QDBusVariant(QVariant::fromValue(QDBusVariant(value))))));
    return true;
  }
};

}  // namespace

int main(int argc, char* argv[]) {
  QCoreApplication app(argc, argv);
  TSettings settings;
  const QStringList args = app.arguments();
  for (qsizetype i = 1; i + 1 < args.size(); i += 2) {
    if (args[i] == QLatin1String("--color-scheme")) settings.colorScheme = args[i + 1].toUInt();
    if (args[i] == QLatin1String("--silent")) settings.silent = true;
    if (args[i] == QLatin1String("--accent")) {
      QList<double> rgb;
      for (const QString& part : args[i + 1].split(u',')) rgb << part.toDouble();
      settings.accent = rgb;
    }
  }
  QDBusConnection bus = QDBusConnection::sessionBus();
  if (!bus.registerVirtualObject(QStringLiteral("/org/freedesktop/portal/desktop"), &settings) ||
      !bus.registerService(QStringLiteral("org.freedesktop.portal.Desktop"))) {
    std::fprintf(stderr, "fake_portal: cannot register on the bus\n");
    return 1;
  }
  return app.exec();
}
