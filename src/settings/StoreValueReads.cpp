#include "settings/StoreValueReads.h"

#include <cstring>
#include <vector>

#include "platform/UserStore.h"

void ReadDwordInto(const StoreKey& key, const std::string& name, std::int32_t& field) {
    unsigned char bytes[4];
    std::uint32_t size = sizeof bytes;
    if (!key.ReadValue(name, bytes, &size)) return;
    auto value = static_cast<std::uint32_t>(field);
    for (std::uint32_t i = 0; i < size; ++i)
        value = (value & ~(0xffu << (8 * i))) | (static_cast<std::uint32_t>(bytes[i]) << (8 * i));
    field = static_cast<std::int32_t>(value);
}

bool ReadTextInto(const StoreKey& key, const std::string& name, std::uint32_t capacity, std::string& text) {
    std::vector<char> buffer(capacity);
    std::uint32_t size = capacity;
    if (!key.ReadValue(name, buffer.data(), &size)) return false;
    text.assign(buffer.data(), ::strnlen(buffer.data(), size));
    return true;
}
