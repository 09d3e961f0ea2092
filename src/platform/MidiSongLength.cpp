#include "platform/MidiSongLength.h"

#include <algorithm>
#include <map>

namespace {

std::uint32_t Be32(const std::uint8_t* p) {
    return std::uint32_t{p[0]} << 24 | std::uint32_t{p[1]} << 16 | std::uint32_t{p[2]} << 8 | p[3];
}
std::uint32_t Le32(const std::uint8_t* p) {
    return std::uint32_t{p[3]} << 24 | std::uint32_t{p[2]} << 16 | std::uint32_t{p[1]} << 8 | p[0];
}

class TrackReader {
public:
    TrackReader(const std::uint8_t* data, std::size_t size) : m_p(data), m_end(data + size) {}
    bool AtEnd() const { return m_p >= m_end; }
    bool Byte(std::uint8_t& b) {
        if (m_p >= m_end) return false;
        b = *m_p++;
        return true;
    }
    bool VarLen(std::uint32_t& v) {
        v = 0;
        for (int i = 0; i < 4; ++i) {
            std::uint8_t b;
            if (!Byte(b)) return false;
            v = v << 7 | (b & 0x7F);
            if (!(b & 0x80)) return true;
        }
        return false;
    }
    bool Skip(std::uint32_t n) {
        if (static_cast<std::size_t>(m_end - m_p) < n) return false;
        m_p += n;
        return true;
    }
    const std::uint8_t* Here() const { return m_p; }

private:
    const std::uint8_t* m_p;
    const std::uint8_t* m_end;
};

// Walks one track: records tempo changes and returns the tick of its last event.
std::optional<std::uint64_t> ScanTrack(const std::uint8_t* data, std::size_t size,
                                       std::map<std::uint64_t, std::uint32_t>& tempos) {
    TrackReader r(data, size);
    std::uint64_t tick = 0;
    std::uint8_t status = 0;
    while (!r.AtEnd()) {
        std::uint32_t delta;
        std::uint8_t b;
        if (!r.VarLen(delta) || !r.Byte(b)) return std::nullopt;
        tick += delta;
        if (b == 0xFF) {
            std::uint8_t type;
            std::uint32_t len;
            if (!r.Byte(type) || !r.VarLen(len)) return std::nullopt;
            if (type == 0x51 && len == 3) {
                const std::uint8_t* p = r.Here();
                if (!r.Skip(3)) return std::nullopt;
                const std::uint32_t tempo = std::uint32_t{p[0]} << 16 | std::uint32_t{p[1]} << 8 | p[2];
                if (tempo > 0) tempos[tick] = tempo;
            } else if (!r.Skip(len)) {
                return std::nullopt;
            }
            if (type == 0x2F) break;  // end of track
            continue;
        }
        if (b == 0xF0 || b == 0xF7) {
            std::uint32_t len;
            if (!r.VarLen(len) || !r.Skip(len)) return std::nullopt;
            continue;
        }
        std::uint32_t dataBytes;
        if (b & 0x80) {
            status = b;
            dataBytes = ((status & 0xF0) == 0xC0 || (status & 0xF0) == 0xD0) ? 1 : 2;
        } else {
            if (!status) return std::nullopt;  // running status without a status byte
            dataBytes = ((status & 0xF0) == 0xC0 || (status & 0xF0) == 0xD0) ? 0 : 1;
        }
        if (!r.Skip(dataBytes)) return std::nullopt;
    }
    return tick;
}

}  // namespace

std::vector<std::uint8_t> ExtractStandardMidi(const std::vector<std::uint8_t>& file) {
    if (file.size() >= 14 && std::equal(file.begin(), file.begin() + 4, "MThd")) return file;
    if (file.size() < 12 || !std::equal(file.begin(), file.begin() + 4, "RIFF") ||
        !std::equal(file.begin() + 8, file.begin() + 12, "RMID"))
        return {};
    std::size_t pos = 12;
    while (pos + 8 <= file.size()) {
        const std::uint64_t size = Le32(&file[pos + 4]);
        if (std::equal(file.begin() + static_cast<std::ptrdiff_t>(pos),
                       file.begin() + static_cast<std::ptrdiff_t>(pos) + 4, "data")) {
            if (pos + 8 + size > file.size()) return {};
            return {file.begin() + static_cast<std::ptrdiff_t>(pos + 8),
                    file.begin() + static_cast<std::ptrdiff_t>(pos + 8 + size)};
        }
        pos += 8 + size + (size & 1);
    }
    return {};
}

std::optional<double> MidiSongSeconds(const std::vector<std::uint8_t>& smf) {
    if (smf.size() < 14 || !std::equal(smf.begin(), smf.begin() + 4, "MThd")) return std::nullopt;
    const std::uint64_t headerSize = Be32(&smf[4]);
    if (headerSize < 6 || 8 + headerSize > smf.size()) return std::nullopt;
    const unsigned tracks = smf[10] << 8 | smf[11];
    const unsigned division = smf[12] << 8 | smf[13];
    if (tracks == 0 || division == 0) return std::nullopt;

    std::map<std::uint64_t, std::uint32_t> tempos;
    std::uint64_t lastTick = 0;
    unsigned found = 0;
    std::uint64_t pos = 8 + headerSize;
    while (found < tracks && pos + 8 <= smf.size()) {
        const std::uint64_t size = Be32(&smf[pos + 4]);
        if (pos + 8 + size > smf.size()) return std::nullopt;
        if (std::equal(smf.begin() + static_cast<std::ptrdiff_t>(pos),
                       smf.begin() + static_cast<std::ptrdiff_t>(pos) + 4, "MTrk")) {
            auto last = ScanTrack(&smf[pos + 8], static_cast<std::size_t>(size), tempos);
            if (!last) return std::nullopt;
            lastTick = std::max(lastTick, *last);
            ++found;
        }
        pos += 8 + size;
    }
    if (found == 0) return std::nullopt;

    if (division & 0x8000) {  // SMPTE time: frames per second times ticks per frame
        const int fps = -static_cast<std::int8_t>(division >> 8);
        const double rate = (fps == 29 ? 29.97 : fps) * (division & 0xFF);
        return rate > 0 ? std::optional<double>(lastTick / rate) : std::nullopt;
    }
    double seconds = 0;
    std::uint64_t tick = 0;
    std::uint32_t tempo = 500000;  // microseconds per quarter note until the first tempo event
    for (const auto& [at, value] : tempos) {
        if (at >= lastTick) break;
        seconds += static_cast<double>(at - tick) * tempo / 1e6 / division;
        tick = at;
        tempo = value;
    }
    seconds += static_cast<double>(lastTick - tick) * tempo / 1e6 / division;
    return seconds;
}
