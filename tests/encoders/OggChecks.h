#pragma once
// Helpers for checking Ogg Vorbis files with peer tools (oggz-validate, ogginfo, ffprobe) and TagLib.
#include <taglib/tpropertymap.h>
#include <taglib/vorbisfile.h>

#include <cstdint>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "support/TestSupport.h"

namespace oggchecks {

/// oggz-validate and ogginfo both accept the file and ogginfo names no warning.
inline bool ToolsClean(const std::string& path, std::string* report = nullptr) {
    std::string validate, info;
    const int v = testsupport::Run({"oggz-validate", path}, &validate, true);
    const int i = testsupport::Run({"ogginfo", path}, &info, true);
    if (report) *report = validate + info;
    return v == 0 && i == 0 && info.find("WARNING") == std::string::npos &&
           info.find("ERROR") == std::string::npos;
}

struct Page {
    std::uint8_t flags = 0;  // 1 continued, 2 first, 4 last
    std::int64_t granule = 0;
    std::uint32_t serial = 0;
    int packetsEnded = 0;  // lacing values below 255
};

/// The page headers of an Ogg file; stops at the first bytes that are not a page.
inline std::vector<Page> Pages(const std::vector<std::uint8_t>& b) {
    std::vector<Page> pages;
    std::size_t at = 0;
    while (at + 27 <= b.size() && b[at] == 'O' && b[at + 1] == 'g' && b[at + 2] == 'g' && b[at + 3] == 'S') {
        Page p;
        p.flags = b[at + 5];
        std::uint64_t g = 0;
        for (int i = 7; i >= 0; --i) g = g << 8 | b[at + 6 + static_cast<std::size_t>(i)];
        p.granule = static_cast<std::int64_t>(g);
        for (int i = 3; i >= 0; --i) p.serial = p.serial << 8 | b[at + 14 + static_cast<std::size_t>(i)];
        const std::size_t segments = b[at + 26];
        if (at + 27 + segments > b.size()) break;
        std::size_t body = 0;
        for (std::size_t s = 0; s < segments; ++s) {
            body += b[at + 27 + s];
            if (b[at + 27 + s] < 255) ++p.packetsEnded;
        }
        pages.push_back(p);
        at += 27 + segments + body;
    }
    return pages;
}

/// The Vorbis comments as TagLib reads them: field name -> values in UTF-8, and the vendor.
struct Comments {
    std::map<std::string, std::vector<std::string>> fields;
    std::string vendor;
    bool valid = false;
};

inline Comments ReadComments(const std::string& path) {
    Comments c;
    TagLib::Ogg::Vorbis::File f(path.c_str(), false);
    if (!f.isValid() || !f.tag()) return c;
    c.valid = true;
    c.vendor = f.tag()->vendorID().to8Bit(true);
    for (const auto& [key, values] : f.tag()->fieldListMap())
        for (const auto& v : values) c.fields[key.to8Bit(true)].push_back(v.to8Bit(true));
    return c;
}

/// ffprobe's stream tags of the first audio stream: upper-cased key -> value.
inline std::map<std::string, std::string> FfprobeTags(const std::string& path) {
    std::string out;
    testsupport::Run({"ffprobe", "-v", "error", "-select_streams", "a:0", "-show_entries", "stream_tags",
                      "-of", "default=nw=1", path},
                     &out);
    std::map<std::string, std::string> tags;
    std::istringstream lines(out);
    for (std::string line; std::getline(lines, line);) {
        if (line.rfind("TAG:", 0) != 0) continue;
        const auto eq = line.find('=');
        if (eq == std::string::npos) continue;
        std::string key = line.substr(4, eq - 4);
        for (auto& ch : key) ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
        tags[key] = line.substr(eq + 1);
    }
    return tags;
}

}  // namespace oggchecks
