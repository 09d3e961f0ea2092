#pragma once
#include <string>

#include "platform/Paths.h"

/// Outcome of starting the decoding libraries.
enum class DecoderStartupResult {
    Started,
    WrongVersion,  // the application ends its initialisation without a message
    InitFailed,    // the application shows kDecoderInitFailedMessage and ends
};

inline constexpr const char* kDecoderInitFailedMessage = "Failed to initialize the software (0x0002020).";

/// Plug-in file names, in load order, looked for in "addons/" beside the executable.
inline constexpr const char* kDecoderPlugins[] = {
    "basscd.dll",    "bassflac.dll", "basswma.dll",  "basswv.dll",   "bass_aac.dll", "bass_adx.dll",
    "bass_alac.dll", "bass_ape.dll", "bass_mpc.dll", "bass_spx.dll", "bass_tta.dll"};

inline constexpr const char* kMidiSoundFontName = "ct4mgm.sf2";

/// Checks the library version, initialises it on the no-sound device at 44100 Hz and loads
/// the plug-ins from `executableFolder` + "addons/" (none when the folder is empty).
DecoderStartupResult StartDecodingLibraries(const std::string& executableFolder = ProgramDataFolder());

/// Frees the library, then unloads every plug-in.
void ShutDownDecodingLibraries();

/// Makes "ct4mgm.sf2" in `executableFolder` (the program's data folder) the default SoundFont of MIDI
/// streams; nothing else is searched. Nonzero on success: the caller keeps it as its SoundFont-set flag.
int LoadMidiSoundFont(const std::string& executableFolder = ProgramDataFolder());
