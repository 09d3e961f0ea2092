#include "sources/TextConvert.h"

#include <cstdint>

#include "platform/SystemCodePage.h"

namespace {

void AppendUtf16(std::u16string& out, std::uint32_t cp) {
    if (cp >= 0x10000 && cp <= 0x10FFFF) {
        cp -= 0x10000;
        out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
        out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
    } else {
        out.push_back(static_cast<char16_t>(cp > 0x10FFFF ? 0xFFFD : cp));
    }
}

}  // namespace

int Utf8ToAnsi(const char* utf8, std::string& ansi) {
    if (!utf8) return -1;
    // Decoded without validation, so text in another code page still yields something; only
    // the terminating zero is never read past.
    std::u16string wide;
    const auto* p = reinterpret_cast<const unsigned char*>(utf8);
    while (*p) {
        const unsigned lead = *p++;
        int trail = lead < 0x80 ? 0 : lead < 0xE0 ? 1 : lead < 0xF0 ? 2 : 3;
        std::uint32_t cp = trail == 0   ? lead
                           : trail == 1 ? (lead & 0x3F)
                           : trail == 2 ? (lead & 0x0F)
                                        : (lead & 0x07);
        bool cut = false;
        for (; trail > 0; --trail) {
            if (!*p) {
                cut = true;
                break;
            }
            cp = cp << 6 | (*p++ & 0x3F);
        }
        AppendUtf16(wide, cut ? 0xFFFD : cp);
    }
    auto converted = Utf16ToSystemCodePage(wide);
    if (!converted) return -1;
    ansi = std::move(*converted);
    return 0;
}

int AnsiToUtf8(const char* ansi, std::string& utf8) {
    if (!ansi || !*ansi) return -1;
    const auto wide = SystemCodePageToUtf16(ansi);
    if (!wide || wide->empty()) return -1;
    std::string out;
    for (std::size_t i = 0; i < wide->size(); ++i) {
        std::uint32_t c = (*wide)[i];
        // A surrogate pair is one character: four bytes, never two three-byte halves.
        if (c >= 0xD800 && c < 0xDC00 && i + 1 < wide->size() && (*wide)[i + 1] >= 0xDC00 &&
            (*wide)[i + 1] < 0xE000)
            c = 0x10000 + ((c - 0xD800) << 10) + ((*wide)[++i] - 0xDC00);
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (c < 0x800) {
            out += static_cast<char>(0xC0 | c >> 6);
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out += static_cast<char>(0xE0 | c >> 12);
            out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | c >> 18);
            out += static_cast<char>(0x80 | (c >> 12 & 0x3F));
            out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    utf8 = std::move(out);
    return 0;
}
