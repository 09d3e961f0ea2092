#include "platform/wmf/WmHeaderAttributes.h"

#include <taglib/asffile.h>
#include <taglib/asftag.h>

#include <array>
#include <climits>
#include <cstdio>
#include <cstring>
#include <fstream>

#include "platform/TagLibTables.h"
#include "platform/UniqueFile.h"

namespace {

// Title, Author, Copyright and Description live in the content description; asking TagLib for
// them as extended attributes would miss them.
enum class Field { Title, Author, Copyright, Description, None };
Field ContentField(const std::string& name) {
    if (name == "Title") return Field::Title;
    if (name == "Author") return Field::Author;
    if (name == "Copyright") return Field::Copyright;
    if (name == "Description") return Field::Description;
    return Field::None;
}

std::uint64_t Le(const std::uint8_t* p, int bytes) {
    std::uint64_t v = 0;
    for (int i = bytes - 1; i >= 0; --i) v = v << 8 | p[i];
    return v;
}

void PutLe(std::vector<std::uint8_t>& out, std::uint64_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}

TagLib::String FromUtf16(const std::vector<std::uint8_t>& bytes) {
    std::size_t n = bytes.size() & ~std::size_t{1};
    while (n >= 2 && bytes[n - 1] == 0 && bytes[n - 2] == 0) n -= 2;  // terminators
    if (n == 0) return {};
    return TagLib::String(
        TagLib::ByteVector(reinterpret_cast<const char*>(bytes.data()), static_cast<unsigned>(n)),
        TagLib::String::UTF16LE);
}

std::vector<std::uint8_t> StringValue(const TagLib::String& text) {
    return Utf16Bytes(text.to8Bit(true), true);
}

WmAttribute FromTagLib(const std::string& name, const TagLib::ASF::Attribute& a) {
    WmAttribute out{name, WmAttrType::Binary, {}};
    switch (a.type()) {
        case TagLib::ASF::Attribute::UnicodeType:
            out.type = WmAttrType::String;
            out.value = StringValue(a.toString());
            break;
        case TagLib::ASF::Attribute::DWordType:
            out.type = WmAttrType::Dword;
            PutLe(out.value, a.toUInt(), 4);
            break;
        case TagLib::ASF::Attribute::QWordType:
            out.type = WmAttrType::Qword;
            PutLe(out.value, a.toULongLong(), 8);
            break;
        case TagLib::ASF::Attribute::WordType:
            out.type = WmAttrType::Word;
            PutLe(out.value, a.toUShort(), 2);
            break;
        case TagLib::ASF::Attribute::BoolType:
            out.type = WmAttrType::Bool;
            PutLe(out.value, a.toBool() ? 1 : 0, 4);
            break;
        case TagLib::ASF::Attribute::GuidType:
            out.type = WmAttrType::Guid;
            [[fallthrough]];
        default: {
            const TagLib::ByteVector bytes = a.toByteVector();
            out.value.assign(bytes.begin(), bytes.end());
            break;
        }
    }
    return out;
}

constexpr std::array<std::uint8_t, 16> kHeaderObject = {0x30, 0x26, 0xB2, 0x75, 0x8E, 0x66, 0xCF, 0x11,
                                                        0xA6, 0xD9, 0x00, 0xAA, 0x00, 0x62, 0xCE, 0x6C};
constexpr std::array<std::uint8_t, 16> kFilePropertiesObject = {
    0xA1, 0xDC, 0xAB, 0x8C, 0x47, 0xA9, 0xCF, 0x11, 0x8E, 0xE4, 0x00, 0xC0, 0x0C, 0x20, 0x53, 0x65};

bool StoreWithTagLib(const std::string& path, const std::vector<WmAttribute>& attributes);

constexpr std::uint64_t kObjectHeader = 24;  // GUID and 64-bit size

/// Where the top-level objects of an ASF file lie: the header's size and the File Properties
/// Object's offset. Nothing unless the objects, from the header on, cover the file exactly.
struct AsfLayout {
    std::uint64_t headerSize = 0;
    std::uint64_t fileProperties = 0;
};

std::optional<AsfLayout> WalkAsf(std::FILE* file) {
    if (std::fseek(file, 0, SEEK_END) != 0) return std::nullopt;
    const long end = std::ftell(file);
    if (end < 0) return std::nullopt;
    const auto fileSize = static_cast<std::uint64_t>(end);
    auto readAt = [file](std::uint64_t at, std::uint8_t* into, std::size_t n) {
        return at <= static_cast<std::uint64_t>(LONG_MAX) &&
               std::fseek(file, static_cast<long>(at), SEEK_SET) == 0 && std::fread(into, 1, n, file) == n;
    };
    std::uint8_t object[kObjectHeader];
    if (!readAt(0, object, sizeof object) || std::memcmp(object, kHeaderObject.data(), 16) != 0)
        return std::nullopt;
    AsfLayout layout;
    layout.headerSize = Le(object + 16, 8);
    if (layout.headerSize < 30 || layout.headerSize > fileSize) return std::nullopt;
    for (std::uint64_t at = 30; at + kObjectHeader <= layout.headerSize;) {
        if (!readAt(at, object, sizeof object)) return std::nullopt;
        const std::uint64_t size = Le(object + 16, 8);
        if (size < kObjectHeader || size > layout.headerSize - at) return std::nullopt;
        if (std::memcmp(object, kFilePropertiesObject.data(), 16) == 0) {
            if (size < kObjectHeader + 24) return std::nullopt;
            layout.fileProperties = at;
        }
        at += size;
    }
    if (layout.fileProperties == 0) return std::nullopt;
    // The data object and the indexes follow, back to back, up to the end of the file.
    std::uint64_t at = layout.headerSize;
    while (at < fileSize) {
        if (fileSize - at < kObjectHeader || !readAt(at, object, sizeof object)) return std::nullopt;
        const std::uint64_t size = Le(object + 16, 8);
        if (size < kObjectHeader || size > fileSize - at) return std::nullopt;
        at += size;
    }
    return layout;
}

/// After a rewrite of the header: checks that the file is whole and is the old one with the new
/// header (oldSize - oldHeader + the new header's size), then makes the File Properties Object
/// state that size, as an ASF file without the broadcast flag must. False otherwise.
bool SettleAsfFileSize(const std::string& path, std::uint64_t oldSize, std::uint64_t oldHeader) {
    UniqueFile file = OpenFile(path.c_str(), "r+b");
    if (!file) return false;
    const std::optional<AsfLayout> layout = WalkAsf(file.get());
    if (!layout || std::fseek(file.get(), 0, SEEK_END) != 0) return false;
    const std::uint64_t size = oldSize - oldHeader + layout->headerSize;
    if (static_cast<std::uint64_t>(std::ftell(file.get())) != size) return false;
    std::vector<std::uint8_t> stated;
    PutLe(stated, size, 8);
    // The file size follows the object's header and the file id (16 bytes).
    const bool ok = std::fseek(file.get(), static_cast<long>(layout->fileProperties + kObjectHeader + 16),
                               SEEK_SET) == 0 &&
                    std::fwrite(stated.data(), 1, stated.size(), file.get()) == stated.size();
    return std::fclose(file.release()) == 0 && ok;
}

}  // namespace

