#include "engine/OutputFormats.h"

#include "settings/ConversionSettings.h"

namespace {

constexpr OutputFormatInfo kFormats[] = {
    {kFormatMp3, "MP3", ".mp3", "mp3", &ConversionSettings::MP3Tag, false},
    {kFormatWav, "WAV", ".wav", "wav", nullptr, false},
    {kFormatOgg, "OGG", ".ogg", "ogg", &ConversionSettings::OGGTag, false},
    {kFormatAmr, "AMR", ".amr", "amr", nullptr, false},
    {kFormatAwb, "AWB", ".awb", "awb", nullptr, false},
    {kFormatAac, "AAC", ".aac", "aac", nullptr, false},
    {kFormatM4a, "M4A", ".m4a", "m4a", &ConversionSettings::M4ATag, false},
    {kFormatMp4, "MP4", ".mp4", "mp4", &ConversionSettings::M4ATag, false},
    {kFormatM4b, "M4B", ".m4b", "m4b", &ConversionSettings::M4ATag, false},
    {kFormatWma, "WMA", ".wma", "wma", &ConversionSettings::WMATag, true},
};

}  // namespace

std::span<const OutputFormatInfo> OutputFormatTable() {
    return kFormats;
}

const OutputFormatInfo* FindOutputFormat(int code) {
    for (const auto& f : kFormats)
        if (f.code == code) return &f;
    return nullptr;
}

const char* OutputFormatName(int outputFormat) {
    const OutputFormatInfo* f = FindOutputFormat(outputFormat);
    return f ? f->name : "";
}
