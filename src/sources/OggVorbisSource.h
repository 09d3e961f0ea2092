#pragma once
#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "sources/AudioSource.h"

struct OggVorbis_File;

/// Ogg Vorbis reader over vorbisfile; keeps the stream's comments in the system code page.
class OggVorbisSource final : public AudioSource {
public:
    OggVorbisSource();
    ~OggVorbisSource() override;
    void Close() override;
    int Open(const char* path, int renderRate) override;  // renderRate is ignored
    /// At most 1152 frames for mono, 1024 for stereo, fewer for more channels.
    int ReadBlock(void* left, void* right) override;
    int RequestFullResolution() override;  // the decoder's own floats
    std::int64_t GetPosition() override;   // compressed byte offset
    int ReadTags(TagSet& tags) override;

    const std::vector<std::string>& Comments() const { return m_comments; }
    const std::string& Vendor() const { return m_vendor; }
    int VorbisVersion() const { return m_version; }

    /// Longest comment kept, in bytes; longer ones are cut at a character boundary.
    static constexpr std::size_t kMaxCommentBytes = 1023;
    /// Consecutive failed reads (holes, damaged pages) after which the stream ends.
    static constexpr int kMaxFailedReads = 64;

private:
    struct FileCloser {
        void operator()(OggVorbis_File* vf) const;
    };
    int ReadFloat(float* left, float* right);
    int ReadSome(char* buffer, int bytes, int& channels);

    std::unique_ptr<OggVorbis_File, FileCloser> m_file;  // null while closed
    int m_version = -1;
    std::vector<std::string> m_comments;
    std::string m_vendor;
    std::array<char, 4096> m_interleave{};
    int m_interleaveRead = 4096;  // bytes asked of one stereo read
    bool m_float = false;         // blocks of the decoder's floats
    bool m_read = false;          // a block was asked for
};
