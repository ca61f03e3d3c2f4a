// libsndfile's functions that export calls. On Linux the library is loaded at their first
// use (audio/uLoadedLibrary.h): it brings seven codec libraries, and only an export needs
// them. Elsewhere they are libsndfile's own, linked in.
#pragma once

#include <sndfile.h>

#include "audio/uLoadedLibrary.h"

#define TAKTOLA_SNDFILE_FUNCTIONS(F) \
  F(sf_, open) F(sf_, write_short) F(sf_, strerror) F(sf_, close) F(sf_, format_check)

struct TSndFileApi {
  TAKTOLA_LIBRARY_API(TAKTOLA_SNDFILE_FUNCTIONS)
};

inline constexpr const char* SndFileLibraryName = "libsndfile.so.1";

// The functions, made once: loaded where TAKTOLA_LOAD_SNDFILE is 1 (Linux), nullptr when
// libsndfile cannot be loaded (then nothing exports); linked in elsewhere.
inline const TSndFileApi* SndFileApi() { return LibraryApi<TSndFileApi, TAKTOLA_LOAD_SNDFILE>(SndFileLibraryName); }
