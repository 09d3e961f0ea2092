#include "sources/WavFileSource.h"

#include <gsm.h>
#include <sys/stat.h>

#include <algorithm>
#include <bit>
#include <climits>
#include <cmath>
#include <cstring>

#include "sources/G711.h"
#include "sources/ReaderBytes.h"

static_assert(std::endian::native == std::endian::little,
              "16-bit PCM is read straight into the caller's buffer");

namespace {

using namespace readerbytes;

constexpr int kTagPcm = 1;
constexpr int kTagMsAdpcm = 2;
constexpr int kTagFloat = 3;
constexpr int kTagALaw = 6;
constexpr int kTagMuLaw = 7;
constexpr int kTagImaAdpcm = 17;
constexpr int kTagGsm = 49;
constexpr int kTagExtensible = 0xFFFE;

constexpr int kMaxChannels = 8;
constexpr int kGsmBlockBytes = 65;
constexpr int kGsmHalfBlockBytes = 33;
constexpr int kGsmBlockSamples = 320;
constexpr int kGsmFrameSamples = 160;

// The sub-format GUID of an extensible record: its first two bytes are the format tag, the rest
// is the fixed KSDATAFORMAT suffix.
constexpr std::uint8_t kSubFormatSuffix[14] = {0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x80,
                                               0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};

// Passes over pad bytes and stray bytes between chunks: stops before the next ASCII letter.
bool SkipToLetter(std::FILE* f) {
    for (;;) {
        const int c = std::fgetc(f);
        if (c == EOF) return false;
        if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z')) return ::fseeko(f, -1, SEEK_CUR) == 0;
    }
}

}  // namespace

void WavFileSource::Close() {
    static_cast<WavFileState&>(*this) = WavFileState{};
    ResetCommon();
}

int WavFileSource::Open(const char* path, int /*renderRate*/) {
    Close();
    m_file = OpenFile(path, "rb");
    if (!m_file || !ParseHeader() || !ChooseConverter()) {
        Close();
        return 0;
    }
    return 1;
}

int WavFileSource::ReadBlock(void* left, void* right) {
    if (!m_convert || !left) return 0;
    return (this->*m_convert)(left, m_outputChannels == 2 ? right : nullptr);
}

bool WavFileSource::ParseHeader() {
    std::FILE* f = m_file.get();
    std::uint8_t riff[12];
    if (!ReadExact(f, riff, sizeof riff) || std::memcmp(riff, "RIFF", 4) != 0 ||
        std::memcmp(riff + 8, "WAVE", 4) != 0)
        return false;
    bool haveFormat = false;
    for (;;) {
        std::uint8_t header[8];
        if (!ReadExact(f, header, sizeof header)) return false;
        const std::uint32_t size = Le32(header + 4);
        if (std::memcmp(header, "fmt ", 4) == 0) {
            if (!ParseFormat(size)) return false;
            haveFormat = true;
        } else if (std::memcmp(header, "data", 4) == 0) {
            return haveFormat && DescribeData(size);
        } else if (!Skip(f, size)) {
            return false;
        }
        if (!SkipToLetter(f)) return false;
    }
}

// The data chunk ends the header: its size (or, when 0, the rest of the file) is the progress
// measure, and the stream figures follow from it.
bool WavFileSource::DescribeData(std::uint32_t size) {
    std::FILE* f = m_file.get();
    struct stat st {};
    if (::fstat(::fileno(f), &st) != 0) return false;
    const std::int64_t offset = ::ftello(f);
    if (offset < 0) return false;
    m_totalLength = size != 0 ? size : std::max<std::int64_t>(0, st.st_size - offset);
    m_position = 0;
    m_data = SoundData(m_totalLength);
    const std::int64_t total = m_totalLength;
    std::int64_t frames = 0;
    if (m_formatTag == kTagMsAdpcm || m_formatTag == kTagImaAdpcm) {
        if (m_adpcmFormat.blockAlign > 0)
            frames = m_adpcmFormat.samplesPerBlock * total / m_adpcmFormat.blockAlign;
    } else if (m_formatTag == kTagGsm) {
        frames = total * kGsmBlockSamples / kGsmBlockBytes;
    } else if (m_fileBits != 0) {
        frames = total * 8 / m_fileBits / m_channels;
    }
    // A size left at its maximum is the mark of a stream written without knowing its length.
    m_announcedFrames = size == 0xFFFFFFFFu ? 0 : frames;
    const LengthFigures figures = FiguresOf(frames, total, m_sampleRate, m_channels, m_fileBits);
    m_duration = figures.duration;
    m_bitrate = figures.bitrate;
    return true;
}

