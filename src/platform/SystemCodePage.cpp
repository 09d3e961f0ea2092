#include "platform/SystemCodePage.h"

#include <iconv.h>
#include <langinfo.h>
#include <locale.h>

#include <bit>
#include <cerrno>
#include <cstring>
#include <memory>
#include <mutex>

namespace {

std::mutex g_codePageMutex;
std::string g_codePage;  // empty until first asked: then the locale's codeset

std::string LocaleCodeset() {
    // A private locale object: the process locale (number formats!) stays untouched.
    locale_t loc = ::newlocale(LC_CTYPE_MASK, "", static_cast<locale_t>(nullptr));
    if (!loc) return "ANSI_X3.4-1968";
    std::string codeset = ::nl_langinfo_l(CODESET, loc);
    ::freelocale(loc);
    return codeset.empty() ? std::string("ANSI_X3.4-1968") : codeset;
}

const char* Utf16Name() {
    return std::endian::native == std::endian::little ? "UTF-16LE" : "UTF-16BE";
}

struct IconvCloser {
    void operator()(void* cd) const noexcept { ::iconv_close(static_cast<iconv_t>(cd)); }
};
using UniqueIconv = std::unique_ptr<void, IconvCloser>;

// Converts with iconv; an input unit that does not convert is replaced and skipped, so the
// conversion never fails on content, only on an unusable code set.
std::optional<std::string> Convert(const char* from, const char* to, const char* in, std::size_t inBytes,
                                   std::size_t unit, std::string_view replacement) {
    const bool utf8Input = std::string_view(from) == "UTF-8";
    iconv_t raw = ::iconv_open(to, from);
    if (raw == reinterpret_cast<iconv_t>(-1)) return std::nullopt;
    UniqueIconv cd(raw);
    std::string out;
    char buf[1024];
    char* src = const_cast<char*>(in);
    std::size_t left = inBytes;
    while (left > 0) {
        char* dst = buf;
        std::size_t room = sizeof buf;
        const std::size_t rc = ::iconv(raw, &src, &left, &dst, &room);
        out.append(buf, static_cast<std::size_t>(dst - buf));
        if (rc != static_cast<std::size_t>(-1)) continue;
        if (errno == E2BIG) continue;
        out.append(replacement);
        if (errno == EINVAL) break;  // truncated sequence at the end
        std::size_t skip = left < unit ? left : unit;
        if (utf8Input) {  // a character the code page lacks is one replacement, whatever its length
            const auto lead = static_cast<unsigned char>(*src);
            const std::size_t length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
            skip = 1;
            while (skip < length && skip < left && (static_cast<unsigned char>(src[skip]) & 0xC0) == 0x80)
                ++skip;
        }
        if (unit == 2 && left >= 4) {  // a surrogate pair is one character: one replacement
            char16_t hi, lo;
            std::memcpy(&hi, src, 2);
            std::memcpy(&lo, src + 2, 2);
            if (hi >= 0xD800 && hi < 0xDC00 && lo >= 0xDC00 && lo < 0xE000) skip = 4;
        }
        src += skip;
        left -= skip;
        ::iconv(raw, nullptr, nullptr, nullptr, nullptr);
    }
    char* dst = buf;
    std::size_t room = sizeof buf;
    ::iconv(raw, nullptr, nullptr, &dst, &room);  // shift-state reset for stateful code sets
    out.append(buf, static_cast<std::size_t>(dst - buf));
    return out;
}

}  // namespace

std::string SystemCodePage() {
    std::lock_guard lock(g_codePageMutex);
    if (g_codePage.empty()) g_codePage = LocaleCodeset();
    return g_codePage;
}

void SetSystemCodePage(const std::string& codeset) {
    std::lock_guard lock(g_codePageMutex);
    g_codePage = codeset;
}

std::optional<std::string> Utf16ToSystemCodePage(std::u16string_view text) {
    const std::string cp = SystemCodePage();
    return Convert(Utf16Name(), cp.c_str(), reinterpret_cast<const char*>(text.data()), text.size() * 2, 2,
                   "?");
}

std::optional<std::u16string> SystemCodePageToUtf16(std::string_view text) {
    const std::string cp = SystemCodePage();
    static constexpr char16_t kReplacement = u'\uFFFD';
    const std::string_view replacement(reinterpret_cast<const char*>(&kReplacement), 2);
    auto bytes = Convert(cp.c_str(), Utf16Name(), text.data(), text.size(), 1, replacement);
    if (!bytes) return std::nullopt;
    std::u16string out(bytes->size() / 2, u'\0');
    std::memcpy(out.data(), bytes->data(), out.size() * 2);
    return out;
}

std::optional<std::string> Utf8ToSystemCodePage(std::string_view text) {
    const std::string cp = SystemCodePage();
    return Convert("UTF-8", cp.c_str(), text.data(), text.size(), 1, "?");
}
