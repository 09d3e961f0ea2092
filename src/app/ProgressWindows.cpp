#include "app/ProgressWindows.h"

#include <QApplication>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QWindow>

#include "app/AppTexts.h"
#include "app/ImageButton.h"

namespace {

QString Q(const std::string& s) {
    return QString::fromLocal8Bit(s.data(), static_cast<qsizetype>(s.size()));
}

}  // namespace

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
    m_line->setText(Q(text));
    m_line->setAccessibleName(m_line->text());
}

void SearchProgressWindow::SetRange(int max) {
    m_bar->setRange(0, std::max(max, 1));
    m_bar->setValue(0);
}

void SearchProgressWindow::SetPosition(int pos) {
    m_bar->setValue(std::min(pos, m_bar->maximum()));
}

QtProgressDialog::QtProgressDialog(QWidget* centreOn) : ProgressPanel(320, 95, centreOn) {
    m_fileLine = AddLine(7, 7, 306, 10);
    m_fileBar = AddBar(7, 18, 306, 13);
    m_batchLine = AddLine(7, 39, 306, 10);
    m_batchBar = AddBar(7, 50, 306, 13);
    AddCancel(135, 72, 50, 16);
    m_fileBar->setAccessibleName("File progress");
    m_batchBar->setAccessibleName("Batch progress");
}

void QtProgressDialog::SetFileText(const std::string& text) {
    m_fileLine->setText(Q(text));
    m_fileLine->setAccessibleName(m_fileLine->text());
}

int QtProgressDialog::FileBarWidth() {
    return m_fileBar->width();
}
void QtProgressDialog::SetFileBarRange(int max) {
    m_fileBar->setRange(0, std::max(max, 1));
}
void QtProgressDialog::SetFileBarPos(int pos) {
    m_fileBar->setValue(pos);
}

void QtProgressDialog::SetBatchText(const std::string& text) {
    m_batchLine->setText(Q(text));
    m_batchLine->setAccessibleName(m_batchLine->text());
}

void QtProgressDialog::SetBatchRange(int max) {
    m_batchBar->setRange(0, std::max(max, 1));
    m_batchBar->setValue(0);
}

void QtProgressDialog::StepBatch() {
    m_batchBar->setValue(std::min(m_batchBar->value() + 1, m_batchBar->maximum()));
}
void QtProgressDialog::PumpMessages() {
    PumpEvents();
}
