// Playback measurements that take real time, each run by hand:
//   bench_playback handover [count]   time from a change handler's call until the callback
//                                     plays the new loop (SDL's dummy driver)
//   bench_playback cpu [seconds]      CPU used while playing 4/4 at 240 BPM, per minute
//   bench_playback idle [seconds]     the same with the metronome stopped
//   bench_playback lock [seconds]     how long the audio thread can be kept waiting for the
//                                     device lock while the largest measure is rebuilt and
//                                     handed over again and again: a probe thread takes the
//                                     lock as the callback does and times its waits
//   bench_playback longrun [minutes] [buffer samples]
//                                     plays through SDL's disk driver, whose pace is not the
//                                     system clock's, restarting every few seconds, and
//                                     checks every seam and every restart's phase
#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <QLineEdit>
#include <QTest>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <thread>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sys/resource.h>

#include "../tests/frmmain_access.h"
#include "../tests/playback_check.h"
#include "../tests/recording_output.h"
#include "app/uStartUp.h"

namespace {

struct TCpu {
  double user, sys;
};

TCpu CpuSeconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  const auto seconds = [](const timeval& t) { return t.tv_sec + t.tv_usec / 1e6; };
  return {seconds(usage.ru_utime), seconds(usage.ru_stime)};
}

struct TWindow {
  explicit TWindow(TSoundOutput& sound) {
    TFrmMainEnv env;
    env.Sound = &sound;
    frm = std::make_unique<TFrmMain>(std::move(env));
    frm->show();
    if (!QTest::qWaitForWindowExposed(frm.get())) std::fprintf(stderr, "the window did not show\n");
    a = std::make_unique<TFrmMainAccess>(*frm);
  }
  void Start() { QTest::mouseClick(a->btStart(), Qt::LeftButton); }
  void Stop() { QTest::mouseClick(a->btStop(), Qt::LeftButton); }
  void Tempo(int bpm) { a->seTempo()->findChild<QLineEdit*>()->setText(QString::number(bpm)); }
  std::unique_ptr<TFrmMain> frm;
  std::unique_ptr<TFrmMainAccess> a;
};

int HandOver(int count) {
  TSdlLoopPlayer player;
  if (!player.HasDevice()) return std::fprintf(stderr, "no sound device\n"), 1;
  TWindow w(player);
  w.Start();
  QTest::qWait(300);
  std::vector<double> handler, heard;
  for (int i = 0; i < count; ++i) {
    QElapsedTimer t;
    t.start();
    // A tempo typed while playing: rebuild and hand over, the largest 4/4 measure.
    w.Tempo(i % 2 ? 60 : 61);
    const double called = t.nsecsElapsed() / 1e6;
    const std::uint64_t switchAt = player.LastHandOverSample();
    while (player.SamplesPlayed() <= switchAt) QTest::qWait(0);
    handler.push_back(called);
    heard.push_back(t.nsecsElapsed() / 1e6);
    QTest::qWait(37 + (i * 7) % 23);
  }
  std::sort(handler.begin(), handler.end());
  std::sort(heard.begin(), heard.end());
  const double buffer = 1024 / 44.1;
  std::printf("hand-over, %d changes, 4/4 at 60/61 BPM, device buffer %.1f ms\n", count, buffer);
  std::printf("  handler call until the loop is handed over: median %.2f ms, max %.2f ms\n", handler[count / 2],
              handler.back());
  std::printf("  handler call until the callback plays it:   median %.2f ms, max %.2f ms (%.2f buffers)\n",
              heard[count / 2], heard.back(), heard.back() / buffer);
  w.Stop();
  return 0;
}

int Cpu(int seconds, bool play) {
  TSdlLoopPlayer player;
  TWindow w(player);
  w.Tempo(240);
  const TCpu before = CpuSeconds();
  if (play) w.Start();
  // The program's own event loop, which sleeps between events (QTest::qWait would poll).
  QEventLoop loop;
  QTimer::singleShot(seconds * 1000, &loop, &QEventLoop::quit);
  loop.exec();
  const TCpu after = CpuSeconds();
  w.Stop();
  const double user = after.user - before.user, sys = after.sys - before.sys;
  std::printf("%s 4/4 at 240 BPM for %d s (%s): user %.3f s + sys %.3f s, %.2f s per minute\n",
              play ? "playing" : "stopped", seconds, player.HasDevice() ? "with a device" : "no device", user, sys,
              (user + sys) * 60 / seconds);
  return 0;
}

