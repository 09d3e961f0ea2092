#include <cstdint>
#include <string_view>

#include "platform/RegFile.h"

// The store file is text anyone can edit: parsing must accept anything, and what it keeps must
// read back the same after a save.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const RegFile parsed = RegFile::Parse(std::string_view(reinterpret_cast<const char*>(data), size));
    const std::string once = parsed.Format();
    if (RegFile::Parse(once).Format() != once) __builtin_trap();
    return 0;
}
