#include "encoders/Mp3Writer.h"

#include <lame/lame.h>

#include <algorithm>
#include <cstring>
#include <mutex>

#include "sources/AudioSource.h"

void Mp3Writer::LameClose::operator()(lame_global_struct* lame) const noexcept {
    if (lame) lame_close(lame);
}

Mp3Writer::Mp3Writer() : m_buffer(kOutputBytes) {}

namespace {

// LAME (re)computes process-wide quantisation tables while it sets up an encoder: encoders are set
// up one at a time (the tables always get the same values, so running encoders are not disturbed).
std::mutex& LameSetUpMutex() {
    static std::mutex mutex;
    return mutex;
}

}  // namespace

int Mp3Writer::Open(const std::string& path) {
    Finish();
    m_failed = false;
    m_started = false;
    m_channels = 2;
    m_out = OpenFile(path.c_str(), "wb");
    if (!m_out) return 0;
    m_path = path;
    std::lock_guard lock(LameSetUpMutex());
    m_lame.reset(lame_init());
    return m_lame ? 1 : 0;
}

void Mp3Writer::SetInputRate(int rate) {
    if (m_lame) lame_set_in_samplerate(m_lame.get(), rate);
}

void Mp3Writer::SetChannels(int count) {
    m_channels = std::clamp(count, 1, 2);
    if (m_lame) lame_set_num_channels(m_lame.get(), m_channels);
}

void Mp3Writer::SetMode(int mode) {
    const MPEG_mode m = mode == 1 ? JOINT_STEREO : mode == 3 ? MONO : STEREO;
    if (m_lame) lame_set_mode(m_lame.get(), m);
}

void Mp3Writer::SetOutputRate(int rate) {
    if (m_lame) lame_set_out_samplerate(m_lame.get(), rate);
}

void Mp3Writer::SetBitrate(int kbps) {
    if (m_lame) lame_set_brate(m_lame.get(), std::clamp(kbps, 8, 320));
}

void Mp3Writer::SetId3v1(const std::uint8_t* block) {
    m_id3v1.reset();
    if (!block) return;
    m_id3v1.emplace();
    std::memcpy(m_id3v1->data(), block, kId3v1Bytes);
}

void Mp3Writer::SetId3v2(const std::uint8_t* block, std::size_t length) {
    if (!block || length == 0) {
        m_id3v2.clear();
        return;
    }
    m_id3v2.assign(block, block + length);
}

int Mp3Writer::WriteBytes(const void* data, std::size_t bytes) {
    if (m_failed || !m_out) return 0;
    if (bytes && std::fwrite(data, 1, bytes, m_out.get()) != bytes) m_failed = true;
    return m_failed ? 0 : 1;
}

int Mp3Writer::Start() {
    if (m_failed || !m_out || !m_lame || m_started) {
        m_failed = true;
        return 0;
    }
    lame_set_bWriteVbrTag(m_lame.get(), m_infoFrame ? 1 : 0);
    lame_set_VBR(m_lame.get(), vbr_off);
    int initialised;
    {
        std::lock_guard lock(LameSetUpMutex());
        initialised = lame_init_params(m_lame.get());
    }
    if (initialised < 0) {
        m_failed = true;
        return 0;
    }
    m_started = true;
    return WriteBytes(m_id3v2.data(), m_id3v2.size());
}

template <typename Sample, typename Call>
int Mp3Writer::EncodeWith(const Sample* left, const Sample* right, int frames, Call call) {
    if (m_failed || !m_started) {
        m_failed = true;
        return 0;
    }
    if (frames <= 0) return 1;
    // With two channels LAME treats a missing right buffer as nothing to encode, silently.
    if (!left || (m_channels == 2 && !right)) {
        m_failed = true;
        return 0;
    }
    // LAME needs at most 1.25 * frames + 7200 bytes; blocks of this size always fit the buffer.
    for (int done = 0; done < frames;) {
        const int n = std::min(frames - done, kBlockFrames);
        const int bytes = call(m_lame.get(), left + done, m_channels == 2 ? right + done : nullptr, n,
                               m_buffer.data(), static_cast<int>(m_buffer.size()));
        if (bytes < 0) {
            m_failed = true;
            return 0;
        }
        if (!WriteBytes(m_buffer.data(), static_cast<std::size_t>(bytes))) return 0;
        done += n;
    }
    return 1;
}

int Mp3Writer::Encode(const std::int16_t* left, const std::int16_t* right, int frames) {
    return EncodeWith(left, right, frames, &lame_encode_buffer);
}

int Mp3Writer::EncodeFloat(const float* left, const float* right, int frames) {
    return EncodeWith(left, right, frames, &lame_encode_buffer_ieee_float);
}

// LAME reserved the first frame for its info frame and can fill it in only now that it knows the
// length; it goes back over that frame, right after the ID3v2 block.
int Mp3Writer::WriteInfoFrame() {
    const std::size_t bytes = lame_get_lametag_frame(m_lame.get(), m_buffer.data(), m_buffer.size());
    if (bytes == 0 || bytes > m_buffer.size()) return 1;  // no frame was reserved
    std::FILE* f = m_out.get();
    if (std::fseek(f, static_cast<long>(m_id3v2.size()), SEEK_SET) != 0 ||
        std::fwrite(m_buffer.data(), 1, bytes, f) != bytes || std::fseek(f, 0, SEEK_END) != 0)
        m_failed = true;
    return m_failed ? 0 : 1;
}

int Mp3Writer::Finish() {
    if (!m_out) return m_failed ? 0 : 1;
    if (m_lame && m_started && !m_failed) {
        const int bytes = lame_encode_flush(m_lame.get(), m_buffer.data(), static_cast<int>(m_buffer.size()));
        if (bytes < 0)
            m_failed = true;
        else
            WriteBytes(m_buffer.data(), static_cast<std::size_t>(bytes));
    }
    if (m_infoFrame && m_lame && m_started && !m_failed) WriteInfoFrame();
    if (m_id3v1) WriteBytes(m_id3v1->data(), m_id3v1->size());
    // Flushing first makes a full disk show up here rather than be lost in fclose.
    if (!m_failed && std::fflush(m_out.get()) != 0) m_failed = true;
    if (std::fclose(m_out.release()) != 0) m_failed = true;
    m_id3v1.reset();
    m_id3v2.clear();
    m_id3v2.shrink_to_fit();
    m_lame.reset();
    m_started = false;
    return m_failed ? 0 : 1;
}
