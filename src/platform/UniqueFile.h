#pragma once
#include <cstdio>
#include <memory>

struct FileCloser {
    void operator()(std::FILE* f) const noexcept {
        if (f) std::fclose(f);
    }
};

/// Owns a C stdio stream; closing is the deleter's job, so every early return releases it.
using UniqueFile = std::unique_ptr<std::FILE, FileCloser>;

/// Opens with fopen semantics; null on failure.
inline UniqueFile OpenFile(const char* path, const char* mode) {
    return UniqueFile(std::fopen(path, mode));
}
