#include "settings/OptionChoices.h"

#include <algorithm>
#include <iterator>

namespace {

constexpr OptionChoice kOnOff[] = {{0, "off"}, {1, "on"}};
constexpr OptionChoice kAutomatic[] = {{0, "the explicit parameters of the format"},
                                       {1, "parameters chosen from the source"}};
constexpr OptionChoice kTagChoice[] = {
    {0, "write the format's tag template"}, {1, "transfer the source's tags"}, {2, "write no tags"}};
constexpr OptionChoice kChannels[] = {{0, "same as the source"}, {1, "mono"}, {2, "stereo"}};
constexpr OptionChoice kWmaChannels[] = {{1, "mono"}, {2, "stereo"}};
constexpr OptionChoice kBlockType[] = {
    {0, "long and short blocks"}, {1, "no short blocks"}, {2, "no long blocks"}};
constexpr OptionChoice kNarrowBandModes[] = {{0, "4.75 kbit/s"}, {1, "5.15 kbit/s"}, {2, "5.9 kbit/s"},
                                             {3, "6.7 kbit/s"},  {4, "7.4 kbit/s"},  {5, "7.95 kbit/s"},
                                             {6, "10.2 kbit/s"}, {7, "12.2 kbit/s"}};
constexpr OptionChoice kWideBandModes[] = {{0, "6.6 kbit/s"},   {1, "8.85 kbit/s"},  {2, "12.65 kbit/s"},
                                           {3, "14.25 kbit/s"}, {4, "15.85 kbit/s"}, {5, "18.25 kbit/s"},
                                           {6, "19.85 kbit/s"}, {7, "23.05 kbit/s"}, {8, "23.85 kbit/s"}};
constexpr OptionChoice kDestination[] = {{199, "beside the source"}, {399, "into DestSpecifiedFolder"}};
constexpr OptionChoice kTargetExists[] = {{11, "rename the new file"},
                                          {22, "overwrite"},
                                          {33, "skip"},
                                          {44, "update: convert when the output is missing or older"}};
constexpr OptionChoice kSourceTime[] = {{0, "never"}, {1, "always"}, {2, "with update (TargetExistsOpt=44)"}};
constexpr OptionChoice kMonoType[] = {{0, "(L+R)/2"}, {1, "left channel"}, {2, "right channel"}};
constexpr OptionChoice kMp3ChannelMode[] = {
    {0, "stereo"}, {1, "joint stereo"}, {3, "mono"}, {4, "same as the source"}};
constexpr OptionChoice kId3Version[] = {{0, "ID3v1"}, {1, "ID3v2"}, {2, "ID3v1 and ID3v2"}};
constexpr OptionChoice kBitsPerSample[] = {
    {0, "same as the source"}, {8, "8 bits"}, {16, "16 bits"}, {24, "24 bits"}, {32, "32-bit float"}};
constexpr OptionChoice kLoudnessScope[] = {{0, "off"}, {1, "track"}, {2, "album"}};
constexpr OptionChoice kResampler[] = {{0, "libsoxr"}, {1, "libresample (16 bits)"}};
constexpr OptionChoice kId3v2Version[] = {{3, "ID3v2.3"}, {4, "ID3v2.4"}};
constexpr OptionChoice kAacVbr[] = {{0, "average bit rate"}, {1, "variable bit rate by quality"}};
constexpr OptionChoice kMpegVersion[] = {{0, "MPEG-4"}, {1, "MPEG-2"}};
constexpr OptionChoice kAmrType[] = {{0, "narrow band (8000 Hz)"}, {1, "wide band (16000 Hz)"}};
constexpr OptionChoice kFlacBits[] = {
    {0, "same as the source, up to 24 bits"}, {16, "16 bits"}, {24, "24 bits"}};
constexpr OptionChoice kAutoOrMono[] = {{0, "same as the source"}, {1, "mono"}};
constexpr OptionChoice kOpusRateControl[] = {
    {0, "variable bit rate"}, {1, "constrained variable bit rate"}, {2, "constant bit rate"}};
constexpr OptionChoice kOpusSignal[] = {{0, "automatic"}, {1, "music"}, {2, "voice"}};
constexpr OptionChoice kTrackNumType[] = {
    {0, "no track number"}, {1, "number within the batch"}, {2, "CustomTrackNum"}};

struct Entry {
    const char* name;
    std::span<const OptionChoice> choices;
};

constexpr Entry kEntries[] = {
    {"DestOutputFolderOpt", kDestination},
    {"CreateDirs", kOnOff},
    {"BrowseOutputFolder", kOnOff},
    {"OutputFiles2MyDocuments", kOnOff},
    {"TargetExistsOpt", kTargetExists},
    {"MonoType", kMonoType},
    {"EnableExtFilter", kOnOff},
    {"AutoDestMP3EncodingParam", kAutomatic},
    {"MP3ChannelMode", kMp3ChannelMode},
    {"MP3ID3TagType", kTagChoice},
    {"MP3WriteID3Version", kId3Version},
    {"AmplifyMp3", kOnOff},
    {"AutoDestWAVEncodingParam", kAutomatic},
    {"WAVBitsPerSample", kBitsPerSample},
    {"WAVChannelNum", kChannels},
    {"AmplifyWav", kOnOff},
    {"AutoDestWMAEncodingParam", kAutomatic},
    {"WMAChannels", kWmaChannels},
    {"WMAID3TagType", kTagChoice},
    {"AmplifyWMA", kOnOff},
    {"AutoDestOGGEncodingParam", kAutomatic},
    {"OGGChannels", kChannels},
    {"OGGID3TagType", kTagChoice},
    {"AmplifyOGG", kOnOff},
    {"AutoDestAACEncodingParam", kAutomatic},
    {"AACVBR", kAacVbr},
    {"AACMpegVersion", kMpegVersion},
    {"AACEnableTNS", kOnOff},
    {"AACEnableMidside", kOnOff},
    {"AACBlockType", kBlockType},
    {"AmplifyAAC", kOnOff},
    {"AutoDestM4AEncodingParam", kAutomatic},
    {"M4AVBR", kAacVbr},
    {"M4AEnableTNS", kOnOff},
    {"M4AEnableMidside", kOnOff},
    {"M4ABlockType", kBlockType},
    {"AmplifyM4A", kOnOff},
    {"M4AID3TagType", kTagChoice},
    {"AMRType", kAmrType},
    {"AMRMode", kNarrowBandModes},
    {"AMRWBMode", kWideBandModes},
    {"AMRDTX", kOnOff},
    {"AWBMode", kWideBandModes},
    {"AWBDTX", kOnOff},
    {"AmplifyAMR", kOnOff},
    {"Dither", kOnOff},
    {"Resampler", kResampler},
    {"FLACBitsPerSample", kFlacBits},
    {"FLACChannels", kAutoOrMono},
    {"FLACID3TagType", kTagChoice},
    {"AmplifyFLAC", kOnOff},
    {"OpusRateControl", kOpusRateControl},
    {"OpusSignal", kOpusSignal},
    {"OpusChannels", kAutoOrMono},
    {"OpusID3TagType", kTagChoice},
    {"AmplifyOpus", kOnOff},
    {"ReplayGain", kLoudnessScope},
    {"Normalize", kLoudnessScope},
    {"MP3InfoFrame", kOnOff},
    {"VerifyOutputs", kOnOff},
    {"StrictDecode", kOnOff},
    {"TransferAllTags", kOnOff},
    {"FolderCoverArt", kOnOff},
    {"ID3v2Version", kId3v2Version},
    {"WavId3Chunk", kOnOff},
    {"OutputTakesSourceTime", kSourceTime},
    {"WritePlaylists", kOnOff},
    {"CopySameFormat", kOnOff},
    {"TitleAsFileName", kOnOff},
    {"TrackNumType", kTrackNumType},
};

}  // namespace

std::span<const OptionChoice> OptionChoices(const std::string& name) {
    const auto e = std::find_if(std::begin(kEntries), std::end(kEntries),
                                [&name](const Entry& entry) { return name == entry.name; });
    return e == std::end(kEntries) ? std::span<const OptionChoice>() : e->choices;
}
