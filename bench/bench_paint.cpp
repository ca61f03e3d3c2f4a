// How long one repaint of the measure view takes: while playing, the view is repainted whole
// on every timer tick, 64 times a second at 240 BPM.
#include <benchmark/benchmark.h>

#include "ui/uMeasureView.h"

namespace {

void BM_PaintMeasure(benchmark::State& state) {
  const int notes = static_cast<int>(state.range(0));
  TNotes pattern;
  for (int k = 0; k < notes; ++k) pattern.push_back(DefaultNote(static_cast<std::uint16_t>(8 * k)));
  for (auto _ : state) {
    QImage img = PaintMeasure(465, 226, 1.0, 8, pattern, 1, TMeasureColors{});
    PaintPlayhead(img, 8, 17, clBlack);
    benchmark::DoNotOptimize(img.constBits());
  }
}

BENCHMARK(BM_PaintMeasure)->Arg(4)->Arg(16)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
