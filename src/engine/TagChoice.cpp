#include "engine/TagChoice.h"

#include <algorithm>
#include <cstdint>

#include "engine/ConversionJob.h"
#include "platform/Paths.h"
#include "settings/TagTemplate.h"
#include "sources/AudioSource.h"
#include "sources/Mp4Tags.h"

namespace {

std::size_t DigitsStart(const std::string& text) {
    std::size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
    if (i < text.size() && text[i] == '+') ++i;
    return i;
}

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

TagSet FromTemplate(const TagTemplate& t, const std::string& sourcePath, int batchNumber) {
    TagSet tags;
    tags.title = t.TitleAsFileName ? TitleFromFileName(sourcePath) : t.Title;
    tags.artist = t.Artist;
    tags.album = t.Album;
    tags.year = t.Year;
    tags.genre = t.Genre;
    tags.comment = t.Comment;
    int track = 0;
    if (t.TrackNumType == 1) track = batchNumber;
    if (t.TrackNumType == 2) track = t.CustomTrackNum;
    tags.track = std::to_string(track);
    tags.composer = t.Composer;
    tags.copyright = t.Copyright;
    return tags;
}

std::optional<TagSet> FromSource(SourceKind kind, const std::string& sourcePath, AudioSource& source) {
    TagSet tags;
    int found = 0;
    if (kind == kKindMp4 || kind == kKindM4a) found = ReadMp4Tags(sourcePath, tags);
    if (!found) found = source.ReadTags(tags);
    if (!found) return std::nullopt;
    return tags;
}

}  // namespace

std::optional<TagSet> ChooseTags(int tagType, const TagTemplate& tmpl, SourceKind kind,
                                 const std::string& sourcePath, int batchNumber, AudioSource& source) {
    switch (tagType) {
        case kTagsFromTemplate:
            return FromTemplate(tmpl, sourcePath, batchNumber);
        case kTagsFromSource:
            return FromSource(kind, sourcePath, source);
        default:
            return std::nullopt;
    }
}

std::optional<TagSet> ChooseTags(const ConversionJob& job, AudioSource& source, int tagType,
                                 const TagTemplate& tmpl) {
    return ChooseTags(tagType, tmpl, job.kind, job.sourcePath, job.sequenceNumber, source);
}

std::string TitleFromFileName(const std::string& path) {
    std::string name = FileNamePart(path);
    const auto dot = name.rfind('.');
    if (dot != std::string::npos) name.erase(dot);
    return name;
}

std::int32_t LeadingTrackNumber(const std::string& text) {
    std::int64_t value = 0;
    for (std::size_t i = DigitsStart(text); i < text.size() && IsDigit(text[i]); ++i)
        value = std::min<std::int64_t>(value * 10 + (text[i] - '0'), INT32_MAX);
    return static_cast<std::int32_t>(value);
}

std::uint8_t TrackFromText(const std::string& text) {
    // Only the low 8 bits count, and those of a long number are exact when kept modulo 256.
    unsigned value = 0;
    for (std::size_t i = DigitsStart(text); i < text.size() && IsDigit(text[i]); ++i)
        value = (value * 10 + static_cast<unsigned>(text[i] - '0')) & 0xFFu;
    return static_cast<std::uint8_t>(value);
}