// The wait of a thread that takes the device lock as SDL's audio thread does before each
// callback, while the window rebuilds the longest measure (8/4 at 60/61 BPM) every few tens
// of milliseconds.
int LockWait(int seconds) {
  TSdlLoopPlayer player;
  if (!player.HasDevice()) return std::fprintf(stderr, "no sound device\n"), 1;
  TWindow w(player);
  w.a->cbTimeS()->setCurrentIndex(3);
  emit w.a->cbTimeS()->activated(3);
  w.Start();
  // The player's device: SDL numbers the devices it opens from 2 (1 is its legacy device).
  constexpr SDL_AudioDeviceID Device = 2;
  if (SDL_GetAudioDeviceStatus(Device) != SDL_AUDIO_PLAYING) return std::fprintf(stderr, "device 2 is not playing\n"), 1;
  std::atomic<bool> probing{true};
  std::vector<double> waits;
  waits.reserve(200000);
  std::thread probe([&] {
    while (probing) {
      const auto before = std::chrono::steady_clock::now();
      SDL_LockAudioDevice(Device);
      const auto after = std::chrono::steady_clock::now();
      SDL_UnlockAudioDevice(Device);
      waits.push_back(std::chrono::duration<double, std::milli>(after - before).count());
      std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
  });
  QElapsedTimer wall;
  wall.start();
  int changes = 0;
  for (; wall.elapsed() < seconds * 1000; ++changes) {
    w.Tempo(changes % 2 ? 60 : 61);
    QTest::qWait(20 + (changes * 7) % 30);
  }
  probing = false;
  probe.join();
  w.Stop();
  std::sort(waits.begin(), waits.end());
  const auto at = [&](double q) { return waits[static_cast<std::size_t>(q * (waits.size() - 1))]; };
  std::printf("device lock, %d hand-overs of 8/4 at 60/61 BPM in %d s, %zu probes: wait median %.3f ms, p99 %.3f ms, "
              "p99.9 %.3f ms, max %.3f ms\n",
              changes, seconds, waits.size(), at(0.5), at(0.99), at(0.999), waits.back());
  return 0;
}

std::filesystem::path LongRunFile() { return std::filesystem::temp_directory_path() / "taktola-longrun.raw"; }

int LongRun(double minutes, int bufferSamples) {
  TSdlLoopPlayer player(bufferSamples);
  if (!player.HasDevice()) return std::fprintf(stderr, "no disk audio device\n"), 1;
  TRecordingOutput output(player);
  TWindow w(output);
  std::vector<std::uint32_t> offsets, lengths;
  const auto note = [&] {
    offsets.push_back(w.a->WavOffset());
    lengths.push_back(w.a->WavLength());
  };
  QElapsedTimer wall;
  wall.start();
  w.Start();
  note();
  const int tempos[] = {97, 120, 181, 60, 143};
  for (int k = 0; wall.elapsed() < minutes * 60000; ++k) {
    QTest::qWait(4000 + (k * 1237) % 5000);
    if (k % 3 == 2) {
      w.a->cbTimeS()->setCurrentIndex(k % 4);
      emit w.a->cbTimeS()->activated(k % 4);
    } else {
      w.Tempo(tempos[k % 5]);
    }
    note();
  }
  const double seconds = wall.elapsed() / 1000.0;
  w.Stop();
  w.frm.reset();
  const std::uint64_t played = output.stoppedAt;
  const TPlaybackCheck check = CheckPlayback(ReadRecording(LongRunFile()), output.handOvers, offsets, lengths, output.stoppedAt);
  std::filesystem::remove(LongRunFile());
  if (!check.shift || check.loops.size() != output.handOvers.size())
    return std::fprintf(stderr, "the recording does not hold the loops\n"), 1;
  std::int64_t worst = 0;
  std::uint64_t wrong = 0;
  for (const TSeamCheck& seam : check.loops) {
    worst = std::max(worst, std::abs(seam.phaseError));
    wrong += seam.wrong;
  }
  std::printf("long run, device buffer %d samples: %.1f s of wall clock, %.1f s of sound (the driver's pace is %+.2f%% of the wall clock)\n",
              bufferSamples, seconds, played / 44100.0, (played / 44100.0 / seconds - 1) * 100);
  std::printf("  %zu loops handed over; samples not as handed over: %llu; worst phase error %lld samples\n",
              check.loops.size(), static_cast<unsigned long long>(wrong), static_cast<long long>(worst));
  return wrong == 0 && worst <= 44 ? 0 : 1;
}

}  // namespace

int main(int argc, char* argv[]) {
  const std::string mode = argc > 1 ? argv[1] : "";
  const double amount = argc > 2 ? std::atof(argv[2]) : 0;
  if (mode == "longrun") {
    setenv("SDL_AUDIODRIVER", "disk", 1);
    setenv("SDL_DISKAUDIOFILE", LongRunFile().c_str(), 1);
  } else if (!std::getenv("SDL_AUDIODRIVER")) {
    setenv("SDL_AUDIODRIVER", "dummy", 1);
  }
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  StartUp();  // as the program starts
  if (mode == "handover") return HandOver(amount > 0 ? static_cast<int>(amount) : 50);
  if (mode == "cpu") return Cpu(amount > 0 ? static_cast<int>(amount) : 30, true);
  if (mode == "idle") return Cpu(amount > 0 ? static_cast<int>(amount) : 30, false);
  if (mode == "lock") return LockWait(amount > 0 ? static_cast<int>(amount) : 20);
  if (mode == "longrun") return LongRun(amount > 0 ? amount : 5, argc > 3 ? std::atoi(argv[3]) : 1024);
  std::fprintf(stderr,
               "usage: bench_playback handover [count] | cpu [seconds] | idle [seconds] | lock [seconds] | longrun [minutes] "
               "[buffer]\n");
  return 2;
}
