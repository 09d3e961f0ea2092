#pragma once
#include <string>

#include "platform/RegFile.h"
#include "platform/UserStore.h"

/// The per-user store kept in one REGEDIT4 text file. Every write key, when closed, rereads the file
/// under a lock, replaces only its own values and saves atomically (temporary file, flush, rename),
/// so two programs writing in turn keep each other's values. A missing or unreadable file reads as an
/// empty store.
class FileUserStore final : public UserStore {
public:
    explicit FileUserStore(std::string path) : m_path(std::move(path)) {}
    std::unique_ptr<StoreKey> OpenKey(const std::string& path) const override;
    std::unique_ptr<StoreKey> CreateKey(const std::string& path) override;
    void BeginBatch() override;
    int CommitBatch() override;
    void DiscardBatch() override;
    const std::string& Path() const { return m_path; }

    /// $XDG_CONFIG_HOME/wavelorn/registry.reg (default ~/.config/...); "" when no folder is known.
    static std::string DefaultPath();

private:
    RegFile Read() const;
    using KeyValues = std::vector<std::pair<std::string, StoreValues>>;
    int Store(const KeyValues& keys);
    std::string m_path;
    bool m_batching = false;
    KeyValues m_batch;
};
