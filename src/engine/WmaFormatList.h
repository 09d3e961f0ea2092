#pragma once
#include <vector>

#include "platform/wmf/WmTypes.h"

class WmfRuntime;

/// One WMA codec format of the runtime: its media type (a WaveFormatEx block) and bit rate.
struct WmaFormatEntry {
    WmMediaType mediaType;
    int bitrate = 0;  // bit/s
    int SampleRate() const;
    int Channels() const;
};

/// The WMA codec formats the loaded runtime offers, sorted by sample rate, then bit rate, with
/// no two entries alike in rate, bit rate and channels.
///
/// One list lives in the EngineContext; the batch driver, source selection, the command line and
/// the WMA options page all read that one. Rebuild it after every successful runtime load.
class WmaFormatList {
public:
    const std::vector<WmaFormatEntry>& Entries() const { return m_entries; }
    bool Empty() const { return m_entries.empty(); }
    void Clear() { m_entries.clear(); }
    /// Puts an entry in its sorted place: before the first entry of a higher rate, of the same
    /// rate and a higher bit rate, or of the same rate and bit rate with other channels.
    /// False, with nothing added, when an entry of the same rate, bit rate and channels exists.
    bool Insert(WmaFormatEntry entry);

private:
    std::vector<WmaFormatEntry> m_entries;
};

/// Empties the list and fills it with the runtime's WMA formats of one or two channels (codec
/// formats described "(A/V)" are skipped). Nonzero when the walk ended without a failing call;
/// a failing call ends the walk over that codec and keeps the entries found so far. Without a
/// loaded runtime the list stays empty and the result is 0.
int BuildWmaFormatList(WmaFormatList& list, const WmfRuntime& runtime);

/// The entry to encode with for a requested rate, bit rate and channel count, among the entries
/// with that channel count: the exact one; else, at the requested rate, the nearer of the bit
/// rates around the request (a tie takes the higher), the highest when all are lower, the
/// lowest when all are higher; with no entry at that rate, the lowest entry of the next higher
/// rate, or failing that the highest entry below. Null when no entry has the channel count.
/// The pointer stays valid until the list changes.
const WmaFormatEntry* FindWmaFormat(const WmaFormatList& list, int rate, int bitrate, int channels);
