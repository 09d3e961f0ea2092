#include "platform/BassPcmChannel.h"

#include <sys/stat.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <optional>

#include "platform/Bass.h"

// The general decoder (libavformat's demuxers, the PCM decoders and libswresample) is what these
// files were read with before; every rule below keeps its result, and anything whose result
// depends on that decoder's quirks is left to it.

namespace {

using Sample = BassPcmChannel::Sample;

constexpr std::uint32_t kMaxChannels = 32;
constexpr std::uint32_t kMaxRate = 1'000'000;
constexpr int kMaxChunks = 4096;  // a real file has a handful; more is left to the general decoder
constexpr std::size_t kReadBytes = std::size_t{1} << 16;

struct Layout {
    std::uint32_t freq = 0;
    std::uint32_t chans = 0;
    Sample sample = Sample::S16LE;
    std::uint64_t dataOffset = 0;
    std::uint64_t frames = 0;         // frames delivered
    std::uint64_t storedFrames = 0;   // whole frames the demuxer would cut into packets, >= frames
    std::uint64_t missingFrames = 0;  // announced by the header past the end of the file
};

std::uint32_t StoredBytes(Sample s) {
    switch (s) {
        case Sample::U8:
        case Sample::S8:
            return 1;
        case Sample::S16LE:
        case Sample::S16BE:
            return 2;
        case Sample::S24LE:
        case Sample::S24BE:
            return 3;
        case Sample::S32LE:
        case Sample::S32BE:
        case Sample::F32LE:
        case Sample::F32BE:
            return 4;
        case Sample::F64LE:
        case Sample::F64BE:
            return 8;
    }
    return 0;
}

bool IsFloat(Sample s) {
    return s == Sample::F32LE || s == Sample::F32BE || s == Sample::F64LE || s == Sample::F64BE;
}

// Out-of-range float samples convert as libswresample's x86-64 code does; elsewhere its
// conversion is other code, so float files stay with it there.
#if defined(__x86_64__)
constexpr bool kKnownFloatConversion = true;
#else
constexpr bool kKnownFloatConversion = false;
#endif

bool IsEightBit(Sample s) {
    return s == Sample::U8 || s == Sample::S8;
}

std::uint16_t Le16(const std::uint8_t* p) {
    return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}
std::uint32_t Le32(const std::uint8_t* p) {
    return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}
std::uint16_t Be16(const std::uint8_t* p) {
    return static_cast<std::uint16_t>((p[0] << 8) | p[1]);
}
std::uint32_t Be32(const std::uint8_t* p) {
    return (static_cast<std::uint32_t>(p[0]) << 24) | (p[1] << 16) | (p[2] << 8) | p[3];
}
std::uint64_t Be64(const std::uint8_t* p) {
    return (std::uint64_t{Be32(p)} << 32) | Be32(p + 4);
}

bool ReadAt(std::FILE* f, std::uint64_t pos, void* buffer, std::size_t bytes) {
    return ::fseeko(f, static_cast<off_t>(pos), SEEK_SET) == 0 && std::fread(buffer, 1, bytes, f) == bytes;
}

bool IdIs(const std::uint8_t* id, const char* name) {
    return std::memcmp(id, name, 4) == 0;
}

// libavformat reads IEC 61937 bursts (AC-3, DTS in S/PDIF framing) out of PCM WAV data when the
// first 64 KiB hold their sync words; such a file is left to it.
bool MayHoldSpdifBursts(std::FILE* f, std::uint64_t dataOffset, std::uint64_t fileSize) {
    const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(fileSize - dataOffset, 1 << 16));
    std::vector<std::uint8_t> head(n);
    if (!ReadAt(f, dataOffset, head.data(), n)) return true;
    static constexpr std::uint8_t kSync[4] = {0x72, 0xF8, 0x1F, 0x4E};
    return std::search(head.begin(), head.end(), std::begin(kSync), std::end(kSync)) != head.end();
}

