#pragma once
#include <fluidsynth.h>

// The FluidSynth calls the MIDI channel makes, as members of FluidSynthLibrary.
#define WAVELORN_FLUID_CALLS(X) \
    X(new_fluid_settings)       \
    X(delete_fluid_settings)    \
    X(fluid_settings_setnum)    \
    X(fluid_settings_setstr)    \
    X(fluid_settings_setint)    \
    X(new_fluid_synth)          \
    X(delete_fluid_synth)       \
    X(fluid_synth_sfload)       \
    X(fluid_synth_write_float)  \
    X(new_fluid_player)         \
    X(delete_fluid_player)      \
    X(fluid_player_add_mem)     \
    X(fluid_player_play)        \
    X(fluid_player_stop)        \
    X(fluid_set_log_function)

/// FluidSynth, opened when a MIDI file is first rendered rather than linked: it brings some thirty
/// audio-output and desktop libraries that every start-up would otherwise load for nothing.
struct FluidSynthLibrary {
#define WAVELORN_FLUID_MEMBER(name) decltype(&::name) name = nullptr;
    WAVELORN_FLUID_CALLS(WAVELORN_FLUID_MEMBER)
#undef WAVELORN_FLUID_MEMBER
};

/// The library, opened once per process with its console messages silenced; null when it cannot
/// be opened. Safe to call from several threads.
const FluidSynthLibrary* LoadFluidSynth();