std::vector<std::uint8_t> Utf16Bytes(const std::string& utf8, bool terminator) {
    const TagLib::ByteVector units = TagLib::String(utf8, TagLib::String::UTF8).data(TagLib::String::UTF16LE);
    std::vector<std::uint8_t> out(units.begin(), units.end());
    if (terminator) out.insert(out.end(), {0, 0});
    return out;
}

bool StoreAsfAttributes(const std::string& path, const std::vector<WmAttribute>& attributes) {
    // TagLib rewrites only the header and neither updates the file size it states nor reports a
    // write that failed (a full disk cut the file and the save still succeeded).
    std::uint64_t oldSize = 0, oldHeader = 0;
    {
        UniqueFile file = OpenFile(path.c_str(), "rb");
        const std::optional<AsfLayout> layout = file ? WalkAsf(file.get()) : std::nullopt;
        if (!layout || std::fseek(file.get(), 0, SEEK_END) != 0) return false;
        oldSize = static_cast<std::uint64_t>(std::ftell(file.get()));
        oldHeader = layout->headerSize;
    }
    return StoreWithTagLib(path, attributes) && SettleAsfFileSize(path, oldSize, oldHeader);
}

namespace {

bool StoreWithTagLib(const std::string& path, const std::vector<WmAttribute>& attributes) {
    TagLib::ASF::File file(path.c_str(), false);
    if (!file.isValid() || !file.tag()) return false;
    TagLib::ASF::Tag& tag = *file.tag();
    for (const WmAttribute& a : attributes) {
        if (a.value.empty()) continue;
        if (a.type == WmAttrType::String) {
            const TagLib::String text = FromUtf16(a.value);
            if (text.isEmpty()) continue;
            switch (ContentField(a.name)) {
                case Field::Title:
                    tag.setTitle(text);
                    break;
                case Field::Author:
                    tag.setArtist(text);
                    break;
                case Field::Copyright:
                    tag.setCopyright(text);
                    break;
                case Field::Description:
                    tag.setComment(text);
                    break;
                case Field::None:
                    tag.setAttribute(a.name, TagLib::ASF::Attribute(text));
                    break;
            }
        } else if (a.type == WmAttrType::Dword && a.value.size() == 4) {
            tag.setAttribute(a.name, TagLib::ASF::Attribute(static_cast<unsigned>(Le(a.value.data(), 4))));
        } else if (a.type == WmAttrType::Qword && a.value.size() == 8) {
            tag.setAttribute(a.name,
                             TagLib::ASF::Attribute(static_cast<unsigned long long>(Le(a.value.data(), 8))));
        } else if (a.type == WmAttrType::Binary) {
            tag.setAttribute(a.name, TagLib::ASF::Attribute(
                                         TagLib::ByteVector(reinterpret_cast<const char*>(a.value.data()),
                                                            static_cast<unsigned>(a.value.size()))));
        }
    }
    return file.save();
}

}  // namespace

