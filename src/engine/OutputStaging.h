#pragma once
#include <ctime>
#include <string>

struct LiveName;

/// A conversion writes into a hidden file beside its output and only a finished file takes the
/// output's name, so a crash, kill or failure never leaves a cut file under a real name and
/// "Overwrite" loses the old output only to a complete new one.
class StagedOutput {
public:
    /// Creates the hidden file (exclusively) in the folder of finalPath; Ok() tells whether it could.
    /// With fixedName the hidden name follows from finalPath alone, so a run of a plan that was killed
    /// leaves a file that the next run of the same entry replaces instead of leaving it for a day.
    explicit StagedOutput(std::string finalPath, bool fixedName = false);
    ~StagedOutput();  // removes the hidden file unless committed
    StagedOutput(const StagedOutput&) = delete;
    StagedOutput& operator=(const StagedOutput&) = delete;

    bool Ok() const { return !m_path.empty(); }
    /// Where the conversion writes.
    const std::string& Path() const { return m_path; }
    /// Where a commit puts the file.
    const std::string& FinalPath() const { return m_final; }
    /// Flushes the written file to disk and gives it the final name, then flushes the folder. With
    /// replace an existing entry of that name goes in the same step, and the new file takes the old
    /// one's permissions (and group where allowed); without, an entry that appeared meanwhile is kept
    /// and the commit fails with NameTaken() set.
    bool Commit(bool replace);
    /// The last commit failed only because the final name was taken.
    bool NameTaken() const { return m_taken; }
    /// The next commit goes to another final name (in the same folder, or the rename fails).
    void Retarget(std::string finalPath) { m_final = std::move(finalPath); }

private:
    std::string m_final;
    std::string m_path;
    LiveName* m_live = nullptr;  // the hidden file's entry in the list removed at a hard exit
    bool m_committed = false;
    bool m_taken = false;
};

/// Removes the hidden files of every conversion still running. Only unlinks, so a signal handler may
/// call it just before ending the process at once.
void RemoveLiveStagingFiles() noexcept;

/// True for a name this program gives its hidden files.
bool IsStagingName(const std::string& name);

/// Removes hidden files of ours in folder last changed more than a day before now: the leftovers of
/// conversions that were killed.
void RemoveStaleStagingFiles(const std::string& folder, std::time_t now);
