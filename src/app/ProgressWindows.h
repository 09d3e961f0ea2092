#pragma once
#include <QWidget>
#include <functional>
#include <string>
#include <vector>

#include "engine/ProgressDialog.h"

class QLabel;
class QProgressBar;
class QPushButton;

/// Dialog units of the progress windows' layout in pixels (Tahoma 8 pt: 6 x 13 pixel base units).
inline int DialogUnitsX(int units) {
    return units * 3 / 2;
}
inline int DialogUnitsY(int units) {
    return units * 13 / 8;
}

/// A small window without a title bar, dragged by its body and centred where it opens; a Cancel
/// button of its own sets the flag, while Enter and Escape do nothing. Only the program closes
/// it: a close request from outside (Alt+F4) is taken as Cancel.
class ProgressPanel : public QWidget {
    Q_OBJECT
public:
    ProgressPanel(int widthUnits, int heightUnits, QWidget* centreOn);
    bool Cancelled() const { return m_cancelled; }
    QPushButton* CancelButton() const { return m_cancel; }

protected:
    QLabel* AddLine(int x, int y, int w, int h);
    QProgressBar* AddBar(int x, int y, int w, int h);
    void AddCancel(int x, int y, int w, int h);
    void mousePressEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    /// Makes the window this tall, keeping its top unless that would take it off the screen.
    void SetHeightUnits(int heightUnits);
    /// The height in pixels of the screen area the window is on.
    int ScreenHeight() const;

private:
    QPushButton* m_cancel = nullptr;
    bool m_cancelled = false;
};

/// The progress window of adding files: one line, one bar, Cancel.
class SearchProgressWindow final : public ProgressPanel {
    Q_OBJECT
public:
    explicit SearchProgressWindow(QWidget* centreOn);
    void SetText(const std::string& text);
    void SetRange(int max);
    void SetPosition(int pos);
    QLabel* Line() const { return m_line; }
    QProgressBar* Bar() const { return m_bar; }

private:
    QLabel* m_line;
    QProgressBar* m_bar;
};

/// Seconds of the batch left at the rate of audio seconds done per second so far; negative while
/// there is none (in the first 2 s, before any audio is done, or once all of it is).
double EstimateSecondsLeft(double elapsedSeconds, double doneSeconds, double totalSeconds);
/// The batch text's tail for an estimate: " about 3 min left", " about 40 s left"; empty for none.
std::string TimeLeftTail(double secondsLeft);

/// The batch's progress window: a line and bar per running file (one row per slot, shown while its
/// file runs), then the batch line and bar, which count seconds of audio and tell the time left,
/// then Cancel. The window grows to the rows it has needed, as far as the screen allows.
class QtProgressDialog final : public ProgressPanel, public ProgressDialog {
    Q_OBJECT
public:
    /// Seconds since the batch started.
    using Clock = std::function<double()>;
    /// Without a clock, a steady one that starts now.
    explicit QtProgressDialog(QWidget* centreOn, Clock clock = {});
    // Each file's line and bar come through its slot.
    void SetFileText(const std::string&) override {}
    int FileBarWidth() override;
    void SetFileBarRange(int) override {}
    void SetFileBarPos(int) override {}
    void SetBatchText(const std::string& text) override;
    // The batch bar counts audio, not files.
    void SetBatchRange(int) override {}
    void StepBatch() override {}
    void PumpMessages() override;
    bool CancelRequested() override { return Cancelled(); }
    void StartSlot(int slot, const std::string& text) override;
    void SetSlotText(int slot, const std::string& text) override;
    void SetSlotBar(int slot, int pos, int range) override;
    void EndSlot(int slot) override;
    void SetBatchAudio(double doneSeconds, double totalSeconds) override;

    /// The line and bar of a slot whose file is running; null otherwise.
    QLabel* SlotLine(int slot) const;
    QProgressBar* SlotBar(int slot) const;
    /// The texts of the running files' lines, top to bottom.
    QStringList RunningLines() const;
    QLabel* BatchLine() const { return m_batchLine; }
    QProgressBar* BatchBar() const { return m_batchBar; }

private:
    struct Row {
        QLabel* line;
        QProgressBar* bar;
    };
    /// The row of a slot, made (and the window grown) when first needed; null when it would not fit.
    Row* RowOf(int slot, bool make);
    void Arrange();
    void ShowBatchText();

    Clock m_clock;
    std::vector<Row> m_rows;
    int m_maxRows;
    QLabel* m_batchLine;
    QProgressBar* m_batchBar;
    std::string m_batchText;
    double m_done = 0, m_total = 0;
};

/// Handles waiting events without waiting for more.
void PumpEvents();
