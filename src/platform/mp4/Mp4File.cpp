#include "platform/mp4/Mp4File.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <limits>
#include <memory>
#include <string>
#include <vector>

namespace {

constexpr std::uint32_t kSamplesPerChunk = 64;
constexpr std::uint64_t kMacEpochOffset = 2082844800;  // seconds from 1904 to 1970
constexpr std::uint32_t kMax32 = std::numeric_limits<std::uint32_t>::max();

// The same brands for .m4a, .mp4 and .m4b: every reader takes an "M4A " file with ISO fallbacks.
constexpr std::array<const char*, 3> kCompatibleBrands = {"M4A ", "mp42", "isom"};

enum MetaItem { kName, kArtist, kAlbum, kYear, kGenre, kComment, kWriter, kMetaItems };
// Item box types, in the order the items are written (the track number goes after the album).
constexpr std::array<const char*, kMetaItems> kMetaTypes = {"\xA9nam",
                                                            "\xA9"
                                                            "ART",
                                                            "\xA9"
                                                            "alb",
                                                            "\xA9"
                                                            "day",
                                                            "\xA9gen",
                                                            "\xA9"
                                                            "cmt",
                                                            "\xA9wrt"};

struct Run {
    std::uint32_t count;
    std::uint32_t value;
};

void AddToRuns(std::vector<Run>& runs, std::uint32_t value) {
    if (!runs.empty() && runs.back().value == value && runs.back().count < kMax32)
        ++runs.back().count;
    else
        runs.push_back({1, value});
}

/// Big-endian box tree in memory; Begin and End nest.
class BoxBuilder {
public:
    void Begin(const char* type) {
        m_open.push_back(m_bytes.size());
        U32(0);
        Type(type);
    }
    void BeginFull(const char* type, std::uint8_t version, std::uint32_t flags) {
        Begin(type);
        U32(static_cast<std::uint32_t>(version) << 24 | (flags & 0xFFFFFF));
    }
    void End() {
        const std::size_t start = m_open.back();
        m_open.pop_back();
        Patch32(start, static_cast<std::uint32_t>(m_bytes.size() - start));
    }
    void U8(std::uint8_t v) { m_bytes.push_back(v); }
    void U16(std::uint16_t v) {
        U8(static_cast<std::uint8_t>(v >> 8));
        U8(static_cast<std::uint8_t>(v));
    }
    void U32(std::uint32_t v) {
        U16(static_cast<std::uint16_t>(v >> 16));
        U16(static_cast<std::uint16_t>(v));
    }
    void U64(std::uint64_t v) {
        U32(static_cast<std::uint32_t>(v >> 32));
        U32(static_cast<std::uint32_t>(v));
    }
    void Type(const char* type) { Bytes(type, 4); }
    void Bytes(const void* data, std::size_t n) {
        const auto* p = static_cast<const std::uint8_t*>(data);
        m_bytes.insert(m_bytes.end(), p, p + n);
    }
    void Zeros(std::size_t n) { m_bytes.insert(m_bytes.end(), n, 0); }
    /// An MPEG-4 descriptor header: tag and the payload length in 7-bit groups.
    void Descriptor(std::uint8_t tag, std::size_t length) {
        U8(tag);
        int groups = 1;
        while (groups < 4 && (length >> (7 * groups)) != 0) ++groups;
        for (int g = groups - 1; g >= 0; --g)
            U8(static_cast<std::uint8_t>(((length >> (7 * g)) & 0x7F) | (g ? 0x80 : 0)));
    }
    const std::vector<std::uint8_t>& Data() const { return m_bytes; }

private:
    void Patch32(std::size_t at, std::uint32_t v) {
        for (int i = 0; i < 4; ++i) m_bytes[at + i] = static_cast<std::uint8_t>(v >> (24 - 8 * i));
    }
    std::vector<std::uint8_t> m_bytes;
    std::vector<std::size_t> m_open;
};

void Matrix(BoxBuilder& b) {
    for (std::uint32_t v : {0x00010000u, 0u, 0u, 0u, 0x00010000u, 0u, 0u, 0u, 0x40000000u}) b.U32(v);
}

/// A time in `to` units from one in `from` units, without overflowing for any 32-bit scales.
std::uint64_t Rescale(std::uint64_t value, std::uint32_t from, std::uint32_t to) {
    if (from == 0) return 0;
    return value / from * to + value % from * to / from;
}

/// As Rescale, to the nearest unit.
std::uint64_t RescaleRounded(std::uint64_t value, std::uint32_t from, std::uint32_t to) {
    if (from == 0) return 0;
    return value / from * to + (value % from * to + from / 2) / from;
}

/// The channel count an AudioSpecificConfig states; 2 when it does not say.
int ChannelsOfConfig(const std::vector<std::uint8_t>& asc) {
    // Object type (5 bits, 11 when escaped), frequency index (4 bits, 28 with an explicit rate),
    // then the 4-bit channel configuration.
    std::uint64_t bits = 0;
    for (std::size_t i = 0; i < 8; ++i) bits = bits << 8 | (i < asc.size() ? asc[i] : 0);
    int at = (bits >> 59) == 31 ? 11 : 5;
    at += ((bits >> (60 - at)) & 0xF) == 15 ? 28 : 4;
    const auto config = static_cast<int>((bits >> (60 - at)) & 0xF);
    if (asc.size() < static_cast<std::size_t>(at + 4 + 7) / 8 || config == 0) return 2;
    return config == 7 ? 8 : config;
}

}  // namespace

