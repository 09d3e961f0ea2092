// The batch driver with several files converting at once.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <system_error>
#include <thread>

#include "engine/BatchDriver.h"
#include "engine/ConversionJob.h"
#include "engine/EngineTexts.h"
#include "engine/OutputStaging.h"
#include "engine/SourceKind.h"
#include "engine/SourceSelection.h"
#include "platform/FileIdentity.h"
#include "platform/StringPrintf.h"
#include "settings/ConversionSettings.h"

namespace {

// How soon the driver's thread sees Cancel (the window's button, Ctrl+C) while files convert.
constexpr std::chrono::milliseconds kCancelPoll{40};

/// A file converting beside others never asks anything: the one question it could raise (the
/// missing Windows Media runtime) is asked on the driver's thread before the file starts.
class QuietUser final : public UserInteraction {
public:
    bool AskYesNo(const std::string&) override { return false; }
    void ShowInformation(const std::string&) override {}
    void ShowWarning(const std::string&) override {}
    int OpenPath(const std::string&) override { return 0; }
    int OpenInBrowser(const std::string&) override { return 0; }
    int SelectInExplorer(const std::string&) override { return 0; }
};

/// The progress window as one worker sees it: keeps the file line and bar for the driver's
/// thread to show, and reads the batch's Cancel.
class JobProgress final : public ProgressDialog {
public:
    struct Snapshot {
        std::string text;
        int range = 0;
        int pos = 0;
    };

    JobProgress(int barWidth, const std::atomic<bool>& cancel, std::string text)
        : m_barWidth(barWidth), m_cancel(cancel) {
        m_shown.text = std::move(text);
    }
    void SetFileText(const std::string& text) override {
        Change([&](Snapshot& s) { s.text = text; });
    }
    int FileBarWidth() override { return m_barWidth; }
    void SetFileBarRange(int max) override {
        Change([&](Snapshot& s) { s.range = max; });
    }
    void SetFileBarPos(int pos) override {
        Change([&](Snapshot& s) { s.pos = pos; });
    }
    void SetBatchText(const std::string&) override {}
    void SetBatchRange(int) override {}
    void StepBatch() override {}
    void PumpMessages() override {}
    bool CancelRequested() override { return m_cancel.load(std::memory_order_relaxed); }

    /// The latest state, and whether it changed since the last call.
    std::pair<Snapshot, bool> Take() {
        std::lock_guard lock(m_mutex);
        const bool changed = m_changed;
        m_changed = false;
        return {m_shown, changed};
    }

private:
    template <class F>
    void Change(F change) {
        std::lock_guard lock(m_mutex);
        change(m_shown);
        m_changed = true;
    }

    const int m_barWidth;
    const std::atomic<bool>& m_cancel;
    std::mutex m_mutex;
    Snapshot m_shown;
    bool m_changed = true;
};

}  // namespace

/// One file on a worker thread, with everything the routine may change of its own.
struct BatchDriver::Job {
    Job(const EngineContext& from, bool runtimeLoaded, int barWidth, const std::atomic<bool>& cancel,
        std::string fileText)
        : runtime([runtimeLoaded] { return runtimeLoaded; }),
          engine(from, runtime, user),
          progress(barWidth, cancel, std::move(fileText)) {
        runtime.LoadWmfRuntime();
    }

    QuietUser user;
    WmfRuntime runtime;
    EngineContext engine;
    JobProgress progress;
    std::unique_ptr<StagedOutput> staged;
    FileIdentity outputKey;  // the output's folder and name: two files may not write one name at once
    std::thread thread;
    // Written by the worker before it sets finished, under the batch's mutex.
    int ok = 0;
    bool cancelled = false;
    bool finished = false;
};

/// A place in the batch: started, then settled with its outcome, then reported in list order.
struct BatchDriver::Slot {
    std::unique_ptr<Job> job;
    bool started = false;
    bool settled = false;
    bool converted = false;
    bool cancelled = false;
    std::string status;
};

