#include "platform/MemoryUserStore.h"

#include "platform/RegFileKey.h"

std::unique_ptr<StoreKey> MemoryUserStore::OpenKey(const std::string& path) const {
    const StoreValues* values = m_data.FindKey(CurrentUserKey(path));
    if (!values) return nullptr;
    return std::make_unique<RegFileKey>(*values);
}

std::unique_ptr<StoreKey> MemoryUserStore::CreateKey(const std::string& path) {
    if (!m_writable) return nullptr;
    const std::string key = CurrentUserKey(path);
    return std::make_unique<RegFileKey>(RegFileKey::Commit([this, key](const StoreValues& values) {
        m_data.Merge(key, values);
        return 1;
    }));
}
