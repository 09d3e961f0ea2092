#pragma once
#include <cstdint>
#include <string>

class UserStore;

/// One tag template: the tags written to every file of an output family when the tag choice is 0.
/// Fields carry the names of their stored values.
struct TagTemplate {
    std::int32_t TitleAsFileName = 1;  // 1: title is the source's file name without extension
    std::string Title;
    std::string Artist;
    std::string Album;
    std::string Year;
    std::string Genre;
    std::string Comment;
    std::string Composer;
    std::string Copyright;
    std::int32_t TrackNumType = 0;  // 0 none, 1 number within the batch, 2 CustomTrackNum
    std::int32_t CustomTrackNum = 0;

    bool operator==(const TagTemplate&) const = default;
};

/// Reads the template's subkey (name is "MP3", "OGG", "WMA" or "M4A": subkey "MP3Tag" ...).
/// 0 when the subkey cannot be opened; the template is then unchanged.
int LoadTagTemplate(const UserStore& store, TagTemplate& tmpl, const std::string& name);

/// Writes the template into its subkey, creating it; 0 when that fails. With `stored` (the template as
/// the store held it), only the values that differ from it are written.
int SaveTagTemplate(UserStore& store, const TagTemplate& tmpl, const std::string& name,
                    const TagTemplate* stored = nullptr);