struct Mp4File {
    std::FILE* file = nullptr;
    bool failed = false;
    std::uint64_t created = 0;  // seconds since 1904

    std::uint32_t movieTimeScale = 1000;
    std::uint8_t audioProfile = 0xFF;  // none stated
    bool hasTrack = false;
    std::uint32_t trackTimeScale = 0;
    MP4Duration defaultDuration = MP4_INVALID_DURATION;
    std::uint8_t audioType = MP4_MPEG4_AUDIO_TYPE;
    std::vector<std::uint8_t> esConfig;
    bool hasEdit = false;
    MP4Duration editStart = 0, editDuration = 0;  // track time scale

    std::uint64_t mdatHeader = 0;  // offset of the 16 bytes kept for the media data header
    std::uint64_t mdatPayload = 0;
    std::vector<std::uint32_t> sizes;
    std::vector<Run> durations;
    std::vector<Run> offsets;
    std::vector<std::uint32_t> syncSamples;  // 1-based; only kept once a sample is not a sync sample
    bool allSync = true;
    std::vector<std::uint64_t> chunkOffsets;
    std::uint64_t trackDuration = 0;
    std::uint32_t largestSample = 0;
    std::uint64_t secondBytes = 0;  // bytes within the current second of media time, for the peak rate
    std::uint64_t currentSecond = 0;
    std::uint64_t peakSecondBytes = 0;

    std::array<std::string, kMetaItems> meta;
    std::array<bool, kMetaItems> metaSet{};
    bool trackSet = false;
    bool keepMetadata = false;
    std::uint16_t trackNumber = 0, trackTotal = 0;
    std::vector<std::pair<std::string, std::string>> freeForm;  // "----" items of com.apple.iTunes

    void Write(const void* data, std::size_t n) {
        if (failed) return;
        if (n && std::fwrite(data, 1, n, file) != n) failed = true;
    }
    void Write(const std::vector<std::uint8_t>& bytes) { Write(bytes.data(), bytes.size()); }
    std::vector<std::uint8_t> Movie() const;
    void SampleTable(BoxBuilder& b) const;
    void Metadata(BoxBuilder& b) const;
};

namespace {

bool HasTrack(MP4FileHandle file, MP4TrackId track) {
    return file && file->hasTrack && track == 1;
}

bool SetText(MP4FileHandle file, MetaItem item, const char* value) {
    if (!file || !value) return false;
    file->meta[item] = value;
    file->metaSet[item] = true;
    return true;
}

}  // namespace

bool MP4KeepMetadataBoxExx(MP4FileHandle file) {
    if (!file) return false;
    file->keepMetadata = true;
    return true;
}

