// The window's dialogs and desktop for benchmarks: nothing is asked, opened or shown.
#pragma once
#include <cstdint>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "app/DesktopActions.h"
#include "app/Dialogs.h"

namespace bench {

/// Writes the low `bytes` bytes of `value` at `at`, little-endian, as WAV files store numbers.
inline void PutLe(std::vector<char>& out, std::size_t at, std::uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) out[at + i] = static_cast<char>(value >> (8 * i));
}

/// A 16-bit PCM WAV file of `frames` silent frames; its samples start at byte 44.
inline std::vector<char> SilentWav16(std::uint32_t rate, std::uint16_t channels, std::uint32_t frames) {
    const std::uint32_t frameBytes = 2u * channels, data = frames * frameBytes;
    std::vector<char> wav(44 + data, 0);
    std::memcpy(wav.data(), "RIFF", 4);
    PutLe(wav, 4, 36 + data, 4);
    std::memcpy(wav.data() + 8, "WAVEfmt ", 8);
    PutLe(wav, 16, 16, 4), PutLe(wav, 20, 1, 2), PutLe(wav, 22, channels, 2), PutLe(wav, 24, rate, 4);
    PutLe(wav, 28, rate * frameBytes, 4), PutLe(wav, 32, frameBytes, 2), PutLe(wav, 34, 16, 2);
    std::memcpy(wav.data() + 36, "data", 4);
    PutLe(wav, 40, data, 4);
    return wav;
}

class SilentDialogs final : public Dialogs {
public:
    std::optional<std::vector<std::string>> OpenFiles(QWidget*, const std::vector<std::string>&) override {
        return std::nullopt;
    }
    std::optional<std::string> BrowseForFolder(QWidget*, const std::string&, const std::string&) override {
        return std::nullopt;
    }
    bool Message(QWidget*, MessageIcon, const std::string&) override { return false; }
    void About(QWidget*, const std::string&) override {}
};

class NoDesktop final : public DesktopActions {
public:
    int Open(const std::string&) override { return 1; }
    int OpenInBrowser(const std::string&) override { return 1; }
    int ShowInFileManager(const std::string&) override { return 1; }
    std::string HandlerOf(const std::string&) override { return {}; }
};

}  // namespace bench
