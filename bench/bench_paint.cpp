// What the measure view costs the window's thread: painting the measure, and one timer tick
// while playing (64 a second at 240 BPM), from the call to the pixels in the window's store
// (Qt's offscreen screen, so without the copy to a display server).
//   TickRepaintingAll   a tick as it was: the measure and the playhead painted into the
//                       bitmap, and the whole bitmap copied to the window
//   TickMovingPlayhead  a tick now: the measure compared with the one drawn, the playhead
//                       moved, its old and new strips repainted
//   TickWhileHidden     the same tick with the window hidden
// Every tick here moves the playhead, the most work a tick can have.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QPaintEvent>
#include <QWindow>

#include "ui/uMeasureView.h"

namespace {

constexpr int W = 465, H = 226, TS = 8;

TNotes Pattern(int notes) {
  TNotes pattern;
  for (int k = 0; k < notes; ++k) pattern.push_back(DefaultNote(static_cast<std::uint16_t>(8 * k)));
  return pattern;
}

// Counts paint events and the pixels they covered, to show what each tick repainted.
struct TPaintCounter : QObject {
  std::int64_t events = 0, pixels = 0;
  bool eventFilter(QObject*, QEvent* e) override {
    if (e->type() == QEvent::Paint) {
      ++events;
      for (const QRect& r : static_cast<QPaintEvent*>(e)->region()) pixels += std::int64_t{r.width()} * r.height();
    }
    return false;
  }
};

// Runs what the tick left queued, the repaints among it, as the event loop does after the
// timer's slot.
void Flush() { QCoreApplication::processEvents(); }

struct TView {
  explicit TView(bool shown) {
    view.resize(W, H);
    view.show();
    while (view.windowHandle() == nullptr || !view.windowHandle()->isExposed()) QCoreApplication::processEvents();
    view.clearFocus();
    if (!shown) view.hide();
    Flush();
    view.installEventFilter(&counter);
  }
  void Report(benchmark::State& state) const {
    const auto ticks = static_cast<double>(state.iterations());
    state.counters["paints/tick"] = static_cast<double>(counter.events) / ticks;
    state.counters["pixels/tick"] = static_cast<double>(counter.pixels) / ticks;
  }
  TImage view;
  TPaintCounter counter;
};

void BM_PaintMeasure(benchmark::State& state) {
  const TNotes pattern = Pattern(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    QImage img = PaintMeasure(W, H, 1.0, TS, pattern, 1, TMeasureColors{});
    PaintPlayhead(img, TS, 17, clBlack);
    benchmark::DoNotOptimize(img.constBits());
  }
}
BENCHMARK(BM_PaintMeasure)->Arg(4)->Arg(16)->Unit(benchmark::kMicrosecond);

void BM_TickRepaintingAll(benchmark::State& state) {
  const TNotes pattern = Pattern(static_cast<int>(state.range(0)));
  TView v(true);
  std::int64_t s = 0;
  for (auto _ : state) {
    v.view.Draw([&](QImage& bitmap) {
      PaintMeasure(bitmap, W, H, v.view.devicePixelRatioF(), TS, pattern, 1, TMeasureColors{});
    });
    v.view.Draw([&](QImage& bitmap) { PaintPlayhead(bitmap, TS, s, clBlack); });
    s = (s + 1) % (16 * TS);
    Flush();
  }
  v.Report(state);
}
BENCHMARK(BM_TickRepaintingAll)->Arg(4)->Arg(16)->Unit(benchmark::kMicrosecond);

void Ticks(benchmark::State& state, bool shown) {
  const TNotes pattern = Pattern(static_cast<int>(state.range(0)));
  TView v(shown);
  v.view.ShowMeasure(TS, pattern, 1, TMeasureColors{});
  Flush();
  std::int64_t s = 0;
  for (auto _ : state) {
    v.view.ShowMeasure(TS, pattern, 1, TMeasureColors{});
    v.view.ShowPlayhead(TS, s, clBlack);
    s = (s + 1) % (16 * TS);
    Flush();
  }
  v.Report(state);
}

void BM_TickMovingPlayhead(benchmark::State& state) { Ticks(state, true); }
BENCHMARK(BM_TickMovingPlayhead)->Arg(4)->Arg(16)->Unit(benchmark::kMicrosecond);

void BM_TickWhileHidden(benchmark::State& state) { Ticks(state, false); }
BENCHMARK(BM_TickWhileHidden)->Arg(16)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
