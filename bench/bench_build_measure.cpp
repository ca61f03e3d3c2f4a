// How long rendering a measure takes: the largest measure the editor can make is 8/4 at
// 60 BPM with 16 notes; BM_SixteenLongNotesAllTones is the worst of them. Every edit while
// playing renders the whole measure again, so this must stay far inside one sixteenth at
// 240 BPM (15.6 ms). The first build of a process also makes what later builds keep:
// BM_FirstBuildAllTones times that one in a fresh process.
// Then the worst files the reader accepts: how long they take to read and to render, and
// the peak memory of a process that reads and renders one.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <string>

#include "audio/uWavUtils.h"
#include "pattern/uPatternFile.h"
#include "platform/uResources.h"
#include "../tests/hostile_patterns.h"

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

// Sixteen Long sine notes of fifteen different tones, spread over the whole measure: the
// most samples the editor's notes can cover, and every tone's kept sines in use.
TNotes SixteenLongNotesAllTones() {
  TNotes notes;
  for (std::uint16_t k = 0; k < 16; ++k) notes.push_back(Long(8 * k, ToneFreqs[k % ToneFreqs.size()]));
  return notes;
}

void BM_SixteenLongNotesAllTones(benchmark::State& state) { Render(state, SixteenLongNotesAllTones()); }

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

// The child of BM_FirstBuildAllTones: the process's first build of that measure, after
// PrepareRendering when asked (mode 1 and 2); mode 2 builds the default 4/4 measure with one
// note in a tone not made yet instead, as when a user picks a new tone. Prints its time and
// the thread's processor time, in ms.
int FirstBuildOnce(int mode) {
  if (mode > 0) PrepareRendering();
  TNotes notes = SixteenLongNotesAllTones();
  if (mode == 2) {
    notes = DefaultNotes(4);
    notes[1].tone = ToneFreqs[2];
  }
  const auto cpu = [] {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return 1e3 * static_cast<double>(t.tv_sec) + 1e-6 * static_cast<double>(t.tv_nsec);
  };
  const double cpu0 = cpu();
  const auto t0 = std::chrono::steady_clock::now();
  const TWav4416MI samples = RenderMeasure(notes, MeasureLength(8, 60), 60, ReadResource);
  const auto t1 = std::chrono::steady_clock::now();
  const double cpu1 = cpu();
  if (samples.empty()) return 1;
  std::printf("%.3f %.3f\n", std::chrono::duration<double, std::milli>(t1 - t0).count(), cpu1 - cpu0);
  return 0;
}

// The first build in a fresh process pays for the kept sines of the tones it uses that are not
// made yet (and for the fresh memory they and the mix take): fifteen tones without
// PrepareRendering (0) and with it (1), one new tone with it (2). The time is the child's own
// measure of that one build.
void BM_FirstBuildAllTones(benchmark::State& state) {
  const std::string command = std::filesystem::read_symlink("/proc/self/exe").string() + " --first-build " +
                              std::to_string(state.range(0));
  double processorSum = 0;
  for (auto _ : state) {
    double wall = -1, processor = -1;
    FILE* child = popen(command.c_str(), "r");
    if (child == nullptr || std::fscanf(child, "%lf %lf", &wall, &processor) != 2) wall = processor = -1;
    if (child == nullptr || pclose(child) != 0 || wall < 0) {
      state.SkipWithError("the child did not report");
      break;
    }
    state.SetIterationTime(wall / 1e3);
    processorSum += processor;
  }
  state.counters["cpu_ms"] = benchmark::Counter(processorSum, benchmark::Counter::kAvgIterations);
}

BENCHMARK(BM_SixteenLongNotesOneTone)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SixteenLongNotesAllTones)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_EightLongNotesEightVoices)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FirstBuildAllTones)
    ->ArgName("prepared")
    ->Arg(0)
    ->Arg(1)
    ->Arg(2)
    ->Iterations(5)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

// ---- The worst files the reader accepts ----------------------------------------------------

std::string FloodFile(bool distinctTones) { return PatternText("", FloodNotes(distinctTones), 3, 60, "."); }

struct TLoaded {
  TNotes notes;
  std::int32_t timeSig = 0, tempo = 0;
};

TLoaded LoadText(const std::string& text) {
  TLoaded loaded;
  LoadNotesFromText(text, loaded.notes, loaded.timeSig, loaded.tempo, ".");
  return loaded;
}

// The measure as the window renders it, at the tempo the tempo field would make of the file's.
TWav4416MI RenderLoaded(const TLoaded& loaded) {
  const std::int32_t bpm = std::clamp(loaded.tempo, MinTempo, MaxTempo);
  return RenderMeasure(loaded.notes, MeasureLength(TimeSigBeats[static_cast<std::size_t>(loaded.timeSig)], bpm), bpm,
                       ReadResource);
}