MP4FileHandle MP4CreateExx(const char* path) {
    if (!path) return MP4_INVALID_FILE_HANDLE;
    auto mp4 = std::make_unique<Mp4File>();
    mp4->file = std::fopen(path, "wb");
    if (!mp4->file) return MP4_INVALID_FILE_HANDLE;
    mp4->created = static_cast<std::uint64_t>(std::time(nullptr)) + kMacEpochOffset;

    BoxBuilder head;
    head.Begin("ftyp");
    head.Type(kCompatibleBrands[0]);
    head.U32(0);
    for (const char* brand : kCompatibleBrands) head.Type(brand);
    head.End();
    mp4->mdatHeader = head.Data().size();
    // A "free" box that becomes the 64-bit size field should the media data pass 4 GiB.
    head.Begin("free");
    head.End();
    head.Begin("mdat");
    head.End();
    mp4->Write(head.Data());
    return mp4.release();
}

bool MP4SetTimeScaleExx(MP4FileHandle file, std::uint32_t timeScale) {
    if (!file || timeScale == 0) return false;
    file->movieTimeScale = timeScale;
    return true;
}

MP4TrackId MP4AddAudioTrackExx(MP4FileHandle file, std::uint32_t timeScale, MP4Duration sampleDuration,
                               std::uint8_t audioType) {
    if (!file || file->hasTrack || timeScale == 0) return MP4_INVALID_TRACK_ID;
    file->hasTrack = true;
    file->trackTimeScale = timeScale;
    file->defaultDuration = sampleDuration;
    file->audioType = audioType;
    return 1;
}

bool MP4SetAudioProfileLevelExx(MP4FileHandle file, std::uint8_t level) {
    if (!file) return false;
    file->audioProfile = level;
    return true;
}

bool MP4SetTrackESConfigurationExx(MP4FileHandle file, MP4TrackId track, const std::uint8_t* config,
                                   std::uint32_t size) {
    if (!HasTrack(file, track) || (!config && size)) return false;
    file->esConfig.assign(config, config + size);
    return true;
}

bool MP4WriteSampleExx(MP4FileHandle file, MP4TrackId track, const std::uint8_t* bytes, std::uint32_t size,
                       MP4Duration duration, MP4Duration renderingOffset, bool isSyncSample) {
    if (!HasTrack(file, track) || file->failed || (!bytes && size)) return false;
    if (duration == MP4_INVALID_DURATION) duration = file->defaultDuration;
    if (duration > kMax32 || renderingOffset > kMax32 || file->sizes.size() >= kMax32) return false;

    if (file->sizes.size() % kSamplesPerChunk == 0)
        file->chunkOffsets.push_back(file->mdatHeader + 16 + file->mdatPayload);
    file->Write(bytes, size);
    if (file->failed) return false;
    file->mdatPayload += size;

    const auto number = static_cast<std::uint32_t>(file->sizes.size() + 1);
    file->sizes.push_back(size);
    AddToRuns(file->durations, static_cast<std::uint32_t>(duration));
    AddToRuns(file->offsets, static_cast<std::uint32_t>(renderingOffset));
    if (!isSyncSample && file->allSync) {
        file->allSync = false;
        for (std::uint32_t n = 1; n < number; ++n) file->syncSamples.push_back(n);
    } else if (isSyncSample && !file->allSync) {
        file->syncSamples.push_back(number);
    }
    const std::uint64_t second = file->trackDuration / file->trackTimeScale;
    if (second != file->currentSecond) {
        file->peakSecondBytes = std::max(file->peakSecondBytes, file->secondBytes);
        file->secondBytes = 0;
        file->currentSecond = second;
    }
    file->secondBytes += size;
    file->trackDuration += duration;
    file->largestSample = std::max(file->largestSample, size);
    return true;
}

bool MP4AddTrackEditExx(MP4FileHandle file, MP4TrackId track, MP4Duration mediaStart, MP4Duration duration) {
    if (!HasTrack(file, track) || mediaStart > std::numeric_limits<std::int64_t>::max()) return false;
    file->hasEdit = true;
    file->editStart = mediaStart;
    file->editDuration = duration;
    return true;
}

