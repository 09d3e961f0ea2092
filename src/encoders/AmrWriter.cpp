#include "encoders/AmrWriter.h"

#include <algorithm>

void AmrWriter::Reset(bool narrow) {
    Finish();
    m_narrow = narrow;
    m_frameSize = narrow ? kAmrNbFrameSamples : kAmrWbFrameSamples;
}

int AmrWriter::Start(const std::string& path) {
    if (m_frameSize == 0 || IsOpen()) return 0;  // Reset chooses the band first, once per file
    m_failed = false;
    if (m_narrow)
        m_nb.reset(amrnbenc_init(path.c_str(), m_dtx, m_narrowMode));
    else
        m_wb.reset(amrwbenc_init(path.c_str(), m_dtx, m_wideMode));
    return IsOpen() ? 1 : 0;
}

int AmrWriter::EncodeFrame(const std::int16_t* frame) {
    if (m_failed) return 0;
    const int bytes = m_nb ? amrnbenc_encode(m_nb.get(), frame) : amrwbenc_encode(m_wb.get(), frame);
    if (bytes <= 0) m_failed = true;
    return m_failed ? 0 : 1;
}

int AmrWriter::Write(const std::int16_t* samples, int count) {
    if (!IsOpen() || m_failed) return 0;
    if (count <= 0) return 1;
    const int f = m_frameSize;
    if (m_count + count < f) {
        std::copy_n(samples, count, m_frame.begin() + m_count);
        m_count += count;
        return 1;
    }
    int used = 0;
    if (m_count > 0) {
        used = f - m_count;
        std::copy_n(samples, used, m_frame.begin() + m_count);
        m_count = 0;
        if (!EncodeFrame(m_frame.data())) return 0;
    }
    for (; count - used >= f; used += f)
        if (!EncodeFrame(samples + used)) return 0;
    m_count = count - used;
    std::copy_n(samples + used, m_count, m_frame.begin());
    return 1;
}

int AmrWriter::Finish() {
    int ok = m_failed ? 0 : 1;
    if (IsOpen()) {
        if (m_count > 0) {
            std::fill(m_frame.begin() + m_count, m_frame.begin() + m_frameSize, std::int16_t{0});
            if (!EncodeFrame(m_frame.data())) ok = 0;
        }
        if (m_nb && !amrnbenc_quit(m_nb.release())) ok = 0;
        if (m_wb && !amrwbenc_quit(m_wb.release())) ok = 0;
    }
    m_narrow = true;
    m_count = 0;
    m_dtx = 0;
    m_narrowMode = m_wideMode = 6;
    m_frameSize = 0;
    m_failed = false;
    return ok;
}
