#pragma once
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "engine/BatchView.h"
#include "engine/ProgressDialog.h"
#include "sources/AudioSource.h"

namespace testsupport {

/// Records what the engine shows; Cancel comes on after a set number of message pumps.
struct ProgressLog {
    std::vector<std::string> fileTexts, batchTexts;
    std::vector<int> barPositions;
    int pumps = 0;
    int cancelAfterPumps = -1;  // never
    int batchSteps = 0;
    int dialogsOpen = 0;
    std::vector<std::string> slotEvents;  // "start 0", "end 0", ...
    std::vector<double> audioDone;        // every SetBatchAudio's seconds done
    double audioTotal = 0;
};

class RecordingProgress final : public ProgressDialog {
public:
    explicit RecordingProgress(ProgressLog& log) : m_log(log) { ++m_log.dialogsOpen; }
    ~RecordingProgress() override { --m_log.dialogsOpen; }
    void SetFileText(const std::string& text) override { m_log.fileTexts.push_back(text); }
    int FileBarWidth() override { return 200; }
    void SetFileBarRange(int) override {}
    void SetFileBarPos(int pos) override { m_log.barPositions.push_back(pos); }
    void SetBatchText(const std::string& text) override { m_log.batchTexts.push_back(text); }
    void SetBatchRange(int) override {}
    void StepBatch() override { ++m_log.batchSteps; }
    void PumpMessages() override { ++m_log.pumps; }
    bool CancelRequested() override {
        return m_log.cancelAfterPumps >= 0 && m_log.pumps >= m_log.cancelAfterPumps;
    }
    void StartSlot(int slot, const std::string&) override {
        m_log.slotEvents.push_back("start " + std::to_string(slot));
    }
    void EndSlot(int slot) override { m_log.slotEvents.push_back("end " + std::to_string(slot)); }
    void SetBatchAudio(double done, double total) override {
        m_log.audioDone.push_back(done);
        m_log.audioTotal = total;
    }

private:
    ProgressLog& m_log;
};

/// The file list as a map of row statuses.
class RecordingView final : public BatchView {
public:
    std::map<int, std::string> status;
    std::vector<std::string> statusHistory;
    std::vector<int> columnWidths;
    std::vector<bool> enabled;
    ProgressLog progress;

    void SetStatus(int row, const std::string& text) override {
        status[row] = text;
        statusHistory.push_back(std::to_string(row) + ":" + text);
    }
    void SetStatusReason(int row, const std::string& text) override { reason[row] = text; }
    std::map<int, std::string> reason;
    void EnsureRowVisible(int) override {}
    void SetStatusColumnWidth(int pixels) override { columnWidths.push_back(pixels); }
    void EnableMainWindow(bool enable) override { enabled.push_back(enable); }
    std::unique_ptr<ProgressDialog> ShowProgressDialog() override {
        return std::make_unique<RecordingProgress>(progress);
    }
};

/// A 16-bit source of `blocks` full blocks whose position runs to `total` (or past it, for a
/// synthesised source that would play on).
class SyntheticSource final : public AudioSource {
public:
    struct Shape {
        int blocks = 10;
        std::int64_t total = 10 * 1152 * 4;
        int channels = 2;
        int rate = 44100;
        bool endless = false;  // keeps delivering past its total
        int duration = 0;      // seconds the source announces
    };
    explicit SyntheticSource(Shape shape) : m_shape(shape) {}
    ~SyntheticSource() override { Close(); }
    void Close() override { ResetCommon(); }
    int Open(const char*, int) override {
        Close();
        m_sampleRate = m_shape.rate;
        m_channels = m_outputChannels = m_shape.channels;
        m_bitsPerSample = 16;
        m_bytesPerSample = 2;
        m_totalLength = m_shape.total;
        m_duration = m_shape.duration;
        m_read = 0;
        return 1;
    }
    int ReadBlock(void* left, void* right) override {
        if (!m_shape.endless && m_read >= m_shape.blocks) return 0;
        auto* l = static_cast<std::int16_t*>(left);
        auto* r = static_cast<std::int16_t*>(right);
        for (int i = 0; i < kBlockFrames; ++i) {
            l[i] = static_cast<std::int16_t>(i);
            if (r) r[i] = static_cast<std::int16_t>(-i);
        }
        ++m_read;
        m_position = m_shape.blocks ? m_shape.total * m_read / m_shape.blocks : m_read;
        return kBlockFrames;
    }

private:
    Shape m_shape;
    int m_read = 0;
};

}  // namespace testsupport
