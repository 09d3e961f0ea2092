#include <QAbstractButton>
#include <QAction>
#include <QComboBox>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QTreeView>
#include <filesystem>
#include <functional>

#include "WindowHarness.h"
#include "app/AppTexts.h"
#include "app/ProgressWindows.h"
#include "engine/EngineTexts.h"
#include "support/TestSupport.h"

using apptest::FakeProbe;
using apptest::Select;
using apptest::WindowHarness;
using testsupport::TempDir;

namespace {

std::vector<std::string> ListedNames(MainWindow& w) {
    std::vector<std::string> names;
    for (int r = 0; r < w.Model().rowCount(); ++r)
        names.push_back(w.Model().data(w.Model().index(r, 0), Qt::DisplayRole).toString().toStdString());
    return names;
}

void Touch(const std::string& path) {
    testsupport::WriteBytes(path, {0});
}

}  // namespace

class MainWindowTest : public QObject {
    Q_OBJECT
private slots:
    void DesktopWithoutBusesStaysSilent() {
        // No session or system bus: no notification, no lock, no error, nothing printed.
        qputenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/wavelorn-session");
        qputenv("DBUS_SYSTEM_BUS_ADDRESS", "unix:path=/nonexistent/wavelorn-system");
        SystemDesktop desktop;
        desktop.Notify("summary", "body");
        QVERIFY(!desktop.InhibitSleep("why"));
    }
    void ContextMenuEnabledRules_data() {
        QTest::addColumn<int>("rows");
        QTest::addColumn<QList<int>>("selected");
        QTest::addColumn<bool>("converted");
        QTest::addColumn<QString>(
            "enabled");  // one letter per item: Play, PlayDest, ConvSel, ConvAll,
                         // BrowseSrc, BrowseDest, AddFiles, AddFolder, Remove, RemoveAll
        QTest::newRow("empty list") << 0 << QList<int>{} << false << "......AA..";
        QTest::newRow("rows, none selected") << 2 << QList<int>{} << false << "...A..AA.A";
        QTest::newRow("one not converted") << 2 << QList<int>{0} << false << "P.CAB.AARA";
        QTest::newRow("one converted") << 2 << QList<int>{0} << true << "PDCABDAARA";
        QTest::newRow("two selected") << 2 << QList<int>{0, 1} << true << "..CA..AARA";
    }
    void ContextMenuEnabledRules() {
        // Items that need one row, or a converted row, must be off for any other selection.
        QFETCH(int, rows);
        QFETCH(QList<int>, selected);
        QFETCH(bool, converted);
        QFETCH(QString, enabled);
        WindowHarness h(&FakeProbe);
        TempDir dir;
        for (int i = 0; i < rows; ++i) h.W().AddFiles({dir.File("f" + std::to_string(i) + ".wav")});
        if (converted)
            for (int r = 0; r < rows; ++r) h.W().Model().EntryOfRow(r)->outputPath = "/out/x.mp3";
        Select(h.W(), std::vector<int>(selected.begin(), selected.end()));
        auto menu = h.W().BuildContextMenu();
        QStringList texts;
        QString state;
        for (QAction* a : menu->actions()) {
            if (a->isSeparator()) continue;
            texts << a->text();
            state += a->isEnabled() ? enabled[state.size()] : QChar('.');
        }
        QCOMPARE(texts, QStringList({kPlaySource, kPlayDestination, kConvertSelected, kConvertAll,
                                     kBrowseSource, kBrowseDestination, kAddFilesItem, kAddFolderItem,
                                     kRemoveItem, kRemoveAllItem}));
        QCOMPARE(state, enabled);
    }

