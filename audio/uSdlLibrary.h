// SDL2's audio functions that the SDL player calls. On Linux the library is loaded at their
// first use (audio/uLoadedLibrary.h): desktops there play through PulseAudio's own stream
// (audio/uPulsePlayer), and SDL2 with the nineteen libraries it brings costs every start-up
// about 5 ms and 1.3 MB. Elsewhere they are SDL2's own, linked in.
#pragma once

#include <SDL.h>

#include "audio/uLoadedLibrary.h"

#define TAKTOLA_SDL_FUNCTIONS(F)                                                              \
  F(SDL_, SetHint) F(SDL_, InitSubSystem) F(SDL_, QuitSubSystem) F(SDL_, OpenAudioDevice)     \
  F(SDL_, CloseAudioDevice) F(SDL_, PauseAudioDevice) F(SDL_, LockAudioDevice)               \
  F(SDL_, UnlockAudioDevice) F(SDL_, GetAudioDeviceStatus)

struct TSdlAudio {
  TAKTOLA_LIBRARY_API(TAKTOLA_SDL_FUNCTIONS)
};

inline constexpr const char* SdlLibraryName = "libSDL2-2.0.so.0";

// The functions, made once: loaded where TAKTOLA_LOAD_SDL is 1 (Linux), nullptr when
// SDL2 cannot be loaded (then there is no device); linked in elsewhere.
inline const TSdlAudio* SdlAudio() { return LibraryApi<TSdlAudio, TAKTOLA_LOAD_SDL>(SdlLibraryName); }
