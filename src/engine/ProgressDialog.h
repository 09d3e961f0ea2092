#pragma once
#include <string>

/// The batch's progress window as the engine sees it: a file line and bar, a batch line and bar,
/// and the Cancel flag. The window, the command-line converter and the tests implement it.
class ProgressDialog {
public:
    virtual ~ProgressDialog() = default;

    virtual void SetFileText(const std::string& text) = 0;
    /// Width of the file bar in pixels; the bar's range is 0..width.
    virtual int FileBarWidth() = 0;
    virtual void SetFileBarRange(int max) = 0;
    virtual void SetFileBarPos(int pos) = 0;
    virtual void SetBatchText(const std::string& text) = 0;
    virtual void SetBatchRange(int max) = 0;
    virtual void StepBatch() = 0;

    /// Handles whatever input is waiting (the window's events, Ctrl+C) without waiting for more.
    virtual void PumpMessages() = 0;
    /// Set by Cancel; read after every block and after every file.
    virtual bool CancelRequested() = 0;

    /// One line and bar per running file. A file takes the lowest free slot (0 to N-1, N files at
    /// once) when it starts and frees it when it ends; the file line and bar above follow one of them.
    /// The command-line converter ignores these.
    virtual void StartSlot(int slot, const std::string& text) {
        (void)slot;
        (void)text;
    }
    virtual void SetSlotText(int slot, const std::string& text) {
        (void)slot;
        (void)text;
    }
    /// The slot's bar at pos of 0..range (range as set through SetFileBarRange: FileBarWidth pixels).
    virtual void SetSlotBar(int slot, int pos, int range) {
        (void)slot;
        (void)pos;
        (void)range;
    }
    virtual void EndSlot(int slot) { (void)slot; }
    /// Seconds of audio converted so far (finished files and the parts of running ones) of the
    /// batch's total; the window's batch bar and its time-left estimate follow these.
    virtual void SetBatchAudio(double doneSeconds, double totalSeconds) {
        (void)doneSeconds;
        (void)totalSeconds;
    }
};
