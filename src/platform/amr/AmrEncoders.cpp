#include "platform/amr/AmrEncoders.h"

#include <opencore-amrnb/interf_enc.h>
#include <vo-amrwbenc/enc_if.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>

#include "platform/UniqueFile.h"

namespace {

// Room for the largest frame of either band (61 bytes) with margin for the libraries' own writes.
constexpr int kFrameBytes = 128;

/// The output file of one encoder: appends stick at the first failure.
class AmrFile {
public:
    int Open(const char* path, const char* magic) {
        m_file = OpenFile(path, "wb");
        if (!m_file) return 0;
        return Append(reinterpret_cast<const unsigned char*>(magic), static_cast<int>(std::strlen(magic)));
    }
    int Append(const unsigned char* bytes, int count) {
        if (m_failed || !m_file || count <= 0 || count > kFrameBytes) {
            m_failed = true;
            return 0;
        }
        if (std::fwrite(bytes, 1, static_cast<std::size_t>(count), m_file.get()) !=
            static_cast<std::size_t>(count))
            m_failed = true;
        return m_failed ? 0 : count;
    }
    int Close() {
        if (!m_file) return 0;
        // Flushing first makes a full disk show up here rather than be lost in fclose.
        if (std::fflush(m_file.get()) != 0) m_failed = true;
        if (std::fclose(m_file.release()) != 0) m_failed = true;
        return m_failed ? 0 : 1;
    }
    bool Failed() const { return m_failed; }

private:
    UniqueFile m_file;
    bool m_failed = false;
};

struct NbExit {
    void operator()(void* state) const noexcept { Encoder_Interface_exit(state); }
};
struct WbExit {
    void operator()(void* state) const noexcept { E_IF_exit(state); }
};

}  // namespace

struct AmrNbEncoder {
    AmrFile file;
    std::unique_ptr<void, NbExit> state;
    Mode mode = MR475;
};

struct AmrWbEncoder {
    AmrFile file;
    std::unique_ptr<void, WbExit> state;
    int mode = 0;
    int dtx = 0;
};

AmrNbEncoder* amrnbenc_init(const char* path, int dtx, int mode) {
    if (!path || mode < 0 || mode >= kAmrNbModes) return nullptr;
    auto enc = std::make_unique<AmrNbEncoder>();
    enc->mode = static_cast<Mode>(mode);
    enc->state.reset(Encoder_Interface_init(dtx != 0));
    if (!enc->state || !enc->file.Open(path, "#!AMR\n")) {
        enc->file.Close();
        return nullptr;
    }
    return enc.release();
}

int amrnbenc_encode(AmrNbEncoder* handle, const std::int16_t* frame) {
    if (!handle || !frame || handle->file.Failed()) return 0;
    // This encoder filters its input in place despite the const in its signature: hand it a copy,
    // never the caller's block.
    short speech[kAmrNbFrameSamples];
    std::copy_n(frame, kAmrNbFrameSamples, speech);
    unsigned char out[kFrameBytes];
    const int bytes = Encoder_Interface_Encode(handle->state.get(), handle->mode, speech, out, 0);
    return handle->file.Append(out, bytes);
}

int amrnbenc_quit(AmrNbEncoder* handle) {
    if (!handle) return 0;
    std::unique_ptr<AmrNbEncoder> owned(handle);
    return owned->file.Close();
}

AmrWbEncoder* amrwbenc_init(const char* path, int dtx, int mode) {
    if (!path || mode < 0 || mode >= kAmrWbModes) return nullptr;
    auto enc = std::make_unique<AmrWbEncoder>();
    enc->mode = mode;
    enc->dtx = dtx != 0;  // this library takes the flag with every frame
    enc->state.reset(E_IF_init());
    if (!enc->state || !enc->file.Open(path, "#!AMR-WB\n")) {
        enc->file.Close();
        return nullptr;
    }
    return enc.release();
}

int amrwbenc_encode(AmrWbEncoder* handle, const std::int16_t* frame) {
    if (!handle || !frame || handle->file.Failed()) return 0;
    unsigned char out[kFrameBytes];
    const int bytes = E_IF_encode(handle->state.get(), handle->mode, frame, out, handle->dtx);
    return handle->file.Append(out, bytes);
}

int amrwbenc_quit(AmrWbEncoder* handle) {
    if (!handle) return 0;
    std::unique_ptr<AmrWbEncoder> owned(handle);
    return owned->file.Close();
}
