#pragma once
#include <string>
#include <vector>

#include "tags/FullTags.h"

/// The tag system an output format writes its fields and pictures in.
enum class TagSystem {
    None,           // holds no tags (ADTS, AMR)
    Id3v2,          // MP3: ID3v2 frames, TXXX for fields without a frame, APIC
    VorbisComment,  // Ogg Vorbis, Ogg Opus and FLAC: comments and METADATA_BLOCK_PICTURE
    Mp4,            // MP4/M4A/M4B: ilst atoms, freeform ---- atoms, covr
    Asf,            // WMA: ASF attributes and WM/Picture
    RiffInfo,       // WAV: LIST INFO, and optionally an ID3v2 chunk
};

struct TagWriteOptions {
    int id3v2Version = 3;      // 3 or 4
    bool wavId3Chunk = false;  // WAV: an ID3v2 chunk beside the INFO list
};

/// Writes into the finished file at `path`: each field of `tags` replaces the file's fields of that
/// name, the file's other fields stay; the pictures replace the file's pictures (kept when `tags` has
/// none). 1 on success, also for TagSystem::None; 0 when the file could not be read or saved.
int WriteFullTags(TagSystem system, const std::string& path, const FullTags& tags,
                  const TagWriteOptions& options);

/// Which file of the comment-carrying kinds this is, by its first bytes rather than its name (a
/// staged output has a hidden name).
enum class XiphKind { Unknown, Flac, Opus, Vorbis };
XiphKind DetectXiph(const std::string& path);

/// The fields as Vorbis comments ("NAME=value", one per value) followed by one
/// METADATA_BLOCK_PICTURE comment per picture, for an encoder that writes its own comment header.
std::vector<std::string> VorbisCommentLines(const FullTags& tags);
