#pragma once
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>

#include "platform/BassChannel.h"

/// A channel taken out of the library for decoding without the library's lock: it stays alive
/// (even if freed meanwhile) and no other thread uses it until this object goes.
class HeldBassChannel {
public:
    struct Shared {
        std::mutex use;
        std::unique_ptr<BassChannel> channel;
    };
    HeldBassChannel() = default;
    explicit HeldBassChannel(std::shared_ptr<Shared> shared)
        : m_shared(std::move(shared)), m_use(m_shared->use) {}
    explicit operator bool() const { return m_shared != nullptr; }
    BassChannel* operator->() const { return m_shared->channel.get(); }

private:
    std::shared_ptr<Shared> m_shared;
    std::unique_lock<std::mutex> m_use;
};

/// The state of the decoding-library stand-in between BASS_Init and BASS_Free: channels by
/// handle, switched-on plug-ins, SoundFonts and the default font list.
class BassLibrary {
public:
    explicit BassLibrary(std::uint32_t defaultRate) : m_defaultRate(defaultRate) {}

    std::uint32_t DefaultRate() const { return m_defaultRate; }
    std::uint32_t Add(std::unique_ptr<BassChannel> channel);
    /// A channel's fixed facts (description, path, tags) may be read while the library is locked.
    BassChannel* Find(std::uint32_t handle);
    /// A channel to decode from after the library's lock is given up; empty when there is none.
    std::shared_ptr<HeldBassChannel::Shared> Share(std::uint32_t handle);
    /// Frees a channel of the given sort (music or stream); false when there is none.
    bool Remove(std::uint32_t handle, bool music);

    std::set<std::string> plugins;               // loaded plug-in file names
    std::map<std::uint32_t, std::string> fonts;  // SoundFont paths by handle
    std::string defaultFont;                     // empty: no default SoundFont
    std::uint32_t nextFont = 1;

private:
    std::uint32_t m_defaultRate;
    std::uint32_t m_nextHandle = 1;
    std::map<std::uint32_t, std::shared_ptr<HeldBassChannel::Shared>> m_channels;
};

/// The library instance with its lock held; `library` is null outside BASS_Init..BASS_Free.
struct LockedBassLibrary {
    std::unique_lock<std::mutex> lock;
    BassLibrary* library;
};
LockedBassLibrary LockBassLibrary();

/// Creates (nonzero rate) or destroys (0) the process-wide instance; false if that is a no-op.
bool ResetBassLibrary(std::uint32_t rate, bool create);

/// Opens a file stream by content; null when no built-in decoder or loaded plug-in reads it.
std::unique_ptr<BassChannel> OpenBassFileStream(const std::string& path,
                                                const std::set<std::string>& plugins);
std::unique_ptr<BassChannel> OpenBassMpegStream(const std::string& path);
std::unique_ptr<BassChannel> OpenBassModule(const std::string& path, std::uint32_t rate);
std::unique_ptr<BassChannel> OpenBassMidiStream(const std::string& path, std::uint32_t rate,
                                                const std::string& soundFont);
bool IsSoundFont(const std::string& path);
void SilenceMidiSynth();