bool MP4SetMetadataNameExx(MP4FileHandle file, const char* value) {
    return SetText(file, kName, value);
}
bool MP4SetMetadataArtistExx(MP4FileHandle file, const char* value) {
    return SetText(file, kArtist, value);
}
bool MP4SetMetadataAlbumExx(MP4FileHandle file, const char* value) {
    return SetText(file, kAlbum, value);
}
bool MP4SetMetadataYearExx(MP4FileHandle file, const char* value) {
    return SetText(file, kYear, value);
}
bool MP4SetMetadataGenreExx(MP4FileHandle file, const char* value) {
    return SetText(file, kGenre, value);
}
bool MP4SetMetadataCommentExx(MP4FileHandle file, const char* value) {
    return SetText(file, kComment, value);
}
bool MP4SetMetadataWriterExx(MP4FileHandle file, const char* value) {
    return SetText(file, kWriter, value);
}

bool MP4SetMetadataTrackExx(MP4FileHandle file, std::uint16_t track, std::uint16_t total) {
    if (!file) return false;
    file->trackSet = true;
    file->trackNumber = track;
    file->trackTotal = total;
    return true;
}

bool MP4SetMetadataFreeFormExx(MP4FileHandle file, const char* name, const char* value) {
    if (!file || !name || !value) return false;
    for (auto& item : file->freeForm)
        if (item.first == name) {
            item.second = value;
            return true;
        }
    file->freeForm.emplace_back(name, value);
    return true;
}

void Mp4File::SampleTable(BoxBuilder& b) const {
    b.Begin("stbl");
    b.BeginFull("stsd", 0, 0);
    b.U32(1);
    b.Begin("mp4a");
    b.Zeros(6);
    b.U16(1);  // data reference index
    b.Zeros(8);
    b.U16(static_cast<std::uint16_t>(ChannelsOfConfig(esConfig)));
    b.U16(16);
    b.Zeros(4);
    b.U32(trackTimeScale <= 0xFFFF ? trackTimeScale << 16 : 0);  // 16.16; larger rates live in the config

    b.BeginFull("esds", 0, 0);
    const std::size_t decoderSpecific = esConfig.empty() ? 0 : 2 + esConfig.size();
    const std::size_t decoderConfig = 13 + decoderSpecific;
    b.Descriptor(0x03, 3 + 2 + decoderConfig + 3);  // ES descriptor
    b.U16(1);                                       // ES id: the track
    b.U8(0);
    b.Descriptor(0x04, decoderConfig);  // decoder configuration
    b.U8(audioType);
    b.U8(0x15);  // audio stream
    const std::uint64_t seconds = trackDuration / std::max<std::uint32_t>(trackTimeScale, 1);
    const std::uint64_t average = trackDuration ? mdatPayload * 8 * trackTimeScale / trackDuration : 0;
    const std::uint64_t peak = seconds ? std::max(peakSecondBytes, secondBytes) * 8 : average;
    b.U8(static_cast<std::uint8_t>(largestSample >> 16));
    b.U16(static_cast<std::uint16_t>(largestSample));
    b.U32(static_cast<std::uint32_t>(std::min<std::uint64_t>(std::max(peak, average), kMax32)));
    b.U32(static_cast<std::uint32_t>(std::min<std::uint64_t>(average, kMax32)));
    if (!esConfig.empty()) {
        b.Descriptor(0x05, esConfig.size());
        b.Bytes(esConfig.data(), esConfig.size());
    }
    b.Descriptor(0x06, 1);  // synchronisation layer: predefined for MP4
    b.U8(2);
    b.End();  // esds
    b.End();  // mp4a
    b.End();  // stsd

    b.BeginFull("stts", 0, 0);
    b.U32(static_cast<std::uint32_t>(durations.size()));
    for (const Run& r : durations) {
        b.U32(r.count);
        b.U32(r.value);
    }
    b.End();

    if (std::any_of(offsets.begin(), offsets.end(), [](const Run& r) { return r.value != 0; })) {
        b.BeginFull("ctts", 0, 0);
        b.U32(static_cast<std::uint32_t>(offsets.size()));
        for (const Run& r : offsets) {
            b.U32(r.count);
            b.U32(r.value);
        }
        b.End();
    }

    if (!allSync) {
        b.BeginFull("stss", 0, 0);
        b.U32(static_cast<std::uint32_t>(syncSamples.size()));
        for (std::uint32_t n : syncSamples) b.U32(n);
        b.End();
    }

    b.BeginFull("stsc", 0, 0);
    const auto count = static_cast<std::uint32_t>(sizes.size());
    const std::uint32_t fullChunks = count / kSamplesPerChunk;
    const std::uint32_t rest = count % kSamplesPerChunk;
    b.U32((fullChunks ? 1 : 0) + (rest ? 1 : 0));
    if (fullChunks) {
        b.U32(1);
        b.U32(kSamplesPerChunk);
        b.U32(1);
    }
    if (rest) {
        b.U32(fullChunks + 1);
        b.U32(rest);
        b.U32(1);
    }
    b.End();

    b.BeginFull("stsz", 0, 0);
    b.U32(0);
    b.U32(count);
    for (std::uint32_t s : sizes) b.U32(s);
    b.End();

    const bool wide = !chunkOffsets.empty() && chunkOffsets.back() > kMax32;
    b.BeginFull(wide ? "co64" : "stco", 0, 0);
    b.U32(static_cast<std::uint32_t>(chunkOffsets.size()));
    for (std::uint64_t offset : chunkOffsets) {
        if (wide)
            b.U64(offset);
        else
            b.U32(static_cast<std::uint32_t>(offset));
    }
    b.End();
    b.End();  // stbl
}