bool WavFileSource::ParseFormat(std::uint32_t chunkSize) {
    if (!ReadCommonFormat()) return false;
    const std::int64_t rest = static_cast<std::int64_t>(chunkSize) - 16;
    switch (m_formatTag) {
        case kTagExtensible:
            return ReadExtensibleFormat(rest);
        case kTagPcm:
        case kTagFloat:
        case kTagALaw:
        case kTagMuLaw:
            return m_channels <= kMaxChannels && Skip(m_file.get(), rest);
        case kTagMsAdpcm:
            return ReadMsAdpcmFormat(rest);
        case kTagImaAdpcm:
            return ReadImaAdpcmFormat(rest);
        case kTagGsm:
            return ReadGsmFormat(rest);
        default:
            return false;
    }
}

bool WavFileSource::ReadCommonFormat() {
    std::uint8_t b[16];
    if (!ReadExact(m_file.get(), b, sizeof b)) return false;
    m_formatTag = static_cast<int>(Le16(b));
    const int channels = static_cast<int>(Le16(b + 2));
    const std::uint32_t rate = Le32(b + 4);
    m_fileBits = static_cast<int>(Le16(b + 14));
    m_channels = channels;
    m_outputChannels = std::min(channels, 2);
    // A rate of 0 would divide by zero in the duration; rates beyond int cannot be reported.
    if (rate == 0 || rate > static_cast<std::uint32_t>(INT_MAX) || channels < 1) return false;
    m_sampleRate = static_cast<int>(rate);
    m_subFormat = 0;
    m_msAdpcm.reset();
    m_imaAdpcm.reset();
    m_adpcmFormat = {};
    m_adpcmFormat.formatTag = m_formatTag;
    m_adpcmFormat.channels = channels;
    m_adpcmFormat.sampleRate = rate;
    m_adpcmFormat.avgBytesPerSec = Le32(b + 8);
    m_adpcmFormat.blockAlign = static_cast<int>(Le16(b + 12));
    m_adpcmFormat.bitsPerSample = m_fileBits;
    return true;
}

bool WavFileSource::ReadExtensibleFormat(std::int64_t rest) {
    if (rest >= 24) {
        // cbSize, valid bits, channel mask, then the sub-format GUID.
        std::uint8_t ext[24];
        if (!ReadExact(m_file.get(), ext, sizeof ext)) return false;
        rest -= 24;
        if (std::memcmp(ext + 10, kSubFormatSuffix, 14) == 0) m_subFormat = static_cast<int>(Le16(ext + 8));
    }
    return m_channels <= kMaxChannels && Skip(m_file.get(), rest);
}

bool WavFileSource::ReadMsAdpcmFormat(std::int64_t rest) {
    std::FILE* f = m_file.get();
    std::uint8_t two[2], ext[4];
    if (!ReadExact(f, two, 2)) return false;
    m_adpcmFormat.cbSize = static_cast<int>(Le16(two));
    if (m_adpcmFormat.cbSize < 4 || !ReadExact(f, ext, sizeof ext)) return false;
    m_adpcmFormat.samplesPerBlock = static_cast<int>(Le16(ext));
    const std::uint32_t numCoef = Le16(ext + 2);
    if (numCoef == 0) return false;
    std::vector<std::uint8_t> raw(numCoef * 4);
    if (!ReadExact(f, raw.data(), raw.size())) return false;
    m_adpcmFormat.coefficients.resize(numCoef * 2);
    for (std::size_t i = 0; i < m_adpcmFormat.coefficients.size(); ++i)
        m_adpcmFormat.coefficients[i] = static_cast<std::int16_t>(Le16(raw.data() + 2 * i));
    m_msAdpcm = std::make_unique<MsAdpcm>(m_adpcmFormat);
    return Skip(f, rest - 2 - m_adpcmFormat.cbSize);
}

bool WavFileSource::ReadImaAdpcmFormat(std::int64_t rest) {
    std::uint8_t ext[4];
    if (!ReadExact(m_file.get(), ext, sizeof ext)) return false;
    m_adpcmFormat.cbSize = static_cast<int>(Le16(ext));
    m_adpcmFormat.samplesPerBlock = static_cast<int>(Le16(ext + 2));
    if (m_adpcmFormat.cbSize < 2) return false;
    m_imaAdpcm = std::make_unique<ImaAdpcm>(m_adpcmFormat);
    return rest > 4 ? Skip(m_file.get(), rest - 4) : true;
}

