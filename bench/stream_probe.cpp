// What a stream shape costs the sound server and how soon an edit is heard, for
// bench/stream_shapes.sh. Plays a 240 BPM 4/4 click loop to the default SDL device (under
// the benchmark's PulseAudio null sink), and
//   1. reads the server's CPU time (utime+stime of --server-pid) over --window seconds;
//   2. then records the null sink's monitor and makes --edits hand-overs at irregular
//      moments: each hands over a loop of one constant sample value, stamped with the
//      clock's next millisecond as the window's handlers do, and the time from the
//      hand-over until the first fragment with that value comes back from the monitor is
//      the delay with which an edit reaches the server.
// Three players:
//   --player taktola   TAKTOLA's own TSdlLoopPlayer (44100 Hz, S16, mono), whose only
//                      parameter is its buffer (--samples);
//   --player raw       the same hand-over on a plain SDL callback, with any rate, format,
//                      channel count, buffer and allowed changes (--rate --format --channels
//                      --samples --allow), to try shapes the player does not offer;
//   --player pulse     TAKTOLA's TPulseLoopPlayer: no SDL, PulseAudio's own stream.
// Build against a TAKTOLA build (stream_shapes.sh does):
//   g++ -std=c++20 -O2 -I SOURCE stream_probe.cpp BUILD/libtaktola_sound.a
//       BUILD/libtaktola_core.a $(pkg-config --cflags --libs sdl2) -lpulse-simple -lpulse -pthread
// Prints one line of key=value pairs.
#include <SDL.h>
#include <pulse/error.h>
#include <pulse/simple.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <mutex>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "audio/uPulsePlayer.h"
#include "audio/uSdlPlayer.h"
#include "audio/uWavUtils.h"

