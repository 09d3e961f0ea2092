#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "sources/AudioSource.h"

/// Reader over the decoding library: MP3 (stream kind 1), tracker modules (2), MIDI (3) and
/// everything its file streams and plug-ins read (0). Needs the decoding libraries started.
class BassSource final : public AudioSource {
public:
    BassSource() = default;
    ~BassSource() override { Close(); }
    void Close() override;
    int Open(const char* path, int renderRate) override;  // renderRate: MIDI and modules, 0 = 44100
    int ReadBlock(void* left, void* right) override;
    int RequestFullResolution() override;  // always: the library scales what it cannot decode to floats
    std::int64_t GetPosition() override;
    const std::uint8_t* GetId3v1Tag() override;           // kind 1 only
    const std::uint8_t* GetId3v2Tag(int& size) override;  // kind 1 only
    int ReadTags(TagSet& tags) override;
    ReadOutcome GetReadOutcome() override;  // damaged MPEG frames the decoder skipped

    int GetStreamKind() const { return m_kind; }

    /// The channel mode of a 4-byte MPEG audio frame header, or -1 when it is not a valid one.
    static int ChannelModeFromFrameHeader(const std::uint8_t header[4]);

private:
    void ReadChannelMode(const char* path);
    int ReadFloatBlock(float* left, float* right);

    std::uint32_t m_handle = 0;
    std::vector<std::uint8_t> m_readBuffer;
    std::uint32_t m_readBufferSize = 0;
    std::unique_ptr<std::uint8_t[]> m_id3v1;
    std::unique_ptr<std::uint8_t[]> m_id3v2;
    int m_id3v2Size = 0;
    bool m_id3v1Asked = false;
    bool m_id3v2Asked = false;
    int m_kind = 0;
    bool m_float = false;
    bool m_read = false;  // a block was asked for
    std::string m_path;
};
