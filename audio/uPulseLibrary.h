// libpulse's functions that the PulseAudio player calls, loaded at their first use (audio/
// uLoadedLibrary.h): the player connects once the window is up, and libpulse brings eleven
// more libraries (libsndfile with its codecs among them) that start-up would map first.
#pragma once

#include <pulse/pulseaudio.h>

#include "audio/uLoadedLibrary.h"

#define TAKTOLA_PULSE_FUNCTIONS(F)                                                                  \
  F(pa_, threaded_mainloop_new) F(pa_, threaded_mainloop_free) F(pa_, threaded_mainloop_start)      \
  F(pa_, threaded_mainloop_stop) F(pa_, threaded_mainloop_lock) F(pa_, threaded_mainloop_unlock)    \
  F(pa_, threaded_mainloop_wait) F(pa_, threaded_mainloop_signal) F(pa_, threaded_mainloop_get_api) \
  F(pa_, proplist_new) F(pa_, proplist_sets) F(pa_, proplist_free)                                  \
  F(pa_, context_new_with_proplist) F(pa_, context_set_state_callback) F(pa_, context_connect)      \
  F(pa_, context_get_state) F(pa_, context_disconnect) F(pa_, context_unref)                        \
  F(pa_, stream_new_with_proplist) F(pa_, stream_set_state_callback)                                \
  F(pa_, stream_set_write_callback) F(pa_, stream_connect_playback) F(pa_, stream_get_state)        \
  F(pa_, stream_write) F(pa_, stream_writable_size) F(pa_, stream_begin_write) F(pa_, stream_cork)  \
  F(pa_, stream_get_time) F(pa_, stream_disconnect) F(pa_, stream_unref) F(pa_, operation_unref)

struct TPulseApi {
  TAKTOLA_LIBRARY_API(TAKTOLA_PULSE_FUNCTIONS)
};

inline constexpr const char* PulseLibraryName = "libpulse.so.0";

// The functions, loaded once; nullptr when libpulse cannot be loaded (then SDL plays).
inline const TPulseApi* PulseApi() { return LibraryApi<TPulseApi, true>(PulseLibraryName); }