namespace {

using TClock = std::chrono::steady_clock;

double NowMs() { return std::chrono::duration<double, std::milli>(TClock::now().time_since_epoch()).count(); }

long Ticks(int pid) {
  std::ifstream f("/proc/" + std::to_string(pid) + "/stat");
  std::string s((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
  const auto close = s.rfind(')');
  if (close == std::string::npos) return -1;
  // Fields after the command: state is the 3rd, utime the 14th, stime the 15th.
  std::vector<std::string> fields;
  std::size_t at = close + 2;
  while (at < s.size()) {
    const auto next = s.find(' ', at);
    fields.push_back(s.substr(at, next - at));
    if (next == std::string::npos) break;
    at = next + 1;
  }
  if (fields.size() < 13) return -1;
  return std::stol(fields[11]) + std::stol(fields[12]);
}

// Context switches of all the process's threads: how often the server woke, which unlike its
// CPU time does not depend on how busy the machine is.
long Switches(int pid) {
  long total = 0;
  std::error_code ec;
  for (const auto& task : std::filesystem::directory_iterator("/proc/" + std::to_string(pid) + "/task", ec)) {
    std::ifstream f(task.path() / "status");
    std::string line;
    while (std::getline(f, line))
      if (line.rfind("voluntary_ctxt_switches:", 0) == 0 || line.rfind("nonvoluntary_ctxt_switches:", 0) == 0)
        total += std::stol(line.substr(line.find(':') + 1));
  }
  return total;
}

constexpr std::int16_t Marker = 12345;

// 240 BPM, four beats: a 20 ms 1 kHz burst on each, louder on the first.
TWav4416MI ClickMeasure(int rate) {
  const std::size_t length = static_cast<std::size_t>(rate);  // one second
  TWav4416MI m(length, 0);
  for (int beat = 0; beat < 4; ++beat) {
    const double level = beat == 0 ? 20000 : 12000;
    const std::size_t start = length * beat / 4;
    for (int i = 0; i < rate / 50; ++i)
      m[start + i] = static_cast<std::int16_t>(level * std::sin(2 * M_PI * 1000.0 * i / rate));
  }
  return m;
}

// The hand-over the player makes, on a plain SDL callback: the callback switches to the next
// loop at the stamped sample; the caller stamps with the clock's next millisecond.
struct TRawPlayer {
  SDL_AudioSpec have{};
  SDL_AudioDeviceID device = 0;
  std::vector<std::int16_t> clicks, marker;
  const std::vector<std::int16_t>* loop = nullptr;
  const std::vector<std::int16_t>* next = nullptr;
  std::uint64_t switchAt = 0, played = 0;
  std::size_t position = 0;

  static void SDLCALL Callback(void* self, Uint8* stream, int len) { static_cast<TRawPlayer*>(self)->Fill(stream, len); }

  void Fill(Uint8* stream, int len) {
    const int channels = have.channels;
    const bool isFloat = SDL_AUDIO_ISFLOAT(have.format);
    const int frameBytes = channels * (isFloat ? 4 : 2);
    const int frames = len / frameBytes;
    for (int f = 0; f < frames; ++f, ++played) {
      if (next != nullptr && played >= switchAt) {
        loop = next;
        next = nullptr;
        position = 0;
      }
      const std::int16_t v = (*loop)[position];
      if (++position == loop->size()) position = 0;
      for (int c = 0; c < channels; ++c) {
        if (isFloat)
          reinterpret_cast<float*>(stream)[f * channels + c] = v / 32768.0f;
        else
          reinterpret_cast<std::int16_t*>(stream)[f * channels + c] = v;
      }
    }
  }

  bool Open(int rate, SDL_AudioFormat format, int channels, int samples, int allowed) {
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) return false;
    clicks = ClickMeasure(rate);
    marker.assign(static_cast<std::size_t>(rate / 10), Marker);
    loop = &clicks;
    SDL_AudioSpec want{};
    want.freq = rate;
    want.format = format;
    want.channels = static_cast<Uint8>(channels);
    want.samples = static_cast<Uint16>(samples);
    want.callback = &Callback;
    want.userdata = this;
    device = SDL_OpenAudioDevice(nullptr, 0, &want, &have, allowed);
    if (device == 0) return false;
    SDL_PauseAudioDevice(device, 0);
    return true;
  }

  void HandOver(bool toMarker) {
    SDL_LockAudioDevice(device);
    switchAt = played + static_cast<std::uint64_t>(have.freq / 1000);
    next = toMarker ? &marker : &clicks;
    SDL_UnlockAudioDevice(device);
  }
};

// TAKTOLA's players, fed as the window feeds them: the SDL player, or the PulseAudio one.
struct TTaktolaPlayer {
  std::unique_ptr<TSoundOutput> player;
  TSdlLoopPlayer* sdl = nullptr;
  TMemoryStream clicks, marker;

  bool Open(int samples, bool pulse) {
    if (pulse) {
      auto p = std::make_unique<TPulseLoopPlayer>();
      if (!p->Connect()) return false;
      player = std::move(p);
    } else {
      auto p = std::make_unique<TSdlLoopPlayer>(samples);
      sdl = p.get();
      player = std::move(p);
    }
    WriteWav(clicks, ClickMeasure(SampleRate), 0);
    WriteWav(marker, TWav4416MI(SampleRate / 10, Marker), 0);
    return player->PlayWavLoop(clicks, player->NextStartMs());
  }

  void HandOver(bool toMarker) { player->PlayWavLoop(toMarker ? marker : clicks, player->NextStartMs()); }
};

// The monitor, read in 2 ms fragments, each with the time it came.
struct TRecorder {
  pa_simple* rec = nullptr;
  std::thread thread;
  std::atomic<bool> stop{false};
  std::mutex lock;
  std::vector<std::int16_t> samples;
  std::vector<std::pair<double, std::size_t>> arrivals;  // time, samples so far

  bool Start(const char* source) {
    const pa_sample_spec spec = {PA_SAMPLE_S16LE, 44100, 1};
    pa_buffer_attr attr;
    std::memset(&attr, 0xff, sizeof attr);
    attr.fragsize = 88 * 2;
    int error = 0;
    rec = pa_simple_new(nullptr, "stream_probe", PA_STREAM_RECORD, source, "monitor", &spec, nullptr, &attr, &error);
    if (rec == nullptr) return std::fprintf(stderr, "record: %s\n", pa_strerror(error)), false;
    thread = std::thread([this] {
      std::int16_t buf[88];
      int error = 0;
      while (!stop) {
        if (pa_simple_read(rec, buf, sizeof buf, &error) < 0) break;
        const double t = NowMs();
        std::lock_guard<std::mutex> g(lock);
        samples.insert(samples.end(), buf, buf + 88);
        arrivals.emplace_back(t, samples.size());
      }
    });
    return true;
  }

  void Stop() {
    stop = true;
    if (thread.joinable()) thread.join();
    if (rec != nullptr) pa_simple_free(rec);
  }

  // The first arrival after `since` of a fragment where a run of the marker value begins.
  double MarkerArrival(double since) {
    std::lock_guard<std::mutex> g(lock);
    std::size_t from = 0;
    for (const auto& a : arrivals) {
      if (a.first >= since) break;
      from = a.second;
    }
    int run = 0;
    for (std::size_t i = from; i < samples.size(); ++i) {
      run = std::abs(samples[i] - Marker) <= 64 ? run + 1 : 0;
      if (run == 32) {
        const std::size_t first = i - 31;
        for (const auto& a : arrivals)
          if (a.second > first) return a.first;
      }
    }
    return -1;
  }
};

}  // namespace

int main(int argc, char** argv) {
  std::string kind = "taktola", format = "s16", source = "bench.monitor";
  int rate = 44100, channels = 1, samples = 1024, allowed = 0, serverPid = 0, edits = 20;
  double window = 20, settle = 3;
  for (int i = 1; i + 1 < argc; i += 2) {
    const std::string k = argv[i], v = argv[i + 1];
    if (k == "--player") kind = v;
    else if (k == "--rate") rate = std::stoi(v);
    else if (k == "--format") format = v;
    else if (k == "--channels") channels = std::stoi(v);
    else if (k == "--samples") samples = std::stoi(v);
    else if (k == "--allow") allowed = std::stoi(v, nullptr, 0);
    else if (k == "--server-pid") serverPid = std::stoi(v);
    else if (k == "--window") window = std::stod(v);
    else if (k == "--edits") edits = std::stoi(v);
    else if (k == "--source") source = v;
    else return std::fprintf(stderr, "unknown option %s\n", k.c_str()), 64;
  }
  SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
  TRawPlayer raw;
  TTaktolaPlayer taktola;
  std::function<void(bool)> handOver;
  if (kind == "raw") {
    const SDL_AudioFormat f = format == "f32" ? AUDIO_F32SYS : format == "s32" ? AUDIO_S32SYS : AUDIO_S16SYS;
    if (f == AUDIO_S32SYS) return std::fprintf(stderr, "s32 is not written by this probe\n"), 64;
    if (!raw.Open(rate, f, channels, samples, allowed)) return std::fprintf(stderr, "open: %s\n", SDL_GetError()), 1;
    std::printf("have_rate=%d have_format=0x%x have_channels=%d have_samples=%d ", raw.have.freq, raw.have.format,
                raw.have.channels, raw.have.samples);
    handOver = [&](bool m) { raw.HandOver(m); };
  } else {
    if (!taktola.Open(samples, kind == "pulse")) return std::fprintf(stderr, "open: %s\n", SDL_GetError()), 1;
    handOver = [&](bool m) { taktola.HandOver(m); };
  }
  const auto sleepMs = [](double ms) { std::this_thread::sleep_for(std::chrono::duration<double, std::milli>(ms)); };
  const auto checkDevice = [&] {
    if (taktola.player) taktola.player->CheckDevice();
  };

  // 1. The server's CPU while playing, nothing else asking anything of it.
  for (double until = NowMs() + settle * 1000; NowMs() < until;) checkDevice(), sleepMs(50);
  const long s0 = serverPid ? Ticks(serverPid) : -1, p0 = Ticks(getpid()), w0 = serverPid ? Switches(serverPid) : 0;
  const double t0 = NowMs();
  for (double until = t0 + window * 1000; NowMs() < until;) checkDevice(), sleepMs(50);
  const long s1 = serverPid ? Ticks(serverPid) : -1, p1 = Ticks(getpid()), w1 = serverPid ? Switches(serverPid) : 0;
  const double seconds = (NowMs() - t0) / 1000, hz = static_cast<double>(sysconf(_SC_CLK_TCK));
  std::printf("server_s_per_min=%.3f server_switches_per_s=%.0f probe_s_per_min=%.3f ",
              serverPid ? (s1 - s0) / hz / seconds * 60 : -1.0, (w1 - w0) / seconds, (p1 - p0) / hz / seconds * 60);

  // 2. Edits: hand-over to the marker, and back to the clicks after 150 ms.
  TRecorder recorder;
  if (!recorder.Start(source.c_str())) return 1;
  sleepMs(300);
  std::mt19937 random(12345);
  std::uniform_real_distribution<double> gap(250, 450);
  std::vector<double> times;
  for (int e = 0; e < edits; ++e) {
    sleepMs(gap(random));
    checkDevice();
    times.push_back(NowMs());
    handOver(true);
    sleepMs(150);
    handOver(false);
  }
  sleepMs(500);
  recorder.Stop();
  std::vector<double> delays;
  int missed = 0;
  for (double t : times) {
    const double a = recorder.MarkerArrival(t);
    if (a < 0) ++missed;
    else delays.push_back(a - t);
  }
  std::sort(delays.begin(), delays.end());
  const auto q = [&](double p) { return delays.empty() ? -1.0 : delays[static_cast<std::size_t>(p * (delays.size() - 1) + 0.5)]; };
  std::printf("edit_ms_median=%.1f edit_ms_min=%.1f edit_ms_max=%.1f edits_missed=%d\n", q(0.5), q(0), q(1), missed);
  return 0;
}
