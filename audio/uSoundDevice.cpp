#include "audio/uSoundDevice.h"

#include <cstdlib>
#include <memory>
#include <string_view>

#include "audio/uSdlPlayer.h"
#ifdef TAKTOLA_HAVE_PULSE
#include "audio/uPulsePlayer.h"
#endif

namespace {

std::unique_ptr<TSoundOutput> ChooseSoundOutput() {
#ifdef TAKTOLA_HAVE_PULSE
  const char* driver = std::getenv("SDL_AUDIODRIVER");
  const bool sdlAsked = driver != nullptr && *driver != '\0' && std::string_view(driver) != "pulseaudio";
  if (!sdlAsked) {
    auto pulse = std::make_unique<TPulseLoopPlayer>();
    if (pulse->Connect()) return pulse;
  }
#endif
  return std::make_unique<TSdlLoopPlayer>();
}

class TChosenSoundOutput final : public TSoundOutput {
 public:
  std::uint32_t NextStartMs() override { return Chosen().NextStartMs(); }
  bool PlayWavLoop(const TMemoryStream& stream, std::uint32_t startMs) override {
    return Chosen().PlayWavLoop(stream, startMs);
  }
  bool StopWav() override { return Chosen().StopWav(); }
  bool CheckDevice() override { return Chosen().CheckDevice(); }
  std::uint32_t TimeGetTime() override { return Chosen().TimeGetTime(); }
  double OutputLatencyMs() override { return Chosen().OutputLatencyMs(); }

  TSoundOutput& Chosen() {
    if (!FOutput) FOutput = ChooseSoundOutput();
    return *FOutput;
  }

 private:
  std::unique_ptr<TSoundOutput> FOutput;
};

TChosenSoundOutput& TheOutput() {
  static TChosenSoundOutput output;
  return output;
}

}  // namespace

TSoundOutput& DefaultSoundOutput() { return TheOutput(); }

void PrepareSoundOutput() { TheOutput().Chosen(); }