bool WavFileSource::ReadGsmFormat(std::int64_t rest) {
    // WAV49 GSM is mono: two 160-sample frames in every 65-byte block.
    if (m_adpcmFormat.blockAlign != kGsmBlockBytes || rest < 4 || m_channels != 1) return false;
    std::uint8_t ext[4];
    if (!ReadExact(m_file.get(), ext, sizeof ext)) return false;
    m_adpcmFormat.cbSize = static_cast<int>(Le16(ext));
    m_adpcmFormat.samplesPerBlock = static_cast<int>(Le16(ext + 2));
    if (m_adpcmFormat.cbSize <= 1 || m_adpcmFormat.samplesPerBlock != kGsmBlockSamples) return false;
    return Skip(m_file.get(), rest - 4);
}

bool WavFileSource::ChooseConverter() {
    const std::size_t ch = static_cast<std::size_t>(m_channels);
    // Extensible records say what they hold in the sub-format; float and G.711 there are read as
    // such, every other sub-format as integer PCM of the record's bit width.
    int tag = m_formatTag;
    if (tag == kTagExtensible)
        tag = (m_subFormat == kTagFloat || m_subFormat == kTagALaw || m_subFormat == kTagMuLaw) ? m_subFormat
                                                                                                : kTagPcm;
    int outBits = 16;
    int decodedSamples = 0;
    switch (tag) {
        case kTagPcm:
            switch (m_fileBits) {
                case 8:
                    m_convert = &WavFileSource::ReadPcm8;
                    outBits = 8;
                    break;
                case 16:
                    m_convert = &WavFileSource::ReadPcm16;
                    break;
                case 24:
                    m_convert = &WavFileSource::ReadPcm24;
                    m_floatAt = Le24F;
                    break;
                case 32:
                    m_convert = &WavFileSource::ReadPcm32;
                    m_floatAt = Le32F;
                    break;
                default:
                    return false;
            }
            m_readSize = ch * kBlockFrames * static_cast<std::size_t>(m_fileBits / 8);
            break;
        case kTagFloat:
            if (m_fileBits == 32) {
                m_convert = &WavFileSource::ReadFloat32;
                m_floatAt = LeFloatF;
            } else if (m_fileBits == 64) {
                m_convert = &WavFileSource::ReadFloat64;
                m_floatAt = LeDoubleF;
            } else {
                return false;
            }
            m_readSize = ch * kBlockFrames * static_cast<std::size_t>(m_fileBits / 8);
            break;
        case kTagALaw:
        case kTagMuLaw:
            m_expand = tag == kTagALaw ? &ALawToLinear : &MuLawToLinear;
            m_convert = &WavFileSource::ReadG711;
            m_readSize = ch * kBlockFrames;
            break;
        case kTagMsAdpcm:
            if (!m_msAdpcm || !m_msAdpcm->IsUsable()) return false;
            m_convert = &WavFileSource::ReadBlocks;
            m_readSize = static_cast<std::size_t>(m_adpcmFormat.blockAlign);
            decodedSamples = m_msAdpcm->SamplesPerBlock();
            break;
        case kTagImaAdpcm:
            if (!m_imaAdpcm || !m_imaAdpcm->IsUsable()) return false;
            m_convert = &WavFileSource::ReadBlocks;
            m_readSize = static_cast<std::size_t>(m_adpcmFormat.blockAlign);
            decodedSamples = m_imaAdpcm->SamplesPerBlock();
            break;
        case kTagGsm: {
            m_gsm = MakeGsmDecoder(true);
            if (!m_gsm) return false;
            m_convert = &WavFileSource::ReadBlocks;
            m_readSize = kGsmBlockBytes;
            decodedSamples = kGsmBlockSamples;
            break;
        }
        default:
            return false;
    }
    m_bitsPerSample = outBits;
    m_bytesPerSample = outBits / 8;
    if (m_floatAt) m_heldBits = tag == kTagFloat ? kFloatBits : m_fileBits;
    m_heldFloat = m_floatAt && tag == kTagFloat;
    m_read.assign(m_readSize, 0);
    m_decoded.assign(static_cast<std::size_t>(decodedSamples), 0);
    return true;
}

