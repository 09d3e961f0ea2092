#include "platform/RegFileKey.h"

#include <algorithm>
#include <cstring>
#include <limits>

const StoreValue* RegFileKey::Find(const std::string& name) const {
    for (const auto& [n, v] : m_values)
        if (SameStoreName(n, name)) return &v;
    return nullptr;
}

std::optional<StoreValueInfo> RegFileKey::QueryValue(const std::string& name) const {
    const StoreValue* v = Find(name);
    if (!v || v->bytes.size() > std::numeric_limits<std::uint32_t>::max()) return std::nullopt;
    return StoreValueInfo{v->type, static_cast<std::uint32_t>(v->bytes.size())};
}

int RegFileKey::ReadValue(const std::string& name, void* buffer, std::uint32_t* size) const {
    const StoreValue* v = Find(name);
    if (!v) return 0;
    const std::size_t capacity = *size;
    *size = static_cast<std::uint32_t>(std::min<std::size_t>(v->bytes.size(), 0xffffffffu));
    if (v->bytes.size() > capacity) return 0;
    if (!v->bytes.empty()) std::memcpy(buffer, v->bytes.data(), v->bytes.size());
    return 1;
}

void RegFileKey::Set(const std::string& name, StoreValue value) {
    for (auto& [n, v] : m_values) {
        if (SameStoreName(n, name)) {
            v = std::move(value);
            return;
        }
    }
    m_values.emplace_back(name, std::move(value));
}

int RegFileKey::SetDword(const std::string& name, std::uint32_t value) {
    if (!m_commit || m_closed) return 0;
    std::string bytes;
    for (int i = 0; i < 4; ++i) bytes += static_cast<char>((value >> (8 * i)) & 0xff);
    Set(name, {kRegDword, std::move(bytes)});
    return 1;
}

int RegFileKey::SetString(const std::string& name, const std::string& text) {
    if (!m_commit || m_closed) return 0;
    Set(name, {kRegSz, text + '\0'});
    return 1;
}

int RegFileKey::Close() {
    if (m_closed) return 1;
    m_closed = true;
    return m_commit ? m_commit(m_values) : 1;
}
