#include "audio/quiet_libraries.h"

#include <cstdlib>
#include <initializer_list>

#if defined(__linux__) && !defined(__EMSCRIPTEN__)
#include <dlfcn.h>

namespace tc {
namespace {

// libasound's handler is variadic and its error function is global to the library: the audio
// library loads the same copy later, so setting it here holds for it.
void SilentAlsa(const char*, int, const char*, int, const char*, ...) {}
void SilentJack(const char*) {}

// The library stays loaded for the run, as the audio library would keep it.
void* Load(const char* const* names) {
  for (const char* const* name = names; *name != nullptr; ++name) {
    if (void* library = dlopen(*name, RTLD_NOW | RTLD_GLOBAL)) return library;
  }
  return nullptr;
}

}  // namespace

void QuietSoundLibraries() {
  // Loaded for good: an output opened again after its server went away loads the client library
  // anew, and loading (with everything it pulls in) holds the dynamic loader's lock, which the
  // frame thread's graphics driver takes too.
  static const char* const kPulseNames[] = {"libpulse.so", "libpulse.so.0", nullptr};
  Load(kPulseNames);
  if (std::getenv("TUMBLECRATE_AUDIO_DEBUG") != nullptr) return;
  using AlsaHandler = void (*)(const char*, int, const char*, int, const char*, ...);
  using SetAlsaHandler = int (*)(AlsaHandler);
  using JackHandler = void (*)(const char*);
  using SetJackHandler = void (*)(JackHandler);
  static const char* const kAlsaNames[] = {"libasound.so.2", "libasound.so", nullptr};
  static const char* const kJackNames[] = {"libjack.so", "libjack.so.0", nullptr};
  if (void* alsa = Load(kAlsaNames)) {
    if (auto set = reinterpret_cast<SetAlsaHandler>(dlsym(alsa, "snd_lib_error_set_handler")))
      set(SilentAlsa);
  }
  if (void* jack = Load(kJackNames)) {
    for (const char* name : {"jack_set_error_function", "jack_set_info_function"}) {
      if (auto set = reinterpret_cast<SetJackHandler>(dlsym(jack, name))) set(SilentJack);
    }
  }
}

}  // namespace tc

#else

namespace tc {

void QuietSoundLibraries() {}

}  // namespace tc

#endif
