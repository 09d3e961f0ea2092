#pragma once
#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace testsupport {

/// What the box tree of an MP4 file with one audio track says, per sample where it matters.
struct Mp4Summary {
    std::string error;                  // the first inconsistency found; empty when the tables agree
    std::vector<std::string> topLevel;  // box types in file order
    std::vector<std::string> brands;    // major brand first
    std::uint32_t movieTimeScale = 0, trackTimeScale = 0;
    std::uint64_t movieDuration = 0, mediaDuration = 0, trackDuration = 0;  // mvhd, mdhd, tkhd
    /// The edit list's entries: presented duration (movie time scale) and media time (track's).
    std::vector<std::pair<std::uint64_t, std::int64_t>> edits;
    int channels = 0;
    std::uint8_t objectType = 0;
    std::vector<std::uint8_t> decoderConfig;               // the AudioSpecificConfig in esds
    std::vector<std::uint32_t> durations, offsets, sizes;  // per sample
    std::vector<std::uint64_t> chunkOffsets;
    bool wideOffsets = false;                                // co64 rather than stco
    std::map<std::string, std::vector<std::uint8_t>> items;  // ilst item type -> payload of its data box
};

/// Parses the file's boxes and checks the sample tables against each other and the media data:
/// stts, ctts and stsz count the same samples, stsc and the chunk offsets place every sample
/// inside mdat, back to back, and the sizes add up to the mdat payload.
Mp4Summary InspectMp4(const std::vector<std::uint8_t>& file);

}  // namespace testsupport