// The 'fmt ' chunk of a plain PCM or float file; nullopt for anything else.
std::optional<Sample> WavSample(const std::uint8_t* fmt, std::uint32_t size, std::uint32_t& chans,
                                std::uint32_t& rate, bool& pcmTag) {
    if (size < 16) return std::nullopt;
    std::uint32_t tag = Le16(fmt);
    chans = Le16(fmt + 2);
    rate = Le32(fmt + 4);
    const std::uint32_t blockAlign = Le16(fmt + 12);
    std::uint32_t bits = Le16(fmt + 14);
    // Extra format bytes would reach the decoder, which reads some of them as a different codec.
    const std::uint32_t extra = size >= 18 ? std::min<std::uint32_t>(size - 18, Le16(fmt + 16)) : 0;
    if (tag == 0xFFFE) {
        static constexpr std::uint8_t kBaseGuid[12] = {0x00, 0x00, 0x10, 0x00, 0x80, 0x00,
                                                       0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};
        if (extra != 22 || std::memcmp(fmt + 28, kBaseGuid, sizeof kBaseGuid) != 0) return std::nullopt;
        const std::uint32_t validBits = Le16(fmt + 18);
        const std::uint32_t mask = Le32(fmt + 20);
        if (mask != 0 && static_cast<std::uint32_t>(std::popcount(mask)) != chans) return std::nullopt;
        if (validBits != 0) bits = validBits;  // the codec follows the valid bits, the layout the block
        tag = Le32(fmt + 24);
    } else if (extra != 0) {
        return std::nullopt;
    }
    pcmTag = tag == 1;
    std::optional<Sample> sample;
    if (tag == 1) {
        switch ((bits + 7) / 8) {
            case 1:
                sample = Sample::U8;
                break;
            case 2:
                sample = Sample::S16LE;
                break;
            case 3:
                sample = Sample::S24LE;
                break;
            case 4:
                sample = Sample::S32LE;
                break;
            default:
                break;
        }
        if (bits == 0) sample.reset();
    } else if (tag == 3) {
        if (bits == 32) sample = Sample::F32LE;
        if (bits == 64) sample = Sample::F64LE;
    }
    if (!sample || chans == 0 || chans > kMaxChannels || rate == 0 || rate > kMaxRate) return std::nullopt;
    // The demuxer cuts packets by the block size and the decoder by the sample size: they must agree.
    if (blockAlign != chans * StoredBytes(*sample)) return std::nullopt;
    return sample;
}

std::optional<Layout> ParseWav(std::FILE* f, std::uint64_t fileSize) {
    std::uint64_t pos = 12;
    bool haveFmt = false, pcmTag = false, fact = false, toEnd = false;
    std::optional<std::uint64_t> dataOffset;
    std::uint64_t dataSize = 0;
    std::uint64_t pastEnd = 0;  // bytes a data size announces beyond the end of the file
    Layout layout;
    for (int chunks = 0;; ++chunks) {
        if (chunks > kMaxChunks) return std::nullopt;
        std::uint8_t h[8];
        if (pos + 8 > fileSize || !ReadAt(f, pos, h, 8)) break;
        const std::uint32_t size = Le32(h + 4);
        const std::uint64_t next = pos + 8 + size;
        if (IdIs(h, "fmt ")) {
            if (!haveFmt) {
                if (next > fileSize || size > 1024) return std::nullopt;
                std::uint8_t fmt[1024];
                if (!ReadAt(f, pos + 8, fmt, size)) return std::nullopt;
                const auto sample = WavSample(fmt, size, layout.chans, layout.freq, pcmTag);
                if (!sample) return std::nullopt;
                layout.sample = *sample;
                haveFmt = true;
            }
        } else if (IdIs(h, "data")) {
            // A later data chunk would be read on after this one.
            if (dataOffset) return std::nullopt;
            dataOffset = pos + 8;
            dataSize = size;
            // A size of 0 or all ones means "up to the end of the file", as does a size past it.
            if (size == 0 || size == 0xFFFFFFFFu || next > fileSize) {
                if (size != 0 && size != 0xFFFFFFFFu) pastEnd = next - fileSize;
                toEnd = true;
                break;
            }
        } else if (IdIs(h, "fact")) {
            fact = true;
        } else if (IdIs(h, "LIST")) {
            if (size < 4) return std::nullopt;  // the demuxer fails on it
        } else if (IdIs(h, "bext")) {
            // The demuxer reads 338 bytes of text from it and fails when the file ends first.
            if (next > fileSize || pos + 8 + 338 > fileSize) return std::nullopt;
        } else if (IdIs(h, "XMA2") || IdIs(h, "SMV0")) {
            return std::nullopt;
        }
        if (next >= fileSize) break;
        pos = next + (next & 1);  // chunks start on even offsets
    }
    if (!haveFmt || !dataOffset) return std::nullopt;
    const std::uint64_t inFrame = std::uint64_t{layout.chans} * StoredBytes(layout.sample);
    // With a usable size the header's length holds; without one, the stream runs to the end of
    // the file, and a 'fact' count would then decide the length on its own rules.
    if (toEnd && fact) return std::nullopt;
    layout.dataOffset = *dataOffset;
    layout.frames = layout.storedFrames = (toEnd ? fileSize - *dataOffset : dataSize) / inFrame;
    layout.missingFrames = (pastEnd + inFrame - 1) / inFrame;
    if (layout.frames == 0) return std::nullopt;
    if (pcmTag && MayHoldSpdifBursts(f, *dataOffset, fileSize)) return std::nullopt;
    return layout;
}

