#include "sources/AuSource.h"

#include <sys/stat.h>

#include <algorithm>
#include <climits>
#include <cstring>

#include "sources/ReaderBytes.h"

namespace {

using namespace readerbytes;

constexpr std::uint32_t kMagicSnd = 0x2E736E64;    // ".snd"
constexpr std::uint32_t kMagicSd0 = 0x2E736400;    // ".sd\0"
constexpr std::uint32_t kMagicDnsLe = 0x646E732E;  // "dns.": little-endian file
constexpr std::uint32_t kMagicDs0Le = 0x0064732E;
constexpr std::size_t kHeaderRead = 120;
constexpr std::size_t kMinHeader = 24;
constexpr int kEncodingLimit = 28;  // encodings are below this; larger values mark a damaged field
constexpr std::size_t kSearchFirst = 13, kSearchLast = 32;
constexpr std::uint32_t kUnknownSize = 0xFFFFFFFF;

}  // namespace

void AuSource::Close() {
    static_cast<AuState&>(*this) = AuState{};
    ResetCommon();
}

int AuSource::Open(const char* path, int /*renderRate*/) {
    Close();
    m_file = OpenFile(path, "rb");
    if (!m_file || !ParseHeader()) {
        Close();
        return 0;
    }
    return 1;
}

bool AuSource::ParseHeader() {
    std::optional<Header> header = ReadHeader();
    return header && ChooseEncoding(header->encoding) && PlaceData(*header);
}

std::optional<AuSource::Header> AuSource::ReadHeader() {
    std::uint8_t h[kHeaderRead];
    const std::size_t got = std::fread(h, 1, sizeof h, m_file.get());
    if (got < kMinHeader) return std::nullopt;
    const std::uint32_t magic = Be32(h);
    if (magic == kMagicSnd || magic == kMagicSd0)
        m_bigEndian = true;
    else if (magic == kMagicDnsLe || magic == kMagicDs0Le)
        m_bigEndian = false;
    else
        return std::nullopt;
    auto field = [&](std::size_t at) { return m_bigEndian ? Be32(h + at) : Le32(h + at); };

    Header header;
    header.dataOffset = field(4);
    if (header.dataOffset < kMinHeader) return std::nullopt;
    header.dataSize = field(8);
    std::size_t at = 12;
    header.encoding = field(at);
    if (header.encoding >= kEncodingLimit) {
        // Some writers shift the encoding field; the rate and channels follow wherever it is.
        bool found = false;
        for (at = kSearchFirst; at <= kSearchLast && at + 12 <= got; ++at) {
            header.encoding = field(at);
            if (header.encoding < kEncodingLimit) {
                found = true;
                break;
            }
        }
        if (!found) return std::nullopt;
    }
    if (at + 12 > got) return std::nullopt;
    header.rate = field(at + 4);
    header.channels = field(at + 8);
    return header;
}

bool AuSource::ChooseEncoding(std::uint32_t encoding) {
    const bool be = m_bigEndian;
    int codeBits = 0;
    switch (encoding) {
        case 1:
            m_storedBits = 8;
            m_sampleAt = MuLawAt;
            break;
        case 2:
            m_storedBits = 8;
            m_sampleAt = S8At;
            break;
        case 3:
            m_storedBits = 16;
            m_sampleAt = be ? Be16At : Le16At;
            break;
        case 4:
            m_storedBits = 24;
            m_sampleAt = be ? Be24At : Le24At;
            m_floatAt = be ? Be24F : Le24F;
            m_heldBits = 24;
            break;
        case 5:
            m_storedBits = 32;
            m_sampleAt = be ? Be32At : Le32At;
            m_floatAt = be ? Be32F : Le32F;
            m_heldBits = 32;
            break;
        case 6:
            m_storedBits = 32;
            m_sampleAt = be ? BeFloatAt : LeFloatAt;
            m_floatAt = be ? BeFloatF : LeFloatF;
            m_heldBits = kFloatBits;
            m_heldFloat = true;
            break;
        case 7:
            m_storedBits = 64;
            m_sampleAt = be ? BeDoubleAt : LeDoubleAt;
            m_floatAt = be ? BeDoubleF : LeDoubleF;
            m_heldBits = kFloatBits;
            m_heldFloat = true;
            break;
        case 23:
            codeBits = 4;
            break;
        case 25:
            codeBits = 3;
            break;
        case 26:
            codeBits = 5;
            break;
        case 27:
            m_storedBits = 8;
            m_sampleAt = ALawAt;
            break;
        default:
            return false;
    }
    m_encoding = static_cast<int>(encoding);
    if (codeBits != 0) {
        m_storedBits = codeBits;
        m_adpcm.emplace(codeBits);
        m_reservoir = 0;
        m_reservoirBits = 0;
    }
    return true;
}

