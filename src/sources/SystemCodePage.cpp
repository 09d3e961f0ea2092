#include "sources/SystemCodePage.h"

#include <iconv.h>
#include <langinfo.h>

#include <cerrno>
#include <cstdint>
#include <memory>
#include <vector>

namespace {

struct IconvCloser {
    void operator()(iconv_t cd) const { iconv_close(cd); }
};
using UniqueIconv = std::unique_ptr<std::remove_pointer_t<iconv_t>, IconvCloser>;

// Lenient decode of the one to four byte forms; continuation bytes are not checked.
std::vector<std::uint32_t> DecodeUtf8(const std::string& text) {
    std::vector<std::uint32_t> out;
    out.reserve(text.size());
    const auto* p = reinterpret_cast<const unsigned char*>(text.data());
    const std::size_t n = text.size();
    for (std::size_t i = 0; i < n;) {
        const unsigned b = p[i];
        if (b < 0x80) {
            out.push_back(b);
            i += 1;
        } else if (b < 0xE0) {
            if (i + 1 >= n) break;
            out.push_back(((b & 0x3Fu) << 6) | (p[i + 1] & 0x3Fu));
            i += 2;
        } else if (b >= 0xF0) {
            // Four-byte forms (beyond the 16-bit range) are kept whole rather than split into junk.
            if (i + 3 >= n) break;
            out.push_back(((b & 0x07u) << 18) | ((p[i + 1] & 0x3Fu) << 12) | ((p[i + 2] & 0x3Fu) << 6) |
                          (p[i + 3] & 0x3Fu));
            i += 4;
        } else {
            if (i + 2 >= n) break;
            out.push_back(((b & 0x0Fu) << 12) | ((p[i + 1] & 0x3Fu) << 6) | (p[i + 2] & 0x3Fu));
            i += 3;
        }
    }
    return out;
}

}  // namespace

std::optional<std::string> Utf8ToSystemCodePage(const std::string& utf8) {
    const char* codeset = nl_langinfo(CODESET);
    UniqueIconv cd(iconv_open(codeset && *codeset ? codeset : "ASCII", "UTF-32LE"));
    if (cd.get() == reinterpret_cast<iconv_t>(-1)) {
        cd.release();
        return std::nullopt;
    }
    std::vector<std::uint32_t> chars = DecodeUtf8(utf8);
    std::vector<unsigned char> in;
    in.reserve(chars.size() * 4);
    for (std::uint32_t c : chars)
        for (int k = 0; k < 4; ++k) in.push_back(static_cast<unsigned char>(c >> (8 * k)));

    std::string result;
    char* inPtr = reinterpret_cast<char*>(in.data());
    std::size_t inLeft = in.size();
    char buf[256];
    while (inLeft > 0) {
        char* outPtr = buf;
        std::size_t outLeft = sizeof buf;
        const std::size_t rc = iconv(cd.get(), &inPtr, &inLeft, &outPtr, &outLeft);
        result.append(buf, static_cast<std::size_t>(outPtr - buf));
        if (rc != static_cast<std::size_t>(-1)) continue;
        if (errno == E2BIG) continue;
        // Unmappable character or lone surrogate: substitute, as the system's default character does.
        result.push_back('?');
        const std::size_t skip = inLeft < 4 ? inLeft : 4;
        inPtr += skip;
        inLeft -= skip;
    }
    char* outPtr = buf;
    std::size_t outLeft = sizeof buf;
    iconv(cd.get(), nullptr, nullptr, &outPtr, &outLeft);
    result.append(buf, static_cast<std::size_t>(outPtr - buf));
    return result;
}
