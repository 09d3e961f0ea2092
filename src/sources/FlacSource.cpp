#include "sources/FlacSource.h"

#include <FLAC/stream_decoder.h>
#include <sys/stat.h>
#include <taglib/flacfile.h>
#include <taglib/id3v2framefactory.h>
#include <taglib/oggflacfile.h>
#include <taglib/tfilestream.h>
#include <taglib/tpropertymap.h>

#include <algorithm>
#include <climits>
#include <cstring>

#include "platform/StringPrintf.h"
#include "platform/TagLibTables.h"
#include "sources/TextConvert.h"

namespace {

enum class Container { None, Native, Ogg };

struct Sniffed {
    Container container = Container::None;
    std::int64_t start = 0;  // where libFLAC is to begin reading
};

// A FLAC stream starts with "fLaC", possibly after an ID3v2 tag; an Ogg FLAC stream's first page
// carries the mapping's first packet, "\x7F" "FLAC". Anything else is left to the other readers
// without libFLAC searching the whole file for something that looks like a frame.
Sniffed Sniff(std::FILE* f) {
    std::uint8_t head[27 + 255 + 5];
    const std::size_t got = std::fread(head, 1, sizeof head, f);
    Sniffed s;
    if (got >= 10 && std::memcmp(head, "ID3", 3) == 0 && !((head[6] | head[7] | head[8] | head[9]) & 0x80)) {
        s.start = 10 + ((std::int64_t{head[6]} << 21) | (head[7] << 14) | (head[8] << 7) | head[9]);
        if (head[3] >= 4 && (head[5] & 0x10)) s.start += 10;  // footer
        std::uint8_t marker[4];
        if (::fseeko(f, static_cast<off_t>(s.start), SEEK_SET) == 0 && std::fread(marker, 1, 4, f) == 4 &&
            std::memcmp(marker, "fLaC", 4) == 0)
            s.container = Container::Native;
        return s;
    }
    if (got >= 4 && std::memcmp(head, "fLaC", 4) == 0) {
        s.container = Container::Native;
    } else if (got >= 27 && std::memcmp(head, "OggS", 4) == 0 && head[4] == 0) {
        const std::size_t packet = 27u + head[26];
        if (got >= packet + 5 && std::memcmp(head + packet,
                                             "\x7F"
                                             "FLAC",
                                             5) == 0)
            s.container = Container::Ogg;
    }
    return s;
}

// Converters from libFLAC's right-aligned samples: integer samples keep their upper bits, as the
// other readers do; narrower ones are scaled up to the delivered width.
void To16(const std::int32_t* in, void* out, int count, int bits) {
    auto* o = static_cast<std::int16_t*>(out);
    if (bits >= 16) {
        const int shift = bits - 16;
        for (int i = 0; i < count; ++i) o[i] = static_cast<std::int16_t>(in[i] >> shift);
    } else {
        const int shift = 16 - bits;
        for (int i = 0; i < count; ++i)
            o[i] = static_cast<std::int16_t>(static_cast<std::uint32_t>(in[i]) << shift);
    }
}

// Full resolution: exact for widths up to 24 bits.
void ToFloat(const std::int32_t* in, void* out, int count, int bits) {
    auto* o = static_cast<float*>(out);
    const double scale = 1.0 / static_cast<double>(std::uint64_t{1} << (bits - 1));
    for (int i = 0; i < count; ++i) o[i] = static_cast<float>(in[i] * scale);
}

void ToUnsigned8(const std::int32_t* in, void* out, int count, int bits) {
    auto* o = static_cast<std::uint8_t*>(out);
    const int shift = 8 - bits;
    for (int i = 0; i < count; ++i)
        o[i] = static_cast<std::uint8_t>((static_cast<std::uint32_t>(in[i]) << shift) + 128u);
}

std::string MinutesSeconds(std::uint64_t seconds) {
    return StringPrintf("%llu:%02u", static_cast<unsigned long long>(seconds / 60),
                        static_cast<unsigned>(seconds % 60));
}

}  // namespace

void FlacState::DecoderDeleter::operator()(FLAC__StreamDecoder* decoder) const {
    FLAC__stream_decoder_delete(decoder);  // finishes it first when needed
}

