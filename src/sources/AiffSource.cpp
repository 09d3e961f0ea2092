#include "sources/AiffSource.h"

#include <gsm.h>
#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <climits>
#include <cmath>
#include <cstring>
#include <string>

#include "sources/G711.h"
#include "sources/ImaAdpcm.h"
#include "sources/ReaderBytes.h"

namespace {

using namespace readerbytes;

enum Coding { kMuLaw = 1, kALaw, kFloat32, kFloat64, kPcm, kIma4, kRawOffset, kGsm, kDwvw };

constexpr std::int64_t kAiffCommSize = 18;
constexpr std::int64_t kAifcCommSize = 22;  // with the compression type
constexpr int kIma4FramesPerPacket = 64;
constexpr int kGsmFrameBytes = 33;
constexpr int kGsmFrameSamples = 160;

// The 80-bit IEEE 754 extended value of the sample rate.
double Extended(const std::uint8_t* p) {
    const int exponent = static_cast<int>(((p[0] & 0x7F) << 8) | p[1]);
    const std::uint32_t hi = Be32(p + 2);
    const std::uint32_t lo = Be32(p + 6);
    double value;
    if (exponent == 0 && hi == 0 && lo == 0)
        value = 0.0;
    else if (exponent == 0x7FFF)
        value = HUGE_VAL;
    else
        value = std::ldexp(hi, exponent - 16383 - 31) + std::ldexp(lo, exponent - 16383 - 63);
    return (p[0] & 0x80) ? -value : value;
}

}  // namespace

void AiffSource::Close() {
    static_cast<AiffState&>(*this) = AiffState{};
    ResetCommon();
}

int AiffSource::Open(const char* path, int /*renderRate*/) {
    Close();
    m_file = OpenFile(path, "rb");
    if (!m_file) return 0;
    struct stat st {};
    if (::fstat(::fileno(m_file.get()), &st) != 0 || !ParseChunks() || !ChooseConverter()) {
        Close();
        return 0;
    }
    m_totalLength = st.st_size;

    std::int64_t frames = m_frames;
    if (m_coding == kIma4)
        frames = static_cast<std::int64_t>(static_cast<double>(m_data.Left()) / (m_channels * 34) *
                                           kIma4FramesPerPacket);
    else if (m_coding == kGsm)
        frames = m_data.Left() / kGsmFrameBytes * kGsmFrameSamples;
    m_frames = ClampToInt(frames);
    const LengthFigures figures = FiguresOf(frames, m_totalLength, m_sampleRate, m_channels, m_sampleSize);
    m_duration = figures.duration;
    m_bitrate = figures.bitrate;
    m_bytesPerSample = m_bitsPerSample / 8;
    if (::fseeko(m_file.get(), m_dataStart, SEEK_SET) != 0) {
        Close();
        return 0;
    }
    m_position = m_dataStart;
    return 1;
}

int AiffSource::ReadBlock(void* left, void* right) {
    if (!m_convert || !left || (m_outputChannels == 2 && !right)) return 0;
    return (this->*m_convert)(left, m_outputChannels == 2 ? right : nullptr);
}

bool AiffSource::ParseChunks() {
    std::FILE* f = m_file.get();
    std::uint8_t form[12];
    if (!ReadExact(f, form, sizeof form) || std::memcmp(form, "FORM", 4) != 0) return false;
    if (std::memcmp(form + 8, "AIFC", 4) == 0)
        m_aifc = true;
    else if (std::memcmp(form + 8, "AIFF", 4) != 0)
        return false;

    bool haveComm = false, haveSound = false;
    for (;;) {
        std::uint8_t header[8];
        if (!ReadExact(f, header, sizeof header)) break;
        const std::int64_t size = Be32(header + 4);
        const std::int64_t padded = size + (size & 1);
        if (std::memcmp(header, "COMM", 4) == 0) {
            if (!ParseComm(size)) return false;
            if (!Skip(f, padded - size)) return false;
            haveComm = true;
            if (haveSound) break;
        } else if (std::memcmp(header, "SSND", 4) == 0) {
            std::uint8_t b[8];
            if (size < 8 || !ReadExact(f, b, sizeof b)) return false;
            const std::int64_t offset = Be32(b);
            if (offset > size - 8) return false;
            // The pad byte of an odd chunk is not sound.
            m_data = SoundData(size - offset - 8);
            const std::int64_t here = ::ftello(f);
            if (here < 0) return false;
            m_dataStart = here + offset;
            haveSound = true;
            if (haveComm) break;
            if (!Skip(f, padded - 8)) return false;
        } else if (!Skip(f, padded)) {
            return false;
        }
    }
    return haveComm && haveSound;
}

