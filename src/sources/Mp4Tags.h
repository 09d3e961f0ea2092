#pragma once
#include <string>

#include "sources/TagSet.h"

/// Reads the iTunes-style metadata of an MP4/M4A/M4B file (title, artist, album, year, genre,
/// comment, track number, composer) into `tags`, converted to the system code page; copyright is
/// emptied. Items the file lacks leave their fields as they were. Nonzero when at least one text
/// item was found: a track number alone is filled in but does not count.
int ReadMp4Tags(const std::string& path, TagSet& tags);
