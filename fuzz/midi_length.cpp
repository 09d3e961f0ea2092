#include <cstdint>
#include <vector>

#include "platform/MidiSongLength.h"

// MIDI and RMID files are sized by walking their chunks and every track's events.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::vector<std::uint8_t> file(data, data + size);
    (void)MidiSongSeconds(ExtractStandardMidi(file));
    (void)MidiSongSeconds(file);
    return 0;
}
