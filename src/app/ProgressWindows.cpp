#include "app/ProgressWindows.h"

#include <QApplication>
#include <QCloseEvent>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QWindow>
#include <algorithm>
#include <cmath>
#include <memory>

#include "app/AppTexts.h"
#include "app/ImageButton.h"
#include "options/QtText.h"

void PumpEvents() {
    QCoreApplication::processEvents(QEventLoop::AllEvents);
}

ProgressPanel::ProgressPanel(int widthUnits, int heightUnits, QWidget* centreOn)
    : QWidget(nullptr, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint) {
    // No parent: the main window is disabled while this window runs, and disabling a parent
    // would disable its Cancel button too.
    setAttribute(Qt::WA_DeleteOnClose, false);
    setWindowTitle(kWindowTitle);
    setFont(DialogFont());
    setFixedSize(DialogUnitsX(widthUnits), DialogUnitsY(heightUnits));
    QRect area = centreOn ? centreOn->frameGeometry() : QRect();
    if (area.isEmpty() && QGuiApplication::primaryScreen())
        area = QGuiApplication::primaryScreen()->availableGeometry();
    if (!area.isEmpty()) move(area.center() - rect().center());
}

QLabel* ProgressPanel::AddLine(int x, int y, int w, int h) {
    auto* label = new QLabel(this);
    label->setGeometry(DialogUnitsX(x), DialogUnitsY(y), DialogUnitsX(w), DialogUnitsY(h) + 2);
    label->setTextFormat(Qt::PlainText);
    return label;
}

QProgressBar* ProgressPanel::AddBar(int x, int y, int w, int h) {
    auto* bar = new QProgressBar(this);
    bar->setGeometry(DialogUnitsX(x), DialogUnitsY(y), DialogUnitsX(w), DialogUnitsY(h));
    bar->setTextVisible(false);
    bar->setRange(0, 100);
    bar->setValue(0);
    return bar;
}

void ProgressPanel::AddCancel(int x, int y, int w, int h) {
    m_cancel = new QPushButton(kCancel, this);
    m_cancel->setGeometry(DialogUnitsX(x), DialogUnitsY(y), DialogUnitsX(w), DialogUnitsY(h));
    m_cancel->setAutoDefault(false);
    m_cancel->setAccessibleName(kCancel);
    connect(m_cancel, &QPushButton::clicked, this, [this] { m_cancelled = true; });
}

void ProgressPanel::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && windowHandle()) windowHandle()->startSystemMove();
    QWidget::mousePressEvent(event);
}

void ProgressPanel::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
        case Qt::Key_Escape:
            event->accept();  // only the Cancel button cancels
            return;
        default:
            QWidget::keyPressEvent(event);
    }
}

void ProgressPanel::closeEvent(QCloseEvent* event) {
    // Hiding the window would leave the main window disabled with no way to stop the work; the
    // program ends the window by destroying it once the work has stopped.
    event->ignore();
    if (m_cancel && m_cancel->isEnabled()) m_cancel->click();
}

void ProgressPanel::SetHeightUnits(int heightUnits) {
    const int height = DialogUnitsY(heightUnits);
    if (height == this->height()) return;
    setFixedSize(width(), height);
    int top = y();
    if (const QScreen* s = screen())
        top = std::max(s->availableGeometry().top(),
                       std::min(top, s->availableGeometry().bottom() + 1 - height));
    move(x(), top);
}

int ProgressPanel::ScreenHeight() const {
    const QScreen* s = screen() ? screen() : QGuiApplication::primaryScreen();
    return s ? s->availableGeometry().height() : 768;
}

void ProgressPanel::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), palette().window());
    p.setPen(palette().color(QPalette::Mid));
    p.drawRect(rect().adjusted(0, 0, -1, -1));
}

SearchProgressWindow::SearchProgressWindow(QWidget* centreOn) : ProgressPanel(320, 62, centreOn) {
    m_line = AddLine(7, 7, 306, 10);
    m_bar = AddBar(7, 18, 306, 13);
    AddCancel(134, 39, 50, 16);
    m_bar->setAccessibleName("Adding files");
}

void SearchProgressWindow::SetText(const std::string& text) {
    m_line->setText(FromSystemText(text));
    m_line->setAccessibleName(m_line->text());
}

void SearchProgressWindow::SetRange(int max) {
    m_bar->setRange(0, std::max(max, 1));
    m_bar->setValue(0);
}

void SearchProgressWindow::SetPosition(int pos) {
    m_bar->setValue(std::min(pos, m_bar->maximum()));
}

namespace {

// Rows of the batch window in dialog units: the first file line is at 7, its bar at 18, and every
// further running file adds a row below; the batch line, its bar and Cancel follow the last row.
constexpr int kRowPitch = 32;
constexpr int kOneRowHeight = 95;
constexpr double kEstimateAfter = 2.0;  // seconds before the first estimate

}  // namespace

double EstimateSecondsLeft(double elapsedSeconds, double doneSeconds, double totalSeconds) {
    if (elapsedSeconds < kEstimateAfter || doneSeconds <= 0 || doneSeconds >= totalSeconds) return -1;
    return (totalSeconds - doneSeconds) * elapsedSeconds / doneSeconds;
}

