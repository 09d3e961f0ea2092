#include "platform/FluidSynthLibrary.h"

#include <dlfcn.h>

#include <optional>

namespace {

std::optional<FluidSynthLibrary> Open() {
    // Stays open for the life of the process, like a linked library.
    void* handle = ::dlopen(WAVELORN_FLUIDSYNTH_SONAME, RTLD_NOW | RTLD_LOCAL);
    if (!handle) return std::nullopt;
    FluidSynthLibrary lib;
#define WAVELORN_FLUID_RESOLVE(name)                                        \
    lib.name = reinterpret_cast<decltype(&::name)>(::dlsym(handle, #name)); \
    if (!lib.name) return std::nullopt;
    WAVELORN_FLUID_CALLS(WAVELORN_FLUID_RESOLVE)
#undef WAVELORN_FLUID_RESOLVE
    // Damaged files are reported through results; the synthesiser's chatter would only clutter
    // the command-line converter's output.
    for (int level = FLUID_PANIC; level <= FLUID_DBG; ++level)
        lib.fluid_set_log_function(level, nullptr, nullptr);
    return lib;
}

}  // namespace

const FluidSynthLibrary* LoadFluidSynth() {
    static const std::optional<FluidSynthLibrary> kLibrary = Open();
    return kLibrary ? &*kLibrary : nullptr;
}
