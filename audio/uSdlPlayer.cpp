#include "audio/uSdlPlayer.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

// The first sample at or after millisecond `ms` of the sound.
std::uint64_t SampleOfMs(std::uint64_t ms) {
  return static_cast<std::uint64_t>(std::ceil(static_cast<double>(ms) * 44.1));
}

}  // namespace

TSdlLoopPlayer::TSdlLoopPlayer(int bufferSamples, std::chrono::milliseconds retryInterval)
    : FBufferSamples(bufferSamples), FRetryInterval(retryInterval), FRetryDelay(retryInterval / 2), FNextTry(TClock::now()),
      FFreeSince(TClock::now()) {}

TSdlLoopPlayer::~TSdlLoopPlayer() {
  if (FDevice != 0) Close();
}

bool TSdlLoopPlayer::Open() {
  // SDL would otherwise take over SIGINT and SIGTERM and wait for us to read its quit event.
  SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
  // Started afresh at every try: SDL picks its driver here, and finds a sound server that
  // came back only then.
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
  const SDL_AudioDeviceID device = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
  if (device == 0) {
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
    return false;
  }
  // The device starts paused, so its callback does not run yet. It begins where the clock
  // stands, and the loop at the place the clock gives it.
  const std::uint64_t at = FHolds > 0 ? FHeldSamples : FreeSamples();
  SwitchIfDue(at);
  FRetired.reset();
  FPlayed = at;
  FPosition = FLoop && !FLoop->empty() ? static_cast<std::size_t>((at - FLoopStart) % FLoop->size()) : 0;
  FDevice = device;
  FBufferSamples = have.samples;
  FOpenedAt = at;
  ++FOpenings;
  if (FHolds > 0) {
    SDL_LockAudioDevice(FDevice);
    FLocked = true;
  }
  if (FPlaying) {
    FLastCallback = TClock::now();
    SDL_PauseAudioDevice(FDevice, 0);
  }
  return true;
}

void TSdlLoopPlayer::Close() {
  if (FLocked) {
    SDL_UnlockAudioDevice(FDevice);
    FLocked = false;
  }
  SDL_CloseAudioDevice(FDevice);  // waits for the callback to finish
  SDL_QuitSubSystem(SDL_INIT_AUDIO);
  FDevice = 0;
  // The system's clock carries on from where the sample clock stood (or a reading of it
  // went), so the clock never runs back.
  FFreeBase = std::max(FHolds > 0 ? FHeldSamples : FPlayed, SampleOfMs(FLastMs));
  FFreeSince = TClock::now();
}

bool TSdlLoopPlayer::Lost() { return FDevice != 0 && SDL_GetAudioDeviceStatus(FDevice) == SDL_AUDIO_STOPPED; }

bool TSdlLoopPlayer::TryOpen() {
  const bool opened = Open();
  // Each failure waits twice as long before the next try, up to eight intervals: a
  // machine without any sound card is not asked every second, and a device plugged in is
  // still found within seconds.
  FRetryDelay = opened ? FRetryInterval / 2 : std::min(2 * FRetryDelay, 8 * FRetryInterval);
  FNextTry = TClock::now() + (opened ? FRetryInterval : FRetryDelay);
  return opened;
}

bool TSdlLoopPlayer::EnsureDevice() {
  if (Lost()) Close();
  if (FDevice == 0) TryOpen();
  return FDevice != 0;
}

bool TSdlLoopPlayer::HasDevice() { return FHolds == 0 ? EnsureDevice() : FDevice != 0; }

void TSdlLoopPlayer::SwitchIfDue(std::uint64_t at) {
  if (!FNext || FSwitchAt > at) return;
  FLoop = std::move(FNext);
  FLoopStart = FSwitchAt;
}

bool TSdlLoopPlayer::CheckDevice() {
  if (FHolds > 0) return FDevice != 0 && !Lost();
  if (Lost()) {
    Close();  // and try at once: the system may offer another device already
  } else if (FDevice != 0) {
    return true;
  } else if (TClock::now() < FNextTry) {
    return false;  // a failed open costs milliseconds and a burst of driver messages
  }
  return TryOpen();
}

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
      FLoopStart = at;
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

