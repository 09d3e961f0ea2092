#include "sources/DecoderStartup.h"

#include "platform/Bass.h"
#include "platform/BassMidi.h"

DecoderStartupResult StartDecodingLibraries(const std::string& executableFolder) {
    // COM, the common controls and FFmpeg's format registry need no start-up on this platform.
    if ((BASS_GetVersion() >> 16) != BASSVERSION) return DecoderStartupResult::WrongVersion;
    BASS_SetConfig(BASS_CONFIG_UPDATEPERIOD, 0);
    if (!BASS_Init(0, 44100, 0, nullptr, nullptr)) return DecoderStartupResult::InitFailed;
    if (!executableFolder.empty() && executableFolder.back() == '/') {
        for (const char* plugin : kDecoderPlugins)
            BASS_PluginLoad((executableFolder + "addons/" + plugin).c_str(), 0);
    }
    return DecoderStartupResult::Started;
}

void ShutDownDecodingLibraries() {
    BASS_Free();
    BASS_PluginFree(0);
}

int LoadMidiSoundFont(const std::string& executableFolder) {
    if (executableFolder.empty()) return 0;
    const std::string path = executableFolder + kMidiSoundFontName;
    const HSOUNDFONT font = BASS_MIDI_FontInit(path.c_str(), 0);
    if (!font) return 0;
    const BASS_MIDI_FONT entry{font, -1, 0};
    return BASS_MIDI_StreamSetFonts(0, &entry, 1);
}
