#include "audio/uSdlPlayer.h"

#include "audio/uSdlLibrary.h"

#include <algorithm>
#include <cassert>
#include <cmath>
#include <cstring>

TSdlLoopPlayer::TSdlLoopPlayer(int bufferSamples, std::chrono::milliseconds retryInterval)
    : FBufferSamples(bufferSamples), FRetry(retryInterval) {}

TSdlLoopPlayer::~TSdlLoopPlayer() {
  if (FDevice != 0) Close();
}

bool TSdlLoopPlayer::Open() {
  const TSdlAudio* const sdl = SdlAudio();
  if (sdl == nullptr) return false;
  // SDL would otherwise take over SIGINT and SIGTERM and wait for us to read its quit event.
  sdl->SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
  // Started afresh at every try after a failure or a lost device: SDL picks its driver here,
  // and finds a sound server that came back only then. A Stop keeps it for a quick Start.
  if (!FDriverUp) {
    if (sdl->InitSubSystem(SDL_INIT_AUDIO) != 0) return false;
    FDriverUp = true;
  }
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
  const SDL_AudioDeviceID device = sdl->OpenAudioDevice(nullptr, 0, &want, &have, 0);
  if (device == 0) {
    sdl->QuitSubSystem(SDL_INIT_AUDIO);
    FDriverUp = false;
    return false;
  }
  // The device starts paused, so its callback does not run yet. It begins where the clock
  // stands, and the loop at the place the clock gives it.
  const std::uint64_t at = FStandIn.Samples();
  SwitchIfDue(at);
  FRetired.reset();
  FPlayed = at;
  FPosition = PositionAt(at);
  FDevice = device;
  FBufferSamples = have.samples;
  FOpenedAt = at;
  ++FOpenings;
  if (FPlaying) {
    FLastCallback = TClock::now();
    sdl->PauseAudioDevice(FDevice, 0);
  }
  return true;
}

void TSdlLoopPlayer::Close(bool keepDriver) {
  SdlAudio()->CloseAudioDevice(FDevice);  // waits for the callback to finish
  if (!keepDriver) {
    SdlAudio()->QuitSubSystem(SDL_INIT_AUDIO);
    FDriverUp = false;
  }
  FDevice = 0;
  // The system's clock carries on from where the sample clock stood (or a reading or stamp
  // of it went), so the clock never runs back.
  FStandIn.RestartAt(std::max(FPlayed, FirstSampleAtMs(FLastMs)));
}

bool TSdlLoopPlayer::Lost() { return FDevice != 0 && SdlAudio()->GetAudioDeviceStatus(FDevice) == SDL_AUDIO_STOPPED; }

bool TSdlLoopPlayer::TryOpen() {
  const bool opened = Open();
  FRetry.After(opened);
  return opened;
}

bool TSdlLoopPlayer::HasDevice() {
  if (Lost()) Close();
  if (FDevice == 0) TryOpen();
  return FDevice != 0;
}

void TSdlLoopPlayer::SwitchIfDue(std::uint64_t at) {
  if (!FNext || FSwitchAt > at) return;
  FRetired = std::move(FLoop);
  FLoop = std::move(FNext);
  FLoopStart = FSwitchAt;
  FSwitchedAt = FSwitchAt;
}

bool TSdlLoopPlayer::CheckDevice() {
  // Stopped, no device is wanted.
  if (!FPlaying) return FDevice != 0;
  if (Lost()) {
    Close();  // and try at once: the system may offer another device already
  } else if (FDevice != 0) {
    return true;
  } else if (!FRetry.Due()) {
    return false;  // a failed open costs milliseconds and a burst of driver messages
  }
  return TryOpen();
}

void TSdlLoopPlayer::Lock() {
  if (FDevice != 0) SdlAudio()->LockAudioDevice(FDevice);
}

void TSdlLoopPlayer::Unlock() {
  if (FDevice != 0) SdlAudio()->UnlockAudioDevice(FDevice);
}

