// The batch loop: N files converting at once, N = 1 included.
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

/// A converting file never asks anything: the one question it could raise (the
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

/// One running file and everything it owns: its engine context over the batch's shared part (its own
/// failure detail and random stream), a user that asks nothing (the driver asks before the file
/// starts), the runtime as it stood when the file started, its progress and its hidden output.
struct BatchDriver::FileRun {
    FileRun(EngineShared& shared, bool runtimeLoaded, int barWidth, const std::atomic<bool>& cancel,
            std::string fileText)
        : runtime([runtimeLoaded] { return runtimeLoaded; }),
          engine(shared, runtime, user),
          ownProgress(barWidth, cancel, std::move(fileText)) {
        runtime.LoadWmfRuntime();
    }

    QuietUser user;
    WmfRuntime runtime;
    EngineContext engine;
    JobProgress ownProgress;             // what the driver's thread shows of a file on a worker
    ProgressDialog* progress = nullptr;  // ownProgress, or the window's own on the driver's thread
    std::unique_ptr<StagedOutput> staged;
    FileIdentity outputKey;  // the output's folder and name: two files may not write one name at once
    PseudoRandom drawnFrom;  // the batch's generator before this file's draw
    std::thread thread;
    // Written by the worker before it sets finished, under the batch's mutex.
    int ok = 0;
    bool cancelled = false;
    bool finished = false;
};

/// A place in the batch: started, then settled with its outcome, then reported in list order.
struct BatchDriver::Slot {
    std::unique_ptr<FileRun> run;
    bool started = false;
    bool settled = false;
    bool converted = false;
    bool cancelled = false;
    std::int64_t clipped = 0;  // samples clipped at the last conversion
    std::string status;
    std::string reason;  // the system's reason for a failure
};