std::uint64_t TSdlLoopPlayer::FreeSamples() const {
  const double since = std::chrono::duration<double>(TClock::now() - FFreeSince).count();
  return FFreeBase + static_cast<std::uint64_t>(since * SampleRate);
}

std::uint64_t TSdlLoopPlayer::HeldMs() const {
  // The next whole millisecond of the sound that has not been played yet: a loop handed
  // over now begins there.
  return static_cast<std::uint64_t>(static_cast<double>(FHeldSamples) / 44.1) + 1;
}

bool TSdlLoopPlayer::PlayWavLoop(const TMemoryStream& stream) {
  auto samples = ReadWavImage(stream.bytes);
  if (!samples) return false;
  auto loop = std::make_unique<TLoop>(std::move(*samples));
  TClockHold hold(*this);  // also when called alone: the loop begins where the clock stands
  // Starting or changing what plays is the user's doing: always try for a device.
  EnsureDevice();
  std::unique_ptr<TLoop> retired, replaced;
  Lock();
  if (FDevice == 0) SwitchIfDue(FHeldSamples);
  retired = std::move(FRetired);
  replaced = std::move(FNext);  // a hand-over that has not happened yet is superseded
  FNext = std::move(loop);
  FSwitchAt = SampleOfMs(HeldMs());
  if (!FPlaying) FLastCallback = TClock::now();  // the clock runs on from here
  Unlock();
  if (!FPlaying) {
    FPlaying = true;
    if (FDevice != 0) SDL_PauseAudioDevice(FDevice, 0);
  }
  return FDevice != 0;  // loops that are done with are freed here, on the caller's thread
}

bool TSdlLoopPlayer::StopWav() {
  std::unique_ptr<TLoop> loop, next, retired;
  Lock();
  loop = std::move(FLoop);
  next = std::move(FNext);
  retired = std::move(FRetired);
  Unlock();
  if (FDevice != 0) SDL_PauseAudioDevice(FDevice, 1);
  FPlaying = false;
  return true;
}

std::uint64_t TSdlLoopPlayer::SamplesPlayed() {
  if (FDevice == 0) return FHolds > 0 ? FHeldSamples : FreeSamples();
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
  std::uint64_t ms;
  if (FHolds > 0) {
    // Exactly where a loop handed over now begins.
    FLastMs = HeldMs();
    return static_cast<std::uint32_t>(FLastMs);
  }
  if (FDevice == 0) {
    ms = static_cast<std::uint64_t>(static_cast<double>(FreeSamples()) / 44.1);
  } else {
    // The callback fills a whole buffer at once; between two calls the device plays it out
    // at the sample rate. Spread the count over that time so the clock moves smoothly, by at
    // most one buffer.
    Lock();
    double samples = static_cast<double>(FPlayed);
    if (FPlaying) {
      const double since = std::chrono::duration<double>(TClock::now() - FLastCallback).count();
      samples += std::clamp(since * SampleRate, 0.0, static_cast<double>(FBufferSamples));
    }
    Unlock();
    ms = static_cast<std::uint64_t>(samples / 44.1);
  }
  // Never less than a reading already given, nor than a hand-over already took as its start.
  FLastMs = std::max(ms, FLastMs);
  return static_cast<std::uint32_t>(FLastMs);
}

double TSdlLoopPlayer::OutputLatencyMs() {
  if (FDevice == 0) return 0.0;
  // The clock runs up to one buffer ahead of the buffer being played, and the device holds
  // about one more before it is heard.
  return 2.0 * FBufferSamples / 44.1;
}

void TSdlLoopPlayer::HoldClock() {
  if (FHolds++ > 0) return;
  if (FDevice != 0) {
    SDL_LockAudioDevice(FDevice);
    FLocked = true;
    FHeldSamples = FPlayed;
  } else {
    FHeldSamples = FreeSamples();
  }
}

void TSdlLoopPlayer::ReleaseClock() {
  if (FHolds == 0 || --FHolds > 0) return;
  if (FLocked) {
    FLocked = false;
    SDL_UnlockAudioDevice(FDevice);
  }
}
