#include "encoders/WmaWriter.h"

#include <algorithm>
#include <vector>

#include "platform/SystemCodePage.h"
#include "platform/wmf/WmWriter.h"

namespace {

std::optional<std::u16string> Wide(const std::string& text) {
    if (text.empty()) return std::nullopt;
    return SystemCodePageToUtf16(text);
}

/// UTF-16LE bytes of a text, with its terminator when asked.
std::vector<std::uint8_t> Bytes(const std::u16string& text, bool terminator) {
    std::vector<std::uint8_t> out;
    for (char16_t unit : text) {
        out.push_back(static_cast<std::uint8_t>(unit));
        out.push_back(static_cast<std::uint8_t>(unit >> 8));
    }
    if (terminator) out.insert(out.end(), {0, 0});
    return out;
}

}  // namespace

WmaWriter::WmaWriter() = default;
WmaWriter::~WmaWriter() = default;

void WmaWriter::SetPath(const std::string& path) {
    m_path = path;
}

void WmaWriter::SetInputFormat(int sampleRate, int bitsPerSample, int channels) {
    m_rate = sampleRate;
    m_bits = bitsPerSample;
    m_channels = channels;
}

void WmaWriter::SetCodec(const WmMediaType& mediaType, int bitrate) {
    m_codec = mediaType;
    m_bitrate = bitrate;
}

void WmaWriter::SetTags(const TagSet& tags, int track) {
    m_title = Wide(tags.title);
    m_album = Wide(tags.album);
    m_artist = Wide(tags.artist);
    m_genre = Wide(tags.genre);
    m_year = Wide(tags.year);
    m_comment = Wide(tags.comment);
    m_composer = Wide(tags.composer);
    m_copyright = Wide(tags.copyright);
    m_track = static_cast<std::uint32_t>(track);
}

void WmaWriter::AddAttributes() {
    // The runtime keeps what it can; a refused attribute does not stop the file.
    auto text = [this](const char* name, const std::optional<std::u16string>& value, bool terminator) {
        const std::vector<std::uint8_t> bytes =
            value ? Bytes(*value, terminator) : std::vector<std::uint8_t>(terminator ? 2 : 0, 0);
        m_writer->AddAttribute(0, name, WmAttrType::String, 0, bytes.empty() ? nullptr : bytes.data(),
                               static_cast<std::uint32_t>(bytes.size()));
    };
    text("Title", m_title, true);
    text("Author", m_artist, false);
    text("WM/AlbumArtist", m_artist, false);
    text("Description", m_comment, false);
    text("WM/AlbumTitle", m_album, false);
    text("WM/Genre", m_genre, false);
    const std::uint8_t track[4] = {
        static_cast<std::uint8_t>(m_track), static_cast<std::uint8_t>(m_track >> 8),
        static_cast<std::uint8_t>(m_track >> 16), static_cast<std::uint8_t>(m_track >> 24)};
    m_writer->AddAttribute(0, "WM/TrackNumber", WmAttrType::Dword, 0, track, sizeof track);
    text("WM/Year", m_year, false);
    text("WM/Composer", m_composer, false);
    text("Copyright", m_copyright, false);
}

