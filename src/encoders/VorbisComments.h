#pragma once
#include <string>
#include <utility>
#include <vector>

#include "sources/TagSet.h"

/// The tag texts as Vorbis comment fields in UTF-8, for the formats that carry Vorbis comments.
/// Empty texts and texts that do not convert are left out, and so is a track whose leading number
/// is not above 0.
std::vector<std::pair<const char*, std::string>> VorbisCommentFields(const TagSet& tags);
