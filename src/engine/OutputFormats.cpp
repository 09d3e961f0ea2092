#include "engine/OutputFormats.h"

float OutputFormatInfo::Gain(const ConversionSettings& settings) const {
    if (!common.amplify || !(settings.*common.amplify)) return 0.0f;
    const std::int32_t percent = settings.*common.coefficient;
    return percent == 100 ? 0.0f : static_cast<float>(percent) * 0.01f;
}

std::span<const OutputFormatInfo> OutputFormatTable() {
    return kOutputFormats;
}

const OutputFormatInfo* FindOutputFormat(int code) {
    for (const auto& f : kOutputFormats)
        if (f.code == code) return &f;
    return nullptr;
}

const char* OutputFormatName(int outputFormat) {
    const OutputFormatInfo* f = FindOutputFormat(outputFormat);
    return f ? f->name : "";
}

LoudnessTagStyle LoudnessTagStyleOf(int outputFormat) {
    struct Entry {
        OutputFormatCode code;
        LoudnessTagStyle style;
    };
    static constexpr Entry kStyles[] = {
        {kFormatMp3, LoudnessTagStyle::Id3v2},       {kFormatOgg, LoudnessTagStyle::OggVorbis},
        {kFormatM4a, LoudnessTagStyle::Mp4Freeform}, {kFormatMp4, LoudnessTagStyle::Mp4Freeform},
        {kFormatM4b, LoudnessTagStyle::Mp4Freeform}, {kFormatWma, LoudnessTagStyle::AsfAttributes},
        {kFormatFlac, LoudnessTagStyle::Flac},       {kFormatOpus, LoudnessTagStyle::Opus},
    };
    for (const auto& e : kStyles)
        if (e.code == outputFormat) return e.style;
    return LoudnessTagStyle::None;
}
