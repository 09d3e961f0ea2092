#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/wmf/WmTypes.h"

/// One header attribute: its name, type and value bytes (strings UTF-16LE, numbers little-endian).
struct WmAttribute {
    std::string name;
    WmAttrType type = WmAttrType::String;
    std::vector<std::uint8_t> value;
};

/// Stores text and number attributes in a finished ASF file: "Title", "Author", "Description"
/// and "Copyright" in the content description, the others as extended attributes. Attributes
/// without a value are left out. False when the file cannot be rewritten.
bool StoreAsfAttributes(const std::string& path, const std::vector<WmAttribute>& attributes);

/// The file-level attributes of an ASF file, including "Duration" (100-ns units, from the file
/// properties) when the header has it.
std::vector<WmAttribute> ReadAsfAttributes(const std::string& path);

/// Play duration minus preroll of an ASF file in 100-ns units, from its File Properties Object;
/// nothing when the header is missing or damaged.
std::optional<std::uint64_t> AsfPlayDuration(const std::string& path);

/// UTF-16LE bytes of a UTF-8 text, with a terminator when asked.
std::vector<std::uint8_t> Utf16Bytes(const std::string& utf8, bool terminator);
