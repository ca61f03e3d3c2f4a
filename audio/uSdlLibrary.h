// SDL2's audio functions that the SDL player calls. On Linux the library is loaded at their
// first use: desktops there play through PulseAudio's own stream (audio/uPulsePlayer), and
// SDL2 with the nineteen libraries it brings costs every start-up about 5 ms and 1.3 MB.
// Elsewhere they are SDL2's own, linked in.
#pragma once

#include <SDL.h>

#include <memory>

struct TSdlAudio {
  decltype(&::SDL_SetHint) SetHint;
  decltype(&::SDL_InitSubSystem) InitSubSystem;
  decltype(&::SDL_QuitSubSystem) QuitSubSystem;
  decltype(&::SDL_OpenAudioDevice) OpenAudioDevice;
  decltype(&::SDL_CloseAudioDevice) CloseAudioDevice;
  decltype(&::SDL_PauseAudioDevice) PauseAudioDevice;
  decltype(&::SDL_LockAudioDevice) LockAudioDevice;
  decltype(&::SDL_UnlockAudioDevice) UnlockAudioDevice;
  decltype(&::SDL_GetAudioDeviceStatus) GetAudioDeviceStatus;
};

// The functions, loaded once; nullptr when SDL2 cannot be loaded (then there is no device).
const TSdlAudio* SdlAudio();

#ifdef TAKTOLA_LOAD_SDL
// Loads them from the library of that name, which stays loaded; nullptr when it or one of
// them is missing. SdlAudio's way, open to tests.
std::unique_ptr<const TSdlAudio> LoadSdlAudio(const char* library);
#endif
