#include "sources/OggVorbisSource.h"

#include <strings.h>
#include <vorbis/vorbisfile.h>

#include <algorithm>
#include <cstring>
#include <filesystem>

#include "sources/TextConvert.h"

namespace {

// Cuts a comment to at most `limit` bytes without splitting a multi-byte character.
std::string CutComment(const char* text, std::size_t length, std::size_t limit) {
    length = static_cast<std::size_t>(std::find(text, text + length, '\0') - text);
    if (length <= limit) return std::string(text, length);
    std::size_t cut = limit;
    while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0u) == 0x80u) --cut;
    return std::string(text, cut);
}

}  // namespace

void OggVorbisSource::FileCloser::operator()(OggVorbis_File* vf) const {
    ov_clear(vf);
    delete vf;
}

OggVorbisSource::OggVorbisSource() = default;

OggVorbisSource::~OggVorbisSource() {
    Close();
}

void OggVorbisSource::Close() {
    m_file.reset();
    m_version = -1;
    m_comments.clear();
    m_vendor.clear();
    m_float = m_read = false;
    ResetCommon();
}

int OggVorbisSource::Open(const char* path, int /*renderRate*/) {
    Close();
    if (!path) return 0;
    auto vf = std::make_unique<OggVorbis_File>();
    std::memset(vf.get(), 0, sizeof(OggVorbis_File));
    // On failure ov_fopen closes the file and clears the state itself.
    if (ov_fopen(path, vf.get()) < 0) return 0;
    m_file.reset(vf.release());
    // In a chained file vorbisfile may start reading at the second link (the first is lost
    // when it is short); seeking to the first sample puts the reader at the real start.
    if (ov_streams(m_file.get()) > 1) ov_pcm_seek(m_file.get(), 0);

    const vorbis_info* info = ov_info(m_file.get(), -1);
    if (!info || info->channels < 1 || info->rate < 1) {
        Close();
        return 0;
    }
    if (const vorbis_comment* vc = ov_comment(m_file.get(), -1)) {
        for (int i = 0; i < vc->comments; ++i) {
            if (!vc->user_comments[i] || vc->comment_lengths[i] < 0) continue;
            const std::string raw = CutComment(
                vc->user_comments[i], static_cast<std::size_t>(vc->comment_lengths[i]), kMaxCommentBytes);
            std::string converted;
            if (Utf8ToAnsi(raw.c_str(), converted) == 0) m_comments.push_back(std::move(converted));
        }
        if (vc->vendor) m_vendor = vc->vendor;
    }
    // A chained file may hold mono links; their samples must still fit one block.
    m_interleaveRead = static_cast<int>(m_interleave.size());
    for (long i = 0, n = ov_streams(m_file.get()); i < n; ++i) {
        const vorbis_info* link = ov_info(m_file.get(), static_cast<int>(i));
        if (link && link->channels < 2) m_interleaveRead = kBlockFrames * 2;
    }
    m_version = info->version;
    m_sampleRate = static_cast<int>(std::min<long>(info->rate, 0x7FFFFFFF));
    m_channels = info->channels;
    m_outputChannels = m_channels <= 2 ? m_channels : 2;
    m_bitrate = info->bitrate_nominal > 0 ? static_cast<int>(info->bitrate_nominal / 1000) : 0;
    m_bitsPerSample = 16;
    m_bytesPerSample = 2;
    const double seconds = ov_time_total(m_file.get(), -1);
    m_duration = seconds > 0 && seconds < 2147483647.0 ? static_cast<int>(seconds) : 0;
    // vorbisfile's own total leaves out the header pages that its read offset counts,
    // so the progress would pass 100 %; the file's size is what the offset ends at.
    std::error_code ec;
    const auto size = std::filesystem::file_size(path, ec);
    const ogg_int64_t total = ov_raw_total(m_file.get(), -1);
    m_totalLength = !ec ? static_cast<std::int64_t>(size) : std::max<ogg_int64_t>(total, 0);
    return 1;
}

