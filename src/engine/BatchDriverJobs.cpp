// The batch loop: N files converting at once, N = 1 included.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <optional>
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

/// One file converting on the driver's thread: the window's own progress, as it always was, with the
/// file's slot and the batch's audio following the file bar.
class InPlaceProgress final : public ProgressDialog {
public:
    InPlaceProgress(ProgressDialog& window, int slot, std::function<void(int pos, int range)> barMoved)
        : m_window(window), m_slot(slot), m_barMoved(std::move(barMoved)) {}
    void SetFileText(const std::string& text) override {
        m_window.SetFileText(text);
        m_window.SetSlotText(m_slot, text);
    }
    int FileBarWidth() override { return m_window.FileBarWidth(); }
    void SetFileBarRange(int max) override {
        m_window.SetFileBarRange(max);
        m_range = max;
    }
    void SetFileBarPos(int pos) override {
        m_window.SetFileBarPos(pos);
        m_window.SetSlotBar(m_slot, pos, m_range);
        m_barMoved(pos, m_range);
    }
    void SetBatchText(const std::string& text) override { m_window.SetBatchText(text); }
    void SetBatchRange(int max) override { m_window.SetBatchRange(max); }
    void StepBatch() override { m_window.StepBatch(); }
    void PumpMessages() override { m_window.PumpMessages(); }
    bool CancelRequested() override { return m_window.CancelRequested(); }

private:
    ProgressDialog& m_window;
    const int m_slot;
    const std::function<void(int, int)> m_barMoved;
    int m_range = 0;
};