/// libFLAC's callbacks; the client data is the reader.
struct FlacSource::Callbacks {
    static FLAC__StreamDecoderReadStatus Read(const FLAC__StreamDecoder*, FLAC__byte buffer[], size_t* bytes,
                                              void* client) {
        auto& self = *static_cast<FlacSource*>(client);
        if (*bytes == 0) return FLAC__STREAM_DECODER_READ_STATUS_ABORT;
        *bytes = std::fread(buffer, 1, *bytes, self.m_file.get());
        if (*bytes > 0) return FLAC__STREAM_DECODER_READ_STATUS_CONTINUE;
        if (std::ferror(self.m_file.get())) {
            self.m_readError = true;
            return FLAC__STREAM_DECODER_READ_STATUS_ABORT;
        }
        return FLAC__STREAM_DECODER_READ_STATUS_END_OF_STREAM;
    }
    static FLAC__StreamDecoderTellStatus Tell(const FLAC__StreamDecoder*, FLAC__uint64* offset,
                                              void* client) {
        const off_t at = ::ftello(static_cast<FlacSource*>(client)->m_file.get());
        if (at < 0) return FLAC__STREAM_DECODER_TELL_STATUS_ERROR;
        *offset = static_cast<FLAC__uint64>(at);
        return FLAC__STREAM_DECODER_TELL_STATUS_OK;
    }
    static FLAC__bool Eof(const FLAC__StreamDecoder*, void* client) {
        return std::feof(static_cast<FlacSource*>(client)->m_file.get()) != 0;
    }
    static FLAC__StreamDecoderWriteStatus Write(const FLAC__StreamDecoder*, const FLAC__Frame* frame,
                                                const FLAC__int32* const buffer[], void* client) {
        static_cast<FlacSource*>(client)->OnFrame(*frame, buffer);
        return FLAC__STREAM_DECODER_WRITE_STATUS_CONTINUE;
    }
    static void Metadata(const FLAC__StreamDecoder*, const FLAC__StreamMetadata* block, void* client) {
        auto& self = *static_cast<FlacSource*>(client);
        if (block->type != FLAC__METADATA_TYPE_STREAMINFO || self.m_haveInfo) return;
        const FLAC__StreamMetadata_StreamInfo& info = block->data.stream_info;
        self.m_haveInfo = true;
        self.m_sampleRate = static_cast<int>(info.sample_rate);
        self.m_channels = static_cast<int>(info.channels);
        self.m_streamBits = static_cast<int>(info.bits_per_sample);
        self.m_totalSamples = info.total_samples;
        self.m_maxBlockSize = static_cast<int>(info.max_blocksize);
    }
    static void Error(const FLAC__StreamDecoder*, FLAC__StreamDecoderErrorStatus status, void* client) {
        auto& self = *static_cast<FlacSource*>(client);
        // Junk after the last frame (an ID3v1 tag) loses nothing. Before it, a corrupt frame arrives
        // as silence of its length; after lost synchronisation the next frame tells how much is missing.
        if (self.m_nextSample >= self.m_totalSamples) return;
        if (status == FLAC__STREAM_DECODER_ERROR_STATUS_FRAME_CRC_MISMATCH)
            self.NoteLoss(self.m_nextSample, 1);
        else
            self.m_syncLost = true;
    }
};

void FlacSource::Close() {
    static_cast<FlacState&>(*this) = FlacState{};
    ResetCommon();
}

int FlacSource::Open(const char* path, int /*renderRate*/) {
    Close();
    if (!path) return 0;
    m_file = OpenFile(path, "rb");
    if (!m_file) return 0;
    const Sniffed sniffed = Sniff(m_file.get());
    m_ogg = sniffed.container == Container::Ogg;
    // Without a length in STREAMINFO the stream is left to the readers that estimate one.
    if (sniffed.container == Container::None ||
        ::fseeko(m_file.get(), static_cast<off_t>(sniffed.start), SEEK_SET) != 0 || !StartDecoder() ||
        !FLAC__stream_decoder_process_until_end_of_metadata(m_decoder.get()) || !m_haveInfo ||
        m_sampleRate < 1 || m_channels < 1 || m_channels > 8 || m_streamBits < 4 || m_streamBits > 32 ||
        m_totalSamples == 0) {
        Close();
        return 0;
    }
    m_outputChannels = m_channels < 2 ? 1 : 2;
    m_bitsPerSample = m_streamBits <= 8 ? 8 : 16;
    m_bytesPerSample = m_bitsPerSample / 8;
    m_convert = m_streamBits <= 8 ? &ToUnsigned8 : &To16;
    if (m_streamBits > 16) m_heldBits = m_streamBits;
    m_totalLength = static_cast<std::int64_t>(std::min<std::uint64_t>(m_totalSamples, INT64_MAX));
    const double seconds = static_cast<double>(m_totalSamples) / m_sampleRate;
    m_duration = static_cast<int>(std::min<double>(seconds, INT_MAX));
    struct stat st {};
    if (::fstat(::fileno(m_file.get()), &st) == 0 && seconds > 0) {
        const double kbps = static_cast<double>(st.st_size) / (seconds * 125) + 0.5;
        m_bitrate = kbps < INT_MAX ? static_cast<int>(kbps) : INT_MAX;
    }
    m_path = path;
    return 1;
}