// One ov_read, repeated while it reports holes or damage, but only so often: a stream
// that keeps failing ends instead of spinning. `channels` is that of the link just read.
int OggVorbisSource::ReadSome(char* buffer, int bytes, int& channels) {
    for (int tries = 0; tries < kMaxFailedReads; ++tries) {
        int link = 0;
        const long got = ov_read(m_file.get(), buffer, bytes, 0, 2, 1, &link);
        if (got < 0) continue;
        const vorbis_info* info = ov_info(m_file.get(), link);
        channels = info && info->channels > 0 ? info->channels : m_channels;
        return static_cast<int>(got);
    }
    return 0;
}

int OggVorbisSource::RequestFullResolution() {
    if (!m_file || m_read) return 0;
    m_float = true;
    m_bitsPerSample = kFloatBits;
    m_bytesPerSample = 4;
    return 1;
}

int OggVorbisSource::ReadFloat(float* left, float* right) {
    for (int tries = 0; tries < kMaxFailedReads; ++tries) {
        int link = 0;
        float** pcm = nullptr;
        const long got = ov_read_float(m_file.get(), &pcm, kBlockFrames, &link);
        if (got < 0) continue;
        if (got == 0 || !pcm) return 0;  // end of stream: libvorbisfile leaves pcm unset
        const vorbis_info* info = ov_info(m_file.get(), link);
        const int channels = info && info->channels > 0 ? info->channels : m_channels;
        const int frames = static_cast<int>(std::min<long>(got, kBlockFrames));
        std::copy(pcm[0], pcm[0] + frames, left);
        if (right) std::copy(pcm[channels > 1 ? 1 : 0], pcm[channels > 1 ? 1 : 0] + frames, right);
        return frames;
    }
    return 0;
}

int OggVorbisSource::ReadBlock(void* left, void* right) {
    if (!m_file || !left) return 0;
    m_read = true;
    if (m_float) {
        if (m_outputChannels == 2 && !right) return 0;
        return ReadFloat(static_cast<float*>(left),
                         m_outputChannels == 2 ? static_cast<float*>(right) : nullptr);
    }
    auto* l = static_cast<std::int16_t*>(left);
    auto* r = static_cast<std::int16_t*>(right);
    int channels = m_channels;
    if (m_outputChannels < 2) {
        const int bytes = ReadSome(static_cast<char*>(left), kBlockFrames * 2, channels);
        int frames = bytes / 2 / channels;
        // A later link of a chained file may have more channels: keep its first.
        for (int k = 1; channels > 1 && k < frames; ++k) l[k] = l[k * channels];
        return frames;
    }
    if (!r) return 0;
    const int bytes = ReadSome(m_interleave.data(), m_interleaveRead, channels);
    const int frames = bytes / 2 / channels;
    const auto* s = reinterpret_cast<const std::int16_t*>(m_interleave.data());
    for (int k = 0; k < frames; ++k) {
        l[k] = s[k * channels];
        r[k] = s[k * channels + (channels > 1 ? 1 : 0)];
    }
    return frames;
}

std::int64_t OggVorbisSource::GetPosition() {
    if (!m_file) return 0;
    const ogg_int64_t pos = ov_raw_tell(m_file.get());
    return pos > 0 ? pos : 0;
}

int OggVorbisSource::ReadTags(TagSet& tags) {
    const std::pair<const char*, std::string*> fields[] = {
        {"TITLE=", &tags.title},       {"ARTIST=", &tags.artist},     {"ALBUM=", &tags.album},
        {"DATE=", &tags.year},         {"GENRE=", &tags.genre},       {"COMMENT=", &tags.comment},
        {"TRACKNUMBER=", &tags.track}, {"COMPOSER=", &tags.composer}, {"COPYRIGHT=", &tags.copyright},
    };
    for (const auto& [prefix, field] : fields) {
        field->clear();
        const std::size_t n = std::strlen(prefix);
        for (const std::string& c : m_comments)
            if (c.size() >= n && strncasecmp(c.c_str(), prefix, n) == 0) *field = c.substr(n);
    }
    return 1;
}
