#include "encoders/FlacWriter.h"

#include <sys/types.h>

#include <cstdio>
#include <cstdlib>

#include "encoders/VorbisComments.h"

namespace {

constexpr unsigned kPaddingBytes = 8192;
constexpr unsigned kSeekPointSeconds = 10;

}  // namespace

/// libFLAC's output callbacks; the client data is the writer.
struct FlacWriter::Callbacks {
    static FLAC__StreamEncoderWriteStatus Write(const FLAC__StreamEncoder*, const FLAC__byte buffer[],
                                                size_t bytes, uint32_t, uint32_t, void* client) {
        auto& self = *static_cast<FlacWriter*>(client);
        if (self.m_failed || std::fwrite(buffer, 1, bytes, self.m_out.get()) != bytes) {
            self.m_failed = true;
            return FLAC__STREAM_ENCODER_WRITE_STATUS_FATAL_ERROR;
        }
        return FLAC__STREAM_ENCODER_WRITE_STATUS_OK;
    }
    static FLAC__StreamEncoderSeekStatus Seek(const FLAC__StreamEncoder*, FLAC__uint64 offset, void* client) {
        auto& self = *static_cast<FlacWriter*>(client);
        if (::fseeko(self.m_out.get(), static_cast<off_t>(offset), SEEK_SET) != 0) {
            self.m_failed = true;
            return FLAC__STREAM_ENCODER_SEEK_STATUS_ERROR;
        }
        return FLAC__STREAM_ENCODER_SEEK_STATUS_OK;
    }
    static FLAC__StreamEncoderTellStatus Tell(const FLAC__StreamEncoder*, FLAC__uint64* offset,
                                              void* client) {
        const off_t at = ::ftello(static_cast<FlacWriter*>(client)->m_out.get());
        if (at < 0) return FLAC__STREAM_ENCODER_TELL_STATUS_ERROR;
        *offset = static_cast<FLAC__uint64>(at);
        return FLAC__STREAM_ENCODER_TELL_STATUS_OK;
    }
};

FlacWriter::FlacWriter() = default;

FlacWriter::~FlacWriter() {
    Release();
}

void FlacWriter::Release() {
    m_encoder.reset();  // finishes an unfinished stream first, writing into m_out
    m_metadata.clear();
    m_seekTable = nullptr;
    m_out.reset();
}

int FlacWriter::Open(const std::string& path, const FlacParameters& p, const TagSet* tags) {
    Release();
    m_failed = false;
    m_written = 0;
    m_channels = p.channels;
    // Any failure here leaves the writer failed, so Finish cannot report a stream never started.
    if (!Start(path, p, tags)) m_failed = true;
    return m_failed ? 0 : 1;
}

bool FlacWriter::Start(const std::string& path, const FlacParameters& p, const TagSet* tags) {
    if ((p.channels != 1 && p.channels != 2) || (p.bits != 8 && p.bits != 16 && p.bits != 24) || p.rate < 1 ||
        p.compression < 0 || p.compression > 8)
        return false;
    m_out = OpenFile(path.c_str(), "w+b");  // libFLAC reads nothing back, but seeks to rewrite
    m_encoder.reset(FLAC__stream_encoder_new());
    if (!m_out || !m_encoder) return false;
    FLAC__StreamEncoder* e = m_encoder.get();
    if (!FLAC__stream_encoder_set_verify(e, p.verify) ||
        !FLAC__stream_encoder_set_compression_level(e, static_cast<unsigned>(p.compression)) ||
        !FLAC__stream_encoder_set_channels(e, static_cast<unsigned>(p.channels)) ||
        !FLAC__stream_encoder_set_bits_per_sample(e, static_cast<unsigned>(p.bits)) ||
        !FLAC__stream_encoder_set_sample_rate(e, static_cast<unsigned>(p.rate)) ||
        !FLAC__stream_encoder_set_total_samples_estimate(e, p.expectedFrames))
        return false;

    if (tags) {
        Metadata comments(FLAC__metadata_object_new(FLAC__METADATA_TYPE_VORBIS_COMMENT));
        if (!comments) return false;
        for (const auto& [name, value] : VorbisCommentFields(*tags)) {
            FLAC__StreamMetadata_VorbisComment_Entry entry;
            if (!FLAC__metadata_object_vorbiscomment_entry_from_name_value_pair(&entry, name, value.c_str()))
                return false;
            if (!FLAC__metadata_object_vorbiscomment_append_comment(comments.get(), entry, false)) {
                std::free(entry.entry);
                return false;
            }
        }
        m_metadata.push_back(std::move(comments));
    }
    if (p.expectedFrames > 0) {
        Metadata table(FLAC__metadata_object_new(FLAC__METADATA_TYPE_SEEKTABLE));
        if (!table ||
            !FLAC__metadata_object_seektable_template_append_spaced_points_by_samples(
                table.get(), static_cast<unsigned>(p.rate) * kSeekPointSeconds, p.expectedFrames) ||
            !FLAC__metadata_object_seektable_template_sort(table.get(), true))
            return false;
        m_seekTable = table.get();
        m_metadata.push_back(std::move(table));
    }
    Metadata padding(FLAC__metadata_object_new(FLAC__METADATA_TYPE_PADDING));
    if (!padding) return false;
    padding->length = kPaddingBytes;
    m_metadata.push_back(std::move(padding));

    std::vector<FLAC__StreamMetadata*> blocks;
    for (const auto& m : m_metadata) blocks.push_back(m.get());
    if (!FLAC__stream_encoder_set_metadata(e, blocks.data(), static_cast<unsigned>(blocks.size())) ||
        FLAC__stream_encoder_init_stream(e, &Callbacks::Write, &Callbacks::Seek, &Callbacks::Tell, nullptr,
                                         this) != FLAC__STREAM_ENCODER_INIT_STATUS_OK)
        return false;
    return true;
}

int FlacWriter::Encode(const std::int32_t* left, const std::int32_t* right, int frames) {
    if (m_failed || !m_encoder || frames < 0 || (m_channels == 2 && !right)) {
        m_failed = true;
        return 0;
    }
    const FLAC__int32* const channels[2] = {left, right};
    if (frames > 0 && !FLAC__stream_encoder_process(m_encoder.get(), channels, static_cast<unsigned>(frames)))
        m_failed = true;
    m_written += static_cast<std::uint64_t>(frames);
    return m_failed ? 0 : 1;
}

int FlacWriter::Finish() {
    if (!m_encoder || !m_out) {
        Release();
        return 0;
    }
    // The seek table was laid out for the expected length; points past the real end become
    // placeholders, which readers skip, so the block keeps its size and rewrites in place.
    if (m_seekTable) {
        FLAC__StreamMetadata_SeekTable& t = m_seekTable->data.seek_table;
        for (unsigned i = 0; i < t.num_points; ++i)
            if (t.points[i].sample_number >= m_written)
                t.points[i].sample_number = FLAC__STREAM_METADATA_SEEKPOINT_PLACEHOLDER;
    }
    const bool finished = FLAC__stream_encoder_finish(m_encoder.get()) != 0;
    if (!finished) m_failed = true;
    m_encoder.reset();
    m_metadata.clear();
    m_seekTable = nullptr;
    if (std::fflush(m_out.get()) != 0 || std::fclose(m_out.release()) != 0) m_failed = true;
    return m_failed ? 0 : 1;
}
