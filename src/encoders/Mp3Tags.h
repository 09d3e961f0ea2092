#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "engine/SourceKind.h"

class AudioSource;
class ChosenTags;
class ConversionSettings;

/// The ID3 blocks an MP3 output gets; an empty block is not written.
struct Mp3TagBlocks {
    std::vector<std::uint8_t> id3v1;  // exactly 128 bytes when present
    std::vector<std::uint8_t> id3v2;
};

/// Tags by MP3ID3TagType: the template (title from the file name, `batchNumber` as the sequence
/// track), the source's own tags (an MP3 source's raw ID3 blocks unchanged), or none.
Mp3TagBlocks ChooseMp3Tags(const ConversionSettings& settings, SourceKind kind, const std::string& sourcePath,
                           AudioSource& source, int batchNumber);

/// The same with the tags the conversion frame chose: an MP3 source whose tags are transferred keeps
/// its raw blocks, any other file gets the chosen tags rendered as MP3WriteID3Version asks.
Mp3TagBlocks Mp3TagsFor(const ConversionSettings& settings, SourceKind kind, AudioSource& source,
                        ChosenTags& tags);
