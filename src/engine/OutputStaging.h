#pragma once
#include <ctime>
#include <string>

/// A conversion writes into a hidden file beside its output and only a finished file takes the
/// output's name, so a crash, kill or failure never leaves a cut file under a real name and
/// "Overwrite" loses the old output only to a complete new one.
class StagedOutput {
public:
    /// Creates the hidden file (exclusively) in the folder of finalPath; Ok() tells whether it could.
    explicit StagedOutput(std::string finalPath);
    ~StagedOutput();  // removes the hidden file unless committed
    StagedOutput(const StagedOutput&) = delete;
    StagedOutput& operator=(const StagedOutput&) = delete;

    bool Ok() const { return !m_path.empty(); }
    /// Where the conversion writes.
    const std::string& Path() const { return m_path; }
    /// Gives the written file the final name. With replace an existing entry of that name goes in
    /// the same step; without, an entry that appeared meanwhile is kept and the commit fails.
    bool Commit(bool replace);

private:
    std::string m_final;
    std::string m_path;
    bool m_committed = false;
};

/// True for a name this program gives its hidden files.
bool IsStagingName(const std::string& name);

/// Removes hidden files of ours in folder last changed more than a day before now: the leftovers of
/// conversions that were killed.
void RemoveStaleStagingFiles(const std::string& folder, std::time_t now);
