// The floor under TAKTOLA's start-up time and memory: a window that loads what TAKTOLA's
// does (Qt Widgets, Qt SVG and Qt D-Bus linked in, the accessibility bridge started as
// TAKTOLA starts it, the Fusion style, one SVG icon, a few controls) and nothing of its own.
// bench/qt_floor.sh starts both in turns; what TAKTOLA needs beyond this is what its own
// code costs.
//
// With --playhead it moves the playhead of bench/floor_playhead.h through Qt's painting, as
// TAKTOLA does where it cannot draw onto the window (offscreen, Wayland, scaled screens): one
// rectangle over the old and the new line repainted from the kept picture. On X11 TAKTOLA
// draws the line onto the window itself, as bench/x_floor does. With --wake the timer fires
// as often and paints nothing.
#include <QApplication>
#include <QComboBox>
#include <QDBusConnection>
#include <QHBoxLayout>
#include <QLabel>
#include <QPaintEvent>
#include <QPainter>
#include <QPushButton>
#include <QStyleFactory>
#include <QSvgRenderer>
#include <QTimer>
#include <QWidget>

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "floor_playhead.h"
#include "platform/uTheme.h"

namespace {

using namespace FloorPlayhead;

class TPlayheadView final : public QWidget {
 public:
  TPlayheadView() : FPicture(Width, Height, QImage::Format_RGB32) {
    setFixedSize(FPicture.size());
    setAttribute(Qt::WA_OpaquePaintEvent);
    FPicture.fill(Qt::white);
    QPainter p(&FPicture);
    p.setRenderHint(QPainter::Antialiasing);
    p.drawLine(BeatWidth, Height / 2, Width - BeatWidth, Height / 2);
    for (int b = 0; b < 4; ++b) p.drawEllipse(QPoint(BeatWidth * (b + 1), Height / 2), 12, 12);
  }
  void Step() {
    const int old = X();
    FSixteenth = (FSixteenth + 1) % Sixteenths;
    // On the screen at once, as TAKTOLA's view does.
    repaint(QRect(QPoint(std::min(old, X()) - 2, 0), QPoint(std::max(old, X()) + 2, height())));
  }

 protected:
  void paintEvent(QPaintEvent* e) override {
    QPainter p(this);
    p.drawImage(e->rect(), FPicture, e->rect());
    p.fillRect(LineLeft(FSixteenth), 0, LineWidth, height(), Qt::black);
  }

 private:
  int X() const { return LineX(FSixteenth); }
  QImage FPicture;
  int FSixteenth = 0;
};

}  // namespace

int main(int argc, char* argv[]) {
  // As TAKTOLA's start-up does: frames go to the X server inside the request.
  setenv("QT_XCB_NO_MITSHM", "1", 0);
  const bool playhead = argc > 1 && std::strcmp(argv[1], "--playhead") == 0;
  const bool wake = argc > 1 && std::strcmp(argv[1], "--wake") == 0;
  QApplication app(argc, argv);
  ConnectAccessibilityBridge();
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
  auto* view = new TPlayheadView;
  layout->addWidget(view);
  QTimer tick;
  tick.setTimerType(Qt::PreciseTimer);
  tick.setInterval(15);  // 15 and 16 ms in turn, about 1000 / MovesPerSecond
  QObject::connect(&tick, &QTimer::timeout, [&] {
    if (playhead) view->Step();
    tick.setInterval(tick.interval() == 15 ? 16 : 15);
  });
  if (playhead || wake) tick.start();
  window.resize(640, 322);
  window.show();
  // Linked as TAKTOLA links them, touched so the linker keeps them.
  if (argc > 99) QDBusConnection::sessionBus();
  return QApplication::exec();
}
