#include "encoders/OggWriter.h"

#include <ogg/ogg.h>
#include <vorbis/codec.h>
#include <vorbis/vorbisenc.h>

#include <cstring>

#include "encoders/MemoryHeadroom.h"
#include "engine/TagChoice.h"
#include "sources/TextConvert.h"

namespace {

// libvorbis uses its allocations unchecked; its set-up and first blocks take well under 1 MB.
constexpr std::size_t kAnalysisHeadroom = 4u << 20;
// libvorbis allocates for every block it analyses and never checks: short of memory, the file fails
// before a block rather than the whole batch crashing inside the library.
constexpr std::size_t kBlockHeadroom = 1u << 20;

}  // namespace

struct OggWriter::State {
    ogg_stream_state stream{};
    ogg_page page{};
    ogg_packet packet{};
    vorbis_info info{};
    vorbis_comment comment{};
    vorbis_dsp_state dsp{};
    vorbis_block block{};
    bool analysing = false;  // dsp and block initialised
    bool streaming = false;  // stream initialised

    State() {
        vorbis_info_init(&info);
        vorbis_comment_init(&comment);
    }
    ~State() {
        if (streaming) ogg_stream_clear(&stream);
        if (analysing) {
            vorbis_block_clear(&block);
            vorbis_dsp_clear(&dsp);
        }
        vorbis_comment_clear(&comment);
        vorbis_info_clear(&info);  // last: the others refer to it
    }
};

OggWriter::OggWriter() = default;

OggWriter::~OggWriter() {
    Close();
}

int OggWriter::Open(const std::string& path) {
    Close();
    m_failed = false;
    m_out = OpenFile(path.c_str(), "wb");
    if (!m_out) return 0;
    m_state = std::make_unique<State>();
    return 1;
}

int OggWriter::Setup(int rate, int channels, int nominalBitrate) {
    if (!m_state || m_setUp || m_failed || rate <= 0 || (channels != 1 && channels != 2)) {
        m_failed = true;
        return 0;
    }
    m_rate = rate;
    m_channels = channels;
    vorbis_info& vi = m_state->info;
    // Without hard rate management the stream is variable and only averages the nominal rate.
    if (vorbis_encode_setup_managed(&vi, channels, rate, -1, nominalBitrate, -1) != 0 ||
        vorbis_encode_ctl(&vi, OV_ECTL_RATEMANAGE2_SET, nullptr) != 0 || vorbis_encode_setup_init(&vi) != 0) {
        m_failed = true;
        return 0;
    }
    m_setUp = true;
    return 1;
}

void OggWriter::AddComments(const TagSet& tags) {
    if (!m_state) return;
    const std::pair<const char*, const std::string*> fields[] = {
        {"TITLE", &tags.title},       {"ARTIST", &tags.artist},       {"ALBUM", &tags.album},
        {"DATE", &tags.year},         {"GENRE", &tags.genre},         {"COMMENT", &tags.comment},
        {"COMPOSER", &tags.composer}, {"COPYRIGHT", &tags.copyright}, {"TRACKNUMBER", &tags.track},
    };
    for (const auto& [field, text] : fields) {
        if (text == &tags.track && LeadingTrackNumber(tags.track) <= 0) continue;
        std::string utf8;
        if (AnsiToUtf8(text->c_str(), utf8) != 0) continue;  // empty or not convertible
        vorbis_comment_add_tag(&m_state->comment, field, utf8.c_str());
    }
}

int OggWriter::WritePage(const void* header, long headerBytes, const void* body, long bodyBytes) {
    if (m_failed || !m_out) return 0;
    const auto h = static_cast<std::size_t>(headerBytes), b = static_cast<std::size_t>(bodyBytes);
    if (std::fwrite(header, 1, h, m_out.get()) != h || std::fwrite(body, 1, b, m_out.get()) != b)
        m_failed = true;
    return m_failed ? 0 : 1;
}

