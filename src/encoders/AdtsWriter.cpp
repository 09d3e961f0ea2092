#include "encoders/AdtsWriter.h"

#include "sources/AudioSource.h"

int AdtsWriter::Open(const std::string& path, int sampleRate, int channels, int bitsPerSample) {
    Finish();
    m_failed = false;
    m_out = OpenFile(path.c_str(), "wb");
    if (!m_out) return 0;
    if (!m_encoder.Open(sampleRate, channels, ADTS_STREAM)) return 0;
    if (bitsPerSample == kFloatBits) m_encoder.UseFloatInput();
    m_sink = [this](std::int64_t, const std::uint8_t* bytes, int length) { return Keep(bytes, length); };
    return 1;
}

int AdtsWriter::Start() {
    m_started = m_out && m_encoder.Start();
    return m_started;
}

int AdtsWriter::Keep(const std::uint8_t* bytes, int length) {
    if (length > 0 && std::fwrite(bytes, 1, static_cast<std::size_t>(length), m_out.get()) !=
                          static_cast<std::size_t>(length))
        m_failed = true;
    return !m_failed;
}

int AdtsWriter::Write16(const std::int16_t* left, const std::int16_t* right, int frames) {
    if (!m_started || m_failed) return 0;
    if (!m_encoder.Write16(left, right, frames, m_sink)) m_failed = true;
    return !m_failed;
}

int AdtsWriter::WriteFloat(const float* left, const float* right, int frames) {
    if (!m_started || m_failed) return 0;
    if (!m_encoder.WriteFloat(left, right, frames, m_sink)) m_failed = true;
    return !m_failed;
}

int AdtsWriter::Write8(const std::uint8_t* left, const std::uint8_t* right, int frames) {
    if (!m_started || m_failed) return 0;
    if (!m_encoder.Write8(left, right, frames, m_sink)) m_failed = true;
    return !m_failed;
}

int AdtsWriter::Finish() {
    if (!m_out && !m_encoder.IsOpen()) return 0;
    bool ok = m_started && !m_failed;
    if (ok && !m_encoder.Drain(m_sink)) ok = false;
    if (m_out && std::fclose(m_out.release()) != 0) ok = false;
    m_encoder.Close();
    m_started = false;
    m_failed = !ok;
    return ok;
}