// Sample rate from the 80-bit extended float, rounded as the demuxer does; 0 when out of range.
std::uint32_t ExtendedRate(const std::uint8_t* p) {
    const int exp = Be16(p) - 16383 - 63;
    const std::uint64_t mantissa = Be64(p + 2);
    if (exp < -63 || exp > 63) return 0;
    const std::uint64_t r =
        exp >= 0 ? mantissa << exp : (mantissa + (std::uint64_t{1} << (-exp - 1))) >> -exp;
    // The demuxer keeps the low 32 bits as a signed rate.
    const auto rate = static_cast<std::int32_t>(static_cast<std::uint32_t>(r));
    return rate > 0 && static_cast<std::uint32_t>(rate) <= kMaxRate ? static_cast<std::uint32_t>(rate) : 0;
}

std::optional<Sample> AiffSample(std::uint32_t bits, bool compressed, const std::uint8_t* compression) {
    if (!compressed || IdIs(compression, "NONE") || IdIs(compression, "twos")) {
        switch ((bits + 7) / 8) {
            case 1:
                return bits ? std::optional(Sample::S8) : std::nullopt;
            case 2:
                return Sample::S16BE;
            case 3:
                return Sample::S24BE;
            case 4:
                return Sample::S32BE;
            default:
                return std::nullopt;
        }
    }
    // The decoder takes these from the compression type alone; odd bit counts are left to it.
    if (IdIs(compression, "sowt") && bits == 16) return Sample::S16LE;
    if (IdIs(compression, "in24") && bits == 24) return Sample::S24BE;
    if (IdIs(compression, "in32") && bits == 32) return Sample::S32BE;
    if (IdIs(compression, "fl32") && bits == 32) return Sample::F32BE;
    if (IdIs(compression, "fl64") && bits == 64) return Sample::F64BE;
    if (IdIs(compression, "raw ") && bits == 8) return Sample::U8;
    return std::nullopt;
}

