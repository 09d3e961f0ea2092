#include "encoders/Id3Tag.h"

#include <id3/tag.h>
#include <strings.h>
#include <unistd.h>

#include <algorithm>
#include <bit>
#include <cstdio>
#include <cstring>
#include <memory>

#include "platform/Paths.h"
#include "platform/SystemCodePage.h"
#include "platform/UniqueFile.h"
#include "settings/GenreNames.h"

namespace {

constexpr int kGenreOther = 12;

/// A file made with mkstemp and removed, whatever happens, when this goes out of scope.
class TempTagFile {
public:
    TempTagFile() {
        std::string pattern = TempFolder() + "/cvtXXXXXX";
        const int fd = ::mkstemp(pattern.data());
        if (fd < 0) return;
        ::close(fd);  // id3lib reopens it by name
        m_path = std::move(pattern);
    }
    ~TempTagFile() {
        if (!m_path.empty()) ::unlink(m_path.c_str());
    }
    TempTagFile(const TempTagFile&) = delete;
    TempTagFile& operator=(const TempTagFile&) = delete;
    const std::string& Path() const { return m_path; }

private:
    std::string m_path;
};

/// A tag text as the frames store it: ISO-8859-1 bytes when every character fits (always for
/// ID3v1, where the others become "?"), else UTF-16.
struct FrameText {
    bool wide = false;
    std::string latin1;
    std::u16string utf16;
};

FrameText ToFrameText(const std::string& text, bool id3v1) {
    // Tag texts are in the system code page; an unusable code page passes the bytes as they are.
    const auto converted = SystemCodePageToUtf16(text);
    const std::u16string utf16 = converted ? *converted : std::u16string(text.begin(), text.end());
    FrameText out;
    for (std::size_t i = 0; i < utf16.size(); ++i) {
        const char16_t c = utf16[i];
        if (c <= 0xFF) {
            out.latin1 += static_cast<char>(c);
            continue;
        }
        if (!id3v1) {
            out.wide = true;
            out.utf16 = utf16;
            return out;
        }
        out.latin1 += '?';
        // A surrogate pair is one character: one "?".
        if (c >= 0xD800 && c < 0xDC00 && i + 1 < utf16.size() && utf16[i + 1] >= 0xDC00 &&
            utf16[i + 1] < 0xE000)
            ++i;
    }
    return out;
}

void SetText(ID3_Field& field, const FrameText& text) {
    if (!text.wide) {
        field.Set(text.latin1.c_str());
        return;
    }
    field.SetEncoding(ID3TE_UTF16);
    // id3lib writes the byte-order mark in machine order but the units with their bytes swapped
    // (big-endian data after "FF FE" on this machine); swapping them first makes the two agree.
    std::vector<unicode_t> units(text.utf16.begin(), text.utf16.end());
    if constexpr (std::endian::native == std::endian::little)
        for (unicode_t& u : units) u = static_cast<unicode_t>(u << 8 | u >> 8);
    units.push_back(0);
    field.Set(units.data());
}

void AttachText(ID3_Tag& tag, ID3_FrameID id, const std::string& text, bool id3v1) {
    const FrameText t = ToFrameText(text, id3v1);
    auto frame = std::make_unique<ID3_Frame>(id);
    if (t.wide) frame->GetField(ID3FN_TEXTENC)->Set(ID3TE_UTF16);
    SetText(*frame->GetField(ID3FN_TEXT), t);
    // AttachFrame takes ownership; AddFrame would copy and leak the original.
    tag.AttachFrame(frame.release());
}

void AttachComment(ID3_Tag& tag, const std::string& text, bool id3v1) {
    const FrameText t = ToFrameText(text, id3v1);
    auto frame = std::make_unique<ID3_Frame>(ID3FID_COMMENT);
    if (t.wide) {
        frame->GetField(ID3FN_TEXTENC)->Set(ID3TE_UTF16);
        frame->GetField(ID3FN_DESCRIPTION)->SetEncoding(ID3TE_UTF16);
    }
    frame->GetField(ID3FN_LANGUAGE)->Set("XXX");
    frame->GetField(ID3FN_DESCRIPTION)->Set("");
    SetText(*frame->GetField(ID3FN_TEXT), t);
    tag.AttachFrame(frame.release());
}

std::uint32_t Be32(const std::uint8_t* p) {
    return std::uint32_t{p[0]} << 24 | std::uint32_t{p[1]} << 16 | std::uint32_t{p[2]} << 8 | p[3];
}

/// id3lib writes an empty UTF-16 text as its terminator alone; readers such as FFmpeg's then
/// reject the whole COMM frame. Gives each such empty description its byte-order mark.
void MarkEmptyUtf16Descriptions(std::vector<std::uint8_t>& block) {
    constexpr std::size_t kHeader = 10;
    std::size_t at = kHeader;
    while (at + kHeader <= block.size() && block[at] != 0) {
        const std::size_t size = Be32(&block[at + 4]);
        if (at + kHeader + size > block.size()) return;
        const std::size_t data = at + kHeader;
        const bool emptyWideDescription =
            std::equal(block.begin() + static_cast<std::ptrdiff_t>(at),
                       block.begin() + static_cast<std::ptrdiff_t>(at + 4), "COMM") &&
            size >= 6 && block[data] == ID3TE_UTF16 && block[data + 4] == 0 && block[data + 5] == 0;
        if (emptyWideDescription) {
            const std::uint16_t bom = 0xFEFF;  // machine order, as id3lib marks the texts
            std::uint8_t mark[2];
            std::memcpy(mark, &bom, 2);
            block.insert(block.begin() + static_cast<std::ptrdiff_t>(data + 4), mark, mark + 2);
            const std::uint32_t grown = static_cast<std::uint32_t>(size + 2);
            for (int i = 0; i < 4; ++i)
                block[at + 4 + static_cast<std::size_t>(i)] =
                    static_cast<std::uint8_t>(grown >> (24 - 8 * i));
            std::uint32_t tagSize = 0;
            for (int i = 6; i < 10; ++i)
                tagSize = (tagSize << 7) | (block[static_cast<std::size_t>(i)] & 0x7Fu);
            tagSize += 2;
            for (int i = 9; i >= 6; --i, tagSize >>= 7)
                block[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(tagSize & 0x7F);
            return;
        }
        at = data + size;
    }
}

std::vector<std::uint8_t> ReadWhole(const std::string& path) {
    UniqueFile in = OpenFile(path.c_str(), "rb");
    if (!in || std::fseek(in.get(), 0, SEEK_END) != 0) return {};
    const long size = std::ftell(in.get());
    if (size <= 0 || std::fseek(in.get(), 0, SEEK_SET) != 0) return {};
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(size));
    if (std::fread(bytes.data(), 1, bytes.size(), in.get()) != bytes.size()) return {};
    return bytes;
}

/// True when the block is one whole ID3v2 tag: its header's size covers exactly the bytes read.
bool Id3v2SizeMatches(const std::vector<std::uint8_t>& block) {
    constexpr std::size_t kHeader = 10;
    if (block.size() < kHeader || block[0] != 'I' || block[1] != 'D' || block[2] != '3') return false;
    std::uint64_t size = 0;
    for (int i = 6; i < 10; ++i) size = (size << 7) | (block[static_cast<std::size_t>(i)] & 0x7Fu);
    const bool footer = (block[5] & 0x10) != 0;
    return block.size() == kHeader + size + (footer ? kHeader : 0);
}

}  // namespace

