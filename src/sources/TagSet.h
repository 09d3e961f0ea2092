#pragma once
#include <string>

/// The nine tag texts, in the fixed order the readers and writers use; system code page.
struct TagSet {
    std::string title;
    std::string artist;
    std::string album;
    std::string year;
    std::string genre;
    std::string comment;
    std::string track;
    std::string composer;
    std::string copyright;
};
