#pragma once
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

/// Registry value types as the store reports them.
inline constexpr std::uint32_t kRegSz = 1;
inline constexpr std::uint32_t kRegDword = 4;

/// Type and size in bytes of a stored value, as a registry query reports them.
struct StoreValueInfo {
    std::uint32_t type = 0;
    std::uint32_t size = 0;
};

/// One open key of the per-user store. Keys opened for reading see the store as it was when opened;
/// keys opened for writing collect their values and hand them to the store on Close.
class StoreKey {
public:
    virtual ~StoreKey() = default;
    /// Type and size of a value; nullopt when it does not exist.
    virtual std::optional<StoreValueInfo> QueryValue(const std::string& name) const = 0;
    /// Copies the value's bytes into buffer. *size is the capacity on entry and the value's size on
    /// return; 0 (nothing copied) when the value is missing or larger than the capacity.
    virtual int ReadValue(const std::string& name, void* buffer, std::uint32_t* size) const = 0;
    /// REG_DWORD: four bytes, little-endian.
    virtual int SetDword(const std::string& name, std::uint32_t value) = 0;
    /// REG_SZ: the text's bytes plus a terminating zero.
    virtual int SetString(const std::string& name, const std::string& text) = 0;
    /// Releases the key; for a key opened for writing, stores its values. 0 when that failed.
    virtual int Close() = 0;
};

/// The per-user store (the current user's registry). Key paths are below HKEY_CURRENT_USER,
/// with backslashes: "Software\\Quillmark\\Wavelorn\\Options".
class UserStore {
public:
    virtual ~UserStore() = default;
    /// Opens an existing key for reading; null when it does not exist or the store cannot be read.
    virtual std::unique_ptr<StoreKey> OpenKey(const std::string& path) const = 0;
    /// Creates or opens a key for writing; null when the store cannot be written.
    virtual std::unique_ptr<StoreKey> CreateKey(const std::string& path) = 0;

    /// Between these, closing a write key only queues its values, and CommitBatch stores every
    /// queued key in one write: all of them or none. Stores that cannot fail part-way (memory)
    /// keep writing each key on Close.
    virtual void BeginBatch() {}
    virtual int CommitBatch() { return 1; }  // 0 when the write failed
    virtual void DiscardBatch() {}
};

/// Keys written while this lives reach the store together on Commit; without Commit, not at all.
class StoreBatch {
public:
    explicit StoreBatch(UserStore& store) : m_store(store) { m_store.BeginBatch(); }
    ~StoreBatch() {
        if (!m_done) m_store.DiscardBatch();
    }
    StoreBatch(const StoreBatch&) = delete;
    StoreBatch& operator=(const StoreBatch&) = delete;
    int Commit() {
        m_done = true;
        return m_store.CommitBatch();
    }

private:
    UserStore& m_store;
    bool m_done = false;
};
