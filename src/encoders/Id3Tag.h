#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "sources/TagSet.h"

/// Size of every ID3v1 block.
inline constexpr std::size_t kId3v1Bytes = 128;

/// The TCON text of an ID3v1 tag: "(n)" with the genre's number, found without regard to case,
/// or "(12)" (Other) for a name that has no number.
std::string Id3v1GenreText(const std::string& genre);

/// Renders an ID3 tag with id3lib through a temporary file ("cvt..." in the user's temporary
/// folder, always removed): version 1 gives an ID3v1 block, 2 an ID3v2.3 block. The texts come
/// from `tags` (its track text is not used), in the system code page; an ID3v2 frame holds its
/// text as ISO-8859-1 when every character fits and as UTF-16 with a byte-order mark otherwise,
/// an ID3v1 field as ISO-8859-1 with "?" for what does not fit. TRCK is written only for a nonzero track, as
/// "track/total" when total is nonzero. Empty when nothing whole could be rendered: an ID3v1
/// result is always exactly 128 bytes, an ID3v2 result exactly the size its header states.
std::vector<std::uint8_t> BuildId3Tag(int version, const TagSet& tags, std::uint8_t track,
                                      std::uint8_t trackTotal);
