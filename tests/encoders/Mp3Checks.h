#pragma once
// Helpers for checking MP3 files with peer tools (ffprobe, mp3val, id3v2) and TagLib.
#include <cmath>
#include <cstdint>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "support/TestSupport.h"

namespace mp3checks {

/// A sine tone of `frames` samples, amplitude `amp`.
inline std::vector<std::int16_t> Tone(int frames, int rate, double hz, double amp = 12000.0) {
    std::vector<std::int16_t> s(static_cast<std::size_t>(frames));
    for (int i = 0; i < frames; ++i)
        s[static_cast<std::size_t>(i)] = static_cast<std::int16_t>(amp * std::sin(2 * M_PI * hz * i / rate));
    return s;
}

struct StreamInfo {
    int sampleRate = 0;
    int channels = 0;
    int bitRate = 0;  // bit/s
    double duration = 0;
};

/// ffprobe's view of the first audio stream; zeros when ffprobe fails.
inline StreamInfo Probe(const std::string& path) {
    std::string out;
    testsupport::Run({"ffprobe", "-v", "error", "-select_streams", "a:0", "-show_entries",
                      "stream=sample_rate,channels,bit_rate,duration", "-of", "default=nw=1", path},
                     &out);
    StreamInfo info;
    std::istringstream lines(out);
    for (std::string line; std::getline(lines, line);) {
        const auto eq = line.find('=');
        if (eq == std::string::npos) continue;
        const std::string key = line.substr(0, eq), value = line.substr(eq + 1);
        if (value == "N/A") continue;
        if (key == "sample_rate") info.sampleRate = std::stoi(value);
        if (key == "channels") info.channels = std::stoi(value);
        if (key == "bit_rate") info.bitRate = std::stoi(value);
        if (key == "duration") info.duration = std::stod(value);
    }
    return info;
}

/// mp3val's report; clean when it names no problem (a file without tags is no problem).
inline bool Mp3valClean(const std::string& path, std::string* report = nullptr) {
    std::string out;
    const int rc = testsupport::Run({"mp3val", path}, &out);
    if (report) *report = out;
    if (rc != 0 || out.find("ERROR") != std::string::npos || out.find("PROBLEM") != std::string::npos)
        return false;
    // The one warning that is no fault: a file written without tags.
    std::istringstream lines(out);
    for (std::string line; std::getline(lines, line);)
        if (line.rfind("WARNING", 0) == 0 && line.find("No supported tags in the file") == std::string::npos)
            return false;
    return true;
}

/// Frequency of a tone from its upward zero crossings over one channel of interleaved PCM.
/// Hysteresis of `margin` keeps the coding noise of near-silent stretches from counting.
inline double ToneFrequency(const std::vector<std::int16_t>& interleaved, int channels, int channel, int rate,
                            int margin = 1000) {
    const auto step = static_cast<std::size_t>(channels);
    int crossings = 0;
    bool armed = false;
    std::size_t first = 0, last = 0;
    for (std::size_t i = static_cast<std::size_t>(channel); i < interleaved.size(); i += step) {
        if (interleaved[i] < -margin) armed = true;
        if (armed && interleaved[i] > margin) {
            armed = false;
            if (crossings == 0) first = i;
            last = i;
            ++crossings;
        }
    }
    if (crossings < 2) return 0;
    const double seconds = static_cast<double>((last - first) / step) / rate;
    return (crossings - 1) / seconds;
}

/// Root mean square of one channel of interleaved PCM.
inline double Rms(const std::vector<std::int16_t>& interleaved, int channels, int channel) {
    double sum = 0;
    std::size_t n = 0;
    for (std::size_t i = static_cast<std::size_t>(channel); i < interleaved.size();
         i += static_cast<std::size_t>(channels), ++n)
        sum += static_cast<double>(interleaved[i]) * interleaved[i];
    return n ? std::sqrt(sum / static_cast<double>(n)) : 0;
}

/// The ID3v2 frames that `id3v2 -l` lists: frame id -> the text after "): ".
inline std::map<std::string, std::string> Id3v2Frames(const std::string& path) {
    std::string out;
    testsupport::Run({"id3v2", "-l", path}, &out);
    std::map<std::string, std::string> frames;
    std::istringstream lines(out);
    bool inV2 = false;
    for (std::string line; std::getline(lines, line);) {
        if (line.rfind("id3v2 tag info", 0) == 0) inV2 = true;
        if (!inV2 || line.size() < 6 || line[4] != ' ' || line[5] != '(') continue;
        const auto sep = line.find("): ");
        frames[line.substr(0, 4)] = sep == std::string::npos ? std::string() : line.substr(sep + 3);
    }
    return frames;
}

struct V2Frame {
    std::string id;
    std::vector<std::uint8_t> payload;
};

/// The frames of an ID3v2.3 tag without unsynchronisation or extended header.
inline std::vector<V2Frame> ParseV2(const std::vector<std::uint8_t>& tag) {
    std::vector<V2Frame> frames;
    if (tag.size() < 10) return frames;
    std::size_t at = 10;
    while (at + 10 <= tag.size() && tag[at] != 0) {
        const std::size_t size = (std::size_t{tag[at + 4]} << 24) | (std::size_t{tag[at + 5]} << 16) |
                                 (std::size_t{tag[at + 6]} << 8) | tag[at + 7];
        if (at + 10 + size > tag.size()) break;
        frames.push_back({std::string(tag.begin() + at, tag.begin() + at + 4),
                          std::vector<std::uint8_t>(tag.begin() + at + 10, tag.begin() + at + 10 + size)});
        at += 10 + size;
    }
    return frames;
}

/// The text of a text frame (after its encoding byte), or "<none>" when the frame is absent.
inline std::string V2Text(const std::vector<std::uint8_t>& tag, const std::string& id) {
    for (const auto& f : ParseV2(tag))
        if (f.id == id)
            return f.payload.empty() ? std::string() : std::string(f.payload.begin() + 1, f.payload.end());
    return "<none>";
}

}  // namespace mp3checks