void BM_FloodFileDistinctTones(benchmark::State& state) { Render(state, LoadText(FloodFile(true)).notes); }
void BM_FloodFileOneTone(benchmark::State& state) { Render(state, LoadText(FloodFile(false)).notes); }

void BM_ReadFloodFile(benchmark::State& state) {
  const std::string text = FloodFile(true);
  for (auto _ : state) benchmark::DoNotOptimize(LoadText(text));
  state.counters["bytes"] = static_cast<double>(text.size());
}

// Text of nothing but line ends: the most lines in the fewest bytes.
void BM_ReadBlankLines(benchmark::State& state) {
  const std::string text(static_cast<std::size_t>(state.range(0)), '\n');
  for (auto _ : state) benchmark::DoNotOptimize(LoadText(text));
}

struct TBenchFolder {
  TBenchFolder() {
    std::string name = (std::filesystem::temp_directory_path() / "taktola-bench-XXXXXX").string();
    path = mkdtemp(name.data());
  }
  ~TBenchFolder() { std::filesystem::remove_all(path); }
  std::filesystem::path path;
};

// A 20 MB file whose notes lie beyond the first 16 MB, picked from the list.
void BM_PickOversizedFile(benchmark::State& state) {
  TBenchFolder folder;
  const auto path = folder.path / "Huge.tktm";
  {
    std::ofstream out(path, std::ios::binary);
    out << "[System]\r\nVersion=1.00\r\nTimeSigniture=3\r\nBPM=60\r\nNoteCount=1\r\n";
    out.seekp(17 * 1024 * 1024);
    out << "\r\n[Note00]\r\nOffset=40\r\n";
    out.seekp(20 * 1000 * 1000 - 1);
    out << "\n";
  }
  for (auto _ : state) {
    TLoaded loaded;
    try {
      LoadNotes(path, loaded.notes, loaded.timeSig, loaded.tempo, ".");
    } catch (const EPatternTooLarge&) {
      state.counters["refused"] = 1;
    }
    benchmark::DoNotOptimize(loaded);
  }
}

// This process's peak resident memory, in megabytes: its high-water mark since it began
// (the figure exec starts afresh, unlike getrusage's, which keeps the parent's).
double OwnPeakMegabytes() {
  std::ifstream status("/proc/self/status");
  for (std::string line; std::getline(status, line);)
    if (line.starts_with("VmHWM:")) return std::stod(line.substr(6)) / 1024.0;
  return -1;
}

// The peak memory of a fresh process of this program that reads a pattern file and renders
// its measure once, as the window does; with no file it only starts and ends.
double ChildPeakMegabytes(const std::filesystem::path& file) {
  const std::string command =
      std::filesystem::read_symlink("/proc/self/exe").string() + " --render-file '" + file.string() + "'";
  FILE* child = popen(command.c_str(), "r");
  if (child == nullptr) return -1;
  double peak = -1;
  if (std::fscanf(child, "%lf", &peak) != 1) peak = -1;
  return pclose(child) == 0 ? peak : -1;
}

int RenderFileOnce(const char* file) {
  if (*file != '\0') {
    TLoaded loaded;
    if (!LoadNotes(file, loaded.notes, loaded.timeSig, loaded.tempo, ".")) return 1;
    if (RenderLoaded(loaded).empty()) return 1;
  }
  std::printf("%.1f\n", OwnPeakMegabytes());
  return 0;
}

void BM_PeakMemoryOfTheWorstFile(benchmark::State& state) {
  TBenchFolder folder;
  const auto path = folder.path / "Flood.tktm";
  std::ofstream(path, std::ios::binary) << FloodFile(state.range(0) != 0);
  for (auto _ : state) {
    state.counters["peak_MB"] = ChildPeakMegabytes(path);
    state.counters["idle_MB"] = ChildPeakMegabytes("");
  }
}

BENCHMARK(BM_FloodFileDistinctTones)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FloodFileOneTone)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadFloodFile)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadBlankLines)->Arg(1 << 20)->Arg(16 << 20)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PickOversizedFile)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PeakMemoryOfTheWorstFile)->ArgName("distinct")->Arg(1)->Arg(0)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  // The children of BM_PeakMemoryOfTheWorstFile and BM_FirstBuildAllTones.
  if (argc == 3 && std::string(argv[1]) == "--render-file") return RenderFileOnce(argv[2]);
  if (argc == 3 && std::string(argv[1]) == "--first-build") return FirstBuildOnce(std::atoi(argv[2]));
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