bool FlacSource::StartDecoder() {
    m_decoder.reset(FLAC__stream_decoder_new());
    if (!m_decoder) return false;
    FLAC__stream_decoder_set_md5_checking(m_decoder.get(), true);
    const auto init = m_ogg ? &FLAC__stream_decoder_init_ogg_stream : &FLAC__stream_decoder_init_stream;
    // Without seek and length callbacks libFLAC never seeks; it reads the file once, front to back.
    return init(m_decoder.get(), &Callbacks::Read, nullptr, &Callbacks::Tell, nullptr, &Callbacks::Eof,
                &Callbacks::Write, &Callbacks::Metadata, &Callbacks::Error,
                this) == FLAC__STREAM_DECODER_INIT_STATUS_OK;
}

void FlacSource::NoteLoss(std::uint64_t sample, std::uint64_t frames) {
    if (m_lostFrames == 0) m_firstLoss = sample;
    m_lostFrames += frames;
}

void FlacSource::OnFrame(const FLAC__Frame& frame, const std::int32_t* const buffer[]) {
    const FLAC__FrameHeader& h = frame.header;
    const std::uint64_t blockSize = h.blocksize;
    const std::uint64_t first =
        h.number_type == FLAC__FRAME_NUMBER_TYPE_SAMPLE_NUMBER
            ? h.number.sample_number
            : std::uint64_t{h.number.frame_number} * static_cast<std::uint64_t>(m_maxBlockSize);
    const std::uint64_t blockUnit =
        m_maxBlockSize > 0 ? static_cast<std::uint64_t>(m_maxBlockSize) : blockSize;
    if (first > m_nextSample && blockUnit > 0)
        NoteLoss(m_nextSample, (first - m_nextSample + blockUnit - 1) / blockUnit);
    else if (first < m_nextSample)
        NoteLoss(first, 1);  // a frame again, or out of place
    else if (m_syncLost)
        NoteLoss(first, 1);  // libFLAC gave up on a frame and sent its length as silence
    m_syncLost = false;
    // Another width or channel count than STREAMINFO's is damage, not a format change.
    if (static_cast<int>(h.channels) != m_channels || static_cast<int>(h.bits_per_sample) != m_streamBits)
        NoteLoss(first, 1);
    m_nextSample = std::max(m_nextSample, first + blockSize);
    if (Damaged()) return;
    for (int c = 0; c < m_outputChannels; ++c) {
        m_pending[c].resize(blockSize * static_cast<std::size_t>(m_bytesPerSample));
        m_convert(buffer[c], m_pending[c].data(), static_cast<int>(blockSize), m_streamBits);
    }
    m_pendingFrames = static_cast<int>(blockSize);
    m_pendingIndex = 0;
}

bool FlacSource::DecodeFrame() {
    m_pendingFrames = m_pendingIndex = 0;
    while (!m_ended) {
        const bool ok = FLAC__stream_decoder_process_single(m_decoder.get());
        const FLAC__StreamDecoderState state = FLAC__stream_decoder_get_state(m_decoder.get());
        if (!ok || state > FLAC__STREAM_DECODER_END_OF_STREAM) m_readError = true;
        if (Damaged()) {
            CountRemainingLoss();
            return false;
        }
        if (m_pendingFrames > 0) return true;
        if (state == FLAC__STREAM_DECODER_END_OF_STREAM) ReachEnd();
    }
    return false;
}

void FlacSource::CountRemainingLoss() {
    while (!m_readError && FLAC__stream_decoder_process_single(m_decoder.get()) &&
           FLAC__stream_decoder_get_state(m_decoder.get()) < FLAC__STREAM_DECODER_END_OF_STREAM) {
    }
    ReachEnd();
}

