// The floor under TAKTOLA's start-up time and memory: a window that loads what TAKTOLA's
// does (Qt Widgets, Qt SVG, Qt D-Bus, SDL2 and libpulse linked in, the Fusion style, one SVG
// icon, a few controls) and nothing of its own. bench/qt_floor.sh starts both in turns; what
// TAKTOLA needs beyond this is what its own code costs.
#include <QApplication>
#include <QComboBox>
#include <QDBusConnection>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QStyleFactory>
#include <QSvgRenderer>
#include <QWidget>

#include <SDL.h>

int main(int argc, char* argv[]) {
  QApplication app(argc, argv);
  QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
  QWidget window;
  window.setWindowTitle(QStringLiteral("Qt floor"));
  auto* layout = new QHBoxLayout(&window);
  auto* combo = new QComboBox;
  combo->addItems({QStringLiteral("3/4"), QStringLiteral("4/4")});
  layout->addWidget(new QLabel(QStringLiteral("BPM")));
  layout->addWidget(combo);
  QSvgRenderer svg(QByteArray("<svg xmlns='http://www.w3.org/2000/svg' width='16' height='16'>"
                              "<circle cx='8' cy='8' r='6'/></svg>"));
  QPixmap icon(16, 16);
  icon.fill(Qt::transparent);
  QPainter painter(&icon);
  svg.render(&painter);
  painter.end();
  layout->addWidget(new QPushButton(QIcon(icon), QStringLiteral("Start")));
  window.resize(640, 322);
  window.show();
  // Linked as TAKTOLA links them, touched so the linker keeps them.
  if (argc > 99) SDL_GetVersion(nullptr), QDBusConnection::sessionBus();
  return QApplication::exec();
}