std::optional<Layout> ParseAiff(std::FILE* f, std::uint64_t fileSize, std::uint32_t formSize, bool aifc) {
    constexpr std::uint32_t kAifcVersion1 = 0xA2805140;
    // The demuxer walks the chunks the FORM size announces, a negative size counting as the most.
    std::int64_t budget = static_cast<std::int32_t>(formSize) < 0 ? 0x7fffffff : formSize;
    budget -= 4;
    std::uint32_t version = aifc ? kAifcVersion1 : 0;
    std::uint64_t pos = 12;
    bool haveComm = false, haveSsnd = false;
    std::uint32_t frames = 0;
    std::uint64_t dataStart = 0, dataEnd = 0;
    Layout layout;
    for (int chunks = 0; budget > 0; ++chunks) {
        if (chunks > kMaxChunks) return std::nullopt;
        if (pos + 8 > fileSize) {
            // Exactly at the end the demuxer reads an empty chunk and starts on the sound it found.
            if (pos == fileSize && haveComm && haveSsnd) break;
            return std::nullopt;
        }
        std::uint8_t h[8];
        if (!ReadAt(f, pos, h, 8)) return std::nullopt;
        const std::uint32_t size = Be32(h + 4);
        if (size >= 0x7fffffffu - 8) return std::nullopt;
        budget -= std::int64_t{size} + 8;
        const std::uint64_t body = pos + 8;
        if (IdIs(h, "COMM")) {
            // An odd COMM size makes the demuxer skip two pad bytes.
            if (haveComm || size < 18 || (size & 1) || body + size > fileSize) return std::nullopt;
            std::uint8_t c[22] = {};
            if (!ReadAt(f, body, c, std::min<std::uint32_t>(size, sizeof c))) return std::nullopt;
            layout.chans = Be16(c);
            frames = Be32(c + 2);
            const std::uint32_t bits = Be16(c + 6);
            layout.freq = ExtendedRate(c + 8);
            const bool compressed = size - 18 >= 4 && version == kAifcVersion1;
            const auto sample = AiffSample(bits, compressed, c + 18);
            if (!sample || layout.freq == 0 || layout.chans == 0 || layout.chans > kMaxChannels ||
                frames == 0 || frames > 0x7fffffffu)
                return std::nullopt;
            layout.sample = *sample;
            haveComm = true;
            if (haveSsnd) break;  // the demuxer stops at a COMM after the sound
        } else if (IdIs(h, "SSND")) {
            if (haveSsnd || size < 8) return std::nullopt;
            std::uint8_t o[4];
            if (body + 8 > fileSize || !ReadAt(f, body, o, 4)) return std::nullopt;
            dataStart = body + 8 + Be32(o);
            dataEnd = body + size;
            haveSsnd = true;
        } else if (IdIs(h, "FVER")) {
            std::uint8_t v[4];
            if (size != 4 || !ReadAt(f, body, v, 4)) return std::nullopt;
            version = Be32(v);
        } else if (IdIs(h, "ID3 ") || IdIs(h, "CHAN") || IdIs(h, "wave") || IdIs(h, "APCM") || Le32(h) == 0) {
            return std::nullopt;
        }
        std::uint64_t next = body + size;
        if (size & 1) {
            --budget;
            ++next;
        }
        pos = next;
    }
    if (!haveComm || !haveSsnd) return std::nullopt;
    // Sound that ends before the frame count does would be announced but never delivered.
    const std::uint64_t inFrame = std::uint64_t{layout.chans} * StoredBytes(layout.sample);
    const std::uint64_t end = std::min(dataEnd, fileSize);
    if (dataStart >= end || (end - dataStart) / inFrame < frames) return std::nullopt;
    layout.dataOffset = dataStart;
    layout.frames = frames;
    layout.storedFrames = (end - dataStart) / inFrame;
    return layout;
}

std::int16_t Clip16(std::int32_t v) {
    return static_cast<std::int16_t>(std::clamp<std::int32_t>(v, -32768, 32767));
}

// Float and double samples become 16-bit as libswresample converts them on x86-64. Within full
// scale both of its ways agree (scale by 32768, round to nearest even, saturate); past it they
// differ. Its vector way (runs of 16 frames) saturates to the lowest sample whatever the sign,
// NaN included; its scalar way keeps the low 32 bits of the rounded value before saturating, so
// NaN and huge values come out as 0 and large negative values as the highest sample.
std::int16_t ScalarToS16(double v) {
    if (!(v >= -9223372036854775808.0 && v < 9223372036854775808.0)) return 0;
    return Clip16(static_cast<std::int32_t>(static_cast<std::uint32_t>(std::llrint(v))));
}

std::int16_t FromFloat(float x, bool vector) {
    const float v = x * 32768.0f;
    if (!vector) return ScalarToS16(v);
    if (!(v >= -2147483648.0f && v < 2147483648.0f)) return -32768;
    return Clip16(static_cast<std::int32_t>(std::lrintf(v)));
}

