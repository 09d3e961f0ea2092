#include "ReaderFuzz.h"
#include "sources/AuSource.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    return FuzzReader<AuSource>(data, size);
}
