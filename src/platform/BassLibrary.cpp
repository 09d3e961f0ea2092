#include "platform/BassLibrary.h"

namespace {
// Stands in for the loaded library: created by BASS_Init, destroyed by BASS_Free.
std::mutex g_bassMutex;
std::unique_ptr<BassLibrary> g_bassLibrary;
}  // namespace

std::uint32_t BassLibrary::Add(std::unique_ptr<BassChannel> channel) {
    if (!channel) return 0;
    while (m_nextHandle == 0 || m_channels.count(m_nextHandle)) ++m_nextHandle;
    const std::uint32_t handle = m_nextHandle++;
    auto shared = std::make_shared<HeldBassChannel::Shared>();
    shared->channel = std::move(channel);
    m_channels.emplace(handle, std::move(shared));
    return handle;
}

BassChannel* BassLibrary::Find(std::uint32_t handle) {
    const auto it = m_channels.find(handle);
    return it == m_channels.end() ? nullptr : it->second->channel.get();
}

std::shared_ptr<HeldBassChannel::Shared> BassLibrary::Share(std::uint32_t handle) {
    const auto it = m_channels.find(handle);
    return it == m_channels.end() ? nullptr : it->second;
}

bool BassLibrary::Remove(std::uint32_t handle, bool music) {
    const auto it = m_channels.find(handle);
    if (it == m_channels.end() || it->second->channel->Info().music != music) return false;
    m_channels.erase(it);
    return true;
}

LockedBassLibrary LockBassLibrary() {
    std::unique_lock lock(g_bassMutex);
    BassLibrary* library = g_bassLibrary.get();
    return {std::move(lock), library};
}

bool ResetBassLibrary(std::uint32_t rate, bool create) {
    std::unique_lock lock(g_bassMutex);
    if (create == (g_bassLibrary != nullptr)) return false;
    if (create)
        g_bassLibrary = std::make_unique<BassLibrary>(rate);
    else
        g_bassLibrary.reset();
    return true;
}