void Mp4File::Metadata(BoxBuilder& b) const {
    const bool any = keepMetadata || trackSet || !freeForm.empty() ||
                     std::any_of(metaSet.begin(), metaSet.end(), [](bool set) { return set; });
    if (!any) return;
    b.Begin("udta");
    b.BeginFull("meta", 0, 0);
    b.BeginFull("hdlr", 0, 0);
    b.U32(0);
    b.Type("mdir");
    b.Type("appl");
    b.Zeros(8);
    b.U8(0);
    b.End();
    b.Begin("ilst");
    auto item = [&](const char* type, std::uint32_t dataType, const void* data, std::size_t n) {
        b.Begin(type);
        b.Begin("data");
        b.U32(dataType);
        b.U32(0);  // locale
        b.Bytes(data, n);
        b.End();
        b.End();
    };
    auto text = [&](MetaItem i) {
        if (metaSet[i]) item(kMetaTypes[i], 1, meta[i].data(), meta[i].size());
    };
    text(kName);
    text(kArtist);
    text(kAlbum);
    if (trackSet) {
        const std::uint8_t trkn[8] = {0,
                                      0,
                                      static_cast<std::uint8_t>(trackNumber >> 8),
                                      static_cast<std::uint8_t>(trackNumber),
                                      static_cast<std::uint8_t>(trackTotal >> 8),
                                      static_cast<std::uint8_t>(trackTotal),
                                      0,
                                      0};
        item("trkn", 0, trkn, sizeof trkn);
    }
    for (MetaItem i : {kYear, kGenre, kComment, kWriter}) text(i);
    for (const auto& [name, value] : freeForm) {
        b.Begin("----");
        constexpr char kMean[] = "com.apple.iTunes";
        b.BeginFull("mean", 0, 0);
        b.Bytes(kMean, sizeof kMean - 1);
        b.End();
        b.BeginFull("name", 0, 0);
        b.Bytes(name.data(), name.size());
        b.End();
        b.Begin("data");
        b.U32(1);  // UTF-8 text
        b.U32(0);  // locale
        b.Bytes(value.data(), value.size());
        b.End();
        b.End();
    }
    b.End();  // ilst
    b.End();  // meta
    b.End();  // udta
}

