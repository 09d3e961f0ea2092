#include "sources/WmaSource.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "platform/SystemCodePage.h"
#include "platform/wmf/WmSyncReader.h"

namespace {

/// A UTF-16LE attribute value as text in the system code page; stops at a terminator.
std::string TextValue(const std::vector<std::uint8_t>& value) {
    std::u16string units;
    for (std::size_t i = 0; i + 1 < value.size(); i += 2) {
        const auto unit = static_cast<char16_t>(value[i] | value[i + 1] << 8);
        if (unit == 0) break;
        units.push_back(unit);
    }
    return Utf16ToSystemCodePage(units).value_or(std::string());
}

std::uint64_t NumberValue(const std::vector<std::uint8_t>& value) {
    std::uint64_t v = 0;
    for (std::size_t i = value.size(); i-- > 0;) v = v << 8 | value[i];
    return v;
}

}  // namespace

WmaSource::WmaSource() = default;

WmaSource::~WmaSource() {
    Close();
}

void WmaSource::Close() {
    if (m_reader && m_readerOpened) m_reader->Close();
    m_reader.reset();
    m_readerOpened = false;
    m_audioStream = 0;
    m_audioOutput = 0;
    m_staging.Clear();
    m_title.clear();
    m_author.clear();
    m_description.clear();
    m_album.clear();
    m_genre.clear();
    m_year.clear();
    m_copyright.clear();
    m_composer.clear();
    m_trackNumber = 0;
    ResetCommon();
}

int WmaSource::Open(const char* path, int /*renderRate*/) {
    Close();
    if (!path) return 0;
    if (WmFailed(WMCreateSyncReader(m_reader)) || WmFailed(m_reader->Open(path))) {
        Close();
        return 0;
    }
    m_readerOpened = true;

    std::unique_ptr<WmProfile> profile;
    std::uint32_t streams = 0;
    if (WmFailed(m_reader->GetProfile(profile)) || WmFailed(profile->GetStreamCount(streams))) {
        Close();
        return 0;
    }
    for (std::uint32_t i = 0; i < streams && m_audioStream == 0; ++i) {
        std::unique_ptr<WmStreamConfig> config;
        std::uint16_t number = 0;
        WmGuid type{};
        if (WmFailed(profile->GetStream(i, config)) || WmFailed(config->GetStreamNumber(number)) ||
            WmFailed(config->GetStreamType(type))) {
            Close();
            return 0;
        }
        if (type == kMediaTypeAudio) m_audioStream = number;
    }
    if (m_audioStream == 0) {
        Close();
        return 0;
    }
    const WmStreamSelection on = WmStreamSelection::On;
    if (WmFailed(m_reader->SetStreamsSelected(1, &m_audioStream, &on)) ||
        WmFailed(m_reader->SetReadStreamSamples(m_audioStream, false)) || !ReadAttributes()) {
        Close();
        return 0;
    }
    m_position = 0;

    std::uint32_t outputs = 0;
    if (WmFailed(m_reader->GetOutputCount(outputs))) {
        Close();
        return 0;
    }
    bool found = false;
    for (std::uint32_t i = 0; i < outputs && !found; ++i) {
        std::unique_ptr<WmMediaProps> props;
        WmMediaType type;
        if (WmFailed(m_reader->GetOutputProps(i, props)) || WmFailed(props->GetMediaType(type))) {
            Close();
            return 0;
        }
        if (!(type.majorType == kMediaTypeAudio)) continue;
        WaveFormatEx wave;
        if (!type.GetWaveFormat(wave) || wave.channels < 1 || wave.samplesPerSec < 1) {
            Close();
            return 0;
        }
        m_audioOutput = i;
        m_sampleRate = static_cast<int>(std::min<std::uint32_t>(wave.samplesPerSec, 0x7FFFFFFF));
        m_channels = wave.channels;
        found = true;
    }
    if (!found) {
        Close();
        return 0;
    }
    // As the other readers: a file of more than two channels gives its first two.
    m_outputChannels = std::min(m_channels, 2);
    m_bitsPerSample = 16;
    m_bytesPerSample = 2;
    m_staging.Clear();
    return 1;
}

