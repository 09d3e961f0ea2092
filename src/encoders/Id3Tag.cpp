#include "encoders/Id3Tag.h"

#include <id3/tag.h>
#include <strings.h>
#include <unistd.h>

#include <cstdio>
#include <memory>

#include "platform/Paths.h"
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

void AttachText(ID3_Tag& tag, ID3_FrameID id, const std::string& text) {
    auto frame = std::make_unique<ID3_Frame>(id);
    frame->GetField(ID3FN_TEXT)->Set(text.c_str());
    // AttachFrame takes ownership; AddFrame would copy and leak the original.
    tag.AttachFrame(frame.release());
}

void AttachComment(ID3_Tag& tag, const std::string& text) {
    auto frame = std::make_unique<ID3_Frame>(ID3FID_COMMENT);
    frame->GetField(ID3FN_LANGUAGE)->Set("XXX");
    frame->GetField(ID3FN_DESCRIPTION)->Set("");
    frame->GetField(ID3FN_TEXT)->Set(text.c_str());
    tag.AttachFrame(frame.release());
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
        AttachText(tag, ID3FID_TITLE, tags.title);
        AttachText(tag, ID3FID_LEADARTIST, tags.artist);
        AttachText(tag, ID3FID_ALBUM, tags.album);
        AttachText(tag, ID3FID_YEAR, tags.year);
        AttachText(tag, ID3FID_CONTENTTYPE, version == 1 ? Id3v1GenreText(tags.genre) : tags.genre);
        if (!tags.composer.empty()) AttachText(tag, ID3FID_COMPOSER, tags.composer);
        if (!tags.copyright.empty()) AttachText(tag, ID3FID_COPYRIGHT, tags.copyright);
        AttachComment(tag, tags.comment);
        if (track != 0) {
            const std::string text = trackTotal != 0
                                         ? std::to_string(track) + "/" + std::to_string(trackTotal)
                                         : std::to_string(track);
            AttachText(tag, ID3FID_TRACKNUM, text);
        }
        tag.Update(version == 1 ? ID3TT_ID3V1 : ID3TT_ID3V2);
        block = ReadWhole(file.Path());
    }
    // A failed id3lib run (a full disk, say) can leave a cut-off file; a partial tag is no tag.
    if (version == 1) return block.size() == kId3v1Bytes ? block : std::vector<std::uint8_t>();
    return Id3v2SizeMatches(block) ? block : std::vector<std::uint8_t>();
}