std::vector<WmAttribute> ReadAsfAttributes(const std::string& path) {
    std::vector<WmAttribute> out;
    {
        TagLib::ASF::File file(path.c_str(), false);
        if (file.isValid() && file.tag()) {
            TagLib::ASF::Tag& tag = *file.tag();
            const std::pair<const char*, TagLib::String> content[] = {{"Title", tag.title()},
                                                                      {"Author", tag.artist()},
                                                                      {"Copyright", tag.copyright()},
                                                                      {"Description", tag.comment()}};
            for (const auto& [name, text] : content) {
                if (!text.isEmpty()) out.push_back({name, WmAttrType::String, StringValue(text)});
            }
            for (const auto& [name, list] : tag.attributeListMap()) {
                if (list.isEmpty() || list.front().stream() != 0) continue;
                const std::string key = name.to8Bit(true);
                if (ContentField(key) != Field::None) {
                    bool known = false;
                    for (const WmAttribute& a : out) known = known || a.name == key;
                    if (known) continue;
                }
                out.push_back(FromTagLib(key, list.front()));
            }
        }
    }
    if (auto duration = AsfPlayDuration(path)) {
        WmAttribute a{"Duration", WmAttrType::Qword, {}};
        PutLe(a.value, *duration, 8);
        out.push_back(std::move(a));
    }
    return out;
}

std::optional<std::uint64_t> AsfPlayDuration(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::uint8_t head[30];
    if (!in.read(reinterpret_cast<char*>(head), sizeof head)) return std::nullopt;
    if (std::memcmp(head, kHeaderObject.data(), 16) != 0) return std::nullopt;
    const std::uint64_t headerSize = Le(head + 16, 8);
    std::uint64_t offset = sizeof head;
    while (offset + 24 <= headerSize) {
        std::uint8_t object[24];
        in.seekg(static_cast<std::streamoff>(offset));
        if (!in.read(reinterpret_cast<char*>(object), sizeof object)) return std::nullopt;
        const std::uint64_t size = Le(object + 16, 8);
        if (size < 24 || size > headerSize - offset) return std::nullopt;
        if (std::memcmp(object, kFilePropertiesObject.data(), 16) == 0) {
            // File id (16), file size, creation time, packet count, play duration, send
            // duration, preroll (8 each).
            std::uint8_t body[64];
            if (size < 24 + sizeof body || !in.read(reinterpret_cast<char*>(body), sizeof body))
                return std::nullopt;
            const std::uint64_t play = Le(body + 40, 8);
            const std::uint64_t prerollMs = Le(body + 56, 8);
            if (prerollMs > play / 10000) return 0;
            return play - prerollMs * 10000;
        }
        offset += size;
    }
    return std::nullopt;
}
