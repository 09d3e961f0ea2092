#include "encoders/MemoryHeadroom.h"

#include <cerrno>
#include <cstdlib>

bool HaveMemoryFor(std::size_t bytes) {
    void* block = std::malloc(bytes);
    if (!block) {
        errno = ENOMEM;
        return false;
    }
    static_cast<volatile char*>(block)[0] = 0;  // keeps the compiler from leaving the probe out
    std::free(block);
    return true;
}
