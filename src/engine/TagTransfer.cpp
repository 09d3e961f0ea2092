#include "engine/TagTransfer.h"

#include <new>

#include "engine/ConversionJob.h"
#include "engine/OutputFormats.h"
#include "engine/TagChoice.h"
#include "settings/ConversionSettings.h"
#include "tags/FullTags.h"
#include "tags/TagWriters.h"

namespace {

// The fields the tag template fills.
constexpr const char* kTemplateFields[] = {"TITLE",   "ARTIST",      "ALBUM",    "DATE",     "GENRE",
                                           "COMMENT", "TRACKNUMBER", "COMPOSER", "COPYRIGHT"};

// They describe how the source was encoded, which is not true of the output.
constexpr const char* kSourceOnlyFields[] = {"ENCODER", "ENCODING"};

}  // namespace

int TransferTags(const ConversionJob& job, const OutputFormatInfo& row) {
    const ConversionSettings& s = job.settings;
    if (!s.TransferAllTags || row.tagSystem == TagSystem::None) return 1;
    // A format without a tag choice of its own carries the source's tags.
    const int tagType = row.common.tagType ? s.*row.common.tagType : kTagsFromSource;
    if (tagType != kTagsFromTemplate && tagType != kTagsFromSource) return 1;
    if (row.tagSystem == TagSystem::Id3v2) {
        if (s.MP3WriteID3Version == 0) return 1;  // an ID3v1 block has no room for more
        // An MP3 source's own ID3 blocks were copied whole, pictures and all.
        if (tagType == kTagsFromSource && job.kind == kKindMp3) return 1;
    }
    try {
        FullTags tags = ReadFullTags(job.sourcePath);
        for (const char* name : kSourceOnlyFields) tags.Erase(name);
        // MP4's encoding-tool atom reads as ENCODEDBY.
        if (job.kind == kKindMp4 || job.kind == kKindM4a) tags.Erase("ENCODEDBY");
        // A track without a positive number gets none, as the formats' own track rules say.
        if (const TagField* track = tags.Find("TRACKNUMBER");
            track && LeadingTrackNumber(track->values.front()) <= 0)
            tags.Erase("TRACKNUMBER");
        if (tagType == kTagsFromTemplate)
            for (const char* name : kTemplateFields) tags.Erase(name);
        if (tags.pictures.empty() && s.FolderCoverArt)
            if (std::optional<TagPicture> cover = FolderCover(job.sourcePath))
                tags.pictures.push_back(std::move(*cover));
        for (TagPicture& p : tags.pictures) LimitPictureSize(p, s.MaxPictureSize);
        const TagWriteOptions options{s.ID3v2Version, s.WavId3Chunk != 0};
        return WriteFullTags(row.tagSystem, job.outputPath, tags, options);
    } catch (const std::bad_alloc&) {
        return 0;
    }
}