std::size_t WavFileSource::ReadClamped(std::uint8_t* dst, std::size_t want) {
    const std::size_t got = m_data.Read(m_file.get(), dst, want);
    m_position = m_data.Used();
    return got;
}

// Converts the next stretch of interleaved frames, whose samples are `sampleBytes` wide.
template <typename Out, typename Convert>
int WavFileSource::ReadInterleaved(std::size_t sampleBytes, void* left, void* right, Convert convert) {
    const FrameLayout layout{sampleBytes * static_cast<std::size_t>(m_channels), sampleBytes};
    return Deinterleave<Out>(m_read.data(), ReadClamped(m_read.data(), m_readSize), layout, left, right,
                             convert);
}

int WavFileSource::ReadPcm8(void* left, void* right) {
    if (m_channels == 1) return static_cast<int>(ReadClamped(static_cast<std::uint8_t*>(left), kBlockFrames));
    return ReadInterleaved<std::uint8_t>(1, left, right, [](const std::uint8_t* p) { return *p; });
}

int WavFileSource::ReadPcm16(void* left, void* right) {
    if (m_channels == 1)
        return static_cast<int>(ReadClamped(static_cast<std::uint8_t*>(left), kBlockFrames * 2) / 2);
    return ReadInterleaved<std::int16_t>(2, left, right, Le16At);
}

int WavFileSource::ReadPcm24(void* left, void* right) {
    return ReadInterleaved<std::int16_t>(3, left, right, Le24At);
}

int WavFileSource::ReadPcm32(void* left, void* right) {
    return ReadInterleaved<std::int16_t>(4, left, right, Le32At);
}

int WavFileSource::ReadFloat32(void* left, void* right) {
    return ReadInterleaved<std::int16_t>(4, left, right, LeFloatAt);
}

int WavFileSource::ReadFloat64(void* left, void* right) {
    return ReadInterleaved<std::int16_t>(8, left, right, LeDoubleAt);
}

int WavFileSource::RequestFullResolution() {
    if (!m_floatAt || m_data.Used() != 0) return 0;
    m_convert = &WavFileSource::ReadFull;
    m_bitsPerSample = kFloatBits;
    m_bytesPerSample = 4;
    return 1;
}

int WavFileSource::ReadFull(void* left, void* right) {
    return ReadInterleaved<float>(static_cast<std::size_t>(m_fileBits / 8), left, right, m_floatAt);
}

int WavFileSource::ReadG711(void* left, void* right) {
    const Expander expand = m_expand;
    return ReadInterleaved<std::int16_t>(1, left, right,
                                         [expand](const std::uint8_t* p) { return expand(*p); });
}

bool WavFileSource::DecodeBlock() {
    if (m_msAdpcm) {
        m_decodedCount = m_msAdpcm->DecodeBlock(m_read.data(), m_decoded.data());
    } else if (m_imaAdpcm) {
        m_decodedCount = m_imaAdpcm->DecodeBlock(m_read.data(), m_decoded.data());
    } else if (m_gsm) {
        // WAV49: a 65-byte block holds two frames, the first in 33 bytes and the second in 32.
        if (gsm_decode(m_gsm.get(), m_read.data(), m_decoded.data()) < 0 ||
            gsm_decode(m_gsm.get(), m_read.data() + kGsmHalfBlockBytes, m_decoded.data() + kGsmFrameSamples) <
                0)
            m_decodedCount = 0;
        else
            m_decodedCount = kGsmBlockSamples;
    } else {
        m_decodedCount = 0;
    }
    m_decodedIndex = 0;
    return m_decodedCount > 0;
}

int WavFileSource::ReadBlocks(void* left, void* right) {
    auto* l = static_cast<std::int16_t*>(left);
    auto* r = static_cast<std::int16_t*>(right);
    int frames = 0;
    auto drain = [&] {
        while (frames < kBlockFrames && m_decodedIndex < m_decodedCount) {
            l[frames] = m_decoded[static_cast<std::size_t>(m_decodedIndex)];
            if (r) r[frames] = m_decoded[static_cast<std::size_t>(m_decodedIndex) + 1];
            m_decodedIndex += m_channels;
            ++frames;
        }
        if (m_decodedIndex >= m_decodedCount) m_decodedIndex = m_decodedCount = 0;
    };
    drain();
    while (frames < kBlockFrames) {
        if (ReadClamped(m_read.data(), m_readSize) < m_readSize || !DecodeBlock()) break;
        drain();
    }
    return frames;
}
