#include "encoders/OpusWriter.h"

#include <cstdio>

#include "encoders/VorbisComments.h"

OpusWriter::OpusWriter() = default;

OpusWriter::~OpusWriter() {
    m_encoder.reset();
    m_out.reset();
}

int OpusWriter::WriteBytes(void* client, const unsigned char* data, opus_int32 length) {
    auto& self = *static_cast<OpusWriter*>(client);
    const auto bytes = static_cast<std::size_t>(length);
    if (self.m_failed || !self.m_out || std::fwrite(data, 1, bytes, self.m_out.get()) != bytes) {
        self.m_failed = true;
        return 1;
    }
    return 0;
}

// The file is closed by Finish, where a failed close can still be reported.
int OpusWriter::CloseStream(void*) {
    return 0;
}

int OpusWriter::Open(const std::string& path, const OpusParameters& p, const TagSet* tags) {
    m_encoder.reset();
    m_out.reset();
    m_failed = false;
    m_channels = p.channels;
    if ((p.channels != 1 && p.channels != 2) || p.bitrate < 6000 || p.bitrate > 510000 || p.rateControl < 0 ||
        p.rateControl > 2 || p.complexity < 0 || p.complexity > 10)
        return 0;
    m_out = OpenFile(path.c_str(), "wb");
    if (!m_out) return 0;
    m_comments.reset(ope_comments_create());
    if (!m_comments) return 0;
    if (tags)
        for (const auto& [name, value] : VorbisCommentFields(*tags))
            if (ope_comments_add(m_comments.get(), name, value.c_str()) != OPE_OK) return 0;
    static const OpusEncCallbacks kCallbacks{&OpusWriter::WriteBytes, &OpusWriter::CloseStream};
    int error = OPE_OK;
    // Mapping family 0: one stream, mono or stereo, as every Opus player expects.
    m_encoder.reset(
        ope_encoder_create_callbacks(&kCallbacks, this, m_comments.get(), kRate, p.channels, 0, &error));
    if (!m_encoder || error != OPE_OK) return 0;
    OggOpusEnc* e = m_encoder.get();
    const int signal = p.signal == 1 ? OPUS_SIGNAL_MUSIC : p.signal == 2 ? OPUS_SIGNAL_VOICE : OPUS_AUTO;
    if (ope_encoder_ctl(e, OPE_SET_SERIALNO(p.serial)) != OPE_OK ||
        ope_encoder_ctl(e, OPE_SET_HEADER_GAIN(0)) != OPE_OK ||
        ope_encoder_ctl(e, OPUS_SET_BITRATE(p.bitrate)) != OPE_OK ||
        ope_encoder_ctl(e, OPUS_SET_VBR(p.rateControl == 2 ? 0 : 1)) != OPE_OK ||
        ope_encoder_ctl(e, OPUS_SET_VBR_CONSTRAINT(p.rateControl == 1 ? 1 : 0)) != OPE_OK ||
        ope_encoder_ctl(e, OPUS_SET_COMPLEXITY(p.complexity)) != OPE_OK ||
        ope_encoder_ctl(e, OPUS_SET_SIGNAL(signal)) != OPE_OK) {
        m_failed = true;
        return 0;
    }
    return 1;
}

template <typename Sample>
int OpusWriter::Interleave(const Sample* left, const Sample* right, int frames, std::vector<Sample>& buffer) {
    if (m_failed || !m_encoder || frames < 0 || !left || (m_channels == 2 && !right)) {
        m_failed = true;
        return 0;
    }
    if (m_channels == 1) return 1;
    buffer.resize(static_cast<std::size_t>(frames) * 2);
    for (int i = 0; i < frames; ++i) {
        buffer[2 * static_cast<std::size_t>(i)] = left[i];
        buffer[2 * static_cast<std::size_t>(i) + 1] = right[i];
    }
    return 1;
}

int OpusWriter::Encode(const std::int16_t* left, const std::int16_t* right, int frames) {
    if (!Interleave(left, right, frames, m_shorts)) return 0;
    const std::int16_t* pcm = m_channels == 1 ? left : m_shorts.data();
    if (frames > 0 && ope_encoder_write(m_encoder.get(), pcm, frames) != OPE_OK) m_failed = true;
    return m_failed ? 0 : 1;
}

int OpusWriter::EncodeFloat(const float* left, const float* right, int frames) {
    if (!Interleave(left, right, frames, m_floats)) return 0;
    const float* pcm = m_channels == 1 ? left : m_floats.data();
    if (frames > 0 && ope_encoder_write_float(m_encoder.get(), pcm, frames) != OPE_OK) m_failed = true;
    return m_failed ? 0 : 1;
}

int OpusWriter::Finish() {
    if (!m_encoder) {
        m_out.reset();
        return 0;
    }
    if (ope_encoder_drain(m_encoder.get()) != OPE_OK) m_failed = true;
    m_encoder.reset();
    if (!m_out || std::fflush(m_out.get()) != 0 || std::fclose(m_out.release()) != 0) m_failed = true;
    return m_failed ? 0 : 1;
}
