// Faults a desktop user met: programs the desktop starts, help, cut-off texts, keys, window size.
#include <QAbstractButton>
#include <QApplication>
#include <QHeaderView>
#include <QHelpEvent>
#include <QMenu>
#include <QSizeGrip>
#include <QTextBrowser>
#include <QTimer>
#include <QToolTip>
#include <filesystem>
#include <fstream>

#include "WindowHarness.h"
#include "app/AppTexts.h"
#include "options/OptionsDialogs.h"
#include "platform/StringPrintf.h"
#include "support/TestSupport.h"

using apptest::FakeProbe;
using apptest::Select;
using apptest::WindowHarness;
using testsupport::TempDir;

namespace {

QAbstractButton* Named(MainWindow& w, const QString& name) {
    for (auto* b : w.findChildren<QAbstractButton*>())
        if (b->accessibleName() == name) return b;
    return nullptr;
}

/// A listed, existing file in `dir`, selected.
std::string ListOne(WindowHarness& h, const TempDir& dir) {
    const std::string file = dir.File("song.wav");
    testsupport::WriteBytes(file, {0});
    h.W().AddFiles({file});
    Select(h.W(), {0});
    return file;
}

}  // namespace

class WindowUseTest : public QObject {
    Q_OBJECT
private slots:
    void PlayAndBrowseNeverStartThisProgram_data() {
        QTest::addColumn<QString>("action");   // play, browse, or the Options sheet's Open
        QTest::addColumn<QString>("handler");  // the desktop's program for the file or folder
        QTest::addColumn<int>("fileManager");  // what the file manager on the bus answers
        QTest::addColumn<QString>("opened");   // "file", "folder" or nothing
        QTest::addColumn<QString>("message");  // the message's text with %s, or nothing
        QTest::newRow("play, a player") << "play"
                                        << "vlc.desktop" << 0 << "file"
                                        << "";
        QTest::newRow("play, our entry") << "play"
                                         << "org.wavelorn.Wavelorn.desktop" << 0 << "" << kNoPlayer;
        QTest::newRow("play, our old entry") << "play"
                                             << "wavelorn.desktop" << 0 << "" << kNoPlayer;
        QTest::newRow("play, no program") << "play"
                                          << "" << 0 << "" << kNoPlayer;
        QTest::newRow("browse, file manager on the bus") << "browse"
                                                         << "wavelorn.desktop" << 1 << ""
                                                         << "";
        QTest::newRow("browse, folder opener") << "browse"
                                               << "pcmanfm.desktop" << 0 << "folder"
                                               << "";
        QTest::newRow("browse, our entry") << "browse"
                                           << "wavelorn.desktop" << 0 << "" << kNoFileManager;
        QTest::newRow("browse, no program") << "browse"
                                            << "" << 0 << "" << kNoFileManager;
        QTest::newRow("Options Open, file manager") << "open"
                                                    << "pcmanfm.desktop" << 0 << "folder"
                                                    << "";
        QTest::newRow("Options Open, our entry") << "open"
                                                 << "wavelorn.desktop" << 0 << "" << kNoFileManager;
        QTest::newRow("Options Open, no program") << "open"
                                                  << "" << 0 << "" << kNoFileManager;
    }
    void PlayAndBrowseNeverStartThisProgram() {
        // Where the desktop's choice is this program (or nothing), opening would start a second
        // Wavelorn with the file listed; the user is told instead.
        QFETCH(QString, action);
        const bool browse = action != "play";
        QFETCH(QString, handler);
        QFETCH(int, fileManager);
        QFETCH(QString, opened);
        QFETCH(QString, message);
        TempDir dir;
        WindowHarness h(&FakeProbe);
        const std::string file = ListOne(h, dir);
        const std::string folder = dir.Path().string();
        h.desktop.handler = handler.toStdString();
        h.desktop.fileManagerResult = fileManager;
        if (action == "open")
            MakeOptionsDialogs(h.desktop, h.dialogs)->OpenFolder(folder);
        else
            browse ? h.W().OnBrowseSource() : h.W().OnPlaySource();
        std::vector<std::string> expectOpened;
        if (opened == "file") expectOpened = {file};
        if (opened == "folder") expectOpened = {folder};
        QCOMPARE(h.desktop.opened, expectOpened);
        if (message.isEmpty()) {
            QVERIFY(h.dialogs.messages.empty());
        } else {
            QCOMPARE(h.dialogs.messages.size(), std::size_t(1));
            QCOMPARE(h.dialogs.messages[0].text,
                     StringPrintf(message.toUtf8().constData(), (browse ? folder : file).c_str()));
        }
    }