void SDLCALL TSdlLoopPlayer::Callback(void* self, Uint8* stream, int len) noexcept {
  static_cast<TSdlLoopPlayer*>(self)->Fill(reinterpret_cast<std::int16_t*>(stream), static_cast<std::uint64_t>(len / 2));
}

void TSdlLoopPlayer::Fill(std::int16_t* out, std::uint64_t count) noexcept {
  // SDL's audio thread, with the device locked: copy, wrap and switch; nothing else.
  for (std::uint64_t done = 0; done < count;) {
    const std::uint64_t at = FPlayed + done;
    if (FNext && at >= FSwitchAt) {
      // The caller took the last retired loop before handing this one over.
      assert(!FRetired);
      FRetired = std::move(FLoop);
      FLoop = std::move(FNext);
      FLoopStart = FSwitchAt;
      FSwitchedAt = at;
      // Late, the loop comes in where its stamp puts it now.
      FPosition = PositionAt(at);
    }
    assert(!FLoop || FLoop->empty() || FPosition < FLoop->size());
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

std::size_t TSdlLoopPlayer::PositionAt(std::uint64_t at) const noexcept {
  if (!FLoop || FLoop->empty() || at < FLoopStart) return 0;
  return static_cast<std::size_t>((at - FLoopStart) % FLoop->size());
}

std::uint32_t TSdlLoopPlayer::NextStartMs() {
  // Starting is the user's doing: a device is opened (paused, so the clock waits for the
  // loop) before the start is read.
  if (!FPlaying) HasDevice();
  return NextStartMsAfter(SamplesPlayed(), FLastMs);
}

bool TSdlLoopPlayer::PlayWavLoop(const TMemoryStream& stream, std::uint32_t startMs) {
  // Decoded and allocated here, with no lock held.
  auto samples = ReadWavImage(stream.bytes);
  if (!samples) return false;
  auto loop = std::make_unique<TLoop>(std::move(*samples));
  const std::uint64_t switchAt = FirstSampleAtMs(WidenMs(FLastMs, startMs));
  // Changing what plays is the user's doing: always try for a device (for a start,
  // NextStartMs has just tried).
  if (FPlaying) HasDevice();
  std::unique_ptr<TLoop> retired, replaced;
  // Only pointers are swapped under the lock; what comes out is freed after it.
  Lock();
  if (FDevice == 0) SwitchIfDue(FStandIn.Samples());
  retired = std::move(FRetired);
  replaced = std::move(FNext);  // a hand-over that has not happened yet is superseded
  FNext = std::move(loop);
  FSwitchAt = switchAt;
  if (!FPlaying) FLastCallback = TClock::now();  // the clock runs on from here
  Unlock();
  if (!FPlaying) {
    FPlaying = true;
    if (FDevice != 0) SdlAudio()->PauseAudioDevice(FDevice, 0);
  }
  return FDevice != 0;  // loops that are done with are freed here, on the caller's thread
}

bool TSdlLoopPlayer::StopWav() {
  // A paused device would go on streaming silence, and the sound server mixing it: closed,
  // nothing runs until Start. The clock carries on without it.
  if (FDevice != 0) Close(true);
  FLoop.reset();
  FNext.reset();
  FRetired.reset();
  FPlaying = false;
  return true;
}

std::uint64_t TSdlLoopPlayer::SamplesPlayed() {
  if (FDevice == 0) return FStandIn.Samples();
  Lock();
  const std::uint64_t played = FPlayed;
  Unlock();
  return played;
}

std::uint64_t TSdlLoopPlayer::LastSwitchSample() {
  Lock();
  const std::uint64_t at = FSwitchedAt;
  Unlock();
  return at;
}

std::uint64_t TSdlLoopPlayer::LastHandOverSample() {
  Lock();
  const std::uint64_t at = FSwitchAt;
  Unlock();
  return at;
}

std::uint32_t TSdlLoopPlayer::TimeGetTime() {
  std::uint64_t ms;
  if (FDevice == 0) {
    ms = static_cast<std::uint64_t>(static_cast<double>(FStandIn.Samples()) / 44.1);
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