bool AiffSource::ParseComm(std::int64_t size) {
    // Only the fields are read; the rest of a long chunk (the compression name) is skipped, so no
    // chunk size sizes a buffer.
    if (m_aifc ? size < kAifcCommSize : size != kAiffCommSize) return false;
    std::uint8_t b[kAifcCommSize];
    const std::size_t want = m_aifc ? kAifcCommSize : kAiffCommSize;
    std::FILE* f = m_file.get();
    if (!ReadExact(f, b, want) || !Skip(f, size - static_cast<std::int64_t>(want))) return false;

    const int channels = static_cast<int>(Be16(b));
    switch (channels) {
        case 1:
        case 2:
            m_outputChannels = channels;
            break;
        case 3:
        case 4:
        case 6:
            m_outputChannels = 2;
            break;
        default:
            return false;
    }
    m_channels = channels;
    m_rightIndex = channels == 6 ? 3 : 1;
    const std::uint32_t frames = Be32(b + 2);
    m_frames = frames == 0 || frames == 0xFFFFFFFF ? 1 : ClampToInt(frames);
    m_sampleSize = static_cast<int>(Be16(b + 6));
    const double rate = Extended(b + 8);
    // Negative, infinite or oversized rates cannot describe a stream.
    if (!(rate >= 0.0 && rate <= INT_MAX)) return false;
    m_sampleRate = static_cast<int>(rate);
    m_coding = kPcm;
    m_littleEndian = false;
    if (!m_aifc) return true;

    std::string type(reinterpret_cast<const char*>(b + 18), 4);
    for (char& c : type) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    if (type == "NONE" || type == "TWOS" || type == "IN24" || type == "IN32") {
    } else if (type == "SOWT" || type == "23NI") {
        m_littleEndian = true;
    } else if (type == "ULAW") {
        m_coding = kMuLaw;
        m_sampleSize = 8;
    } else if (type == "ALAW") {
        m_coding = kALaw;
        m_sampleSize = 8;
    } else if (type == "FL32") {
        m_coding = kFloat32;
        m_sampleSize = 32;
    } else if (type == "FL64") {
        m_coding = kFloat64;
        m_sampleSize = 64;
    } else if (type == "IMA4") {
        if (channels != 2) return false;
        m_coding = kIma4;
        m_sampleSize = 4;
    } else if (type == "RAW ") {
        m_coding = kRawOffset;
        m_sampleSize = 8;
    } else if (type == "GSM ") {
        m_coding = kGsm;
        m_gsm = MakeGsmDecoder(false);
        if (!m_gsm) return false;
    } else if (type == "DWVW") {
        if (m_sampleSize < 8 || m_sampleSize > 24) return false;
        m_coding = kDwvw;
    } else {
        return false;
    }
    return true;
}

