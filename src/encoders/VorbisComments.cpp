#include "encoders/VorbisComments.h"

#include "engine/TagChoice.h"
#include "sources/TextConvert.h"

std::vector<std::pair<const char*, std::string>> VorbisCommentFields(const TagSet& tags) {
    const std::pair<const char*, const std::string*> fields[] = {
        {"TITLE", &tags.title},       {"ARTIST", &tags.artist},       {"ALBUM", &tags.album},
        {"DATE", &tags.year},         {"GENRE", &tags.genre},         {"COMMENT", &tags.comment},
        {"COMPOSER", &tags.composer}, {"COPYRIGHT", &tags.copyright}, {"TRACKNUMBER", &tags.track},
    };
    std::vector<std::pair<const char*, std::string>> out;
    for (const auto& [field, text] : fields) {
        if (text == &tags.track && LeadingTrackNumber(tags.track) <= 0) continue;
        std::string utf8;
        if (AnsiToUtf8(text->c_str(), utf8) != 0 || utf8.empty()) continue;
        out.emplace_back(field, std::move(utf8));
    }
    return out;
}