    void FailedDesktopRequestsAreReported() {
        // xdg-open exits 3 where it finds no program: the user must hear of it, not get nothing.
        TempDir dir;
        WindowHarness h(&FakeProbe);
        const std::string file = ListOne(h, dir);
        h.desktop.openResult = 0;
        h.desktop.browserResult = 0;
        h.W().OnPlaySource();
        h.W().OnHomepage();
        QCOMPARE(h.dialogs.messages.size(), std::size_t(2));
        QCOMPARE(h.dialogs.messages[0].text, StringPrintf(kCannotOpen, file.c_str()));
        QCOMPARE(h.dialogs.messages[1].text, StringPrintf(kNoBrowser, kHomepageAddress));
    }

    void HelpFallsBackToAWindowOfOurOwn() {
        // F1 with no browser on the desktop showed nothing at all.
        TempDir dir;
        std::ofstream(dir.File(kHelpFileName)) << "<html><body><h1>Using the guide</h1></body></html>";
        WindowHarness h(&FakeProbe);
        h.programFolder = dir.Path().string() + "/";
        h.Restart();
        h.desktop.openResult = 0;
        h.W().OnHelpTopics();
        QPointer<QTextBrowser> help = h.W().HelpWindow();
        QVERIFY(help && help->isVisible());
        QCOMPARE(help->windowTitle(), QString(kHelpWindowTitle));
        QVERIFY(help->toPlainText().contains("Using the guide"));
        h.W().OnHelpTopics();  // the open window comes forward; no second one
        QCOMPARE(h.W().HelpWindow(), help.data());
        QCOMPARE(h.desktop.opened.size(), std::size_t(1));
        h.W().close();  // closing the program closes its help
        QVERIFY(!help || !help->isVisible());
        QVERIFY(h.dialogs.messages.empty());
    }

    void CutOffCellsShowTheirWholeText() {
        // A failure status cut off even in a 500-pixel column must be readable as a tooltip; an
        // explicit tooltip of the model comes first.
        TempDir dir;
        WindowHarness h(&FakeProbe);
        h.W().show();
        const std::string file = ListOne(h, dir);
        h.W().SetStatusColumnWidth(500);
        FileListView& list = *h.W().List();
        const QModelIndex status = h.W().Model().index(0, FileListModel::kStatus);
        const QModelIndex name = h.W().Model().index(0, FileListModel::kFile);
        const std::string failure =
            "Conversion Failure (" + std::string(40, 'x') + " the decoder could not read the stream header)";
        h.W().SetStatus(0, "song.mp3");
        QCOMPARE(list.CellToolTip(status), QString());
        QCOMPARE(list.CellToolTip(name), QString::fromStdString(file));  // the model's own tooltip
        h.W().SetStatus(0, failure);
        QCOMPARE(list.CellToolTip(status), QString::fromStdString(failure));
        FileEntry& entry = *h.W().Model().EntryOfRow(0);
        entry.outputPath = dir.File("song (1).mp3");
        entry.outputNote = "song.mp3 was taken";
        QCOMPARE(list.CellToolTip(status), QString::fromStdString("song.mp3 was taken\n" + failure));
        // The real tooltip event shows the same.
        const QPoint at = list.visualRect(status).center();
        QHelpEvent event(QEvent::ToolTip, at, list.viewport()->mapToGlobal(at));
        QApplication::sendEvent(list.viewport(), &event);
        QCOMPARE(QToolTip::text(), list.CellToolTip(status));
    }

    void FormatListShowsLongEntriesWhole() {
        // "to AAC for iP" was all the closed list showed, and the open list cut entries too.
        WindowHarness h(&FakeProbe);
        h.W().show();
        FormatComboBox& formats = *h.W().FormatList();
        formats.setCurrentIndex(0);  // MP3 fits
        QHelpEvent event(QEvent::ToolTip, QPoint(5, 5), formats.mapToGlobal(QPoint(5, 5)));
        QApplication::sendEvent(&formats, &event);
        QCOMPARE(formats.toolTip(), QString(kFormatTip));
        formats.setCurrentIndex(5);
        QVERIFY(formats.IsTextCut());
        QApplication::sendEvent(&formats, &event);
        QCOMPARE(formats.toolTip(), QString("to AAC for iPod / iTunes"));
        formats.showPopup();
        for (int i = 0; i < formats.count(); ++i) {
            const QRect row = formats.view()->visualRect(formats.model()->index(i, 0));
            QVERIFY2(formats.view()->viewport()->width() >=
                         formats.view()->fontMetrics().horizontalAdvance(formats.itemText(i)) + 2,
                     qPrintable(formats.itemText(i)));
            QVERIFY(row.width() > 0);
        }
        formats.hidePopup();
    }