std::string TimeLeftTail(double secondsLeft) {
    if (secondsLeft < 0) return {};
    if (secondsLeft < 60)
        return " about " + std::to_string(std::max(1, int(std::ceil(secondsLeft)))) + " s left";
    return " about " + std::to_string(int(std::lround(secondsLeft / 60))) + " min left";
}

QtProgressDialog::QtProgressDialog(QWidget* centreOn, Clock clock)
    : ProgressPanel(320, kOneRowHeight, centreOn), m_clock(std::move(clock)) {
    if (!m_clock) {
        auto started = std::make_shared<QElapsedTimer>();
        started->start();
        m_clock = [started] { return started->elapsed() / 1000.0; };
    }
    // As many rows as the screen holds; files beyond them still count in the batch bar.
    m_maxRows = std::max(1, (ScreenHeight() - DialogUnitsY(kOneRowHeight)) / DialogUnitsY(kRowPitch) + 1);
    m_batchLine = AddLine(7, 39, 306, 10);
    m_batchBar = AddBar(7, 50, 306, 13);
    m_batchBar->setRange(0, 1000);
    AddCancel(135, 72, 50, 16);
    m_batchBar->setAccessibleName("Batch progress");
}

QtProgressDialog::Row* QtProgressDialog::RowOf(int slot, bool make) {
    if (slot < 0 || slot >= m_maxRows) return nullptr;
    const auto index = static_cast<std::size_t>(slot);
    if (index >= m_rows.size()) {
        if (!make) return nullptr;
        while (m_rows.size() <= index) {
            const int y = 7 + kRowPitch * static_cast<int>(m_rows.size());
            Row row{AddLine(7, y, 306, 10), AddBar(7, y + 11, 306, 13)};
            row.bar->setAccessibleName("File progress");
            row.line->hide();
            row.bar->hide();
            m_rows.push_back(row);
        }
        Arrange();
    }
    return &m_rows[index];
}

void QtProgressDialog::Arrange() {
    const int below = kRowPitch * (std::max<int>(static_cast<int>(m_rows.size()), 1) - 1);
    m_batchLine->move(DialogUnitsX(7), DialogUnitsY(39 + below));
    m_batchBar->move(DialogUnitsX(7), DialogUnitsY(50 + below));
    CancelButton()->move(DialogUnitsX(135), DialogUnitsY(72 + below));
    SetHeightUnits(kOneRowHeight + below);
}

int QtProgressDialog::FileBarWidth() {
    return DialogUnitsX(306);
}

void QtProgressDialog::StartSlot(int slot, const std::string& text) {
    Row* row = RowOf(slot, true);
    if (!row) return;
    row->bar->setRange(0, 1);
    row->bar->setValue(0);
    row->line->show();
    row->bar->show();
    SetSlotText(slot, text);
}

void QtProgressDialog::SetSlotText(int slot, const std::string& text) {
    if (Row* row = RowOf(slot, false)) {
        row->line->setText(FromSystemText(text));
        row->line->setAccessibleName(row->line->text());
    }
}

void QtProgressDialog::SetSlotBar(int slot, int pos, int range) {
    if (Row* row = RowOf(slot, false)) {
        row->bar->setRange(0, std::max(range, 1));
        row->bar->setValue(std::clamp(pos, 0, row->bar->maximum()));
    }
}

void QtProgressDialog::EndSlot(int slot) {
    if (Row* row = RowOf(slot, false)) {
        row->line->hide();
        row->bar->hide();
        row->line->clear();
    }
}

QLabel* QtProgressDialog::SlotLine(int slot) const {
    const auto index = static_cast<std::size_t>(slot);
    return slot >= 0 && index < m_rows.size() && !m_rows[index].line->isHidden() ? m_rows[index].line
                                                                                 : nullptr;
}

QProgressBar* QtProgressDialog::SlotBar(int slot) const {
    return SlotLine(slot) ? m_rows[static_cast<std::size_t>(slot)].bar : nullptr;
}

QStringList QtProgressDialog::RunningLines() const {
    QStringList lines;
    for (const Row& row : m_rows)
        if (!row.line->isHidden()) lines << row.line->text();
    return lines;
}

void QtProgressDialog::SetBatchText(const std::string& text) {
    m_batchText = text;
    ShowBatchText();
}

void QtProgressDialog::SetBatchAudio(double doneSeconds, double totalSeconds) {
    m_done = doneSeconds;
    m_total = totalSeconds;
    m_batchBar->setValue(
        totalSeconds > 0 ? int(std::lround(std::clamp(doneSeconds / totalSeconds, 0.0, 1.0) * 1000)) : 0);
    ShowBatchText();
}

void QtProgressDialog::ShowBatchText() {
    const QString text =
        FromSystemText(m_batchText + TimeLeftTail(EstimateSecondsLeft(m_clock(), m_done, m_total)));
    if (text == m_batchLine->text()) return;
    m_batchLine->setText(text);
    m_batchLine->setAccessibleName(text);
}

void QtProgressDialog::PumpMessages() {
    PumpEvents();
}
