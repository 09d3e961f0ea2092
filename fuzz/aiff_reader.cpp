#include "ReaderFuzz.h"
#include "sources/AiffSource.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    return FuzzReader<AiffSource>(data, size);
}