    void KeysReachTheListAndTheLink() {
        // Shift+F10 (no Menu key on many laptops) opens the context menu, Enter plays the current
        // row, Enter on the focused link follows it.
        TempDir dir;
        WindowHarness h(&FakeProbe);
        h.W().show();
        h.W().activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&h.W()));
        const std::string file = ListOne(h, dir);
        QVERIFY(QTest::qWaitForWindowActive(&h.W()));
        h.W().List()->setCurrentIndex(h.W().Model().index(0, 0));
        h.W().List()->setFocus();
        QString menuFirstItem;
        QTimer::singleShot(0, [&] {
            if (auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget())) {
                menuFirstItem = menu->actions().value(0)->text();
                menu->close();
            }
        });
        QTest::keyClick(h.W().List(), Qt::Key_F10, Qt::ShiftModifier);
        QCOMPARE(menuFirstItem, QString(kPlaySource));
        QTest::keyClick(h.W().List(), Qt::Key_Return);
        QCOMPARE(h.desktop.opened, std::vector<std::string>({file}));
        QAbstractButton* link =
            Named(h.W(), QString::fromStdString(StringPrintf(kHomepageTooltip, kWindowTitle)));
        link->setFocus();
        QTest::keyClick(link, Qt::Key_Return);
        QCOMPARE(h.desktop.browsed, std::vector<std::string>({kHomepageAddress}));
        QVERIFY(h.W().isVisible());
    }

    void TabFollowsTheLayout() {
        // The buttons top to bottom, the format list, the file list, then the title bar and link.
        WindowHarness h(&FakeProbe);
        h.W().show();
        h.W().activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&h.W()));
        Named(h.W(), "Add Files")->setFocus();
        QStringList order;
        for (int i = 0; i < 11; ++i) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            order << QApplication::focusWidget()->accessibleName();
        }
        QCOMPARE(order, QStringList({"Add Folder", "Remove All", "Convert", "Options", kFormatTip,
                                     kFileListName, kHelpTip, kMinimizeTip, kCloseTip,
                                     QString::fromStdString(StringPrintf(kHomepageTooltip, kWindowTitle)),
                                     "Add Files"}));
    }

    void WindowGrowsKeepsItsSizeAndFitsSmallScreens() {
        // The list takes the room a larger window gives, the size comes back after a restart, and
        // on a screen smaller than the default (QT_SCALE_FACTOR=2) the Close button stays on it.
        WindowHarness h(&FakeProbe);
        MainWindow& w = h.W();
        w.show();
        QCOMPARE(w.minimumSize(), QSize(699, 538));
        QVERIFY(!w.findChildren<QSizeGrip*>().isEmpty());
        w.resize(760, 580);
        QCOMPARE(w.List()->geometry(), QRect(137, 63, 760 - 147, 580 - 73));
        QCOMPARE(Named(w, kCloseTip)->geometry().right(), 760 - 10);
        h.Restart();
        QCOMPARE(h.W().size(), QSize(760, 580));
        const QRect small(0, 24, 640, 488);
        h.W().show();
        h.W().FitToScreen(small);
        QVERIFY(small.contains(h.W().geometry()));
        QVERIFY(h.W().rect().contains(Named(h.W(), kCloseTip)->geometry()));
        QVERIFY(h.W().rect().contains(h.W().List()->geometry()));
    }

    void EmptyListShowsHowToFillIt() {
        // A new user saw a blank list; the hint must go with the first row.
        TempDir dir;
        WindowHarness h(&FakeProbe);
        h.W().show();
        QVERIFY(QTest::qWaitForWindowExposed(&h.W()));
        auto inkInMiddle = [&] {
            const QImage image = h.W().List()->viewport()->grab().toImage();
            const QRgb base = image.pixel(2, image.height() / 2);
            int ink = 0;
            for (int x = 0; x < image.width(); ++x)
                for (int y = image.height() / 2 - 8; y < image.height() / 2 + 8; ++y)
                    ink += image.pixel(x, y) != base;
            return ink;
        };
        QVERIFY(inkInMiddle() > 20);
        ListOne(h, dir);
        QCOMPARE(inkInMiddle(), 0);
    }
};

QTEST_MAIN(WindowUseTest)
#include "WindowUseTest.moc"
