// Takes the README's pictures of the window: empty, after a batch of 20 files, with the context
// menu open, with the format list open, larger with a tooltip, and the progress window mid-batch
// with one file and with three at once. Run under Xvfb by scripts/screenshots.sh.
#include <QApplication>
#include <QGuiApplication>
#include <QHelpEvent>
#include <QLabel>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <QToolTip>
#include <QTreeView>
#include <cstdio>
#include <filesystem>

#include "../WindowHarness.h"
#include "app/ProgressWindows.h"
#include "app/WindowLook.h"
#include "platform/Paths.h"
#include "sources/DecoderStartup.h"
#include "support/SynthFixtures.h"
#include "support/TestSupport.h"

namespace fs = std::filesystem;

namespace {

QString g_folder;

// The screen's pixels where a window is, so pop-up menus and shadows are in the picture.
void Shoot(QWidget& w, const QString& name, QRect area = {}) {
    QApplication::processEvents();
    QTest::qWait(150);
    if (area.isEmpty()) area = w.frameGeometry();
    QPixmap pixmap;
    if (QGuiApplication::platformName() == "xcb")
        pixmap =
            QGuiApplication::primaryScreen()->grabWindow(0, area.x(), area.y(), area.width(), area.height());
    else
        pixmap = w.grab();
    const QString path = g_folder + "/" + name;
    std::printf("%s %s\n", qPrintable(path), pixmap.save(path) ? "written" : "FAILED");
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setStyle(new WindowStyle);
    g_folder = argc > 1 ? QString(argv[1]) : QString(".");
    StartDecodingLibraries(ExecutableFolder());
    LoadMidiSoundFont(ExecutableFolder());

    testsupport::TempDir dir;
    fs::create_directory(dir.Path() / "out");
    const char* names[] = {"Morning Raga",   "Harbour Bells", "Field Recording 03", "Interview (take 2)",
                           "Piano Etude",    "Night Train",   "Voice Memo",         "Rain on Tin",
                           "Choir Warm-up",  "Bass Line",     "Kitchen Radio",      "Lecture Part 1",
                           "Lecture Part 2", "Birdsong",      "Street Market",      "Organ Prelude",
                           "Drum Loop",      "Wind Chimes",   "Podcast Intro",      "Podcast Outro"};
    std::vector<std::string> files;
    const int rates[] = {44100, 22050, 48000, 8000, 32000};
    for (int i = 0; i < 20; ++i) {
        files.push_back(dir.File(std::string(names[i]) + ".wav"));
        testsupport::MakeToneWav(files.back(), rates[i % 5], 1 + i % 2, 1.0 + 0.6 * i);
    }
    const std::string longFile = dir.File("Symphony No. 9 (full).wav");
    testsupport::MakeToneWav(longFile, 44100, 2, 40.0);

    apptest::WindowHarness h;
    MainWindow& w = h.W();
    if (QScreen* s = QGuiApplication::primaryScreen())
        w.move(s->availableGeometry().center() - w.rect().center());
    w.show();
    (void)QTest::qWaitForWindowExposed(&w);
    Shoot(w, "window-empty.png");

    h.settings->OutputFormat = 1000;
    h.settings->DestOutputFolderOpt = 399;
    h.settings->DestSpecifiedFolder = dir.File("out") + "/";
    h.settings->BrowseOutputFolder = 0;
    w.AddFiles(files);
    w.OnConvertAll();
    w.List()->scrollToTop();
    Shoot(w, "window-after-batch.png");

    w.List()->selectionModel()->select(w.Model().index(2, 0),
                                       QItemSelectionModel::Select | QItemSelectionModel::Rows);
    auto menu = w.BuildContextMenu();
    const QPoint at = w.List()->viewport()->mapToGlobal(QPoint(220, 70));
    menu->popup(at);
    (void)QTest::qWaitForWindowExposed(menu.get());
    Shoot(w, "window-context-menu.png", w.frameGeometry().united(menu->geometry()));
    menu->hide();

    // The open format list with a long entry chosen, and a larger window with a cut-off status
    // showing whole in its tooltip.
    w.FormatList()->setCurrentIndex(7);
    w.FormatList()->showPopup();
    QApplication::processEvents();
    Shoot(w, "window-format-list.png",
          w.frameGeometry().united(w.FormatList()->view()->window()->frameGeometry()).adjusted(0, 0, 0, 0));
    w.FormatList()->hidePopup();
    w.FormatList()->setCurrentIndex(0);
    const QPoint placed = w.pos();
    w.move(0, 0);
    w.resize(900, 640);
    w.Model().SetStatus(3,
                        "Conversion Failure (No reader opens this file: it is neither MP3 nor any "
                        "other audio format the program knows)");
    QApplication::processEvents();
    const QModelIndex cut = w.Model().index(3, FileListModel::kStatus);
    const QPoint tipAt = w.List()->visualRect(cut).center();
    QHelpEvent tip(QEvent::ToolTip, tipAt, w.List()->viewport()->mapToGlobal(tipAt));
    QApplication::sendEvent(w.List()->viewport(), &tip);
    Shoot(w, "window-larger.png", w.frameGeometry());
    QToolTip::hideText();
    w.resize(699, 538);
    w.move(placed);

    // The progress window, caught while a long file converts.
    w.AddFiles({longFile});
    w.List()->clearSelection();
    w.List()->selectionModel()->select(w.Model().index(w.Model().rowCount() - 1, 0),
                                       QItemSelectionModel::Select | QItemSelectionModel::Rows);
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        auto* progress = static_cast<QtProgressDialog*>(w.ActiveProgress());
        if (!progress || !progress->SlotBar(0) ||
            progress->SlotBar(0)->value() < progress->SlotBar(0)->maximum() * 2 / 5)
            return;
        poll.stop();
        Shoot(*progress, "progress.png", progress->frameGeometry().adjusted(-30, -30, 30, 30));
        progress->CancelButton()->click();
    });
    poll.start(5);
    w.OnConvertSelected();

    // Three files converting at once, with the batch's time left known.
    std::vector<std::string> three;
    for (const char* name : {"Concert, first half", "Concert, second half", "Encore"}) {
        three.push_back(dir.File(std::string(name) + ".wav"));
        testsupport::MakeToneWav(three.back(), 44100, 2, 150.0);
    }
    w.AddFiles(three);
    w.List()->clearSelection();
    for (int r = w.Model().rowCount() - 3; r < w.Model().rowCount(); ++r)
        w.List()->selectionModel()->select(w.Model().index(r, 0),
                                           QItemSelectionModel::Select | QItemSelectionModel::Rows);
    h.settings->FilesAtOnce = 3;
    QTimer pollThree;
    QObject::connect(&pollThree, &QTimer::timeout, [&] {
        auto* progress = static_cast<QtProgressDialog*>(w.ActiveProgress());
        if (!progress || progress->RunningLines().size() != 3 ||
            !progress->BatchLine()->text().endsWith("left"))
            return;
        for (int slot = 0; slot < 3; ++slot)
            if (progress->SlotBar(slot)->value() < progress->SlotBar(slot)->maximum() / 5) return;
        pollThree.stop();
        Shoot(*progress, "progress-three.png", progress->frameGeometry().adjusted(-30, -30, 30, 30));
        progress->CancelButton()->click();
    });
    pollThree.start(5);
    w.OnConvertSelected();
    ShutDownDecodingLibraries();
    return 0;
}
