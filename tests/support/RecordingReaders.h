#pragma once
#include <map>
#include <memory>
#include <new>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "engine/ReaderSet.h"

namespace testsupport {

/// What the recording readers of one test did: attempts in order, and live objects.
struct ReaderLog {
    std::vector<std::string> attempts;  // reader names, one per Open
    std::vector<std::string> paths;     // path given to each Open
    std::vector<int> renderRates;       // renderRate given to each Open
    int constructed = 0;
    int destroyed = 0;
    std::set<std::string> accepting;  // names whose Open succeeds
    std::set<std::string> throwing;   // names whose Open throws
    int Live() const { return constructed - destroyed; }
};

/// A reader that accepts or rejects by its name and records every call in a shared log.
class RecordingReader : public AudioSource {
public:
    RecordingReader(std::string name, ReaderLog& log) : m_name(std::move(name)), m_log(log) {
        ++m_log.constructed;
    }
    ~RecordingReader() override { ++m_log.destroyed; }
    void Close() override {}
    int Open(const char* path, int renderRate) override {
        m_log.attempts.push_back(m_name);
        m_log.paths.push_back(path);
        m_log.renderRates.push_back(renderRate);
        if (m_log.throwing.count(m_name)) throw std::bad_alloc();
        return m_log.accepting.count(m_name) ? 1 : 0;
    }
    int ReadBlock(void*, void*) override { return 0; }
    const std::string& Name() const { return m_name; }

private:
    std::string m_name;
    ReaderLog& m_log;
};

/// A reader set whose roles are recording readers named like the real classes; roles listed in
/// `absent` have no reader, as before their class is written.
inline ReaderSet RecordingReaders(ReaderLog& log, const std::set<ReaderRole>& absent = {}) {
    const std::map<ReaderRole, std::string> names = {
        {ReaderRole::Bass, "BassSource"},
        {ReaderRole::WavFile, "WavFileSource"},
        {ReaderRole::Aiff, "AiffSource"},
        {ReaderRole::Au, "AuSource"},
        {ReaderRole::OggVorbis, "OggVorbisSource"},
        {ReaderRole::Ffmpeg, "FfmpegSource"},
        {ReaderRole::FfmpegProbe, "FfmpegProbeSource"},
        {ReaderRole::Wma, "WmaSource"},
        {ReaderRole::Flac, "FlacSource"},
    };
    ReaderSet set;
    for (const auto& [role, name] : names) {
        if (absent.count(role)) continue;
        set.Add(role, name, [&log, name = name] { return std::make_unique<RecordingReader>(name, log); });
    }
    return set;
}

}  // namespace testsupport
