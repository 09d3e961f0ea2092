#pragma once
#include <cstdint>
#include <optional>
#include <string>

#include "engine/SourceKind.h"
#include "sources/TagSet.h"

struct ConversionJob;
struct TagTemplate;
class AudioSource;

/// The tag choice options (MP3ID3TagType, OGGID3TagType, WMAID3TagType, M4AID3TagType).
inline constexpr int kTagsFromTemplate = 0;
inline constexpr int kTagsFromSource = 1;

/// The nine texts an output gets, whatever form its format writes them in:
/// - kTagsFromTemplate: the template's texts, the title being the source's file name when the
///   template asks so, the track text the file's number in the batch, the custom number or "0";
/// - kTagsFromSource: the source's own tags, MP4 metadata first for M4A/MP4 sources; none when
///   the source has none;
/// - anything else: none.
/// batchNumber is the file's 1-based number in the batch.
std::optional<TagSet> ChooseTags(int tagType, const TagTemplate& tmpl, SourceKind kind,
                                 const std::string& sourcePath, int batchNumber, AudioSource& source);

/// The same for the file of a conversion job.
std::optional<TagSet> ChooseTags(const ConversionJob& job, AudioSource& source, int tagType,
                                 const TagTemplate& tmpl);

/// The source's file name (after the last "/") without what follows its last dot.
std::string TitleFromFileName(const std::string& path);

/// The decimal number a track text begins with (after blanks and a "+"), capped at INT32_MAX;
/// 0 without one.
std::int32_t LeadingTrackNumber(const std::string& text);

/// The low 8 bits of the number a track text begins with, as ID3v1 stores it; 0 without one.
std::uint8_t TrackFromText(const std::string& text);
