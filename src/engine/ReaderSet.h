#pragma once
#include <array>
#include <functional>
#include <memory>
#include <string>

#include "sources/AudioSource.h"

/// The places a reader class can take in the reader chains.
enum class ReaderRole { Bass, WavFile, Aiff, Au, OggVorbis, Ffmpeg, FfmpegProbe, Wma, Flac };
inline constexpr int kReaderRoleCount = 9;

using ReaderFactory = std::function<std::unique_ptr<AudioSource>()>;

template <class Reader>
std::unique_ptr<AudioSource> MakeReader() {
    return std::make_unique<Reader>();
}

/// The reader classes source selection may build, at most one per role. A role without a
/// reader is skipped by every chain, so a reader class joins the chains when it is added here.
class ReaderSet {
public:
    void Add(ReaderRole role, std::string name, ReaderFactory create);
    bool Has(ReaderRole role) const { return static_cast<bool>(Slot(role).create); }
    const std::string& Name(ReaderRole role) const { return Slot(role).name; }
    /// A new, unopened reader; null when the role has none.
    std::unique_ptr<AudioSource> Create(ReaderRole role) const;

private:
    struct Entry {
        std::string name;
        ReaderFactory create;
    };
    const Entry& Slot(ReaderRole role) const { return m_entries[static_cast<std::size_t>(role)]; }
    std::array<Entry, kReaderRoleCount> m_entries;
};

/// Every reader class the program has.
ReaderSet DefaultReaders();