/// The share of a file done, from its bar.
double BarFraction(int pos, int range) {
    return range > 0 ? std::clamp(static_cast<double>(pos) / range, 0.0, 1.0) : 0.0;
}

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
    JobProgress ownProgress;                   // what the driver's thread shows of a file on a worker
    std::unique_ptr<InPlaceProgress> inPlace;  // the window's own, for a file on the driver's thread
    ProgressDialog* progress = nullptr;        // one of the two
    int slot = 0;                              // its line in the progress window
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
    std::optional<FileLoudness> loudness;
    std::shared_ptr<LoudnessMeter> meter;  // for the album's loudness
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
    std::vector<bool> slotTaken(workers);

    // The batch bar counts seconds of audio; a file of unknown length counts as one second.
    std::vector<double> audio(total);
    double totalAudio = 0, finishedAudio = 0;
    for (std::size_t i = 0; i < total; ++i) totalAudio += audio[i] = std::max(entries[i]->duration, 1);
    progress.SetBatchAudio(0, totalAudio);

    // Albums: the files of each, their gain when albums are normalised, and how many are still to
    // come before the album's values can be written.
    const std::vector<int> albums = AlbumsOf(entries, count);
    std::vector<double> albumGains;
    if (!MeasureAlbums(entries, albums, progress, albumGains)) {
        reached = 0;
        return true;
    }
    std::vector<int> albumLeft;
    for (const int album : albums) {
        if (static_cast<std::size_t>(album) >= albumLeft.size()) albumLeft.resize(album + 1, 0);
        ++albumLeft[album];
    }
    const auto finishAlbum = [&](int album) {
        if (m_settings.ReplayGain != 2 || !m_services.writeAlbumTags) return;
        std::vector<const LoudnessMeter*> members;
        double peak = 0.0;
        for (std::size_t i = 0; i < albums.size(); ++i)
            if (albums[i] == album && slots[i].converted && slots[i].meter) {
                members.push_back(slots[i].meter.get());
                peak = std::max(peak, slots[i].loudness->truePeak);
            }
        if (members.empty()) return;
        const double loudness = LoudnessMeter::IntegratedOf(members);
        const FileLoudness values{loudness, peak, !std::isfinite(loudness)};
        for (std::size_t i = 0; i < albums.size(); ++i)
            if (albums[i] == album && slots[i].converted && slots[i].meter &&
                !m_services.writeAlbumTags(entries[i]->outputPath, m_settings.OutputFormat, values))
                m_view.SetStatusReason(rows[i], kAlbumTagsFailed);
    };

    const auto settle = [&](Slot& slot, bool converted, std::string status, bool cancelled,
                            std::string reason = {}) {
        finishedAudio += audio[static_cast<std::size_t>(&slot - slots.data())];
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
            const std::string fileText = StringPrintf(kConvertingFileText, FileNamePart(entry.path).c_str());
            slot.run = std::make_unique<FileRun>(m_engine.shared, m_engine.wmfRuntime.IsLoaded(), barWidth,
                                                 cancel, fileText);
            FileRun& run = *slot.run;
            run.slot =
                static_cast<int>(std::find(slotTaken.begin(), slotTaken.end(), false) - slotTaken.begin());
            slotTaken[static_cast<std::size_t>(run.slot)] = true;
            progress.StartSlot(run.slot, fileText);
            if (inPlace) {
                run.inPlace = std::make_unique<InPlaceProgress>(
                    progress, run.slot, [&, fileAudio = audio[next]](int pos, int range) {
                        progress.SetBatchAudio(finishedAudio + fileAudio * BarFraction(pos, range),
                                               totalAudio);
                    });
                run.progress = run.inPlace.get();
            } else {
                run.progress = &run.ownProgress;
            }
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
            if (!albumGains.empty()) run.engine.AlbumGain = albumGains[next];
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
            slot.loudness = run.engine.Loudness;
            slot.meter = std::move(run.engine.LoudnessState);
            convertedNow = convertedNow || converted;
            if (shown == &run) shown = nullptr;
            progress.EndSlot(run.slot);
            slotTaken[static_cast<std::size_t>(run.slot)] = false;
            slot.run.reset();
            running.erase(std::find(running.begin(), running.end(), i));
        }

        // Statuses appear in list order, whatever order the files finish in.
        for (; reported < next && slots[reported].settled; ++reported) {
            const Slot& slot = slots[reported];
            if (!slot.converted) entries[reported]->outputPath.clear();
            entries[reported]->loudness = slot.converted ? slot.loudness : std::nullopt;
            const bool cancelled = !slot.converted && slot.cancelled;
            if (slot.converted && slot.clipped > 0) m_view.NoteClipped(rows[reported], slot.clipped);
            m_view.SetStatus(rows[reported], cancelled ? kStatusCancelled : slot.status);
            if (!cancelled && !slot.converted && !slot.reason.empty())
                m_view.SetStatusReason(rows[reported], slot.reason);
            // The album's values go into its outputs once its last file is reported.
            if (!albums.empty() && --albumLeft[albums[reported]] == 0) finishAlbum(albums[reported]);
        }
        // After a converted file the window repaints and Cancel is read before the next one starts.
        if (convertedNow) progress.PumpMessages();
        if (progress.CancelRequested()) cancel = true;
        if (running.empty() && reported == next && (next == total || cancel)) break;

        if (done.empty()) {  // else a worker is free, or a waiting name can be decided, right away
            std::unique_lock lock(mutex);
            finishedOne.wait_for(lock, kCancelPoll, anyFinished);
        }
        // Each running file's line and bar; the file line follows the first of the list still converting.
        double runningAudio = 0;
        for (std::size_t i : running) {
            FileRun& run = *slots[i].run;
            auto [state, changed] = run.ownProgress.Take();
            if (changed) {
                progress.SetSlotText(run.slot, state.text);
                progress.SetSlotBar(run.slot, state.pos, state.range);
            }
            if (&run == slots[running.front()].run.get() && (changed || shown != &run)) {
                progress.SetFileText(state.text);
                if (state.range > 0) progress.SetFileBarRange(state.range);
                progress.SetFileBarPos(state.pos);
                shown = &run;
            }
            runningAudio += audio[i] * BarFraction(state.pos, state.range);
        }
        progress.SetBatchAudio(finishedAudio + runningAudio, totalAudio);
        // Also while files convert, so Cancel is never starved.
        if (!running.empty()) progress.PumpMessages();
        if (progress.CancelRequested()) cancel = true;
    }
    progress.SetBatchAudio(finishedAudio, totalAudio);
    reached = static_cast<int>(next);
    return cancel;
}
