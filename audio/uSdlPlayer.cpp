#include "audio/uSdlPlayer.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

std::uint32_t SystemMs() {
  const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
      std::chrono::steady_clock::now().time_since_epoch());
  return static_cast<std::uint32_t>(ms.count());
}

// The first sample at or after millisecond `ms` of the sound.
std::uint64_t SampleOfMs(std::uint64_t ms) {
  return static_cast<std::uint64_t>(std::ceil(static_cast<double>(ms) * 44.1));
}

}  // namespace

TSdlLoopPlayer::TSdlLoopPlayer(int bufferSamples) : FBufferSamples(bufferSamples) {}

TSdlLoopPlayer::~TSdlLoopPlayer() {
  if (FDevice != 0) {
    SDL_CloseAudioDevice(FDevice);  // waits for the callback to finish
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
  }
}

bool TSdlLoopPlayer::Open() {
  if (FTriedOpen) return FDevice != 0;
  FTriedOpen = true;
  // SDL would otherwise take over SIGINT and SIGTERM and wait for us to read its quit event.
  SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
  if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) return false;
  SDL_AudioSpec want{};
  want.freq = SampleRate;
  want.format = AUDIO_S16SYS;
  want.channels = 1;
  want.samples = static_cast<Uint16>(FBufferSamples);
  want.callback = &TSdlLoopPlayer::Callback;
  want.userdata = this;
  SDL_AudioSpec have{};
  // No changes allowed: SDL converts to whatever the hardware takes, and the count of our
  // own samples stays the clock.
  FDevice = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
  if (FDevice == 0) {
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
    return false;
  }
  FBufferSamples = have.samples;
  return true;
}

bool TSdlLoopPlayer::HasDevice() { return Open(); }

void TSdlLoopPlayer::Lock() {
  if (FDevice != 0) SDL_LockAudioDevice(FDevice);
}

void TSdlLoopPlayer::Unlock() {
  if (FDevice != 0) SDL_UnlockAudioDevice(FDevice);
}

void SDLCALL TSdlLoopPlayer::Callback(void* self, Uint8* stream, int len) {
  static_cast<TSdlLoopPlayer*>(self)->Fill(reinterpret_cast<std::int16_t*>(stream), static_cast<std::uint64_t>(len / 2));
}

void TSdlLoopPlayer::Fill(std::int16_t* out, std::uint64_t count) {
  // SDL's audio thread, with the device locked: copy, wrap and switch; nothing else.
  for (std::uint64_t done = 0; done < count;) {
    const std::uint64_t at = FPlayed + done;
    if (FNext && at == FSwitchAt) {
      FRetired = std::move(FLoop);
      FLoop = std::move(FNext);
      FPosition = 0;
    }
    std::uint64_t run = count - done;
    if (FNext) run = std::min(run, FSwitchAt - at);
    if (!FLoop || FLoop->empty()) {
      std::memset(out + done, 0, run * 2);
    } else {
      run = std::min<std::uint64_t>(run, FLoop->size() - FPosition);
      std::memcpy(out + done, FLoop->data() + FPosition, run * 2);
      FPosition += run;
      if (FPosition == FLoop->size()) FPosition = 0;
    }
    done += run;
  }
  FPlayed += count;
  FLastCallback = TClock::now();
}

std::uint64_t TSdlLoopPlayer::HeldMs() const {
  // The next whole millisecond of the sound that has not been played yet: a loop handed
  // over now begins there.
  return static_cast<std::uint64_t>(static_cast<double>(FPlayed) / 44.1) + 1;
}

bool TSdlLoopPlayer::PlayWavLoop(const TMemoryStream& stream) {
  auto samples = ReadWavImage(stream.bytes);
  if (!samples || !Open()) return false;
  auto loop = std::make_unique<TLoop>(std::move(*samples));
  std::unique_ptr<TLoop> retired, replaced;
  Lock();
  retired = std::move(FRetired);
  replaced = std::move(FNext);  // a hand-over that has not happened yet is superseded
  FNext = std::move(loop);
  FSwitchAt = SampleOfMs(HeldMs());
  if (FPaused) FLastCallback = TClock::now();  // the clock runs on from here
  Unlock();
  if (FPaused) {
    SDL_PauseAudioDevice(FDevice, 0);
    FPaused = false;
  }
  return true;  // loops that are done with are freed here, on the caller's thread
}

bool TSdlLoopPlayer::StopWav() {
  if (FDevice == 0) return true;
  std::unique_ptr<TLoop> loop, next, retired;
  Lock();
  loop = std::move(FLoop);
  next = std::move(FNext);
  retired = std::move(FRetired);
  Unlock();
  SDL_PauseAudioDevice(FDevice, 1);
  FPaused = true;
  return true;
}

std::uint64_t TSdlLoopPlayer::SamplesPlayed() {
  Lock();
  const std::uint64_t played = FPlayed;
  Unlock();
  return played;
}

std::uint64_t TSdlLoopPlayer::LastHandOverSample() {
  Lock();
  const std::uint64_t at = FSwitchAt;
  Unlock();
  return at;
}

std::uint32_t TSdlLoopPlayer::TimeGetTime() {
  if (FDevice == 0) return SystemMs();
  Lock();
  std::uint64_t ms;
  if (FHolds > 0) {
    // Exactly where a loop handed over now begins.
    ms = FLastHeldMs = HeldMs();
  } else {
    // The callback fills a whole buffer at once; between two calls the device plays it out
    // at the sample rate. Spread the count over that time so the clock moves smoothly, by at
    // most one buffer, and never shows less than a hand-over already took as its start.
    double samples = static_cast<double>(FPlayed);
    if (!FPaused) {
      const double since = std::chrono::duration<double>(TClock::now() - FLastCallback).count();
      samples += std::clamp(since * SampleRate, 0.0, static_cast<double>(FBufferSamples));
    }
    ms = std::max(static_cast<std::uint64_t>(samples / 44.1), FLastHeldMs);
  }
  Unlock();
  return static_cast<std::uint32_t>(ms);
}

double TSdlLoopPlayer::OutputLatencyMs() {
  if (FDevice == 0) return 0.0;
  // The clock runs up to one buffer ahead of the buffer being played, and the device holds
  // about one more before it is heard.
  return 2.0 * FBufferSamples / 44.1;
}

void TSdlLoopPlayer::HoldClock() {
  if (!Open()) return;
  Lock();
  ++FHolds;
}

void TSdlLoopPlayer::ReleaseClock() {
  if (FDevice == 0 || FHolds == 0) return;
  --FHolds;
  Unlock();
}