bool BatchDriver::RunSeveral(const std::vector<FileEntry*>& entries, const std::vector<int>& rows, int count,
                             const char* formatName, ProgressDialog& progress, int& reached) {
    const ConversionRoutine routine =
        m_services.routines ? m_services.routines(m_settings.OutputFormat) : nullptr;
    const int barWidth = progress.FileBarWidth();
    const std::size_t workers = static_cast<std::size_t>(std::min(m_services.jobs, count));
    std::mutex mutex;
    std::condition_variable finishedOne;
    std::atomic<bool> cancel{false};
    std::vector<Slot> slots(static_cast<std::size_t>(count));
    std::vector<std::size_t> running;  // places whose job is not collected yet, in list order
    std::size_t next = 0, reported = 0;
    const std::size_t total = slots.size();
    Job* shown = nullptr;

    const auto settle = [&](Slot& slot, bool converted, std::string status, bool cancelled) {
        slot.settled = true;
        slot.converted = converted;
        slot.status = std::move(status);
        slot.cancelled = cancelled;
    };
    const auto anyFinished = [&] {
        return std::any_of(running.begin(), running.end(),
                           [&](std::size_t i) { return slots[i].job->finished; });
    };

    for (;;) {
        // Start files in list order while a worker is free. A file whose output name is still being
        // written by another waits for it: the earlier file's outcome decides the later one's name.
        while (next < total && running.size() < workers) {
            Slot& slot = slots[next];
            FileEntry& entry = *entries[next];
            if (cancel) {
                if (slot.started) {  // its name was waiting for another file
                    settle(slot, false, kStatusCancelled, true);
                    ++next;
                }
                break;
            }
            if (!slot.started) {
                slot.started = true;
                if (entry.kind == kKindMidi && !m_engine.SoundFontReady) {
                    settle(slot, false, kStatusNeedsSoundFont, false);
                    ++next;
                    continue;
                }
                m_view.EnsureRowVisible(rows[next]);
                m_view.SetStatus(rows[next], kStatusConverting);
                ShowStart(entry, static_cast<int>(next) + 1, count, formatName, progress);
            }
            std::string status;
            std::unique_ptr<StagedOutput> staged = PrepareOutput(entry, status);
            if (!staged) {
                settle(slot, false, std::move(status), false);
                ++next;
                continue;
            }
            const FileIdentity key = EntryIdentity(entry.outputPath);
            if (std::any_of(running.begin(), running.end(),
                            [&](std::size_t i) { return slots[i].job->outputKey == key; }))
                break;  // the hidden file goes with `staged`; naming is tried again later

            if (entry.kind == kKindWindowsMedia && !m_engine.forcedReader) EnsureWmfRuntime(m_engine);
            slot.job =
                std::make_unique<Job>(m_engine, m_engine.wmfRuntime.IsLoaded(), barWidth, cancel,
                                      StringPrintf(kConvertingFileText, FileNamePart(entry.path).c_str()));
            // Every file started takes one draw, so numbers follow the list as when files convert in turn.
            m_engine.random.Next();
            Job& job = *slot.job;
            job.staged = std::move(staged);
            job.outputKey = key;
            const auto work = [this, routine, &job, &entry, &mutex, &finishedOne, &cancel,
                               number = static_cast<int>(next) + 1] {
                int ok = 0;
                if (routine) {
                    ConversionJob conversion{entry.kind,   entry.path, job.staged->Path(),
                                             job.progress, job.engine, m_settings,
                                             number};
                    ok = routine(conversion);
                } else {
                    job.engine.FailureDetail = kFormatUnavailable;
                }
                std::lock_guard lock(mutex);
                job.ok = ok;
                job.cancelled = cancel.load();
                job.finished = true;
                finishedOne.notify_one();
            };
            try {
                job.thread = std::thread(work);
            } catch (const std::system_error&) {
                work();  // no thread to be had: this file converts here
            }
            running.push_back(next);
            ++next;
        }

        // Collect finished files: a complete output takes its name now.
        std::vector<std::size_t> done;
        {
            std::lock_guard lock(mutex);
            for (std::size_t i : running)
                if (slots[i].job->finished) done.push_back(i);
        }
        for (std::size_t i : done) {
            Slot& slot = slots[i];
            Job& job = *slot.job;
            if (job.thread.joinable()) job.thread.join();
            std::string status;
            const bool converted = Conclude(*entries[i], job.ok, *job.staged, job.engine.FailureDetail,
                                            job.engine.SourceNote, status);
            settle(slot, converted, std::move(status), job.cancelled);
            if (shown == &job) shown = nullptr;
            slot.job.reset();
            running.erase(std::find(running.begin(), running.end(), i));
        }

        // Statuses appear in list order, whatever order the files finish in.
        for (; reported < next && slots[reported].settled; ++reported) {
            const Slot& slot = slots[reported];
            if (!slot.converted) entries[reported]->outputPath.clear();
            m_view.SetStatus(rows[reported],
                             !slot.converted && slot.cancelled ? kStatusCancelled : slot.status);
        }
        if (running.empty() && reported == next && (next == total || cancel)) break;

        if (done.empty()) {  // else a worker is free, or a waiting name can be decided, right away
            std::unique_lock lock(mutex);
            finishedOne.wait_for(lock, kCancelPoll, anyFinished);
        }
        // The progress window follows the first file of the list still converting.
        if (!running.empty()) {
            Job& first = *slots[running.front()].job;
            auto [state, changed] = first.progress.Take();
            if (changed || shown != &first) {
                progress.SetFileText(state.text);
                if (state.range > 0) progress.SetFileBarRange(state.range);
                progress.SetFileBarPos(state.pos);
                shown = &first;
            }
        }
        // Also between files that finish back to back, so Cancel is never starved.
        progress.PumpMessages();
        if (progress.CancelRequested()) cancel = true;
    }
    reached = static_cast<int>(next);
    return cancel;
}
