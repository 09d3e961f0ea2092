#include "cli/PlanFile.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdlib>

#include "cli/Console.h"

namespace {

constexpr char kMagic[] = "wavelorn-plan";
constexpr char kVersion[] = "1";
constexpr char kAlbumVersion[] = "2";  // file lines end in the entry's album

std::string UnescapeField(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\' || i + 1 == text.size()) {
            out += text[i];
            continue;
        }
        const char c = text[++i];
        out += c == 't' ? '\t' : c == 'n' ? '\n' : c;
    }
    return out;
}

std::vector<std::string> SplitFields(const std::string& line) {
    std::vector<std::string> fields;
    std::size_t start = 0;
    for (;;) {
        const auto tab = line.find('\t', start);
        fields.push_back(UnescapeField(line.substr(start, tab - start)));
        if (tab == std::string::npos) return fields;
        start = tab + 1;
    }
}

std::optional<unsigned long long> ParseCount(const std::string& text) {
    if (text.empty() || text.find_first_not_of("0123456789") != std::string::npos) return std::nullopt;
    errno = 0;
    const unsigned long long v = std::strtoull(text.c_str(), nullptr, 10);
    if (errno) return std::nullopt;
    return v;
}

bool KnownAction(const std::string& action) {
    for (const char* a : {"convert", "rename", "overwrite", "skip", "fail"})
        if (action == a) return true;
    return false;
}

}  // namespace

std::string WritePlanText(const PlanFile& plan) {
    // A plan without albums keeps the first version, so that earlier programs still run it.
    const bool albums = std::any_of(plan.entries.begin(), plan.entries.end(),
                                    [](const PlanFileEntry& e) { return e.album.has_value(); });
    std::string text = std::string(kMagic) + "\t" + (albums ? kAlbumVersion : kVersion) + "\n";
    for (const auto& [name, value] : plan.options)
        text += "option\t" + EscapeField(name) + "\t" + EscapeField(value) + "\n";
    for (const auto& e : plan.entries) {
        text += "file\t" + std::to_string(e.index) + "\t" + std::to_string(e.number) + "\t" +
                std::to_string(e.draws) + "\t" + e.action + "\t" + EscapeField(e.source) + "\t" +
                EscapeField(e.output) + "\t" + EscapeField(e.detail);
        if (albums) text += "\t" + (e.album ? std::to_string(*e.album) : std::string());
        text += "\n";
    }
    return text;
}

std::optional<PlanFile> ReadPlanText(const std::string& text, std::string& error) {
    PlanFile plan;
    std::size_t lineNumber = 0, start = 0;
    bool headed = false, albums = false;
    while (start < text.size()) {
        auto end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        const std::string line = text.substr(start, end - start);
        start = end + 1;
        ++lineNumber;
        const auto fail = [&](const std::string& what) {
            error = "line " + std::to_string(lineNumber) + ": " + what;
            return std::nullopt;
        };
        if (line.empty()) continue;
        const std::vector<std::string> f = SplitFields(line);
        if (!headed) {
            if (f.size() != 2 || f[0] != kMagic) return fail("not a plan of wavelorn-cli");
            if (f[1] != kVersion && f[1] != kAlbumVersion)
                return fail("plan version " + f[1] + " is not one this version reads");
            headed = true;
            albums = f[1] == kAlbumVersion;
        } else if (f[0] == "option" && f.size() == 3) {
            plan.options.emplace_back(f[1], f[2]);
        } else if (f[0] == "file" && f.size() == (albums ? 9u : 8u)) {
            const auto index = ParseCount(f[1]), number = ParseCount(f[2]), draws = ParseCount(f[3]);
            const std::string albumText = albums ? f[8] : std::string();
            const auto album = ParseCount(albumText);
            // An album number is at most the entry's index: albums are numbered in plan order.
            if (!index || !number || !draws || *number > INT32_MAX || *draws > UINT32_MAX ||
                !KnownAction(f[4]) || *index != plan.entries.size() || f[5].empty() ||
                (!albumText.empty() && (!album || *album > *index)))
                return fail("damaged file line");
            plan.entries.push_back({static_cast<std::size_t>(*index), static_cast<int>(*number),
                                    static_cast<std::uint32_t>(*draws), f[4], f[5], f[6], f[7]});
            if (!albumText.empty()) plan.entries.back().album = static_cast<std::size_t>(album.value_or(0));
        } else {
            return fail("unknown line");
        }
    }
    if (!headed) {
        error = "empty plan";
        return std::nullopt;
    }
    return plan;
}

std::optional<std::pair<std::size_t, std::size_t>> ParseShard(const std::string& text) {
    const auto slash = text.find('/');
    if (slash == std::string::npos) return std::nullopt;
    const auto k = ParseCount(text.substr(0, slash)), n = ParseCount(text.substr(slash + 1));
    if (!k || !n || *n == 0 || *k >= *n || *n > 1000000) return std::nullopt;
    return std::make_pair(static_cast<std::size_t>(*k), static_cast<std::size_t>(*n));
}
