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
};
