#include "support/Mp4Boxes.h"

#include <optional>
#include <set>
#include <stdexcept>

namespace testsupport {

namespace {

using Bytes = std::vector<std::uint8_t>;

struct Box {
    std::string type;
    std::uint64_t start = 0;  // of the header
    std::uint64_t body = 0;   // first byte after the header
    std::uint64_t end = 0;
    std::vector<Box> children;
};

std::uint64_t Be(const Bytes& b, std::uint64_t at, int width) {
    std::uint64_t v = 0;
    for (int i = 0; i < width; ++i) v = v << 8 | b.at(at + static_cast<std::uint64_t>(i));
    return v;
}

// Bytes to skip before the children of a container box.
const std::map<std::string, int> kContainers = {
    {"moov", 0}, {"trak", 0}, {"mdia", 0}, {"minf", 0}, {"dinf", 0},  {"stbl", 0}, {"udta", 0},
    {"ilst", 0}, {"edts", 0}, {"meta", 4}, {"stsd", 8}, {"mp4a", 28}, {"dref", 8}};

bool IsItem(const std::string& parent) {
    return parent == "ilst";
}

std::optional<std::string> Parse(const Bytes& b, std::uint64_t from, std::uint64_t to,
                                 const std::string& parent, std::vector<Box>& out) {
    std::uint64_t at = from;
    while (at < to) {
        if (to - at < 8) return "box header cut short at " + std::to_string(at);
        Box box;
        box.start = at;
        std::uint64_t size = Be(b, at, 4);
        box.type.assign(reinterpret_cast<const char*>(&b[at + 4]), 4);
        box.body = at + 8;
        if (size == 1) {
            if (to - at < 16) return "large size cut short";
            size = Be(b, at + 8, 8);
            box.body = at + 16;
        } else if (size == 0) {
            size = to - at;
        }
        if (size < box.body - at || size > to - at) return box.type + " overruns its parent " + parent;
        box.end = at + size;
        auto skip = kContainers.find(box.type);
        if (skip != kContainers.end() || IsItem(parent)) {
            const std::uint64_t first = box.body + (skip != kContainers.end() ? skip->second : 0);
            if (first > box.end) return box.type + " too short";
            if (auto e = Parse(b, first, box.end, box.type, box.children)) return e;
        }
        at = box.end;
        out.push_back(std::move(box));
    }
    return std::nullopt;
}

const Box* Child(const Box* box, const std::string& type) {
    if (!box) return nullptr;
    for (const Box& c : box->children)
        if (c.type == type) return &c;
    return nullptr;
}

const Box* Path(const std::vector<Box>& top, std::initializer_list<const char*> path) {
    const Box* box = nullptr;
    bool first = true;
    for (const char* type : path) {
        if (first) {
            for (const Box& t : top)
                if (t.type == type) box = &t;
            first = false;
        } else {
            box = Child(box, type);
        }
        if (!box) return nullptr;
    }
    return box;
}

// Reads an MPEG-4 descriptor header at `at`; returns the payload length and moves `at` past it.
std::uint64_t Descriptor(const Bytes& b, std::uint64_t& at, std::uint8_t& tag) {
    tag = b.at(at++);
    std::uint64_t length = 0;
    for (int i = 0; i < 4; ++i) {
        const std::uint8_t v = b.at(at++);
        length = length << 7 | (v & 0x7F);
        if (!(v & 0x80)) break;
    }
    return length;
}

void ReadEsds(const Bytes& b, const Box& esds, Mp4Summary& s) {
    std::uint64_t at = esds.body + 4;
    std::uint8_t tag = 0;
    Descriptor(b, at, tag);
    if (tag != 3) return;
    at += 3;
    Descriptor(b, at, tag);
    if (tag != 4) return;
    s.objectType = b.at(at);
    at += 13;
    const std::uint64_t length = Descriptor(b, at, tag);
    if (tag != 5) return;
    if (length > esds.end || at > esds.end - length) throw std::out_of_range("decoder config overruns esds");
    s.decoderConfig.assign(b.begin() + static_cast<long>(at), b.begin() + static_cast<long>(at + length));
}

// Expands a run-length table of (count, value) pairs into `values`; returns how many samples the
// table counts. Expansion stops past `limit` samples, so a damaged count cannot exhaust memory.
std::uint64_t Runs(const Bytes& b, const Box* box, std::uint64_t limit, std::vector<std::uint32_t>& values) {
    if (!box) return 0;
    const std::uint64_t n = Be(b, box->body + 4, 4);
    std::uint64_t total = 0;
    for (std::uint64_t i = 0; i < n; ++i) {
        const std::uint64_t count = Be(b, box->body + 8 + 8 * i, 4);
        const auto value = static_cast<std::uint32_t>(Be(b, box->body + 12 + 8 * i, 4));
        total += count;
        if (total <= limit) values.insert(values.end(), count, value);
    }
    return total;
}

std::string CheckTables(const Bytes& b, const Box& stbl, const Box& mdat, Mp4Summary& s) {
    const Box* stsz = Child(&stbl, "stsz");
    const Box* stsc = Child(&stbl, "stsc");
    const Box* stco = Child(&stbl, "stco");
    const Box* co64 = Child(&stbl, "co64");
    if (!stsz || !stsc || !Child(&stbl, "stts") || (!stco == !co64)) return "sample table boxes missing";

    const std::uint32_t fixed = static_cast<std::uint32_t>(Be(b, stsz->body + 4, 4));
    const std::uint64_t count = Be(b, stsz->body + 8, 4);
    // Samples of one fixed size are not listed, so only mdat bounds their count.
    if (fixed && count > (mdat.end - mdat.body) / fixed)
        return "stsz counts " + std::to_string(count) + " samples of " + std::to_string(fixed) +
               " bytes, more than mdat holds";
    for (std::uint64_t i = 0; i < count; ++i)
        s.sizes.push_back(fixed ? fixed : static_cast<std::uint32_t>(Be(b, stsz->body + 12 + 4 * i, 4)));
    const std::uint64_t timed = Runs(b, Child(&stbl, "stts"), count, s.durations);
    std::uint64_t shifted = Runs(b, Child(&stbl, "ctts"), count, s.offsets);
    if (shifted == 0) {  // no composition offsets: every sample is shown when decoded
        s.offsets.assign(s.sizes.size(), 0);
        shifted = count;
    }
    if (timed != count)
        return "stts counts " + std::to_string(timed) + " samples, stsz " + std::to_string(count);
    if (shifted != count)
        return "ctts counts " + std::to_string(shifted) + " samples, stsz " + std::to_string(count);

    s.wideOffsets = co64 != nullptr;
    const Box* offsets = co64 ? co64 : stco;
    const std::uint64_t chunks = Be(b, offsets->body + 4, 4);
    for (std::uint64_t i = 0; i < chunks; ++i)
        s.chunkOffsets.push_back(co64 ? Be(b, co64->body + 8 + 8 * i, 8) : Be(b, stco->body + 8 + 4 * i, 4));

    // Walk the chunks as stsc lays them out; every sample must follow the previous one in mdat.
    const std::uint64_t entries = Be(b, stsc->body + 4, 4);
    std::uint64_t sample = 0;
    std::uint64_t payload = 0;
    std::uint64_t expected = mdat.body;
    for (std::uint64_t e = 0; e < entries; ++e) {
        const std::uint64_t firstChunk = Be(b, stsc->body + 8 + 12 * e, 4);
        const std::uint64_t perChunk = Be(b, stsc->body + 12 + 12 * e, 4);
        const std::uint64_t nextFirst = e + 1 < entries ? Be(b, stsc->body + 20 + 12 * e, 4) : chunks + 1;
        if (firstChunk < 1 || nextFirst <= firstChunk || nextFirst > chunks + 1)
            return "stsc entries out of order";
        for (std::uint64_t c = firstChunk; c < nextFirst; ++c) {
            std::uint64_t at = s.chunkOffsets[c - 1];
            if (at != expected) return "chunk " + std::to_string(c) + " is not where the previous one ends";
            for (std::uint64_t k = 0; k < perChunk; ++k, ++sample) {
                if (sample >= count) return "stsc places more samples than stsz has";
                at += s.sizes[sample];
                payload += s.sizes[sample];
            }
            if (at > mdat.end) return "chunk " + std::to_string(c) + " ends outside mdat";
            expected = at;
        }
    }
    if (sample != count)
        return "stsc places " + std::to_string(sample) + " of " + std::to_string(count) + " samples";
    if (payload != mdat.end - mdat.body)
        return "sample sizes add up to " + std::to_string(payload) + ", mdat holds " +
               std::to_string(mdat.end - mdat.body);
    return {};
}

}  // namespace

Mp4Summary InspectMp4(const std::vector<std::uint8_t>& file) {
    Mp4Summary s;
    std::vector<Box> top;
    try {
        if (auto e = Parse(file, 0, file.size(), "file", top)) {
            s.error = *e;
            return s;
        }
        for (const Box& box : top) s.topLevel.push_back(box.type);
        const Box* ftyp = Path(top, {"ftyp"});
        const Box* mdat = Path(top, {"mdat"});
        const Box* mvhd = Path(top, {"moov", "mvhd"});
        const Box* mdhd = Path(top, {"moov", "trak", "mdia", "mdhd"});
        const Box* stbl = Path(top, {"moov", "trak", "mdia", "minf", "stbl"});
        const Box* mp4a = Path(top, {"moov", "trak", "mdia", "minf", "stbl", "stsd", "mp4a"});
        if (!ftyp || !mdat || !mvhd || !mdhd || !stbl || !mp4a) {
            s.error = "a required box is missing";
            return s;
        }
        for (std::uint64_t at = ftyp->body; at + 4 <= ftyp->end; at += 4)
            if (at != ftyp->body + 4) s.brands.emplace_back(reinterpret_cast<const char*>(&file[at]), 4);
        auto timing = [&](const Box* box, std::uint32_t& scale, std::uint64_t& duration) {
            const bool v1 = file.at(box->body) == 1;
            scale = static_cast<std::uint32_t>(Be(file, box->body + (v1 ? 20 : 12), 4));
            duration = Be(file, box->body + (v1 ? 24 : 16), v1 ? 8 : 4);
        };
        timing(mvhd, s.movieTimeScale, s.movieDuration);
        timing(mdhd, s.trackTimeScale, s.mediaDuration);
        if (const Box* tkhd = Path(top, {"moov", "trak", "tkhd"})) {
            const bool v1 = file.at(tkhd->body) == 1;
            s.trackDuration = Be(file, tkhd->body + (v1 ? 28 : 20), v1 ? 8 : 4);
        }
        if (const Box* elst = Path(top, {"moov", "trak", "edts", "elst"})) {
            const bool v1 = file.at(elst->body) == 1;
            const std::uint64_t width = v1 ? 8 : 4;
            const std::uint64_t count = Be(file, elst->body + 4, 4);
            for (std::uint64_t i = 0, at = elst->body + 8; i < count; ++i, at += 2 * width + 4) {
                if (at + 2 * width + 4 > elst->end) throw std::out_of_range("elst too short");
                const std::uint64_t media = Be(file, at + width, static_cast<int>(width));
                s.edits.emplace_back(Be(file, at, static_cast<int>(width)),
                                     v1 ? static_cast<std::int64_t>(media)
                                        : static_cast<std::int32_t>(static_cast<std::uint32_t>(media)));
            }
        }
        s.channels = static_cast<int>(Be(file, mp4a->body + 16, 2));
        if (const Box* esds = Child(mp4a, "esds")) ReadEsds(file, *esds, s);
        if (const Box* ilst = Path(top, {"moov", "udta", "meta", "ilst"})) {
            for (const Box& item : ilst->children)
                if (const Box* data = Child(&item, "data")) {
                    if (data->end - data->body < 8) throw std::out_of_range("data box too short");
                    s.items[item.type].assign(file.begin() + static_cast<long>(data->body + 8),
                                              file.begin() + static_cast<long>(data->end));
                }
        }
        s.error = CheckTables(file, *stbl, *mdat, s);
        if (s.error.empty()) {
            std::uint64_t total = 0;
            for (std::uint32_t d : s.durations) total += d;
            if (total != s.mediaDuration) s.error = "mdhd duration differs from the sum of stts";
        }
    } catch (const std::out_of_range&) {
        s.error = "a table runs past the end of the file";
    }
    return s;
}

}  // namespace testsupport