std::int16_t FromDouble(double x) {
    return ScalarToS16(x * 32768.0);
}

template <Sample S>
void ConvertSamples(const std::uint8_t* in, std::uint8_t* out, std::size_t samples, bool vector) {
    if constexpr (S == Sample::U8) {
        std::memcpy(out, in, samples);
    } else if constexpr (S == Sample::S8) {
        for (std::size_t i = 0; i < samples; ++i) out[i] = static_cast<std::uint8_t>(in[i] ^ 0x80);
    } else {
        constexpr std::size_t kIn = S == Sample::S16LE || S == Sample::S16BE   ? 2
                                    : S == Sample::S24LE || S == Sample::S24BE ? 3
                                    : S == Sample::F64LE || S == Sample::F64BE ? 8
                                                                               : 4;
        for (std::size_t i = 0; i < samples; ++i, in += kIn) {
            std::int16_t v = 0;
            // Integer samples keep their top 16 bits, as the decoder's shift to 16 bits does.
            if constexpr (S == Sample::S16LE) v = static_cast<std::int16_t>(Le16(in));
            if constexpr (S == Sample::S16BE) v = static_cast<std::int16_t>(Be16(in));
            if constexpr (S == Sample::S24LE) v = static_cast<std::int16_t>(Le16(in + 1));
            if constexpr (S == Sample::S24BE) v = static_cast<std::int16_t>(Be16(in));
            if constexpr (S == Sample::S32LE) v = static_cast<std::int16_t>(Le16(in + 2));
            if constexpr (S == Sample::S32BE) v = static_cast<std::int16_t>(Be16(in));
            if constexpr (S == Sample::F32LE) v = FromFloat(std::bit_cast<float>(Le32(in)), vector);
            if constexpr (S == Sample::F32BE) v = FromFloat(std::bit_cast<float>(Be32(in)), vector);
            if constexpr (S == Sample::F64LE)
                v = FromDouble(std::bit_cast<double>((std::uint64_t{Le32(in + 4)} << 32) | Le32(in)));
            if constexpr (S == Sample::F64BE) v = FromDouble(std::bit_cast<double>(Be64(in)));
            std::memcpy(out + 2 * i, &v, 2);
        }
    }
}

void Convert(Sample s, const std::uint8_t* in, std::uint8_t* out, std::size_t samples, bool vector) {
    switch (s) {
        case Sample::U8:
            return ConvertSamples<Sample::U8>(in, out, samples, vector);
        case Sample::S8:
            return ConvertSamples<Sample::S8>(in, out, samples, vector);
        case Sample::S16LE:
            return ConvertSamples<Sample::S16LE>(in, out, samples, vector);
        case Sample::S16BE:
            return ConvertSamples<Sample::S16BE>(in, out, samples, vector);
        case Sample::S24LE:
            return ConvertSamples<Sample::S24LE>(in, out, samples, vector);
        case Sample::S24BE:
            return ConvertSamples<Sample::S24BE>(in, out, samples, vector);
        case Sample::S32LE:
            return ConvertSamples<Sample::S32LE>(in, out, samples, vector);
        case Sample::S32BE:
            return ConvertSamples<Sample::S32BE>(in, out, samples, vector);
        case Sample::F32LE:
            return ConvertSamples<Sample::F32LE>(in, out, samples, vector);
        case Sample::F32BE:
            return ConvertSamples<Sample::F32BE>(in, out, samples, vector);
        case Sample::F64LE:
            return ConvertSamples<Sample::F64LE>(in, out, samples, vector);
        case Sample::F64BE:
            return ConvertSamples<Sample::F64BE>(in, out, samples, vector);
    }
}

