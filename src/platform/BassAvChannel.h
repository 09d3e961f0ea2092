#pragma once
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "platform/BassChannel.h"

struct AVFormatContext;
struct AVInputFormat;
struct AVCodecContext;
struct AVPacket;
struct AVFrame;
struct SwrContext;

/// WAV, AIFF, Ogg Vorbis and the plug-in formats through libavformat/libavcodec, converted to
/// interleaved 16-bit (8-bit when the decoder itself delivers 8-bit), or float when asked, at the
/// stream's rate.
class BassAvChannel final : public BassChannel {
public:
    /// Null when the container or codec is not one the built-in decoders or loaded plug-ins read.
    /// `container` is the demuxer to use, already told from the file's content.
    static std::unique_ptr<BassChannel> Open(const std::string& path, const std::set<std::string>& plugins,
                                             const AVInputFormat* container);
    ~BassAvChannel() override;

protected:
    std::size_t Render(std::uint8_t* out, std::size_t bytes) override;
    bool StartFloat() override;

private:
    BassAvChannel() = default;
    bool OpenDecoder(const std::string& path);
    bool DecodeMore();  // appends to m_pending; false at the end
    bool Convert(const AVFrame* frame);

    const AVInputFormat* m_container = nullptr;
    AVFormatContext* m_format = nullptr;
    AVCodecContext* m_codec = nullptr;
    AVPacket* m_packet = nullptr;
    AVFrame* m_frame = nullptr;
    SwrContext* m_swr = nullptr;
    int m_swrFormat = -1;
    int m_swrRate = 0;
    int m_swrChannels = 0;
    int m_stream = -1;
    bool m_draining = false;
    bool m_finished = false;
    std::vector<std::uint8_t> m_pending;
    std::size_t m_pendingOffset = 0;
    bool m_float = false;  // converts to interleaved float instead
};
