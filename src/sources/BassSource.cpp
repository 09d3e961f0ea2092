#include "sources/BassSource.h"

#include <strings.h>
#include <sys/types.h>

#include <algorithm>
#include <array>
#include <climits>
#include <cstring>

#include "platform/Bass.h"
#include "platform/BassMidi.h"
#include "platform/BassTags.h"
#include "platform/UniqueFile.h"
#include "sources/ReaderBytes.h"
#include "sources/TextConvert.h"

namespace {

constexpr int kKindStream = 0;
constexpr int kKindMp3 = 1;
constexpr int kKindModule = 2;
constexpr int kKindMidi = 3;

constexpr char kTagFormat[] = "%TRCK\n%TITL\n%ARTI\n%ALBM\n%GNRE\n%YEAR\n%CMNT\n%COMP\n%COPY";

// kbit/s by [MPEG-1 or lower sampling frequencies][layer index][bit-rate index].
constexpr int kBitrates[2][3][15] = {{{0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448},
                                      {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384},
                                      {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320}},
                                     {{0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256},
                                      {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160},
                                      {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160}}};

int KindFromPath(const char* path) {
    const char* dot = std::strrchr(path, '.');
    if (!dot) return kKindStream;
    if (::strcasecmp(dot, ".mp3") == 0) return kKindMp3;
    for (const char* ext : {".midi", ".mid", ".rmi", ".kar"})
        if (::strcasecmp(dot, ext) == 0) return kKindMidi;
    return kKindStream;
}

bool IsMpegChannel(std::uint32_t handle) {
    BASS_CHANNELINFO info{};
    if (!BASS_ChannelGetInfo(handle, &info)) return false;
    return info.ctype == BASS_CTYPE_STREAM_MP1 || info.ctype == BASS_CTYPE_STREAM_MP2 ||
           info.ctype == BASS_CTYPE_STREAM_MP3;
}

}  // namespace

int BassSource::ChannelModeFromFrameHeader(const std::uint8_t h[4]) {
    if (h[0] != 0xFF || (h[1] & 0xE0) != 0xE0) return -1;
    const int version = (h[1] >> 3) & 3;
    if (version == 1) return -1;
    const int layerBits = (h[1] >> 1) & 3;
    if (layerBits == 0) return -1;
    const int bitrateIndex = h[2] >> 4;
    if (bitrateIndex == 15) return -1;
    if (kBitrates[version == 3 ? 0 : 1][3 - layerBits][bitrateIndex] == 0) return -1;
    return h[3] >> 6;
}

void BassSource::Close() {
    if (m_handle) {
        if (m_kind == kKindModule)
            BASS_MusicFree(m_handle);
        else
            BASS_StreamFree(m_handle);
    }
    m_readBuffer.clear();
    m_readBuffer.shrink_to_fit();
    m_id3v1.reset();
    m_id3v2.reset();
    m_id3v1Asked = m_id3v2Asked = false;
    m_float = m_read = false;
    m_handle = 0;
    m_readBufferSize = 0;
    m_id3v2Size = 0;
    m_kind = 0;
}