void FlacSource::ReachEnd() {
    m_ended = true;
    m_pendingFrames = m_pendingIndex = 0;
    m_syncLost = false;
    if (m_nextSample < m_totalSamples && !m_readError) {
        const std::uint64_t unit = m_maxBlockSize > 0 ? static_cast<std::uint64_t>(m_maxBlockSize) : 1;
        NoteLoss(m_nextSample, (m_totalSamples - m_nextSample + unit - 1) / unit);
    }
    // libFLAC compares the signature in finish(); only a stream read whole can match it.
    if (!Damaged()) m_md5Mismatch = !FLAC__stream_decoder_finish(m_decoder.get());
}

int FlacSource::RequestFullResolution() {
    if (!m_decoder || m_position != 0 || m_pendingFrames != 0) return 0;
    m_convert = &ToFloat;
    m_bitsPerSample = kFloatBits;
    m_bytesPerSample = 4;
    return 1;
}

int FlacSource::ReadBlock(void* left, void* right) {
    if (!m_decoder || !left) return 0;
    if (m_pendingIndex >= m_pendingFrames && !DecodeFrame()) return 0;
    const int frames = std::min(kBlockFrames, m_pendingFrames - m_pendingIndex);
    const auto at = static_cast<std::size_t>(m_pendingIndex) * static_cast<std::size_t>(m_bytesPerSample);
    const auto bytes = static_cast<std::size_t>(frames) * static_cast<std::size_t>(m_bytesPerSample);
    std::memcpy(left, m_pending[0].data() + at, bytes);
    if (m_outputChannels == 2 && right) std::memcpy(right, m_pending[1].data() + at, bytes);
    m_pendingIndex += frames;
    m_position += frames;
    return frames;
}

ReadOutcome FlacSource::GetReadOutcome() {
    ReadOutcome outcome;
    if (!m_ended) return outcome;
    if (Damaged()) {
        outcome.failed = true;
        outcome.note =
            m_lostFrames > 0
                ? StringPrintf("damaged FLAC file: %llu frame(s) lost, the first at %s",
                               static_cast<unsigned long long>(m_lostFrames),
                               MinutesSeconds(m_firstLoss / static_cast<std::uint64_t>(m_sampleRate)).c_str())
                : std::string("the FLAC file could not be read to its end");
    } else if (m_md5Mismatch) {
        outcome.note = "the decoded audio does not match the MD5 signature of the FLAC file";
    }
    return outcome;
}

int FlacSource::ReadTags(TagSet& tags) {
    if (m_path.empty()) return 0;
    // Opened read-only: reading tags must never be able to change a source file.
    TagLib::FileStream stream(m_path.c_str(), true);
    if (!stream.isOpen()) return 0;
    std::unique_ptr<TagLib::File> file;
    if (m_ogg)
        file = std::make_unique<TagLib::Ogg::FLAC::File>(&stream, false);
    else
        file = std::make_unique<TagLib::FLAC::File>(&stream, TagLib::ID3v2::FrameFactory::instance(), false);
    if (!file->isValid() || !file->tag()) return 0;
    const TagLib::Tag& tag = *file->tag();
    const TagLib::PropertyMap props = file->properties();
    const auto first = [&props](const char* key) {
        const auto it = props.find(key);
        return it == props.end() || it->second.isEmpty() ? std::string() : it->second.front().to8Bit(true);
    };
    // The same choice of texts as the tags of the other readers' formats.
    std::string year = first("DATE"), track = first("TRACKNUMBER");
    if (year.empty() && tag.year() > 0) year = std::to_string(tag.year());
    if (track.empty() && tag.track() > 0) track = std::to_string(tag.track());
    const std::pair<std::string, std::string*> fields[] = {
        {tag.title().to8Bit(true), &tags.title},
        {tag.artist().to8Bit(true), &tags.artist},
        {tag.album().to8Bit(true), &tags.album},
        {year, &tags.year},
        {tag.genre().to8Bit(true), &tags.genre},
        {tag.comment().to8Bit(true), &tags.comment},
        {track, &tags.track},
        {first("COMPOSER"), &tags.composer},
        {first("COPYRIGHT"), &tags.copyright},
    };
    if (std::all_of(std::begin(fields), std::end(fields), [](const auto& f) { return f.first.empty(); }))
        return 0;
    std::string converted[std::size(fields)];
    for (std::size_t i = 0; i < std::size(fields); ++i)
        if (Utf8ToAnsi(fields[i].first.c_str(), converted[i]) != 0) return 0;
    for (std::size_t i = 0; i < std::size(fields); ++i) *fields[i].second = std::move(converted[i]);
    return 1;
}
