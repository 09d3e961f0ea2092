#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

/// One stored value: its registry type and its raw bytes (a REG_SZ includes its terminating zero).
struct StoreValue {
    std::uint32_t type = 0;
    std::string bytes;
};

using StoreValues = std::vector<std::pair<std::string, StoreValue>>;

/// The per-user store's contents in the text form of the registry editor (REGEDIT4). Keys and value
/// names compare case-insensitively (ASCII), as in the registry; order of first appearance is kept.
///
/// File form: "REGEDIT4", then per key a "[HKEY_CURRENT_USER\path]" line followed by its values:
///   "Name"=dword:0000000b       REG_DWORD, eight hex digits
///   "Name"="text"               REG_SZ; \\ is a backslash, \" a quote, \n a line feed, \r a carriage
///                               return; every other byte stands for itself (system code page)
///   "Name"=hex(N):0a,ff         any other type or a value the forms above cannot hold exactly
/// Lines that do not parse are skipped, and so are values before the first key.
class RegFile {
public:
    static RegFile Parse(std::string_view text);
    std::string Format() const;

    /// Values of a key (full name, "HKEY_CURRENT_USER\..."); null when the key does not exist.
    const StoreValues* FindKey(std::string_view key) const;
    /// Creates the key if needed and replaces or appends the values given, leaving the others.
    void Merge(std::string_view key, const StoreValues& values);

private:
    StoreValues& AddKey(std::string_view key);
    std::vector<std::pair<std::string, StoreValues>> m_keys;
};

/// The full key name of a path below HKEY_CURRENT_USER.
std::string CurrentUserKey(std::string_view path);

/// Case-insensitive (ASCII) equality of key and value names.
bool SameStoreName(std::string_view a, std::string_view b);