int BassSource::Open(const char* path, int renderRate) {
    if (m_handle) Close();
    ResetCommon();
    m_kind = kKindStream;
    if (!path) return 0;
    m_kind = KindFromPath(path);
    const std::uint32_t rate = renderRate > 0 ? static_cast<std::uint32_t>(renderRate) : 0;

    if (m_kind == kKindMidi) {
        m_handle = BASS_MIDI_StreamCreateFile(0, path, 0, 0, BASS_STREAM_DECODE, rate);
    } else {
        m_handle = BASS_StreamCreateFile(0, path, 0, 0, BASS_STREAM_DECODE);
        if (!m_handle) {
            m_handle = BASS_MusicLoad(0, path, 0, 0,
                                      BASS_STREAM_DECODE | BASS_MUSIC_PRESCAN | BASS_MUSIC_RAMP, rate);
            if (m_handle) m_kind = kKindModule;
        }
    }
    if (!m_handle) {
        m_kind = kKindStream;
        return 0;
    }

    const std::uint64_t length = BASS_ChannelGetLength(m_handle, BASS_POS_BYTE);
    BASS_CHANNELINFO info{};
    if (length == 0 || length == ~std::uint64_t{0} || !BASS_ChannelGetInfo(m_handle, &info) ||
        info.chans == 0) {
        Close();
        return 0;
    }
    m_totalLength = static_cast<std::int64_t>(length);
    const double seconds = BASS_ChannelBytes2Seconds(m_handle, length);
    m_duration = seconds > 0 && seconds < INT_MAX ? static_cast<int>(seconds) : 0;
    m_sampleRate = static_cast<int>(info.freq);
    m_channels = static_cast<int>(info.chans);
    m_outputChannels = m_channels < 2 ? 1 : 2;
    if (info.flags & BASS_SAMPLE_8BITS) {
        m_bitsPerSample = 8;
        m_bytesPerSample = 1;
    } else {
        m_bitsPerSample = 16;
        m_bytesPerSample = 2;
    }

    if (info.origres & BASS_ORIGRES_FLOAT) {
        m_heldBits = kFloatBits;
        m_heldFloat = true;
    } else if (info.origres > 16)
        m_heldBits = static_cast<int>(std::min<std::uint32_t>(info.origres, 32));

    if (m_kind == kKindMp3) ReadChannelMode(path);

    const std::uint64_t fileSize = BASS_StreamGetFilePosition(m_handle, BASS_FILEPOS_END);
    if (seconds > 0 && fileSize != ~std::uint64_t{0}) {
        const double kbps = static_cast<double>(fileSize) / (seconds * 125) + 0.5;
        m_bitrate = kbps < INT_MAX ? static_cast<int>(kbps) : INT_MAX;
    } else {
        m_bitrate = static_cast<int>(static_cast<unsigned>(m_bitsPerSample) * info.freq * info.chans / 1000u);
    }

    m_readBufferSize = static_cast<std::uint32_t>(m_bytesPerSample * m_outputChannels * kBlockFrames);
    m_readBuffer.assign(m_readBufferSize, 0);
    m_path = path;
    return 1;
}

void BassSource::ReadChannelMode(const char* path) {
    // A failure anywhere here leaves the mode unknown (4) and does not fail Open.
    const std::uint64_t start = BASS_StreamGetFilePosition(m_handle, BASS_FILEPOS_START);
    if ((start & 0xFFFFFFFFu) == 0xFFFFFFFFu) return;
    auto file = OpenFile(path, "rb");
    if (!file || start > static_cast<std::uint64_t>(INT64_MAX) ||
        ::fseeko(file.get(), static_cast<off_t>(start), SEEK_SET) != 0)
        return;
    std::uint8_t header[4];
    if (std::fread(header, 1, 4, file.get()) != 4) return;
    const int mode = ChannelModeFromFrameHeader(header);
    if (mode >= 0) m_channelMode = mode;
}

int BassSource::RequestFullResolution() {
    if (!m_handle || m_read) return 0;
    m_float = true;
    m_bitsPerSample = kFloatBits;
    m_bytesPerSample = 4;
    m_readBufferSize = static_cast<std::uint32_t>(4 * m_channels * kBlockFrames);
    m_readBuffer.assign(m_readBufferSize, 0);
    return 1;
}

int BassSource::ReadBlock(void* left, void* right) {
    if (!m_handle || !left) return 0;
    m_read = true;
    if (m_float) return ReadFloatBlock(static_cast<float*>(left), static_cast<float*>(right));
    void* target = m_channels < 2 ? left : m_readBuffer.data();
    const std::uint32_t got = BASS_ChannelGetData(m_handle, target, m_readBufferSize);
    if (got == BASS_DATA_END) return 0;
    if (m_channels < 2) return static_cast<int>(got / static_cast<std::uint32_t>(m_bytesPerSample));
    // The channel delivers host-order samples; the first two channels of each frame are kept.
    const auto sampleBytes = static_cast<std::size_t>(m_bytesPerSample);
    const readerbytes::FrameLayout layout{sampleBytes * static_cast<std::size_t>(m_channels), sampleBytes};
    if (m_bytesPerSample == 2)
        return readerbytes::Deinterleave<std::int16_t>(m_readBuffer.data(), got, layout, left, right,
                                                       [](const std::uint8_t* p) {
                                                           std::int16_t v;
                                                           std::memcpy(&v, p, sizeof v);
                                                           return v;
                                                       });
    return readerbytes::Deinterleave<std::uint8_t>(m_readBuffer.data(), got, layout, left, right,
                                                   [](const std::uint8_t* p) { return *p; });
}