bool AiffSource::ChooseConverter() {
    const std::size_t ch = static_cast<std::size_t>(m_channels);
    m_bitsPerSample = 16;
    switch (m_coding) {
        case kPcm:
            // A zero width has no bytes to step over.
            if (m_sampleSize < 1 || m_sampleSize > 32) return false;
            m_sampleBytes = (m_sampleSize + 7) / 8;
            if (m_sampleBytes == 1) {
                m_convert = &AiffSource::ReadSamples8;
                m_byteXor = 0x80;
                m_bitsPerSample = 8;
            } else {
                m_convert = &AiffSource::ReadSamples16;
                // Wider samples keep their two most significant bytes.
                if (m_sampleBytes == 2)
                    m_sampleAt = m_littleEndian ? Le16At : Be16At;
                else if (m_sampleBytes == 3)
                    m_sampleAt = m_littleEndian ? Le24At : Be16At;
                else
                    m_sampleAt = m_littleEndian ? Le32At : Be16At;
                if (m_sampleBytes == 3) m_floatAt = m_littleEndian ? Le24F : Be24F;
                if (m_sampleBytes == 4) m_floatAt = m_littleEndian ? Le32F : Be32F;
                if (m_sampleBytes > 2) m_heldBits = m_sampleSize;
            }
            break;
        case kMuLaw:
        case kALaw:
            m_sampleBytes = 1;
            m_convert = &AiffSource::ReadSamples16;
            m_sampleAt = m_coding == kMuLaw ? MuLawAt : ALawAt;
            break;
        case kFloat32:
            m_sampleBytes = 4;
            m_convert = &AiffSource::ReadSamples16;
            m_sampleAt = BeFloatAt;
            m_floatAt = BeFloatF;
            m_heldBits = kFloatBits;
            m_heldFloat = true;
            break;
        case kFloat64:
            m_sampleBytes = 8;
            m_convert = &AiffSource::ReadSamples16;
            m_sampleAt = BeDoubleAt;
            m_floatAt = BeDoubleF;
            m_heldBits = kFloatBits;
            m_heldFloat = true;
            break;
        case kRawOffset:
            m_sampleBytes = 1;
            m_convert = &AiffSource::ReadSamples8;
            m_byteXor = 0;
            m_bitsPerSample = 8;
            break;
        case kIma4:
            m_convert = &AiffSource::ReadIma4;
            m_raw.assign(ch * ImaAdpcm::kApplePacketBytes, 0);
            return true;
        case kGsm:
            m_convert = &AiffSource::ReadGsm;
            m_raw.assign(kGsmFrameBytes, 0);
            m_gsmSamples.assign(kGsmFrameSamples, 0);
            return true;
        case kDwvw:
            m_convert = &AiffSource::ReadDwvw;
            m_dwvw.bitWidth = m_sampleSize;
            m_dwvw.maxModifier = m_sampleSize / 2;
            m_dwvw.maxDelta = 1 << (m_sampleSize - 1);
            m_dwvw.span = 1 << m_sampleSize;
            m_dwvwValues.assign(ch * kBlockFrames, 0);
            m_dwvwValuesLeft = static_cast<std::int64_t>(m_frames) * m_channels;
            return true;
        default:
            return false;
    }
    m_raw.assign(ch * kBlockFrames * static_cast<std::size_t>(m_sampleBytes), 0);
    return true;
}

std::size_t AiffSource::ReadSound(std::size_t want) {
    const std::size_t got = m_data.Read(m_file.get(), m_raw.data(), want);
    m_position += static_cast<std::int64_t>(got);
    return got;
}

int AiffSource::ReadSamples8(void* left, void* right) {
    const FrameLayout layout{static_cast<std::size_t>(m_channels), static_cast<std::size_t>(m_rightIndex)};
    return Deinterleave<std::uint8_t>(
        m_raw.data(), ReadSound(m_raw.size()), layout, left, right,
        [x = m_byteXor](const std::uint8_t* p) -> std::uint8_t { return *p ^ x; });
}

int AiffSource::ReadSamples16(void* left, void* right) {
    const std::size_t sampleBytes = static_cast<std::size_t>(m_sampleBytes);
    const FrameLayout layout{sampleBytes * static_cast<std::size_t>(m_channels),
                             sampleBytes * static_cast<std::size_t>(m_rightIndex)};
    return Deinterleave<std::int16_t>(m_raw.data(), ReadSound(m_raw.size()), layout, left, right, m_sampleAt);
}

int AiffSource::RequestFullResolution() {
    if (!m_floatAt || m_data.Used() != 0) return 0;
    m_convert = &AiffSource::ReadSamplesFull;
    m_bitsPerSample = kFloatBits;
    m_bytesPerSample = 4;
    return 1;
}

int AiffSource::ReadSamplesFull(void* left, void* right) {
    const std::size_t sampleBytes = static_cast<std::size_t>(m_sampleBytes);
    const FrameLayout layout{sampleBytes * static_cast<std::size_t>(m_channels),
                             sampleBytes * static_cast<std::size_t>(m_rightIndex)};
    return Deinterleave<float>(m_raw.data(), ReadSound(m_raw.size()), layout, left, right, m_floatAt);
}

int AiffSource::ReadIma4(void* left, void* right) {
    if (m_data.Left() < static_cast<std::int64_t>(m_raw.size())) return 0;
    if (ReadSound(m_raw.size()) < m_raw.size()) return 0;
    ImaAdpcm::DecodeApplePacket(m_raw.data(), static_cast<std::int16_t*>(left), 1);
    ImaAdpcm::DecodeApplePacket(m_raw.data() + ImaAdpcm::kApplePacketBytes, static_cast<std::int16_t*>(right),
                                1);
    return kIma4FramesPerPacket;
}

