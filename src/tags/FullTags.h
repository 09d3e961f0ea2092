#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

/// One tag field: its standard property name (TITLE, ALBUMARTIST, MUSICBRAINZ_TRACKID, ...) or,
/// for a field without one, the name the source gave it; every value it holds, in UTF-8.
struct TagField {
    std::string name;
    std::vector<std::string> values;
};

/// One embedded picture. The type is numbered as ID3v2, FLAC and ASF number it (3 front cover,
/// 4 back cover).
struct TagPicture {
    int type = 3;
    std::string mime;
    std::string description;  // UTF-8
    std::vector<std::uint8_t> data;
};

inline constexpr int kFrontCover = 3;

/// Every field and picture of a file: fields ordered by name, pictures front cover first.
struct FullTags {
    std::vector<TagField> fields;
    std::vector<TagPicture> pictures;

    bool Empty() const { return fields.empty() && pictures.empty(); }
    /// The field of that name (as stored, upper case); null when absent.
    const TagField* Find(const std::string& name) const;
    /// Drops the fields of that name.
    void Erase(const std::string& name);
};

/// Every tag and picture of a file, read with TagLib without writing to it; empty for a file whose
/// tags TagLib cannot read.
FullTags ReadFullTags(const std::string& path);

/// The picture file a folder keeps for its album: the first of cover, folder and front (.jpg, .jpeg,
/// .png, any case) beside `sourcePath`, as a front cover; none when there is none or it is empty or
/// larger than kMaxPictureBytes.
std::optional<TagPicture> FolderCover(const std::string& sourcePath);

/// Pictures larger than this are not embedded: no tag system holds them well.
inline constexpr std::uint64_t kMaxPictureBytes = 16u << 20;

/// A picture wider or taller than maxPixels, re-encoded as a JPEG scaled to fit (aspect kept);
/// one within the limit, one of a kind that cannot be decoded, or maxPixels <= 0 leaves it unchanged.
void LimitPictureSize(TagPicture& picture, int maxPixels);
