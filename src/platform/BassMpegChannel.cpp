#include "platform/BassMpegChannel.h"

#include <mpg123.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstring>

#include "platform/Bass.h"
#include "platform/UniqueFile.h"

namespace {

// Size of the ID3v2 tag at the start of the file (10-byte header, synchsafe body size and an
// optional footer); 0 when there is none or its size runs past the end of the file.
std::uint64_t Id3v2Extent(std::FILE* f, std::uint64_t fileSize) {
    unsigned char h[10];
    if (std::fseek(f, 0, SEEK_SET) != 0 || std::fread(h, 1, 10, f) != 10) return 0;
    if (h[0] != 'I' || h[1] != 'D' || h[2] != '3' || h[3] == 0xFF || h[4] == 0xFF) return 0;
    if ((h[6] | h[7] | h[8] | h[9]) & 0x80) return 0;
    std::uint64_t size = (std::uint64_t{h[6]} << 21) | (h[7] << 14) | (h[8] << 7) | h[9];
    size += 10;
    if (h[3] >= 4 && (h[5] & 0x10)) size += 10;  // footer
    return size <= fileSize ? size : 0;
}

// mpg123's own reader issues a read call for every frame; these read through a buffered stream.
mpg123_ssize_t ReadInput(void* handle, void* buffer, std::size_t bytes) {
    auto* f = static_cast<std::FILE*>(handle);
    const std::size_t got = std::fread(buffer, 1, bytes, f);
    return got == 0 && std::ferror(f) ? -1 : static_cast<mpg123_ssize_t>(got);
}

off_t SeekInput(void* handle, off_t offset, int whence) {
    auto* f = static_cast<std::FILE*>(handle);
    return ::fseeko(f, offset, whence) == 0 ? ::ftello(f) : off_t{-1};
}

constexpr std::size_t kInputBuffer = std::size_t{1} << 16;
constexpr long kResyncLimit = 1 << 16;

std::uint64_t FileSize(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return ~std::uint64_t{0};
    return static_cast<std::uint64_t>(st.st_size);
}

}  // namespace

std::unique_ptr<BassChannel> BassMpegChannel::Open(const std::string& path) {
    const std::uint64_t fileSize = FileSize(path);
    if (fileSize == ~std::uint64_t{0}) return nullptr;
    std::unique_ptr<BassMpegChannel> ch(new BassMpegChannel());
    ch->m_path = path;
    int err = MPG123_OK;
    ch->m_handle = mpg123_new(nullptr, &err);
    if (!ch->m_handle) return nullptr;
    mpg123_handle* mh = ch->m_handle;
    mpg123_param(mh, MPG123_ADD_FLAGS, MPG123_QUIET | MPG123_GAPLESS, 0.0);
    // Damage that spans several frames is skipped (and counted) rather than ending the stream.
    mpg123_param(mh, MPG123_RESYNC_LIMIT, kResyncLimit, 0.0);
    mpg123_format_none(mh);
    const long* rates = nullptr;
    std::size_t count = 0;
    mpg123_rates(&rates, &count);
    for (std::size_t i = 0; i < count; ++i)
        mpg123_format(mh, rates[i], MPG123_MONO | MPG123_STEREO, MPG123_ENC_SIGNED_16);
    ch->m_input = OpenFile(path.c_str(), "rb");
    ch->m_inputBuffer.resize(kInputBuffer);  // glibc ignores the size unless it is given the buffer
    if (!ch->m_input ||
        std::setvbuf(ch->m_input.get(), ch->m_inputBuffer.data(), _IOFBF, ch->m_inputBuffer.size()) != 0)
        return nullptr;
    ch->m_id3v2Size = Id3v2Extent(ch->m_input.get(), fileSize);
    if (std::fseek(ch->m_input.get(), 0, SEEK_SET) != 0) return nullptr;
    if (mpg123_replace_reader_handle(mh, &ReadInput, &SeekInput, nullptr) != MPG123_OK ||
        mpg123_open_handle(mh, ch->m_input.get()) != MPG123_OK)
        return nullptr;
    if (mpg123_scan(mh) != MPG123_OK) return nullptr;
    long rate = 0;
    int channels = 0, encoding = 0;
    if (mpg123_getformat(mh, &rate, &channels, &encoding) != MPG123_OK) return nullptr;
    if (rate <= 0 || (channels != 1 && channels != 2)) return nullptr;
    // Keep this format for the whole stream, whatever later frames announce.
    mpg123_format_none(mh);
    mpg123_format(mh, rate, channels, MPG123_ENC_SIGNED_16);
    const off_t frames = mpg123_length(mh);
    if (frames <= 0) return nullptr;

    mpg123_frameinfo fi{};
    std::uint32_t ctype = BASS_CTYPE_STREAM_MP3;
    if (mpg123_info(mh, &fi) == MPG123_OK) {
        if (fi.layer == 1) ctype = BASS_CTYPE_STREAM_MP1;
        if (fi.layer == 2) ctype = BASS_CTYPE_STREAM_MP2;
    }

    auto& d = ch->m_info;
    d.freq = static_cast<std::uint32_t>(rate);
    d.chans = static_cast<std::uint32_t>(channels);
    d.ctype = ctype;
    d.length = static_cast<std::uint64_t>(frames) * ch->FrameBytes();
    d.fileStart = ch->m_id3v2Size;
    d.fileEnd = fileSize;
    return ch;
}

