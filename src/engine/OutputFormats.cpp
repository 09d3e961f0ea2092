#include "engine/OutputFormats.h"

#include <cstdio>
#include <cstring>

#include "platform/UniqueFile.h"

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
    const OutputFormatInfo* f = FindOutputFormat(outputFormat);
    switch (f ? f->tagSystem : TagSystem::None) {
        case TagSystem::Id3v2:
            return LoudnessTagStyle::Id3v2;
        case TagSystem::VorbisComment:
            return LoudnessTagStyle::VorbisComment;
        case TagSystem::Mp4:
            return LoudnessTagStyle::Mp4Freeform;
        case TagSystem::Asf:
            return LoudnessTagStyle::AsfAttributes;
        case TagSystem::RiffInfo:  // players read no ReplayGain from WAV
        case TagSystem::None:
            break;
    }
    return LoudnessTagStyle::None;
}

bool output_formats::Mp3StatesItsLength(const std::string& path) {
    UniqueFile file = OpenFile(path.c_str(), "rb");
    if (!file) return false;
    unsigned char head[10];
    long start = 0;
    if (std::fread(head, 1, sizeof head, file.get()) != sizeof head) return false;
    if (std::memcmp(head, "ID3", 3) == 0)
        start = 10 +
                ((head[6] & 0x7F) << 21 | (head[7] & 0x7F) << 14 | (head[8] & 0x7F) << 7 | (head[9] & 0x7F)) +
                ((head[5] & 0x10) ? 10 : 0);
    unsigned char frame[64];
    if (std::fseek(file.get(), start, SEEK_SET) != 0 ||
        std::fread(frame, 1, sizeof frame, file.get()) != sizeof frame)
        return false;
    if (frame[0] != 0xFF || (frame[1] & 0xE0) != 0xE0) return false;
    // The tag follows the side information, whose size depends on the MPEG version and channels.
    const bool mpeg1 = (frame[1] & 0x18) == 0x18;
    const bool mono = (frame[3] >> 6) == 3;
    const std::size_t at = 4 + (mpeg1 ? (mono ? 17 : 32) : (mono ? 9 : 17)) + ((frame[1] & 1) ? 0 : 2);
    return std::memcmp(frame + at, "Info", 4) == 0 || std::memcmp(frame + at, "Xing", 4) == 0;
}
