#pragma once
#include <memory>

struct gsm_state;
struct GsmDestroyer {
    void operator()(gsm_state* handle) const noexcept;
};

/// Owns a libgsm decoder; destroyed with gsm_destroy.
using GsmHandle = std::unique_ptr<gsm_state, GsmDestroyer>;

/// A GSM 6.10 decoder; `wav49` selects the 65-byte two-frame WAV framing (else plain 33-byte
/// frames). Null when libgsm refuses.
GsmHandle MakeGsmDecoder(bool wav49);