// Full resolution: integers up to 24 bits are exact in a float; NaN becomes silence.
template <Sample S>
void ConvertSamplesToFloat(const std::uint8_t* in, float* out, std::size_t samples) {
    constexpr std::size_t kIn = S == Sample::U8 || S == Sample::S8         ? 1
                                : S == Sample::S16LE || S == Sample::S16BE ? 2
                                : S == Sample::S24LE || S == Sample::S24BE ? 3
                                : S == Sample::F64LE || S == Sample::F64BE ? 8
                                                                           : 4;
    for (std::size_t i = 0; i < samples; ++i, in += kIn) {
        double v = 0;
        if constexpr (S == Sample::U8) v = (in[0] - 128) / 128.0;
        if constexpr (S == Sample::S8) v = static_cast<std::int8_t>(in[0]) / 128.0;
        if constexpr (S == Sample::S16LE) v = static_cast<std::int16_t>(Le16(in)) / 32768.0;
        if constexpr (S == Sample::S16BE) v = static_cast<std::int16_t>(Be16(in)) / 32768.0;
        if constexpr (S == Sample::S24LE)
            v = static_cast<std::int32_t>(std::uint32_t{in[0]} << 8 | std::uint32_t{in[1]} << 16 |
                                          std::uint32_t{in[2]} << 24) /
                2147483648.0;
        if constexpr (S == Sample::S24BE)
            v = static_cast<std::int32_t>(std::uint32_t{in[0]} << 24 | std::uint32_t{in[1]} << 16 |
                                          std::uint32_t{in[2]} << 8) /
                2147483648.0;
        if constexpr (S == Sample::S32LE) v = static_cast<std::int32_t>(Le32(in)) / 2147483648.0;
        if constexpr (S == Sample::S32BE) v = static_cast<std::int32_t>(Be32(in)) / 2147483648.0;
        if constexpr (S == Sample::F32LE) v = std::bit_cast<float>(Le32(in));
        if constexpr (S == Sample::F32BE) v = std::bit_cast<float>(Be32(in));
        if constexpr (S == Sample::F64LE)
            v = std::bit_cast<double>((std::uint64_t{Le32(in + 4)} << 32) | Le32(in));
        if constexpr (S == Sample::F64BE) v = std::bit_cast<double>(Be64(in));
        out[i] = std::isnan(v) ? 0.0f : static_cast<float>(v);
    }
}

void ConvertToFloat(Sample s, const std::uint8_t* in, float* out, std::size_t samples) {
    switch (s) {
        case Sample::U8:
            return ConvertSamplesToFloat<Sample::U8>(in, out, samples);
        case Sample::S8:
            return ConvertSamplesToFloat<Sample::S8>(in, out, samples);
        case Sample::S16LE:
            return ConvertSamplesToFloat<Sample::S16LE>(in, out, samples);
        case Sample::S16BE:
            return ConvertSamplesToFloat<Sample::S16BE>(in, out, samples);
        case Sample::S24LE:
            return ConvertSamplesToFloat<Sample::S24LE>(in, out, samples);
        case Sample::S24BE:
            return ConvertSamplesToFloat<Sample::S24BE>(in, out, samples);
        case Sample::S32LE:
            return ConvertSamplesToFloat<Sample::S32LE>(in, out, samples);
        case Sample::S32BE:
            return ConvertSamplesToFloat<Sample::S32BE>(in, out, samples);
        case Sample::F32LE:
            return ConvertSamplesToFloat<Sample::F32LE>(in, out, samples);
        case Sample::F32BE:
            return ConvertSamplesToFloat<Sample::F32BE>(in, out, samples);
        case Sample::F64LE:
            return ConvertSamplesToFloat<Sample::F64LE>(in, out, samples);
        case Sample::F64BE:
            return ConvertSamplesToFloat<Sample::F64BE>(in, out, samples);
    }
}

std::uint32_t OriginalResolution(Sample s) {
    return IsFloat(s) ? BASS_ORIGRES_FLOAT : StoredBytes(s) * 8;
}

}  // namespace