bool BatchDriver::RunFiles(const std::vector<FileEntry*>& entries, const std::vector<int>& rows, int count,
                           const char* formatName, ProgressDialog& progress, int& reached) {
    const ConversionRoutine routine =
        m_services.routines ? m_services.routines(m_settings.OutputFormat) : nullptr;
    const int barWidth = progress.FileBarWidth();
    const std::size_t workers = static_cast<std::size_t>(std::clamp(m_services.jobs, 1, std::max(count, 1)));
    // One file at a time converts on this thread with the progress window itself, as it always did.
    const bool inPlace = workers == 1;
    std::mutex mutex;
    std::mutex startGate;  // encoders start one at a time, and never while a worker is being made
    std::condition_variable finishedOne;
    std::atomic<bool> cancel{false};
    std::vector<Slot> slots(static_cast<std::size_t>(count));
    std::vector<std::size_t> running;  // places whose file is not collected yet, in list order
    std::size_t next = 0, reported = 0;
    const std::size_t total = slots.size();
    FileRun* shown = nullptr;

    const auto settle = [&](Slot& slot, bool converted, std::string status, bool cancelled,
                            std::string reason = {}) {
        slot.settled = true;
        slot.converted = converted;
        slot.status = std::move(status);
        slot.cancelled = cancelled;
        slot.reason = std::move(reason);
    };
    const auto anyFinished = [&] {
        return std::any_of(running.begin(), running.end(),
                           [&](std::size_t i) { return slots[i].run->finished; });
    };

    for (;;) {
        // Start files in list order while a worker is free. A file whose output name is still being
        // written by another waits for it: the earlier file's outcome decides the later one's name.
        while (next < total && running.size() < workers) {
            Slot& slot = slots[next];
            FileEntry& entry = *entries[next];
            if (progress.CancelRequested()) cancel = true;
            if (cancel) {
                if (slot.started) {  // its name was waiting for another file
                    settle(slot, false, kStatusCancelled, true);
                    ++next;
                }
                break;
            }
            if (!slot.started) {
                slot.started = true;
                if (entry.kind == kKindMidi && !m_engine.shared.SoundFontReady) {
                    settle(slot, false, kStatusNeedsSoundFont, progress.CancelRequested());
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
                settle(slot, false, std::move(status), progress.CancelRequested());
                ++next;
                continue;
            }
            const FileIdentity key = EntryIdentity(entry.outputPath);
            if (std::any_of(running.begin(), running.end(),
                            [&](std::size_t i) { return slots[i].run->outputKey == key; }))
                break;  // the hidden file goes with `staged`; naming is tried again later

            if (entry.kind == kKindWindowsMedia && !m_engine.shared.forcedReader) EnsureWmfRuntime(m_engine);
            slot.run = std::make_unique<FileRun>(
                m_engine.shared, m_engine.wmfRuntime.IsLoaded(), barWidth, cancel,
                StringPrintf(kConvertingFileText, FileNamePart(entry.path).c_str()));
            FileRun& run = *slot.run;
            run.progress = inPlace ? &progress : &run.ownProgress;
            run.staged = std::move(staged);
            run.outputKey = key;
            // Every file started takes one draw, so numbers follow the list whenever files finish.
            run.drawnFrom = m_engine.random;
            run.engine.random = m_engine.random;
            m_engine.random.Next();
            if (entry.planned) {
                // The serial number the whole batch would give this file, whichever share runs it.
                run.engine.random = PseudoRandom();
                for (std::uint32_t d = 0; d < entry.planned->draws; ++d) run.engine.random.Next();
                run.drawnFrom = run.engine.random;
            }
            run.engine.startGate = inPlace ? nullptr : &startGate;
            const auto work = [this, routine, &run, &entry, &mutex, &finishedOne, &cancel,
                               number = entry.planned ? entry.planned->number : static_cast<int>(next) + 1] {
                ConversionJob conversion{entry.kind,    entry.path, run.staged->Path(),
                                         *run.progress, run.engine, m_settings,
                                         number};
                const int ok = CopiesAsIs(entry, m_settings) ? CopySource(entry.path, run.staged->Path())
                                                             : RunRoutine(routine, conversion);
                const bool cancelled = cancel.load() || run.progress->CancelRequested();
                std::lock_guard lock(mutex);
                run.ok = ok;
                run.cancelled = cancelled;
                run.finished = true;
                finishedOne.notify_one();
            };
            if (inPlace) {
                work();
            } else {
                bool threaded = false;
                {
                    std::lock_guard gate(startGate);
                    try {
                        run.thread = std::thread(work);
                        threaded = true;
                    } catch (const std::system_error&) {
                    }
                }
                if (!threaded) work();  // no thread to be had: this file converts here
            }
            running.push_back(next);
            ++next;
        }

        // Collect finished files: a complete output takes its name now.
        std::vector<std::size_t> done;
        {
            std::lock_guard lock(mutex);
            for (std::size_t i : running)
                if (slots[i].run->finished) done.push_back(i);
        }
        bool convertedNow = false;
        for (std::size_t i : done) {
            Slot& slot = slots[i];
            FileRun& run = *slot.run;
            if (run.thread.joinable()) run.thread.join();
            // A file that converted alone and drew no number gives its draw back, so that numbers go
            // to the files that write streams, as when they are drawn in turn.
            if (inPlace && run.engine.random == run.drawnFrom) m_engine.random = run.drawnFrom;
            std::string status, reason;
            const bool converted = Conclude(*entries[i], run.ok, *run.staged, run.engine, status, reason);
            settle(slot, converted, std::move(status), run.cancelled, std::move(reason));
            slot.clipped = run.engine.ClippedSamples;
            convertedNow = convertedNow || converted;
            if (shown == &run) shown = nullptr;
            slot.run.reset();
            running.erase(std::find(running.begin(), running.end(), i));
        }

        // Statuses appear in list order, whatever order the files finish in.
        for (; reported < next && slots[reported].settled; ++reported) {
            const Slot& slot = slots[reported];
            if (!slot.converted) entries[reported]->outputPath.clear();
            const bool cancelled = !slot.converted && slot.cancelled;
            if (slot.converted && slot.clipped > 0) m_view.NoteClipped(rows[reported], slot.clipped);
            m_view.SetStatus(rows[reported], cancelled ? kStatusCancelled : slot.status);
            if (!cancelled && !slot.converted && !slot.reason.empty())
                m_view.SetStatusReason(rows[reported], slot.reason);
        }
        // After a converted file the window repaints and Cancel is read before the next one starts.
        if (convertedNow) progress.PumpMessages();
        if (progress.CancelRequested()) cancel = true;
        if (running.empty() && reported == next && (next == total || cancel)) break;

        if (done.empty()) {  // else a worker is free, or a waiting name can be decided, right away
            std::unique_lock lock(mutex);
            finishedOne.wait_for(lock, kCancelPoll, anyFinished);
        }
        // The progress window follows the first file of the list still converting.
        if (!running.empty()) {
            FileRun& first = *slots[running.front()].run;
            auto [state, changed] = first.ownProgress.Take();
            if (changed || shown != &first) {
                progress.SetFileText(state.text);
                if (state.range > 0) progress.SetFileBarRange(state.range);
                progress.SetFileBarPos(state.pos);
                shown = &first;
            }
        }
        // Also while files convert, so Cancel is never starved.
        if (!running.empty()) progress.PumpMessages();
        if (progress.CancelRequested()) cancel = true;
    }
    reached = static_cast<int>(next);
    return cancel;
}