int WmaSource::ReadAttributes() {
    // Each attribute: type and length first, then the value. Absent ones stay empty.
    auto read = [this](const char* name, WmAttrType& type, std::vector<std::uint8_t>& value) -> int {
        std::uint16_t stream = 0, length = 0;
        WmResult r = m_reader->GetAttributeByName(stream, name, type, nullptr, length);
        if (r == kWmAttributeNotFound) return -1;
        if (WmFailed(r)) return 0;
        value.assign(length, 0);
        r = m_reader->GetAttributeByName(stream, name, type, value.data(), length);
        if (WmFailed(r)) return 0;
        value.resize(length);
        return 1;
    };
    std::string* texts[] = {&m_title, &m_author, &m_description, &m_album, &m_genre};
    const char* textNames[] = {"Title", "Author", "Description", "WM/AlbumTitle", "WM/Genre"};
    WmAttrType type{};
    std::vector<std::uint8_t> value;
    for (int i = 0; i < 5; ++i) {
        const int r = read(textNames[i], type, value);
        if (r == 0) return 0;
        if (r > 0) *texts[i] = TextValue(value);
    }
    if (const int r = read("WM/TrackNumber", type, value); r == 0) {
        return 0;
    } else if (r > 0 && type == WmAttrType::Dword) {
        m_trackNumber = static_cast<int>(static_cast<std::uint32_t>(NumberValue(value)));
    } else if (r > 0 && type == WmAttrType::String) {
        const std::string text = TextValue(value).substr(0, 20);
        m_trackNumber = std::atoi(text.c_str());
    }
    std::string* later[] = {&m_year, &m_copyright, &m_composer};
    const char* laterNames[] = {"WM/Year", "Copyright", "WM/Composer"};
    for (int i = 0; i < 3; ++i) {
        const int r = read(laterNames[i], type, value);
        if (r == 0) return 0;
        if (r > 0) *later[i] = TextValue(value);
    }
    if (const int r = read("Duration", type, value); r == 0) {
        return 0;
    } else if (r > 0 && type == WmAttrType::Qword) {
        const std::uint64_t units = NumberValue(value);
        m_totalLength = static_cast<std::int64_t>(std::min<std::uint64_t>(units, INT64_MAX));
        m_duration = static_cast<int>(std::min<std::uint64_t>(units / 10000000, 0x7FFFFFFF));
    }
    if (const int r = read("Bitrate", type, value); r == 0) {
        return 0;
    } else if (r > 0) {
        m_bitrate = static_cast<int>(std::min<std::uint64_t>(NumberValue(value) / 1000, 0x7FFFFFFF));
    }
    return 1;
}

int WmaSource::ReadBlock(void* left, void* right) {
    if (!m_reader || !m_readerOpened) return 0;
    auto* l = static_cast<std::int16_t*>(left);
    auto* r = static_cast<std::int16_t*>(right);
    int done = m_staging.Deliver(l, r, 0, kBlockFrames);
    while (done < kBlockFrames) {
        std::unique_ptr<WmBuffer> sample;
        std::uint64_t time = 0, duration = 0;
        std::uint32_t flags = 0, output = 0;
        std::uint16_t stream = 0;
        if (WmFailed(m_reader->GetNextSample(m_audioStream, sample, time, duration, flags, output, stream)))
            break;
        m_position = static_cast<std::int64_t>(std::min<std::uint64_t>(time, INT64_MAX));
        std::uint8_t* data = nullptr;
        std::size_t length = 0;
        sample->GetBufferAndLength(data, length);
        if (!m_staging.Put(data, length, m_channels)) break;
        done += m_staging.Deliver(l, r, done, kBlockFrames - done);
    }
    return done;
}

int WmaSource::ReadTags(TagSet& tags) {
    tags.title = m_title;
    tags.artist = m_author;
    tags.album = m_album;
    tags.year = m_year;
    tags.genre = m_genre;
    tags.comment = m_description;
    tags.track = std::to_string(m_trackNumber);
    tags.composer = m_composer;
    tags.copyright = m_copyright;
    return 1;
}