bool AuSource::PlaceData(const Header& header) {
    std::FILE* f = m_file.get();
    m_bitsPerSample = 16;
    m_bytesPerSample = 2;
    // Damaged rates and channel counts are replaced rather than refused.
    m_sampleRate = header.rate < 1000 || header.rate > 100000 ? 8000 : static_cast<int>(header.rate);
    m_channels = header.channels == 1 || header.channels == 2 ? static_cast<int>(header.channels) : 1;
    m_outputChannels = m_channels;

    m_dataOffset = header.dataOffset;
    if (::fseeko(f, m_dataOffset, SEEK_SET) != 0) return false;
    m_position = 0;
    struct stat st {};
    if (::fstat(::fileno(f), &st) != 0) return false;
    const std::int64_t held = std::max<std::int64_t>(0, st.st_size - m_dataOffset);
    if (header.dataSize == kUnknownSize) {
        m_totalLength = held;
        m_soundMissing = m_dataOffset > st.st_size;
    } else {
        m_totalLength = header.dataSize;
        m_soundMissing = m_dataOffset > st.st_size || (header.dataSize > 0 && held == 0);
    }
    m_data = SoundData(m_totalLength);
    const std::int64_t frames = m_totalLength * 8 / (static_cast<std::int64_t>(m_storedBits) * m_channels);
    m_announcedFrames = header.dataSize == kUnknownSize ? 0 : frames;
    const LengthFigures figures = FiguresOf(frames, m_totalLength, m_sampleRate, m_channels, m_storedBits);
    m_duration = figures.duration;
    m_bitrate = figures.bitrate;
    const std::size_t readBytes =
        m_adpcm ? static_cast<std::size_t>(m_channels * m_storedBits * kBlockFrames / 8)
                : static_cast<std::size_t>(m_channels * kBlockFrames * (m_storedBits / 8));
    m_raw.assign(readBytes, 0);
    return true;
}

int AuSource::ReadBlock(void* left, void* right) {
    if (m_raw.empty() || !left || (m_channels == 2 && !right)) return 0;
    const std::size_t got = m_data.Read(m_file.get(), m_raw.data(), m_raw.size());
    m_position = m_data.Used();
    if (m_full) {
        const std::size_t sampleBytes = static_cast<std::size_t>(m_storedBits / 8);
        const FrameLayout layout{sampleBytes * static_cast<std::size_t>(m_channels), sampleBytes};
        return Deinterleave<float>(m_raw.data(), got, layout, left, m_channels == 2 ? right : nullptr,
                                   m_floatAt);
    }
    auto* l = static_cast<std::int16_t*>(left);
    auto* r = m_channels == 2 ? static_cast<std::int16_t*>(right) : nullptr;
    return m_adpcm ? ReadAdpcm(l, r, got) : ReadLinear(l, r, got);
}

int AuSource::RequestFullResolution() {
    if (!m_floatAt || m_data.Used() != 0) return 0;
    m_full = true;
    m_bitsPerSample = kFloatBits;
    m_bytesPerSample = 4;
    return 1;
}

int AuSource::ReadLinear(std::int16_t* left, std::int16_t* right, std::size_t bytes) {
    const std::size_t sampleBytes = static_cast<std::size_t>(m_storedBits / 8);
    const FrameLayout layout{sampleBytes * static_cast<std::size_t>(m_channels), sampleBytes};
    return Deinterleave<std::int16_t>(m_raw.data(), bytes, layout, left, right, m_sampleAt);
}

int AuSource::ReadAdpcm(std::int16_t* left, std::int16_t* right, std::size_t bytes) {
    const int codeBits = m_adpcm->CodeBits();
    const int frames = static_cast<int>(bytes * 8 / static_cast<std::size_t>(m_channels * codeBits));
    const unsigned mask = (1u << codeBits) - 1;
    std::size_t next = 0;
    auto code = [&] {
        if (m_reservoirBits < codeBits && next < bytes) {
            m_reservoir |= static_cast<std::uint32_t>(m_raw[next++]) << m_reservoirBits;
            m_reservoirBits += 8;
        }
        const unsigned c = m_reservoir & mask;
        m_reservoir >>= codeBits;
        m_reservoirBits -= codeBits;
        return c;
    };
    for (int k = 0; k < frames; ++k) {
        left[k] = m_adpcm->Decode(code());
        if (right) right[k] = m_adpcm->Decode(code());
    }
    return frames;
}
