#include "audio/uSdlLibrary.h"

#ifdef TAKTOLA_LOAD_SDL
#include <dlfcn.h>

namespace {

template <typename TFunction>
bool Find(void* library, const char* name, TFunction& function) {
  function = reinterpret_cast<TFunction>(dlsym(library, name));
  return function != nullptr;
}

}  // namespace

std::unique_ptr<const TSdlAudio> LoadSdlAudio(const char* library) {
  void* handle = dlopen(library, RTLD_NOW | RTLD_LOCAL);
  if (handle == nullptr) return nullptr;
  auto api = std::make_unique<TSdlAudio>();
  const bool all = Find(handle, "SDL_SetHint", api->SetHint) && Find(handle, "SDL_InitSubSystem", api->InitSubSystem) &&
                   Find(handle, "SDL_QuitSubSystem", api->QuitSubSystem) &&
                   Find(handle, "SDL_OpenAudioDevice", api->OpenAudioDevice) &&
                   Find(handle, "SDL_CloseAudioDevice", api->CloseAudioDevice) &&
                   Find(handle, "SDL_PauseAudioDevice", api->PauseAudioDevice) &&
                   Find(handle, "SDL_LockAudioDevice", api->LockAudioDevice) &&
                   Find(handle, "SDL_UnlockAudioDevice", api->UnlockAudioDevice) &&
                   Find(handle, "SDL_GetAudioDeviceStatus", api->GetAudioDeviceStatus);
  if (!all) {
    dlclose(handle);
    return nullptr;
  }
  return api;  // the library is kept loaded to the end, as a linked one would be
}

const TSdlAudio* SdlAudio() {
  static const std::unique_ptr<const TSdlAudio> api = LoadSdlAudio("libSDL2-2.0.so.0");
  return api.get();
}

#else

const TSdlAudio* SdlAudio() {
  static const TSdlAudio api{&SDL_SetHint,          &SDL_InitSubSystem,   &SDL_QuitSubSystem,
                             &SDL_OpenAudioDevice,  &SDL_CloseAudioDevice, &SDL_PauseAudioDevice,
                             &SDL_LockAudioDevice,  &SDL_UnlockAudioDevice, &SDL_GetAudioDeviceStatus};
  return &api;
}

#endif