int WmaWriter::Start() {
    auto fail = [this] {
        m_writer.reset();
        return 0;
    };
    if (m_writer || m_rate < 1 || (m_bits != 8 && m_bits != 16 && m_bits != 32) || m_channels < 1 ||
        m_channels > 2)
        return 0;
    if (WmFailed(WMCreateWriter(m_writer))) return fail();

    std::unique_ptr<WmProfileManager> manager;
    std::unique_ptr<WmProfile> profile;
    std::unique_ptr<WmStreamConfig> stream;
    if (WmFailed(WMCreateProfileManager(manager)) ||
        WmFailed(manager->CreateEmptyProfile(0x00090000, profile)) ||
        WmFailed(profile->CreateNewStream(kMediaTypeAudio, stream)) ||
        WmFailed(stream->SetMediaType(m_codec)) || WmFailed(stream->SetStreamName("audio stream")) ||
        WmFailed(stream->SetConnectionName("audio")) || WmFailed(stream->SetStreamNumber(1)) ||
        WmFailed(stream->SetBitrate(static_cast<std::uint32_t>(m_bitrate))) ||
        WmFailed(stream->SetBufferWindow(3000)) || WmFailed(profile->AddStream(*stream)) ||
        WmFailed(m_writer->SetProfile(*profile))) {
        return fail();
    }

    std::uint32_t inputs = 0;
    if (WmFailed(m_writer->GetInputCount(inputs))) return fail();
    bool found = false;
    for (std::uint32_t i = 0; i < inputs && !found; ++i) {
        std::unique_ptr<WmMediaProps> props;
        WmGuid type{};
        if (WmFailed(m_writer->GetInputProps(i, props)) || WmFailed(props->GetType(type))) return fail();
        if (type == kMediaTypeAudio) {
            m_input = i;
            found = true;
        }
    }
    if (!found) return fail();
    const auto blockAlign = static_cast<std::uint16_t>(m_bits * m_channels / 8);
    const WaveFormatEx pcm{
        static_cast<std::uint16_t>(m_bits == 32 ? 3 : 1),
        static_cast<std::uint16_t>(m_channels),
        static_cast<std::uint32_t>(m_rate),
        static_cast<std::uint32_t>(static_cast<std::int64_t>(m_bits) * m_channels * m_rate / 8),
        blockAlign,
        static_cast<std::uint16_t>(m_bits),
        0};
    WmMediaProps input;
    input.SetMediaType(WmMediaType::Audio(m_bits == 32 ? kMediaSubtypeIeeeFloat : kMediaSubtypePcm, pcm));
    if (WmFailed(m_writer->SetInputProps(m_input, input))) return fail();

    AddAttributes();
    if (WmFailed(m_writer->SetOutputFilename(m_path.c_str())) || WmFailed(m_writer->BeginWriting()))
        return fail();
    m_sampleTime = 0;
    return 1;
}

std::int64_t WmaWriter::SampleTimeStep(int frames, int sampleRate) {
    return static_cast<std::int64_t>(static_cast<double>(frames) * 10000000.0 / sampleRate);
}

template <typename T>
int WmaWriter::Write(const T* left, const T* right, int frames) {
    if (!m_writer || frames < 0 || !left || (m_channels == 2 && !right)) return 0;
    if (frames == 0) return 1;
    const auto bytes =
        static_cast<std::uint32_t>(frames) * static_cast<std::uint32_t>(m_channels) * sizeof(T);
    std::unique_ptr<WmBuffer> sample;
    if (WmFailed(m_writer->AllocateSample(bytes, sample))) return 0;
    auto* out = reinterpret_cast<T*>(sample->GetBuffer());
    if (m_channels == 2) {
        for (int i = 0; i < frames; ++i) {
            out[2 * i] = left[i];
            out[2 * i + 1] = right[i];
        }
    } else {
        std::copy(left, left + frames, out);
    }
    sample->SetLength(bytes);
    const WmResult r = m_writer->WriteSample(m_input, static_cast<std::uint64_t>(m_sampleTime), 0, *sample);
    m_sampleTime += SampleTimeStep(frames, m_rate);
    return WmFailed(r) ? 0 : 1;
}

int WmaWriter::Write16(const std::int16_t* left, const std::int16_t* right, int frames) {
    return m_bits == 16 ? Write(left, right, frames) : 0;
}

int WmaWriter::Write8(const std::uint8_t* left, const std::uint8_t* right, int frames) {
    return m_bits == 8 ? Write(left, right, frames) : 0;
}

int WmaWriter::WriteFloat(const float* left, const float* right, int frames) {
    return m_bits == 32 ? Write(left, right, frames) : 0;
}

int WmaWriter::Finish() {
    if (!m_writer) return 0;
    const WmResult r = m_writer->EndWriting();
    m_writer.reset();
    return WmFailed(r) ? 0 : 1;
}