int BassSource::ReadFloatBlock(float* left, float* right) {
    void* target = m_channels < 2 ? static_cast<void*>(left) : m_readBuffer.data();
    const std::uint32_t got = BASS_ChannelGetData(
        m_handle, target, (m_channels < 2 ? 4u * kBlockFrames : m_readBufferSize) | BASS_DATA_FLOAT);
    if (got == BASS_DATA_END) return 0;
    if (m_channels < 2) return static_cast<int>(got / 4);
    const readerbytes::FrameLayout layout{4 * static_cast<std::size_t>(m_channels), 4};
    return readerbytes::Deinterleave<float>(m_readBuffer.data(), got, layout, left, right,
                                            [](const std::uint8_t* p) {
                                                float v;
                                                std::memcpy(&v, p, sizeof v);
                                                return v;
                                            });
}

std::int64_t BassSource::GetPosition() {
    if (!m_handle) return 0;
    const std::uint64_t pos = BASS_ChannelGetPosition(m_handle, BASS_POS_BYTE);
    return pos == ~std::uint64_t{0} ? 0 : static_cast<std::int64_t>(pos);
}

const std::uint8_t* BassSource::GetId3v1Tag() {
    if (m_kind != kKindMp3 || !m_handle) return nullptr;
    if (!m_id3v1Asked) {
        m_id3v1Asked = true;
        if (const char* tag = BASS_ChannelGetTags(m_handle, BASS_TAG_ID3)) {
            m_id3v1 = std::make_unique<std::uint8_t[]>(128);
            std::memcpy(m_id3v1.get(), tag, 128);
        }
    }
    return m_id3v1.get();
}

const std::uint8_t* BassSource::GetId3v2Tag(int& size) {
    size = 0;
    if (m_kind != kKindMp3 || !m_handle) return nullptr;
    if (!m_id3v2Asked) {
        m_id3v2Asked = true;
        if (const char* tag = BASS_ChannelGetTags(m_handle, BASS_TAG_ID3V2)) {
            const auto* h = reinterpret_cast<const std::uint8_t*>(tag);
            const int body = (h[6] & 0x7F) << 21 | (h[7] & 0x7F) << 14 | (h[8] & 0x7F) << 7 | (h[9] & 0x7F);
            m_id3v2Size = body + 10;
            if (h[3] >= 4 && (h[5] & 0x10)) m_id3v2Size += 10;  // a version 4 footer belongs to the tag
            m_id3v2 = std::make_unique<std::uint8_t[]>(static_cast<std::size_t>(m_id3v2Size));
            std::memcpy(m_id3v2.get(), tag, static_cast<std::size_t>(m_id3v2Size));
        }
    }
    size = m_id3v2Size;
    return m_id3v2.get();
}

int BassSource::ReadTags(TagSet& tags) {
    if (!m_handle) return 0;
    const char* raw = TAGS_Read(m_handle, kTagFormat);
    if (!raw || !*raw) return 0;
    std::string text;
    // MPEG streams deliver their tags in the system code page already, whatever the extension.
    if (IsMpegChannel(m_handle))
        text = raw;
    else if (Utf8ToAnsi(raw, text) != 0)
        return 0;

    std::array<std::string*, 8> fields = {&tags.track, &tags.title, &tags.artist,  &tags.album,
                                          &tags.genre, &tags.year,  &tags.comment, &tags.composer};
    std::size_t pos = 0;
    for (std::string* field : fields) {
        const std::size_t lf = text.find('\n', pos);
        if (lf == std::string::npos) return 1;
        field->assign(text, pos, lf - pos);
        pos = lf + 1;
    }
    tags.copyright.assign(text, pos, std::string::npos);
    return 1;
}

ReadOutcome BassSource::GetReadOutcome() {
    ReadOutcome outcome;
    if (m_handle) {
        outcome.damagedFrames = static_cast<std::int64_t>(BASS_ChannelGetDamagedFrames(m_handle));
        outcome.missingFrames = static_cast<std::int64_t>(BASS_ChannelGetMissingFrames(m_handle));
    }
    return outcome;
}
