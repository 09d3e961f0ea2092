#pragma once
#include <cstdint>
#include <memory>
#include <string>

#include "engine/ProgressDialog.h"

/// The file list and main window as the batch driver sees them.
class BatchView {
public:
    virtual ~BatchView() = default;

    /// A converted file had samples beyond full scale, clipped at the last conversion; called just
    /// before the row's final status.
    virtual void NoteClipped(int row, std::int64_t samples) {
        (void)row;
        (void)samples;
    }
    /// Writes the Status cell of a list row.
    virtual void SetStatus(int row, const std::string& text) = 0;
    /// Why the row's file failed in the system's words, right after its status ("" for none): the
    /// command line says it on standard error, the window shows it as the Status cell's tooltip.
    virtual void SetStatusReason(int, const std::string&) {}
    /// Scrolls the row fully into view.
    virtual void EnsureRowVisible(int row) = 0;
    virtual void SetStatusColumnWidth(int pixels) = 0;
    /// The main window is disabled while a batch runs.
    virtual void EnableMainWindow(bool enable) = 0;
    /// Shows a new progress window; it closes when the returned object is destroyed.
    virtual std::unique_ptr<ProgressDialog> ShowProgressDialog() = 0;
};