    void EnterAndEscapeLeaveTheWindowOpen() {
        WindowHarness h(&FakeProbe);
        h.W().show();
        QVERIFY(QTest::qWaitForWindowExposed(&h.W()));
        for (int key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Escape}) {
            QTest::keyClick(&h.W(), Qt::Key(key));
            QTest::keyClick(h.W().List(), Qt::Key(key));
            QVERIFY(h.W().isVisible());
        }
    }

    void KeysGiveTheirCommands() {
        // Ctrl+O opens the file dialog, Del removes the selection, F1 opens the help file.
        WindowHarness h(&FakeProbe);
        h.W().show();
        h.W().activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&h.W()));
        TempDir dir;
        h.dialogs.files.push_back(std::vector<std::string>{dir.File("a.wav"), dir.File("b.wav")});
        QTest::keyClick(&h.W(), Qt::Key_O, Qt::ControlModifier);
        QCOMPARE(h.W().Model().rowCount(), 2);
        Select(h.W(), {0});
        h.W().List()->setFocus();
        QVERIFY(QTest::qWaitForWindowActive(&h.W()));  // back from the progress window
        QTest::keyClick(h.W().List(), Qt::Key_Delete);
        QCOMPARE(ListedNames(h.W()), std::vector<std::string>({"b.wav"}));
        QTest::keyClick(&h.W(), Qt::Key_F1);
        QCOMPARE(h.desktop.opened, std::vector<std::string>({"/opt/wavelorn/wavelorn.html"}));
    }

    void OutputFormatList_data() {
        QTest::addColumn<int>("stored");
        QTest::addColumn<int>("choose");  // entry picked before a restart, -1 for none
        QTest::addColumn<QString>("shown");
        QTest::addColumn<int>("code");
        QTest::newRow("M4A code shows the M4A entry") << 6500 << -1 << " to M4A (MPEG-4 Audio)" << 6500;
        QTest::newRow("iPod entry comes back as M4A") << 1000 << 5 << " to M4A (MPEG-4 Audio)" << 6500;
        QTest::newRow("unknown code falls back to MP3") << 1234 << -1 << " to MP3" << 1000;
        QTest::newRow("WMA kept") << 7000 << -1 << " to WMA" << 7000;
    }
    void OutputFormatList() {
        QFETCH(int, stored);
        QFETCH(int, choose);
        QFETCH(QString, shown);
        QFETCH(int, code);
        WindowHarness h(&FakeProbe);
        h.settings->OutputFormat = stored;
        h.settings->SaveSettings(h.store, SaveOnExit);
        h.Restart();
        QCOMPARE(h.W().FormatList()->count(), static_cast<int>(kFormatChoices.size()));
        if (choose >= 0) h.W().FormatList()->setCurrentIndex(choose);
        h.Restart();
        QCOMPARE(h.W().FormatList()->currentText(), shown);
        QCOMPARE(h.settings->OutputFormat, code);
        h.Restart();  // the corrected code was saved at close
        ConversionSettings reread("");
        reread.LoadSettings(h.store);
        QCOMPARE(reread.OutputFormat, code);
    }

    void EveryFormatEntryNamesARowOfTheTable() {
        // An entry under a code the table lacks would convert into files without name or extension.
        for (const FormatChoice& choice : kFormatChoices) QVERIFY(FindOutputFormat(choice.code) != nullptr);
    }

    void HelpMenuItems() {
        WindowHarness h(&FakeProbe);
        QStringList texts;
        for (QAction* a : h.W().HelpMenu()->actions())
            if (!a->isSeparator()) texts << a->text();
        QCOMPARE(texts, QStringList({kHelpTopics, kHomepageItem, kAboutItem}));
        for (QAction* a : h.W().HelpMenu()->actions()) a->trigger();
        QCOMPARE(h.desktop.opened, std::vector<std::string>({"/opt/wavelorn/wavelorn.html"}));
        QCOMPARE(h.desktop.browsed, std::vector<std::string>({kHomepageAddress}));
        QCOMPARE(h.dialogs.abouts, 1);
    }

    void FirstRunOpensHelpOnce() {
        WindowHarness h(&FakeProbe, /*firstRunDone=*/false);
        h.Restart();
        h.Restart();
        QCOMPARE(h.desktop.opened, std::vector<std::string>({"/opt/wavelorn/wavelorn.html"}));
    }

    void UnwritableStoreOpensHelpEveryTime() {
        WindowHarness h(&FakeProbe, /*firstRunDone=*/false, /*writable=*/false);
        h.Restart();
        QCOMPARE(h.desktop.opened.size(), std::size_t(2));
    }

    void ClosingSavesFormatAndStartPage() {
        WindowHarness h(&FakeProbe);
        h.W().show();
        h.W().FormatList()->setCurrentIndex(3);  // OGG
        h.settings->OptStartPageIndex = 4;
        h.settings->Folder = "/not/saved/at/exit/";
        for (auto* b : h.W().findChildren<QAbstractButton*>())
            if (b->accessibleName() == "Close") b->click();
        QTRY_VERIFY(!h.W().isVisible());
        ConversionSettings reread("");
        reread.LoadSettings(h.store);
        QCOMPARE(reread.OutputFormat, 4000);
        QCOMPARE(reread.OptStartPageIndex, 4);
        QCOMPARE(reread.Folder, std::string());
    }

    void Messages_data() {
        QTest::addColumn<std::function<void(WindowHarness&)>>("act");
        QTest::addColumn<int>("icon");
        QTest::addColumn<QString>("text");
        using Act = std::function<void(WindowHarness&)>;
        const int info = int(MessageIcon::Information), warn = int(MessageIcon::Warning);
        QTest::newRow("remove, none selected") << Act([](WindowHarness& h) { h.W().OnRemove(); }) << info
                                               << "You should select a file at least.";
        QTest::newRow("convert selected, none") << Act([](WindowHarness& h) { h.W().OnConvertSelected(); })
                                                << info << "You should select a file at least.";
        QTest::newRow("remove all, empty")
            << Act([](WindowHarness& h) { h.W().OnRemoveAll(); }) << info << "There aren't files in list.";
        QTest::newRow("convert all, empty")
            << Act([](WindowHarness& h) { h.W().OnConvertAll(); }) << info << "There aren't files in list.";
        QTest::newRow("load failure")
            << Act([](WindowHarness& h) {
                   h.W().AddFiles({"/x/bad1.wav", "/x/ok.wav"});
               })
            << warn
            << "Failed to load the following files.\n\n/x/bad1.wav\n\nTo get help, please "
               "forward the failure files to <support@wavelorn.org>.";
        QTest::newRow("load failure with detail")
            << Act([](WindowHarness& h) {
                   h.W().AddFiles({"/x/bad.cda"});  // the real prober leaves the CD note
               })
            << warn
            << "Failed to load the following files.\n\n/x/bad.cda\n\nIMPORTANT: please DO NOT add CDA file "
               "from hard drive, but add CDA file from CD drive.";
    }
    void Messages() {
        // Every message of the window, word for word, with its icon.
        QFETCH(std::function<void(WindowHarness&)>, act);
        QFETCH(int, icon);
        QFETCH(QString, text);
        const bool realProbe = QString(QTest::currentDataTag()).contains("detail");
        WindowHarness h(realProbe ? FileListModel::Prober() : FileListModel::Prober(&FakeProbe));
        act(h);
        QCOMPARE(h.dialogs.messages.size(), std::size_t(1));
        QCOMPARE(int(h.dialogs.messages[0].icon), icon);
        QCOMPARE(QString::fromStdString(h.dialogs.messages[0].text), text);
    }

    void ThirtyFailuresThenMoreFiles() {
        WindowHarness h(&FakeProbe);
        std::vector<std::string> list;
        std::string expected;
        for (int i = 0; i < 35; ++i) {
            list.push_back("/x/bad" + std::to_string(i) + ".wav");
            if (i < 30) expected += list.back() + "\n";
        }
        h.W().AddFiles(list);
        const std::string& text = h.dialogs.messages.at(0).text;
        QVERIFY(text.find(expected + "<more files>...\n\nTo get help") != std::string::npos);
        QCOMPARE(text.find("bad30"), std::string::npos);
    }

    void CancelStopsAddingAfterTheCurrentFile_data() {
        QTest::addColumn<bool>("closeRequest");
        QTest::newRow("Cancel button") << false;
        QTest::newRow("close request (Alt+F4)") << true;
    }
    void CancelStopsAddingAfterTheCurrentFile() {
        // Files added before Cancel stay; the rest are not probed. A close request is a Cancel: the
        // window must not vanish while the adding goes on with the main window disabled.
        QFETCH(bool, closeRequest);
        int probed = 0;
        bool hidden = false;
        WindowHarness* harness = nullptr;
        WindowHarness h([&](const std::string& p) {
            if (++probed == 2)
                for (QWidget* w : QApplication::topLevelWidgets())
                    if (auto* s = qobject_cast<SearchProgressWindow*>(w)) {
                        if (!closeRequest)
                            s->CancelButton()->click();
                        else
                            hidden = s->close() || !s->isVisible();
                    }
            return FakeProbe(p);
        });
        harness = &h;
        h.W().AddFiles({"/x/1.wav", "/x/2.wav", "/x/3.wav", "/x/4.wav"});
        QCOMPARE(probed, 2);
        QVERIFY(!hidden);
        QCOMPARE(harness->W().Model().rowCount(), 2);
        QVERIFY(h.W().isEnabled());
    }

    void AddFolderListsParentsFirstAndRemembersTheFolder() {
        TempDir dir;
        const auto a = dir.Path() / "a";
        std::filesystem::create_directories(a / "b" / "c");
        Touch((a / "b" / "c" / "3.wav").string());
        Touch((a / "b" / "2.wav").string());
        Touch((a / "1.wav").string());
        Touch((a / ".hidden.wav").string());
        WindowHarness h(&FakeProbe);
        h.dialogs.folders.push_back(a.string() + "/");
        h.W().OnAddFolder();
        auto names = ListedNames(h.W());
        QCOMPARE(names.size(), std::size_t(4));
        QCOMPARE(names[2], std::string("2.wav"));
        QCOMPARE(names[3], std::string("3.wav"));
        h.Restart();
        h.W().OnAddFolder();  // cancelled this time
        QCOMPARE(h.dialogs.folderStarts.back(), a.string() + "/");
    }

    void DropBuildsOneListInOrderThroughTheFilter() {
        // A dropped folder's files come first, then the dropped files; the filter and shortcuts apply.
        TempDir dir;
        std::filesystem::create_directories(dir.Path() / "folder");
        Touch(dir.File("folder/in.wav"));
        Touch(dir.File("folder/skip.ogg"));
        Touch(dir.File("Song.MP3"));
        Touch(dir.File("song.ogg"));
        Touch(dir.File("target.wav"));
        std::filesystem::create_symlink(dir.File("target.wav"), dir.File("Link.lnk"));
        WindowHarness h(&FakeProbe);
        h.settings->EnableExtFilter = 1;
        h.settings->FilterExts = "mp3,wav";
        h.settings->RebuildFilterList();
        h.W().AddDropped(
            {dir.File("folder"), dir.File("Song.MP3"), dir.File("song.ogg"), dir.File("Link.lnk")});
        QCOMPARE(ListedNames(h.W()), std::vector<std::string>({"in.wav", "Song.MP3", "target.wav"}));
    }
};

QTEST_MAIN(MainWindowTest)
#include "MainWindowTest.moc"