std::unique_ptr<BassChannel> BassPcmChannel::Open(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return nullptr;
    const auto fileSize = static_cast<std::uint64_t>(st.st_size);
    std::unique_ptr<BassPcmChannel> ch(new BassPcmChannel());
    ch->m_path = path;
    ch->m_input = OpenFile(path.c_str(), "rb");
    ch->m_inputBuffer.resize(kReadBytes);  // glibc ignores the size unless it is given the buffer
    if (!ch->m_input ||
        std::setvbuf(ch->m_input.get(), ch->m_inputBuffer.data(), _IOFBF, ch->m_inputBuffer.size()) != 0)
        return nullptr;
    std::FILE* f = ch->m_input.get();
    std::uint8_t head[12];
    if (!ReadAt(f, 0, head, sizeof head)) return nullptr;
    std::optional<Layout> layout;
    if (IdIs(head, "RIFF") && IdIs(head + 8, "WAVE"))
        layout = ParseWav(f, fileSize);
    else if (IdIs(head, "FORM") && (IdIs(head + 8, "AIFF") || IdIs(head + 8, "AIFC")))
        layout = ParseAiff(f, fileSize, Be32(head + 4), IdIs(head + 8, "AIFC"));
    if (!layout || ::fseeko(f, static_cast<off_t>(layout->dataOffset), SEEK_SET) != 0) return nullptr;
    if (IsFloat(layout->sample) && !kKnownFloatConversion) return nullptr;

    ch->m_sample = layout->sample;
    ch->m_inFrame = std::size_t{layout->chans} * StoredBytes(layout->sample);
    ch->m_framesLeft = layout->frames;
    ch->m_raw.resize(kReadBytes - kReadBytes % ch->m_inFrame);
    // The demuxers cut packets of whole frames of up to 4096 bytes (one frame at least).
    ch->m_packetFrames = std::max<std::size_t>(1, 4096 / ch->m_inFrame);
    ch->m_storedFrames = layout->storedFrames;
    ch->m_announcedMissing = layout->missingFrames;
    auto& d = ch->m_info;
    d.freq = layout->freq;
    d.chans = layout->chans;
    d.eightBit = IsEightBit(layout->sample);
    d.ctype = BASS_CTYPE_STREAM;
    d.origres = OriginalResolution(layout->sample);
    d.length = layout->frames * ch->FrameBytes();
    d.fileStart = 0;
    d.fileEnd = fileSize;
    return ch;
}

bool BassPcmChannel::StartFloat() {
    m_float = true;
    return true;
}

std::size_t BassPcmChannel::Render(std::uint8_t* out, std::size_t bytes) {
    const std::size_t outFrame = m_float ? std::size_t{m_info.chans} * 4 : FrameBytes();
    std::size_t frames = static_cast<std::size_t>(std::min<std::uint64_t>(bytes / outFrame, m_framesLeft));
    std::size_t done = 0;
    while (done < frames) {
        const std::size_t want = std::min(frames - done, m_raw.size() / m_inFrame);
        const std::size_t got = std::fread(m_raw.data(), 1, want * m_inFrame, m_input.get()) / m_inFrame;
        if (m_float) {
            ConvertToFloat(m_sample, m_raw.data(), reinterpret_cast<float*>(out + done * outFrame),
                           got * m_info.chans);
            m_frameIndex += got;
        }
        for (std::size_t run = m_float ? got : 0; run < got;) {
            // Which of libswresample's ways a frame takes depends on its place in its packet:
            // the leading multiple of 16 frames goes the vector way, the rest the scalar way.
            const std::uint64_t start = m_frameIndex - m_frameIndex % m_packetFrames;
            const std::uint64_t inPacket = std::min<std::uint64_t>(m_packetFrames, m_storedFrames - start);
            const std::uint64_t vectorEnd = start + (inPacket & ~std::uint64_t{15});
            const bool vector = m_frameIndex < vectorEnd;
            const std::uint64_t runEnd = vector ? vectorEnd : start + inPacket;
            const std::size_t n =
                static_cast<std::size_t>(std::min<std::uint64_t>(got - run, runEnd - m_frameIndex));
            Convert(m_sample, m_raw.data() + run * m_inFrame, out + (done + run) * outFrame, n * m_info.chans,
                    vector);
            run += n;
            m_frameIndex += n;
        }
        done += got;
        m_framesLeft -= got;
        if (got < want) {
            m_missing = m_framesLeft;  // the file shrank or could not be read: end here
            m_framesLeft = 0;
            break;
        }
    }
    return done * outFrame;
}
