#include "encoders/Mp3Tags.h"

#include "encoders/Id3Tag.h"
#include "platform/Paths.h"
#include "settings/ConversionSettings.h"
#include "sources/AudioSource.h"
#include "sources/Mp4Tags.h"

namespace {

constexpr int kTagsFromTemplate = 0;
constexpr int kTagsFromSource = 1;

Mp3TagBlocks Render(int id3Version, const TagSet& tags, std::uint8_t track) {
    Mp3TagBlocks blocks;
    if (id3Version == 0 || id3Version == 2) blocks.id3v1 = BuildId3Tag(1, tags, track, 0);
    if (id3Version == 1 || id3Version == 2) blocks.id3v2 = BuildId3Tag(2, tags, track, 0);
    return blocks;
}

Mp3TagBlocks CopyRawBlocks(AudioSource& source) {
    Mp3TagBlocks blocks;
    if (const std::uint8_t* v1 = source.GetId3v1Tag()) blocks.id3v1.assign(v1, v1 + kId3v1Bytes);
    int size = 0;
    const std::uint8_t* v2 = source.GetId3v2Tag(size);
    if (v2 && size > 0) blocks.id3v2.assign(v2, v2 + size);
    return blocks;
}

Mp3TagBlocks FromSource(const ConversionSettings& settings, SourceKind kind, const std::string& sourcePath,
                        AudioSource& source) {
    if (kind == kKindMp3) return CopyRawBlocks(source);
    TagSet tags;
    int found = 0;
    if (kind == kKindMp4 || kind == kKindM4a) found = ReadMp4Tags(sourcePath, tags);
    if (!found) found = source.ReadTags(tags);
    if (!found) return {};
    return Render(settings.MP3WriteID3Version, tags, TrackFromText(tags.track));
}

Mp3TagBlocks FromTemplate(const ConversionSettings& settings, const std::string& sourcePath,
                          int batchNumber) {
    const TagTemplate& t = settings.MP3Tag;
    TagSet tags;
    tags.title = t.TitleAsFileName ? TitleFromFileName(sourcePath) : t.Title;
    tags.artist = t.Artist;
    tags.album = t.Album;
    tags.year = t.Year;
    tags.genre = t.Genre;
    tags.comment = t.Comment;
    tags.composer = t.Composer;
    tags.copyright = t.Copyright;
    int track = 0;
    if (t.TrackNumType == 1) track = batchNumber;
    if (t.TrackNumType == 2) track = t.CustomTrackNum;
    return Render(settings.MP3WriteID3Version, tags, static_cast<std::uint8_t>(track & 0xFF));
}

}  // namespace

std::string TitleFromFileName(const std::string& path) {
    std::string name = FileNamePart(path);
    const auto dot = name.rfind('.');
    if (dot != std::string::npos) name.erase(dot);
    return name;
}

std::uint8_t TrackFromText(const std::string& text) {
    std::size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
    if (i < text.size() && text[i] == '+') ++i;
    // Only the low 8 bits count, and those of a long number are exact when kept modulo 256.
    unsigned value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i)
        value = (value * 10 + static_cast<unsigned>(text[i] - '0')) & 0xFFu;
    return static_cast<std::uint8_t>(value);
}

Mp3TagBlocks ChooseMp3Tags(const ConversionSettings& settings, SourceKind kind, const std::string& sourcePath,
                           AudioSource& source, int batchNumber) {
    switch (settings.MP3ID3TagType) {
        case kTagsFromTemplate:
            return FromTemplate(settings, sourcePath, batchNumber);
        case kTagsFromSource:
            return FromSource(settings, kind, sourcePath, source);
        default:
            return {};
    }
}
