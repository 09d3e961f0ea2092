#pragma once
#include <QWidget>

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

/// The batch's progress window: a file line and bar, a batch line and bar, Cancel.
class QtProgressDialog final : public ProgressPanel, public ProgressDialog {
    Q_OBJECT
public:
    explicit QtProgressDialog(QWidget* centreOn);
    void SetFileText(const std::string& text) override;
    int FileBarWidth() override;
    void SetFileBarRange(int max) override;
    void SetFileBarPos(int pos) override;
    void SetBatchText(const std::string& text) override;
    void SetBatchRange(int max) override;
    void StepBatch() override;
    void PumpMessages() override;
    bool CancelRequested() override { return Cancelled(); }

    QLabel* FileLine() const { return m_fileLine; }
    QLabel* BatchLine() const { return m_batchLine; }
    QProgressBar* FileBar() const { return m_fileBar; }
    QProgressBar* BatchBar() const { return m_batchBar; }

private:
    QLabel* m_fileLine;
    QProgressBar* m_fileBar;
    QLabel* m_batchLine;
    QProgressBar* m_batchBar;
};

/// Handles waiting events without waiting for more.
void PumpEvents();
