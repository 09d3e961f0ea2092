#pragma once
#include <functional>
#include <string>

#include "platform/RegFile.h"
#include "platform/UserStore.h"

/// A key of a RegFile-backed store: a snapshot for reading, or collected values that a commit
/// function stores on Close.
class RegFileKey final : public StoreKey {
public:
    using Commit = std::function<int(const StoreValues&)>;
    explicit RegFileKey(StoreValues snapshot) : m_values(std::move(snapshot)) {}
    explicit RegFileKey(Commit commit) : m_commit(std::move(commit)) {}
    ~RegFileKey() override { Close(); }

    std::optional<StoreValueInfo> QueryValue(const std::string& name) const override;
    int ReadValue(const std::string& name, void* buffer, std::uint32_t* size) const override;
    int SetDword(const std::string& name, std::uint32_t value) override;
    int SetString(const std::string& name, const std::string& text) override;
    int Close() override;

private:
    const StoreValue* Find(const std::string& name) const;
    void Set(const std::string& name, StoreValue value);
    StoreValues m_values;
    Commit m_commit;
    bool m_closed = false;
};
