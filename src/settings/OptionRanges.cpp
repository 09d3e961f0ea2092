#include "settings/OptionRanges.h"

#include <algorithm>
#include <span>

namespace {

// Either a list of values or, with an empty list, the values from min to max.
struct OptionRange {
    const char* name;
    std::span<const std::int32_t> list;
    std::int32_t min = 0;
    std::int32_t max = 0;
    bool orZero = false;  // 0 ("automatic") besides min to max
};

// The values the option pages offer; 0 stands for "same as the source" where the pages offer it.
constexpr std::int32_t kFlag[] = {0, 1};
constexpr std::int32_t kMp3Rates[] = {0, 8000, 11025, 12000, 16000, 22050, 24000, 32000, 44100, 48000};
constexpr std::int32_t kWavRates[] = {0,     6000,  8000,  11025, 12000, 16000, 22050,
                                      24000, 32000, 44100, 48000, 88200, 96000};
constexpr std::int32_t kMp3BitRates[] = {0,  8,   16,  24,  32,  40,  48,  56,  64, 80,
                                         96, 112, 128, 144, 160, 192, 224, 256, 320};
constexpr std::int32_t kOggBitRates[] = {0,   8,   16,  24,  32,  40,  48,  56,  64,  80, 96,
                                         112, 128, 144, 160, 192, 224, 256, 320, 400, 480};
constexpr std::int32_t kAacBitRates[] = {0,  16,  24,  32,  40,  48,  56,  64,  80,
                                         96, 112, 128, 144, 160, 192, 224, 256, 320};
constexpr std::int32_t kWavBits[] = {0, 8, 16, 24, 32};  // 32: float
constexpr std::int32_t kFlacRates[] = {0,     8000,  11025, 12000, 16000, 22050,  24000,
                                       32000, 44100, 48000, 88200, 96000, 176400, 192000};
constexpr std::int32_t kFlacBits[] = {0, 16, 24};
constexpr std::int32_t kMp3ChannelModes[] = {0, 1, 3, 4};
constexpr std::int32_t kFolderChoices[] = {199, 399};
constexpr std::int32_t kTargetExists[] = {11, 22, 33, 44};
constexpr std::int32_t kWmaChannels[] = {1, 2};
constexpr std::int32_t kId3v2Versions[] = {3, 4};

OptionRange List(const char* name, std::span<const std::int32_t> list) {
    return {name, list};
}
OptionRange Span(const char* name, std::int32_t min, std::int32_t max) {
    return {name, {}, min, max};
}
OptionRange SpanOrZero(const char* name, std::int32_t min, std::int32_t max) {
    return {name, {}, min, max, true};
}

// OutputFormat and OptStartPageIndex are left out: their users replace a value they do not know.
const OptionRange kRanges[] = {
    List("DestOutputFolderOpt", kFolderChoices),
    List("CreateDirs", kFlag),
    List("BrowseOutputFolder", kFlag),
    List("OutputFiles2MyDocuments", kFlag),
    List("TargetExistsOpt", kTargetExists),
    Span("MonoType", 0, 2),
    List("EnableExtFilter", kFlag),

    List("AutoDestMP3EncodingParam", kFlag),
    List("MP3BitRate", kMp3BitRates),
    List("MP3SampleRate", kMp3Rates),
    List("MP3ChannelMode", kMp3ChannelModes),
    Span("MP3ID3TagType", 0, 2),
    Span("MP3WriteID3Version", 0, 2),
    List("AmplifyMp3", kFlag),
    Span("AmplifyMp3Coeff", 10, 3000),

    List("AutoDestWAVEncodingParam", kFlag),
    List("WAVSampleRate", kWavRates),
    List("WAVBitsPerSample", kWavBits),
    Span("WAVChannelNum", 0, 2),
    List("AmplifyWav", kFlag),
    Span("AmplifyWavCoeff", 10, 3000),

    // The format list of the runtime decides the exact WMA rates and bit rates.
    List("AutoDestWMAEncodingParam", kFlag),
    Span("WMABitRate", 0, 320000),
    Span("WMASampleRate", 0, 48000),
    List("WMAChannels", kWmaChannels),
    Span("WMAID3TagType", 0, 2),
    List("AmplifyWMA", kFlag),
    Span("AmplifyWMACoeff", 10, 3000),

    List("AutoDestOGGEncodingParam", kFlag),
    List("OGGBitRate", kOggBitRates),
    List("OGGSampleRate", kMp3Rates),
    Span("OGGChannels", 0, 2),
    Span("OGGID3TagType", 0, 2),
    List("AmplifyOGG", kFlag),
    Span("AmplifyOGGCoeff", 10, 3000),

    List("AutoDestAACEncodingParam", kFlag),
    List("AACVBR", kFlag),
    Span("AACVBRQuality", 10, 500),
    List("AACABRBitRate", kAacBitRates),
    List("AACMpegVersion", kFlag),
    List("AACEnableTNS", kFlag),
    List("AACEnableMidside", kFlag),
    Span("AACBlockType", 0, 2),
    List("AmplifyAAC", kFlag),
    Span("AmplifyAACCoef", 10, 3000),

    List("AutoDestM4AEncodingParam", kFlag),
    List("M4AVBR", kFlag),
    Span("M4AVBRQuality", 10, 500),
    List("M4AABRBitRate", kAacBitRates),
    List("M4AEnableTNS", kFlag),
    List("M4AEnableMidside", kFlag),
    Span("M4ABlockType", 0, 2),
    List("AmplifyM4A", kFlag),
    Span("AmplifyM4ACoef", 10, 3000),
    Span("M4AID3TagType", 0, 2),

    List("AMRType", kFlag),
    Span("AMRMode", 0, 7),
    Span("AMRWBMode", 0, 8),
    List("AMRDTX", kFlag),
    Span("AWBMode", 0, 8),
    List("AWBDTX", kFlag),
    List("AmplifyAMR", kFlag),
    Span("AmplifyAMRCoef", 10, 3000),

    Span("FilesAtOnce", 0, 32),
    List("Dither", kFlag),
    List("Resampler", kFlag),
    Span("ReplayGain", 0, 2),
    Span("Normalize", 0, 2),
    Span("NormalizeTarget", -31, -14),
    Span("OutputTakesSourceTime", 0, 2),
    List("WritePlaylists", kFlag),
    List("CopySameFormat", kFlag),

    Span("FLACCompression", 0, 8),
    List("FLACBitsPerSample", kFlacBits),
    List("FLACSampleRate", kFlacRates),
    List("FLACChannels", kFlag),
    Span("FLACID3TagType", 0, 2),
    List("AmplifyFLAC", kFlag),
    Span("AmplifyFLACCoeff", 10, 3000),

    SpanOrZero("OpusBitRate", 6, 510),
    Span("OpusRateControl", 0, 2),
    Span("OpusComplexity", 0, 10),
    Span("OpusSignal", 0, 2),
    List("OpusChannels", kFlag),
    Span("OpusID3TagType", 0, 2),
    List("AmplifyOpus", kFlag),
    Span("AmplifyOpusCoeff", 10, 3000),
    List("MP3InfoFrame", kFlag),
    List("VerifyOutputs", kFlag),
    List("StrictDecode", kFlag),
    List("TransferAllTags", kFlag),
    List("FolderCoverArt", kFlag),
    Span("MaxPictureSize", 0, 10000),
    List("ID3v2Version", kId3v2Versions),
    List("WavId3Chunk", kFlag),

    // The numbers of a tag template; tag writers take the track as one byte.
    List("TitleAsFileName", kFlag),
    Span("TrackNumType", 0, 2),
    Span("CustomTrackNum", 0, 255),
};

const OptionRange* Find(const std::string& name) {
    for (const auto& r : kRanges)
        if (name == r.name) return &r;
    return nullptr;
}

}  // namespace

bool OptionInRange(const std::string& name, std::int32_t value) {
    const OptionRange* r = Find(name);
    if (!r) return true;
    if (!r->list.empty()) return std::find(r->list.begin(), r->list.end(), value) != r->list.end();
    return (r->orZero && value == 0) || (value >= r->min && value <= r->max);
}

std::string OptionRangeText(const std::string& name) {
    const OptionRange* r = Find(name);
    if (!r) return {};
    if (r->list.empty())
        return (r->orZero ? "0, or from " : "from ") + std::to_string(r->min) + " to " +
               std::to_string(r->max);
    std::string text = "one of";
    for (std::size_t i = 0; i < r->list.size(); ++i) text += (i ? ", " : " ") + std::to_string(r->list[i]);
    return text;
}
