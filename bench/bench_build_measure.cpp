// How long rendering a measure takes: the largest measure the editor can make is 8/4 at
// 60 BPM with 16 notes. Every edit while playing renders the whole measure again, so this
// must stay far inside one sixteenth at 240 BPM (15.6 ms).
#include <benchmark/benchmark.h>

#include "audio/uWavUtils.h"
#include "platform/uResources.h"

namespace {

TNote Long(std::uint16_t offset, float tone) {
  TNote n = DefaultNote(offset);
  n.length = 13;
  n.tone = tone;
  return n;
}

void Render(benchmark::State& state, const TNotes& notes) {
  const std::uint32_t length = MeasureLength(8, 60);
  for (auto _ : state) benchmark::DoNotOptimize(RenderMeasure(notes, length, 60, ReadResource));
  state.counters["notes"] = static_cast<double>(notes.size());
}

// Sixteen Long sine notes, one tone: the default pattern's sound, twice per beat.
void BM_SixteenLongNotesOneTone(benchmark::State& state) {
  TNotes notes;
  for (std::uint16_t k = 0; k < 16; ++k) notes.push_back(Long(8 * k, 440.0f));
  Render(state, notes);
}

// Sixteen Long sine notes of fifteen different tones: every burst computed anew.
void BM_SixteenLongNotesAllTones(benchmark::State& state) {
  TNotes notes;
  for (std::uint16_t k = 0; k < 16; ++k) notes.push_back(Long(8 * k, ToneFreqs[k % ToneFreqs.size()]));
  Render(state, notes);
}

// Eight Long sine notes of different tones and eight spoken counts.
void BM_EightLongNotesEightVoices(benchmark::State& state) {
  TNotes notes;
  for (std::uint16_t k = 0; k < 8; ++k) {
    notes.push_back(Long(16 * k, ToneFreqs[2 * k]));
    TNote voice = DefaultNote(16 * k + 8);
    voice.n_type = static_cast<std::uint16_t>(k + 1);
    notes.push_back(voice);
  }
  Render(state, notes);
}

BENCHMARK(BM_SixteenLongNotesOneTone)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SixteenLongNotesAllTones)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_EightLongNotesEightVoices)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
