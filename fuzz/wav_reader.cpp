#include "ReaderFuzz.h"
#include "sources/WavFileSource.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    return FuzzReader<WavFileSource>(data, size);
}