std::vector<std::uint8_t> Mp4File::Movie() const {
    const std::uint64_t mediaDuration = trackDuration;
    // With an edit, the movie and the track last as long as the edit presents.
    const std::uint64_t movieDuration = hasEdit ? RescaleRounded(editDuration, trackTimeScale, movieTimeScale)
                                                : Rescale(trackDuration, trackTimeScale, movieTimeScale);
    const std::uint8_t version = (movieDuration > kMax32 || mediaDuration > kMax32 || created > kMax32 ||
                                  (hasEdit && editStart > kMax32))
                                     ? 1
                                     : 0;
    auto times = [&](BoxBuilder& b) {  // creation and modification
        for (int i = 0; i < 2; ++i) version ? b.U64(created) : b.U32(static_cast<std::uint32_t>(created));
    };
    auto duration = [&](BoxBuilder& b, std::uint64_t d) {
        version ? b.U64(d) : b.U32(static_cast<std::uint32_t>(d));
    };

    BoxBuilder b;
    b.Begin("moov");
    b.BeginFull("mvhd", version, 0);
    times(b);
    b.U32(movieTimeScale);
    duration(b, movieDuration);
    b.U32(0x00010000);  // rate 1.0
    b.U16(0x0100);      // volume 1.0
    b.Zeros(10);
    Matrix(b);
    b.Zeros(24);
    b.U32(hasTrack ? 2 : 1);  // next track id
    b.End();

    b.BeginFull("iods", 0, 0);
    b.Descriptor(0x10, 7);  // initial object descriptor without ES references
    b.U16(0x004F);          // object descriptor id 1, no URL, no inline profiles
    b.U8(0xFF);             // OD profile: none
    b.U8(0xFF);             // scene profile: none
    b.U8(audioProfile);
    b.U8(0xFF);  // visual: none
    b.U8(0xFF);  // graphics: none
    b.End();

    if (hasTrack) {
        b.Begin("trak");
        b.BeginFull("tkhd", version, 0x000003);  // enabled, in the movie
        times(b);
        b.U32(1);  // track id
        b.U32(0);
        duration(b, movieDuration);
        b.Zeros(8);
        b.U16(0);  // layer
        b.U16(1);  // alternate group
        b.U16(0x0100);
        b.U16(0);
        Matrix(b);
        b.U32(0);  // width
        b.U32(0);  // height
        b.End();

        if (hasEdit) {
            b.Begin("edts");
            b.BeginFull("elst", version, 0);
            b.U32(1);
            duration(b, movieDuration);
            duration(b, editStart);  // media time
            b.U32(0x00010000);       // rate 1.0
            b.End();
            b.End();
        }

        b.Begin("mdia");
        b.BeginFull("mdhd", version, 0);
        times(b);
        b.U32(trackTimeScale);
        duration(b, mediaDuration);
        b.U16(0x55C4);  // language "und"
        b.U16(0);
        b.End();
        b.BeginFull("hdlr", 0, 0);
        b.U32(0);
        b.Type("soun");
        b.Zeros(12);
        b.Bytes("SoundHandler", 13);
        b.End();
        b.Begin("minf");
        b.BeginFull("smhd", 0, 0);
        b.U32(0);  // balance, reserved
        b.End();
        b.Begin("dinf");
        b.BeginFull("dref", 0, 0);
        b.U32(1);
        b.BeginFull("url ", 0, 1);  // the media data is in this file
        b.End();
        b.End();
        b.End();
        SampleTable(b);
        b.End();  // minf
        b.End();  // mdia
        b.End();  // trak
    }
    Metadata(b);
    b.End();  // moov
    return b.Data();
}

bool MP4CloseExx(MP4FileHandle file) {
    if (!file) return false;
    std::unique_ptr<Mp4File> owned(file);
    if (std::fseek(owned->file, 0, SEEK_END) != 0) owned->failed = true;
    owned->Write(owned->Movie());

    // The media data header: a 32-bit size when it fits, else the 64-bit form over the "free" box.
    BoxBuilder header;
    const std::uint64_t small = owned->mdatPayload + 8;
    long at = static_cast<long>(owned->mdatHeader);
    if (small <= kMax32) {
        at += 8;
        header.U32(static_cast<std::uint32_t>(small));
        header.Type("mdat");
    } else {
        header.U32(1);
        header.Type("mdat");
        header.U64(owned->mdatPayload + 16);
    }
    if (!owned->failed && std::fseek(owned->file, at, SEEK_SET) != 0) owned->failed = true;
    owned->Write(header.Data());
    if (std::fclose(owned->file) != 0) owned->failed = true;
    return !owned->failed;
}
