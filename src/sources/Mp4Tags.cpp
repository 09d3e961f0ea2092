#include "sources/Mp4Tags.h"

#include <taglib/mp4file.h>
#include <taglib/tfilestream.h>

#include "platform/TagLibTables.h"
#include "sources/TextConvert.h"

namespace {

/// One text item into its field; true when the item exists and its text converts.
bool ReadText(const TagLib::MP4::ItemMap& items, const char* key, std::string& field) {
    const auto it = items.find(key);
    if (it == items.end() || !it->second.isValid()) return false;
    const TagLib::StringList texts = it->second.toStringList();
    const std::string utf8 = texts.isEmpty() ? std::string() : texts.front().to8Bit(true);
    std::string ansi;
    if (Utf8ToAnsi(utf8.c_str(), ansi) != 0) return false;
    field = std::move(ansi);
    return true;
}

}  // namespace

int ReadMp4Tags(const std::string& path, TagSet& tags) {
    // Opened read-only: reading tags must never be able to change a source file.
    TagLib::FileStream stream(path.c_str(), true);
    if (!stream.isOpen()) return 0;
    TagLib::MP4::File file(&stream, false);
    if (!file.isValid() || !file.tag()) return 0;
    const TagLib::MP4::ItemMap items = file.tag()->itemMap();

    int found = 0;
    // "\251" is the (c) sign that starts the names of the iTunes text items.
    found |= ReadText(items, "\251nam", tags.title);
    found |= ReadText(items, "\251ART", tags.artist);
    found |= ReadText(items, "\251alb", tags.album);
    found |= ReadText(items, "\251day", tags.year);
    found |= ReadText(items, "\251gen", tags.genre);
    found |= ReadText(items, "\251cmt", tags.comment);
    const auto track = items.find("trkn");
    if (track != items.end() && track->second.isValid())
        tags.track = std::to_string(track->second.toIntPair().first);
    found |= ReadText(items, "\251wrt", tags.composer);
    tags.copyright.clear();
    return found;
}