std::string Id3v1GenreText(const std::string& genre) {
    int number = kGenreOther;
    for (std::size_t i = 0; i < kGenreNames.size(); ++i) {
        if (::strcasecmp(genre.c_str(), kGenreNames[i]) == 0) {
            number = static_cast<int>(i);
            break;
        }
    }
    return "(" + std::to_string(number) + ")";
}

std::vector<std::uint8_t> BuildId3Tag(int version, const TagSet& tags, std::uint8_t track,
                                      std::uint8_t trackTotal) {
    const TempTagFile file;
    if (file.Path().empty()) return {};
    std::vector<std::uint8_t> block;
    {
        ID3_Tag tag;
        tag.Link(file.Path().c_str());
        const bool v1 = version == 1;
        AttachText(tag, ID3FID_TITLE, tags.title, v1);
        AttachText(tag, ID3FID_LEADARTIST, tags.artist, v1);
        AttachText(tag, ID3FID_ALBUM, tags.album, v1);
        AttachText(tag, ID3FID_YEAR, tags.year, v1);
        AttachText(tag, ID3FID_CONTENTTYPE, v1 ? Id3v1GenreText(tags.genre) : tags.genre, v1);
        if (!tags.composer.empty()) AttachText(tag, ID3FID_COMPOSER, tags.composer, v1);
        if (!tags.copyright.empty()) AttachText(tag, ID3FID_COPYRIGHT, tags.copyright, v1);
        AttachComment(tag, tags.comment, v1);
        if (track != 0) {
            const std::string text = trackTotal != 0
                                         ? std::to_string(track) + "/" + std::to_string(trackTotal)
                                         : std::to_string(track);
            AttachText(tag, ID3FID_TRACKNUM, text, v1);
        }
        tag.Update(version == 1 ? ID3TT_ID3V1 : ID3TT_ID3V2);
        block = ReadWhole(file.Path());
    }
    // A failed id3lib run (a full disk, say) can leave a cut-off file; a partial tag is no tag.
    if (version == 1) return block.size() == kId3v1Bytes ? block : std::vector<std::uint8_t>();
    if (!Id3v2SizeMatches(block)) return {};
    MarkEmptyUtf16Descriptions(block);
    return block;
}
