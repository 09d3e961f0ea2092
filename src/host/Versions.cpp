#include "host/Versions.h"

extern "C" {
#include <FLAC/format.h>
#include <faac.h>
#include <gsm.h>
#include <lame/lame.h>
#include <libavutil/avutil.h>
#include <libopenmpt/libopenmpt.h>
#include <vorbis/codec.h>
}
#include <id3/globals.h>
#include <taglib/taglib.h>

#include "WavelornVersion.h"
#include "platform/AvLibraries.h"

const char* WavelornVersion() {
    return WAVELORN_VERSION;
}

std::vector<std::pair<std::string, std::string>> LibraryVersions() {
    std::vector<std::pair<std::string, std::string>> v;
    v.emplace_back("LAME", get_lame_version());
    std::string vorbis = vorbis_version_string();  // "Xiph.Org libVorbis 1.3.7"
    if (const auto space = vorbis.rfind(' '); space != std::string::npos) vorbis.erase(0, space + 1);
    v.emplace_back("libvorbis", vorbis);
    char* faacId = nullptr;
    char* faacCopyright = nullptr;
    faacEncGetVersion(&faacId, &faacCopyright);
    v.emplace_back("libfaac", faacId ? faacId : "?");
    v.emplace_back("libFLAC", FLAC__VERSION_STRING);
    // FFmpeg is opened lazily; asking its version is reason enough here.
    v.emplace_back("FFmpeg", LoadAvLibraries() ? av_version_info() : "not available");
    if (const char* mpt = openmpt_get_string("library_version")) {
        v.emplace_back("libopenmpt", mpt);
        openmpt_free_string(mpt);
    }
    v.emplace_back("TagLib", std::to_string(TAGLIB_MAJOR_VERSION) + "." +
                                 std::to_string(TAGLIB_MINOR_VERSION) + "." +
                                 std::to_string(TAGLIB_PATCH_VERSION));
    v.emplace_back("id3lib", ID3LIB_FULL_NAME);
    v.emplace_back("libgsm", std::to_string(GSM_MAJOR) + "." + std::to_string(GSM_MINOR) + "." +
                                 std::to_string(GSM_PATCHLEVEL));
    return v;
}

std::string VersionText(const std::string& program,
                        const std::vector<std::pair<std::string, std::string>>& extra) {
    std::string text = program + " " + WavelornVersion() + "\n";
    auto add = [&text](const std::pair<std::string, std::string>& lib) {
        text += "  " + lib.first + " " + lib.second + "\n";
    };
    for (const auto& lib : extra) add(lib);
    for (const auto& lib : LibraryVersions()) add(lib);
    return text;
}
