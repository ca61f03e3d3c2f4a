// The functions of a shared library that the program opens at their first use instead of
// linking it. Every linked library is mapped and relocated at each start, before main()
// runs; the sound libraries with what they bring cost a start several milliseconds, while
// only playing and exporting need them.
//
// A library's functions are listed once, as F(prefix, name) for the C function prefix##name:
//   #define TAKTOLA_FOO_FUNCTIONS(F) F(foo_, open) F(foo_, close)
//   struct TFooApi { TAKTOLA_LIBRARY_API(TAKTOLA_FOO_FUNCTIONS) };
// The struct gets a pointer of each function's own type, named without the prefix
// (api->open), and a way to visit them by their C names.
#pragma once

#include <memory>
#include <type_traits>

#if __has_include(<dlfcn.h>)
#include <dlfcn.h>
#endif

#define TAKTOLA_LIBRARY_FIELD(prefix, name) decltype(&::prefix##name) name = nullptr;
#define TAKTOLA_LIBRARY_VISIT(prefix, name) visit(#prefix #name, name);
#define TAKTOLA_LIBRARY_LINK(prefix, name) name = &::prefix##name;
// Link() is made only where a build that links the library calls it.
#define TAKTOLA_LIBRARY_API(LIST)  \
  LIST(TAKTOLA_LIBRARY_FIELD)      \
  template <typename TVisit>       \
  void ForEach(TVisit&& visit) {   \
    LIST(TAKTOLA_LIBRARY_VISIT)    \
  }                                \
  template <typename = void>       \
  void Link() {                    \
    LIST(TAKTOLA_LIBRARY_LINK)     \
  }

// Loads every function the API lists from the library of that name, which then stays loaded
// to the end, as a linked one would; nullptr when the library or one of the functions is
// missing, never some of them. Defined where dlopen is; builds elsewhere link the libraries
// and never call it.
template <typename TApi>
std::unique_ptr<const TApi> LoadLibraryApi(const char* library);

// The API's functions, made once: loaded from the library when Loaded (nullptr when that
// fails), otherwise the ones linked in.
template <typename TApi, bool Loaded>
const TApi* LibraryApi(const char* library) {
  if constexpr (Loaded) {
    static const std::unique_ptr<const TApi> api = LoadLibraryApi<TApi>(library);
    return api.get();
  } else {
    static const TApi linked = [] {
      TApi api;
      api.Link();
      return api;
    }();
    return &linked;
  }
}

#if __has_include(<dlfcn.h>)
template <typename TApi>
std::unique_ptr<const TApi> LoadLibraryApi(const char* library) {
  void* handle = dlopen(library, RTLD_NOW | RTLD_LOCAL);
  if (handle == nullptr) return nullptr;
  auto api = std::make_unique<TApi>();
  bool all = true;
  api->ForEach([&](const char* name, auto& function) {
    function = reinterpret_cast<std::remove_reference_t<decltype(function)>>(dlsym(handle, name));
    all = all && function != nullptr;
  });
  if (!all) {
    dlclose(handle);
    return nullptr;
  }
  return api;
}
#endif
