#include "sources/GsmHandle.h"

#include <gsm.h>

void GsmDestroyer::operator()(gsm_state* handle) const noexcept {
    gsm_destroy(handle);
}

GsmHandle MakeGsmDecoder(bool wav49) {
    GsmHandle handle(gsm_create());
    int value = wav49 ? 1 : 0;
    // gsm_option takes a pointer to the new value.
    if (handle && gsm_option(handle.get(), GSM_OPT_WAV49, &value) < 0) handle.reset();
    return handle;
}