int OggWriter::WriteHeaders(int serial) {
    if (!m_setUp || m_started || m_failed) {
        m_failed = true;
        return 0;
    }
    State& s = *m_state;
    if (!HaveMemoryFor(kAnalysisHeadroom) || vorbis_analysis_init(&s.dsp, &s.info) != 0) {
        m_failed = true;
        return 0;
    }
    vorbis_block_init(&s.dsp, &s.block);
    s.analysing = true;
    ogg_stream_init(&s.stream, serial);
    s.streaming = true;
    m_started = true;

    ogg_packet identification, comments, codebooks;
    if (vorbis_analysis_headerout(&s.dsp, &s.comment, &identification, &comments, &codebooks) != 0) {
        m_failed = true;
        return 0;
    }
    ogg_stream_packetin(&s.stream, &identification);
    ogg_stream_packetin(&s.stream, &comments);
    ogg_stream_packetin(&s.stream, &codebooks);
    // The headers get pages of their own, so audio starts on a fresh page as decoders expect.
    while (ogg_stream_flush(&s.stream, &s.page) != 0)
        if (!WritePage(s.page.header, s.page.header_len, s.page.body, s.page.body_len)) return 0;
    return 1;
}

int OggWriter::Encode(const std::int16_t* left, const std::int16_t* right, int frames) {
    return EncodeWith(left, right, frames,
                      [](std::int16_t v) { return static_cast<float>(v) * (1.0f / 32768.0f); });
}

int OggWriter::EncodeFloat(const float* left, const float* right, int frames) {
    return EncodeWith(left, right, frames, [](float v) { return v; });
}

template <typename Sample, typename Scale>
int OggWriter::EncodeWith(const Sample* left, const Sample* right, int frames, Scale scale) {
    if (!m_started || m_failed) {
        m_failed = true;
        return 0;
    }
    if (m_ended) return frames > 0 ? (m_failed = true, 0) : 1;
    State& s = *m_state;
    if (frames > 0) {
        if (!left || (m_channels == 2 && !right)) {
            m_failed = true;
            return 0;
        }
        if (!HaveMemoryFor(kBlockHeadroom)) {
            m_failed = true;
            return 0;
        }
        float** buffer = vorbis_analysis_buffer(&s.dsp, frames);
        for (int i = 0; i < frames; ++i) buffer[0][i] = scale(left[i]);
        if (m_channels == 2)
            for (int i = 0; i < frames; ++i) buffer[1][i] = scale(right[i]);
        vorbis_analysis_wrote(&s.dsp, frames);
    } else {
        vorbis_analysis_wrote(&s.dsp, 0);
    }
    return DrainBlocks();
}

int OggWriter::DrainBlocks() {
    State& s = *m_state;
    while (vorbis_analysis_blockout(&s.dsp, &s.block) == 1) {
        if (!HaveMemoryFor(kBlockHeadroom)) {
            m_failed = true;
            return 0;
        }
        vorbis_analysis(&s.block, nullptr);
        vorbis_bitrate_addblock(&s.block);
        while (vorbis_bitrate_flushpacket(&s.dsp, &s.packet) == 1) {
            ogg_stream_packetin(&s.stream, &s.packet);
            while (!m_ended && ogg_stream_pageout(&s.stream, &s.page) != 0) {
                if (!WritePage(s.page.header, s.page.header_len, s.page.body, s.page.body_len)) return 0;
                if (ogg_page_eos(&s.page)) m_ended = true;
            }
        }
    }
    return m_failed ? 0 : 1;
}

int OggWriter::Close() {
    if (!m_out) {
        m_state.reset();
        return m_failed ? 0 : 1;
    }
    if (!m_ended) m_failed = true;  // a stream without its last page is no complete file
    // Flushing first makes a full disk show up here rather than be lost in fclose.
    if (!m_failed && std::fflush(m_out.get()) != 0) m_failed = true;
    if (std::fclose(m_out.release()) != 0) m_failed = true;
    m_state.reset();
    m_rate = m_channels = 0;
    m_setUp = m_started = m_ended = false;
    return m_failed ? 0 : 1;
}
