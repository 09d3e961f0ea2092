#pragma once
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/BassChannel.h"
#include "platform/UniqueFile.h"

struct mpg123_handle_struct;

/// MPEG audio layers I to III through libmpg123: exact gapless length after a scan, 16-bit
/// output at the stream's own rate and channel count. The raw ID3 blocks come from the file.
class BassMpegChannel final : public BassChannel {
public:
    static std::unique_ptr<BassChannel> Open(const std::string& path);
    ~BassMpegChannel() override;
    const std::vector<std::uint8_t>* Id3Tag(std::uint32_t type) override;
    std::uint64_t DamagedFrames() const override { return m_damaged; }

protected:
    std::size_t Render(std::uint8_t* out, std::size_t bytes) override;
    bool StartFloat() override;

private:
    BassMpegChannel() = default;
    void NoteFrame();
    std::vector<char> m_inputBuffer;  // m_input's stdio buffer: declared first, so it outlives the stream
    UniqueFile m_input;               // what m_handle reads; the destructor closes m_handle first
    mpg123_handle_struct* m_handle = nullptr;
    std::uint64_t m_id3v2Size = 0;  // header + body, 0 when the file has none
    std::optional<std::vector<std::uint8_t>> m_id3v1;
    std::optional<std::vector<std::uint8_t>> m_id3v2;
    bool m_float = false;   // Render delivers interleaved floats
    bool m_broken = false;  // could not reopen
    // The frame mpg123 decoded last, not yet handed out whole; valid until the next decode call.
    const unsigned char* m_pending = nullptr;
    std::size_t m_pendingBytes = 0;
    std::int64_t m_nextFrameAt = -1;  // where the frame after the last decoded one should begin
    std::uint64_t m_damaged = 0;
};
