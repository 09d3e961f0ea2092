#include "encoders/Mp3Tags.h"

#include "encoders/Id3Tag.h"
#include "engine/ConversionFrame.h"
#include "engine/TagChoice.h"
#include "settings/ConversionSettings.h"
#include "sources/AudioSource.h"

namespace {

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

}  // namespace

Mp3TagBlocks ChooseMp3Tags(const ConversionSettings& settings, SourceKind kind, const std::string& sourcePath,
                           AudioSource& source, int batchNumber) {
    // An MP3 source keeps its own ID3 blocks byte for byte.
    if (settings.MP3ID3TagType == kTagsFromSource && kind == kKindMp3) return CopyRawBlocks(source);
    const std::optional<TagSet> tags =
        ChooseTags(settings.MP3ID3TagType, settings.MP3Tag, kind, sourcePath, batchNumber, source);
    if (!tags) return {};
    return Render(settings.MP3WriteID3Version, *tags, TrackFromText(tags->track));
}

Mp3TagBlocks Mp3TagsFor(const ConversionSettings& settings, SourceKind kind, AudioSource& source,
                        ChosenTags& tags) {
    if (settings.MP3ID3TagType == kTagsFromSource && kind == kKindMp3) return CopyRawBlocks(source);
    const std::optional<TagSet>& chosen = tags.Get();
    if (!chosen) return {};
    return Render(settings.MP3WriteID3Version, *chosen, TrackFromText(chosen->track));
}