int AiffSource::ReadGsm(void* left, void* right) {
    if (m_data.Left() < kGsmFrameBytes) return 0;
    if (ReadSound(kGsmFrameBytes) < static_cast<std::size_t>(kGsmFrameBytes)) return 0;
    if (gsm_decode(m_gsm.get(), m_raw.data(), m_gsmSamples.data()) < 0) return 0;
    auto* l = static_cast<std::int16_t*>(left);
    if (!right) {
        std::copy(m_gsmSamples.begin(), m_gsmSamples.end(), l);
        return kGsmFrameSamples;
    }
    auto* r = static_cast<std::int16_t*>(right);
    for (int k = 0; k < kGsmFrameSamples / 2; ++k) {
        l[k] = m_gsmSamples[static_cast<std::size_t>(2 * k)];
        r[k] = m_gsmSamples[static_cast<std::size_t>(2 * k + 1)];
    }
    return kGsmFrameSamples / 2;
}

int AiffSource::ReadDwvw(void* left, void* right) {
    // The bits after the last value are padding; the frame count says where the sound ends.
    const int want = static_cast<int>(std::min<std::int64_t>(m_channels * kBlockFrames, m_dwvwValuesLeft));
    const int values = want > 0 ? DecodeDwvw(want) : 0;
    m_dwvwValuesLeft -= values;
    const int frames = values / m_channels;
    auto* l = static_cast<std::int16_t*>(left);
    auto* r = static_cast<std::int16_t*>(right);
    for (int k = 0; k < frames; ++k) {
        const std::size_t at = static_cast<std::size_t>(k) * static_cast<std::size_t>(m_channels);
        l[k] = static_cast<std::int16_t>(m_dwvwValues[at] >> 16);
        if (r)
            r[k] = static_cast<std::int16_t>(m_dwvwValues[at + static_cast<std::size_t>(m_rightIndex)] >> 16);
    }
    return frames;
}

// Tops the reservoir up to `count` bits. Past the end of the data it adds zero bits and counts
// them, so that a value that needs them is known not to be in the file.
void AiffSource::DwvwLoad(int count) {
    DwvwState& d = m_dwvw;
    while (d.bitCount < count) {
        if (d.index >= d.end && d.padBits == 0) {
            const std::size_t got = m_data.Read(m_file.get(), d.buffer, sizeof d.buffer);
            m_position += static_cast<std::int64_t>(got);
            d.end = static_cast<int>(got);
            d.index = 0;
        }
        d.bits <<= 8;
        if (d.index < d.end)
            d.bits |= d.buffer[d.index++];
        else
            d.padBits += 8;
        d.bitCount += 8;
    }
}

int AiffSource::DwvwBits(int count) {
    DwvwState& d = m_dwvw;
    DwvwLoad(count);
    const int out = static_cast<int>((d.bits >> (d.bitCount - count)) & ((1u << count) - 1));
    d.bitCount -= count;
    return out;
}

// Counts zero bits up to the next set bit, at most the maximum modifier.
int AiffSource::DwvwModifier() {
    DwvwState& d = m_dwvw;
    DwvwLoad(d.maxModifier);
    int out = 0;
    while (out < d.maxModifier) {
        d.bitCount -= 1;
        if (d.bits & (1u << d.bitCount)) break;
        ++out;
    }
    return out;
}

int AiffSource::DecodeDwvw(int count) {
    DwvwState& d = m_dwvw;
    int deltaWidth = d.lastDeltaWidth;
    int sample = d.lastSample;
    int n = 0;
    // The last values of a file are often its shortest codes (a repeated sample costs one bit), so
    // decoding goes on until the frame count is met or a value runs past the data.
    for (; n < count && !d.ended; ++n) {
        int modifier = DwvwModifier();
        if (modifier != 0 && DwvwBits(1) != 0) modifier = -modifier;
        deltaWidth = (deltaWidth + modifier + d.bitWidth) % d.bitWidth;
        int delta = 0;
        if (deltaWidth != 0) {
            delta = DwvwBits(deltaWidth - 1) | (1 << (deltaWidth - 1));
            const bool negative = DwvwBits(1) != 0;
            if (delta == d.maxDelta - 1) delta += DwvwBits(1);
            if (negative) delta = -delta;
        }
        if (d.bitCount < d.padBits) {
            d.ended = true;
            break;
        }
        sample += delta;
        if (sample >= d.maxDelta)
            sample -= d.span;
        else if (sample < -d.maxDelta)
            sample += d.span;
        m_dwvwValues[static_cast<std::size_t>(n)] =
            static_cast<std::int32_t>(static_cast<std::uint32_t>(sample) << (32 - d.bitWidth));
    }
    d.lastDeltaWidth = deltaWidth;
    d.lastSample = sample;
    return n;
}
