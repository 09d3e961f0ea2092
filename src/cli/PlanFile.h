#pragma once
#include <optional>
#include <string>
#include <utility>
#include <vector>

/// One source of a plan, in the batch's list order.
struct PlanFileEntry {
    std::size_t index = 0;    // place in the plan, from 0; shards are chosen by it
    int number = 0;           // number in the batch for the tag templates; 0 for a file not in it
    std::uint32_t draws = 0;  // stream serial numbers drawn before it
    std::string action;       // convert, rename, overwrite, skip or fail
    std::string source;
    std::string output;  // the final name (for skip: the existing one; for fail: empty)
    std::string detail;  // overwrite: the stamp of the file replaced; fail: the status a run shows
    std::optional<std::size_t> album = {};  // when the settings compute album values: its album, from 0
};

/// A batch fixed beforehand: its settings and every source with its final output, so that any share
/// of it converts exactly as the whole batch would.
struct PlanFile {
    std::vector<std::pair<std::string, std::string>> options;  // stored names and values
    std::vector<PlanFileEntry> entries;
};

/// The text of a plan: line-oriented, tab-separated, fields escaped as in the output lines. Version 1,
/// which earlier versions read, unless an entry has an album; then version 2, whose file lines end in it.
std::string WritePlanText(const PlanFile& plan);

/// Reads a plan's text; nothing with `error` set ("line N: ...") when it is not a plan this version
/// reads.
std::optional<PlanFile> ReadPlanText(const std::string& text, std::string& error);

/// "K/N" with 0 <= K < N; nothing when malformed.
std::optional<std::pair<std::size_t, std::size_t>> ParseShard(const std::string& text);
