#pragma once
#include "platform/RegFile.h"
#include "platform/UserStore.h"

/// A per-user store held in memory, for tests; can be made to refuse writes.
class MemoryUserStore final : public UserStore {
public:
    std::unique_ptr<StoreKey> OpenKey(const std::string& path) const override;
    std::unique_ptr<StoreKey> CreateKey(const std::string& path) override;

    RegFile& Data() { return m_data; }
    const RegFile& Data() const { return m_data; }
    void SetWritable(bool writable) { m_writable = writable; }

private:
    RegFile m_data;
    bool m_writable = true;
};