BassMpegChannel::~BassMpegChannel() {
    if (m_handle) {
        mpg123_close(m_handle);
        mpg123_delete(m_handle);
    }
}

bool BassMpegChannel::StartFloat() {
    // The output format is fixed when a stream is opened, so the stream opens again, unread,
    // with floats as its only format; the scan gives the same exact length.
    mpg123_handle* mh = m_handle;
    mpg123_close(mh);
    mpg123_format_none(mh);
    mpg123_format(mh, static_cast<long>(m_info.freq), m_info.chans == 1 ? MPG123_MONO : MPG123_STEREO,
                  MPG123_ENC_FLOAT_32);
    long rate = 0;
    int channels = 0, encoding = 0;
    if (std::fseek(m_input.get(), 0, SEEK_SET) != 0 || mpg123_open_handle(mh, m_input.get()) != MPG123_OK ||
        mpg123_scan(mh) != MPG123_OK || mpg123_getformat(mh, &rate, &channels, &encoding) != MPG123_OK ||
        encoding != MPG123_ENC_FLOAT_32 ||
        static_cast<std::uint64_t>(mpg123_length(mh)) * FrameBytes() != m_info.length) {
        // Back to what the stream delivered before, from its start.
        mpg123_close(mh);
        mpg123_format_none(mh);
        mpg123_format(mh, static_cast<long>(m_info.freq), m_info.chans == 1 ? MPG123_MONO : MPG123_STEREO,
                      MPG123_ENC_SIGNED_16);
        std::fseek(m_input.get(), 0, SEEK_SET);
        m_broken = mpg123_open_handle(mh, m_input.get()) != MPG123_OK || mpg123_scan(mh) != MPG123_OK;
        return false;
    }
    m_float = true;
    return true;
}

std::size_t BassMpegChannel::Render(std::uint8_t* out, std::size_t bytes) {
    if (m_broken) return 0;
    std::size_t total = 0;
    int idle = 0;
    while (total < bytes) {
        if (m_pendingBytes > 0) {
            const std::size_t n = std::min(m_pendingBytes, bytes - total);
            std::memcpy(out + total, m_pending, n);
            m_pending += n;
            m_pendingBytes -= n;
            total += n;
            continue;
        }
        // Frame by frame, so that the bytes mpg123 skipped between two frames (damage it resynced
        // over) can be counted.
        off_t number = 0;
        unsigned char* audio = nullptr;
        std::size_t done = 0;
        const int rc = mpg123_decode_frame(m_handle, &number, &audio, &done);
        if (rc == MPG123_NEW_FORMAT) continue;
        if (rc != MPG123_OK) break;
        NoteFrame();
        m_pending = audio;
        m_pendingBytes = audio ? done : 0;
        // A reader that makes no progress must not spin forever.
        idle = done == 0 ? idle + 1 : 0;
        if (idle > 64) break;
    }
    return total;
}

void BassMpegChannel::NoteFrame() {
    mpg123_frameinfo fi{};
    const off_t at = mpg123_framepos(m_handle);
    if (at < 0 || mpg123_info(m_handle, &fi) != MPG123_OK || fi.framesize <= 0) return;
    const std::int64_t frameBytes = fi.framesize + 4;  // the header is not counted in framesize
    if (m_nextFrameAt >= 0 && at > m_nextFrameAt) {
        const std::int64_t gap = at - m_nextFrameAt;
        m_damaged +=
            static_cast<std::uint64_t>(std::max<std::int64_t>((gap + frameBytes / 2) / frameBytes, 1));
    }
    m_nextFrameAt = at + frameBytes;
}

const std::vector<std::uint8_t>* BassMpegChannel::Id3Tag(std::uint32_t type) {
    if (type > BASS_TAG_ID3V2) return nullptr;
    auto& slot = type == BASS_TAG_ID3 ? m_id3v1 : m_id3v2;
    if (!slot) {
        slot.emplace();
        auto file = OpenFile(m_path.c_str(), "rb");
        if (file && type == BASS_TAG_ID3 && m_info.fileEnd >= 128 && m_info.fileEnd != ~std::uint64_t{0}) {
            slot->resize(128);
            if (::fseeko(file.get(), static_cast<off_t>(m_info.fileEnd - 128), SEEK_SET) != 0 ||
                std::fread(slot->data(), 1, 128, file.get()) != 128 || (*slot)[0] != 'T' ||
                (*slot)[1] != 'A' || (*slot)[2] != 'G')
                slot->clear();
        } else if (file && type == BASS_TAG_ID3V2 && m_id3v2Size > 0) {
            slot->resize(static_cast<std::size_t>(m_id3v2Size));
            if (std::fread(slot->data(), 1, slot->size(), file.get()) != slot->size()) slot->clear();
        }
    }
    return slot->empty() ? nullptr : &*slot;
}
