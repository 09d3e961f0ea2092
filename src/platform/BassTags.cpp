#include "platform/BassTags.h"

#include <taglib/commentsframe.h>
#include <taglib/fileref.h>
#include <taglib/id3v2tag.h>
#include <taglib/mpegfile.h>
#include <taglib/tpropertymap.h>

#include <array>
#include <cstring>
#include <string>

#include "platform/Bass.h"
#include "platform/BassLibrary.h"
#include "platform/SystemCodePage.h"
#include "platform/TagLibTables.h"

namespace {

constexpr std::array<const char*, 9> kFields = {"TITL", "ARTI", "ALBM", "GNRE", "YEAR",
                                                "CMNT", "TRCK", "COMP", "COPY"};

std::string First(const TagLib::PropertyMap& props, const char* key) {
    const auto it = props.find(key);
    return it == props.end() || it->second.isEmpty() ? std::string() : it->second.front().to8Bit(true);
}

// Comments written by other tools may sit in any COMM frame: prefer one without a description.
std::string Id3v2Comment(const TagLib::ID3v2::Tag* tag) {
    if (!tag) return {};
    const auto& frames = tag->frameListMap()["COMM"];
    const TagLib::ID3v2::CommentsFrame* chosen = nullptr;
    for (auto* f : frames) {
        auto* c = dynamic_cast<TagLib::ID3v2::CommentsFrame*>(f);
        if (!c) continue;
        if (!chosen || (c->description().isEmpty() && !chosen->description().isEmpty())) chosen = c;
    }
    return chosen ? chosen->text().to8Bit(true) : std::string();
}

// The nine values in kFields order, UTF-8; all empty when the file has no tags.
std::array<std::string, 9> ReadValues(const std::string& path, bool mpeg, bool music) {
    std::array<std::string, 9> v;
    if (mpeg) {
        // Opened as MPEG whatever the extension, as the decoder did.
        TagLib::MPEG::File file(path.c_str(), false);
        if (!file.isValid() || !file.tag()) return v;
        const TagLib::Tag* tag = file.tag();
        const TagLib::PropertyMap props = file.properties();
        v = {tag->title().to8Bit(true),   tag->artist().to8Bit(true), tag->album().to8Bit(true),
             tag->genre().to8Bit(true),   First(props, "DATE"),       Id3v2Comment(file.ID3v2Tag()),
             First(props, "TRACKNUMBER"), First(props, "COMPOSER"),   First(props, "COPYRIGHT")};
        if (v[5].empty()) v[5] = First(props, "COMMENT");  // ffmpeg writes a TXXX "comment" frame
        if (v[5].empty()) v[5] = tag->comment().to8Bit(true);
        if (v[4].empty() && tag->year() > 0) v[4] = std::to_string(tag->year());
        if (v[6].empty() && tag->track() > 0) v[6] = std::to_string(tag->track());
        return v;
    }
    TagLib::FileRef ref(path.c_str(), false);
    if (ref.isNull() || !ref.tag()) return v;
    const TagLib::Tag* tag = ref.tag();
    if (music) {
        // A module's "comment" is its list of sample names: only the song title is a tag.
        v[0] = tag->title().to8Bit(true);
        return v;
    }
    const TagLib::PropertyMap props = ref.file()->properties();
    v = {tag->title().to8Bit(true),   tag->artist().to8Bit(true), tag->album().to8Bit(true),
         tag->genre().to8Bit(true),   First(props, "DATE"),       tag->comment().to8Bit(true),
         First(props, "TRACKNUMBER"), First(props, "COMPOSER"),   First(props, "COPYRIGHT")};
    if (v[4].empty() && tag->year() > 0) v[4] = std::to_string(tag->year());
    if (v[6].empty() && tag->track() > 0) v[6] = std::to_string(tag->track());
    return v;
}

bool IsMpeg(std::uint32_t ctype) {
    return ctype == BASS_CTYPE_STREAM_MP1 || ctype == BASS_CTYPE_STREAM_MP2 || ctype == BASS_CTYPE_STREAM_MP3;
}

}  // namespace

const char* TAGS_Read(std::uint32_t handle, const char* format) {
    std::string path;
    bool mpeg = false;
    bool music = false;
    {
        auto locked = LockBassLibrary();
        BassChannel* ch = locked.library ? locked.library->Find(handle) : nullptr;
        if (!ch || !format) return "";
        path = ch->Path();
        mpeg = IsMpeg(ch->Info().ctype);
        music = ch->Info().music;
    }
    auto values = ReadValues(path, mpeg, music);
    bool any = false;
    for (auto& value : values) {
        if (value.empty()) continue;
        any = true;
        if (mpeg) value = Utf8ToSystemCodePage(value).value_or(std::string());
    }
    std::string text;
    if (any) {
        for (const char* p = format; *p;) {
            bool replaced = false;
            if (*p == '%' && std::strlen(p) >= 5) {
                for (std::size_t i = 0; i < kFields.size(); ++i) {
                    if (std::strncmp(p + 1, kFields[i], 4) == 0) {
                        text += values[i];
                        p += 5;
                        replaced = true;
                        break;
                    }
                }
            }
            if (!replaced) text += *p++;
        }
    }
    // Like the library's own buffer, the text stays until the next call, here of the same thread,
    // so files reading their tags side by side do not overwrite each other's.
    thread_local std::string tagsText;
    tagsText = std::move(text);
    return tagsText.c_str();
}
