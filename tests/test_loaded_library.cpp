// The sound libraries that the program opens at their first use: one that is missing, or is
// not the library asked for, gives no functions at all (and so no device, or no export),
// never some of them; the real one gives its own functions. This test links them, so
// the functions loaded must be the very ones linked.
#include <gtest/gtest.h>

#include "audio/uPulseLibrary.h"
#include "audio/uSdlLibrary.h"
#include "audio/uSndFileLibrary.h"

namespace {

template <typename TApi, typename TCheck>
void ExpectAllOrNone(const char* library, TCheck isTheLinkedOne) {
  EXPECT_EQ(LoadLibraryApi<TApi>("libno-such-library.so.0"), nullptr);
  EXPECT_EQ(LoadLibraryApi<TApi>("libm.so.6"), nullptr);
  const auto api = LoadLibraryApi<TApi>(library);
  ASSERT_NE(api, nullptr) << library;
  EXPECT_TRUE(isTheLinkedOne(*api)) << library;
  // A build that links the library instead gets the linked functions.
  EXPECT_TRUE(isTheLinkedOne(*LibraryApi<TApi, false>(library))) << library;
}

}  // namespace

TEST(LoadedLibrary, GivesAllItsFunctionsOrNone) {
  ExpectAllOrNone<TSdlAudio>(SdlLibraryName, [](const TSdlAudio& api) {
    return api.OpenAudioDevice == &SDL_OpenAudioDevice && api.GetAudioDeviceStatus == &SDL_GetAudioDeviceStatus;
  });
  ExpectAllOrNone<TPulseApi>(PulseLibraryName, [](const TPulseApi& api) {
    return api.threaded_mainloop_new == &pa_threaded_mainloop_new && api.operation_unref == &pa_operation_unref;
  });
  ExpectAllOrNone<TSndFileApi>(SndFileLibraryName, [](const TSndFileApi& api) {
    return api.open == &sf_open && api.format_check == &sf_format_check;
  });
}
