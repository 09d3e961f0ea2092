#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QTreeView>
#include <algorithm>
#include <filesystem>

#include "WindowHarness.h"
#include "app/ProgressWindows.h"
#include "engine/EngineTexts.h"
#include "sources/DecoderStartup.h"
#include "support/SynthFixtures.h"
#include "support/TestSupport.h"

using apptest::WindowHarness;
using testsupport::TempDir;
namespace fs = std::filesystem;

namespace {

// Lists the given files in a window that converts into `out`.
void Prepare(WindowHarness& h, const std::vector<std::string>& files, const std::string& out, int format) {
    h.settings->OutputFormat = format;
    h.settings->DestOutputFolderOpt = 399;
    h.settings->DestSpecifiedFolder = out;
    h.W().AddFiles(files);
    QCOMPARE(h.W().Model().rowCount(), int(files.size()));
}

std::vector<std::string> Statuses(MainWindow& w) {
    std::vector<std::string> s;
    for (int r = 0; r < w.Model().rowCount(); ++r) s.push_back(w.Model().StatusOfRow(r));
    return s;
}

}  // namespace

class WindowBatchTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { QCOMPARE(StartDecodingLibraries(), DecoderStartupResult::Started); }
    void cleanupTestCase() { ShutDownDecodingLibraries(); }

    void ConvertsRealFiles_data() {
        QTest::addColumn<int>("format");
        QTest::addColumn<QString>("ext");
        QTest::newRow("WAV") << 2000 << ".wav";
        QTest::newRow("MP3") << 1000 << ".mp3";
    }
    void ConvertsRealFiles() {
        // Convert All writes every output, names it in the Status column, keeps the window usable
        // and shows the first output in the file manager.
        QFETCH(int, format);
        QFETCH(QString, ext);
        TempDir dir;
        fs::create_directory(dir.Path() / "out");
        const std::string out = dir.File("out") + "/";
        QVERIFY(testsupport::MakeToneWav(dir.File("one.wav"), 22050, 1, 0.5));
        QVERIFY(testsupport::MakeToneWav(dir.File("two.wav"), 44100, 2, 0.5));
        WindowHarness h;
        Prepare(h, {dir.File("one.wav"), dir.File("two.wav")}, out, format);
        h.W().OnConvertAll();
        const std::string e = ext.toStdString();
        QCOMPARE(Statuses(h.W()), std::vector<std::string>({"one" + e, "two" + e}));
        QVERIFY(fs::file_size(out + "one" + e) > 0);
        QVERIFY(fs::file_size(out + "two" + e) > 0);
        QCOMPARE(h.W().Model().EntryOfRow(1)->outputPath, out + "two" + e);
        QVERIFY(h.W().isEnabled());
        QCOMPARE(h.W().ActiveProgress(), nullptr);
        QCOMPARE(h.desktop.selected, std::vector<std::string>({out + "one" + e}));
        // The system was kept awake for the batch only; a batch this short is not announced.
        QCOMPARE(h.desktop.locksTaken, 1);
        QCOMPARE(h.desktop.locksHeld, 0);
        QVERIFY(h.desktop.notified.empty());
        // Now Play Destination has a file to open.
        h.W().List()->selectionModel()->select(h.W().Model().index(1, 0),
                                               QItemSelectionModel::Select | QItemSelectionModel::Rows);
        h.W().OnPlayDestination();
        QCOMPARE(h.desktop.opened.back(), out + "two" + e);
    }

    void SeveralAtOnceGiveWhatOneByOneGives() {
        // Files converting at once must not change a row's status, an output's name or its bytes:
        // equal names from three folders, renamed in list order.
        TempDir dir;
        std::vector<std::string> files;
        for (const char* folder : {"a", "b", "c"}) {
            fs::create_directory(dir.Path() / folder);
            files.push_back(dir.File(folder) + "/song.wav");
            QVERIFY(testsupport::MakeToneWav(files.back(), 22050, 2, 0.7));
        }
        std::vector<std::string> statuses[2];
        std::vector<std::pair<std::string, std::uintmax_t>> outputs[2];
        for (int run = 0; run < 2; ++run) {
            const std::string out = dir.File(run ? "outN" : "out1") + "/";
            fs::create_directory(out);
            WindowHarness h;
            Prepare(h, files, out, 1000);
            h.settings->FilesAtOnce = run ? 3 : 1;
            h.W().OnConvertAll();
            statuses[run] = Statuses(h.W());
            for (const auto& f : fs::directory_iterator(out))
                outputs[run].emplace_back(f.path().filename().string(), f.file_size());
            std::sort(outputs[run].begin(), outputs[run].end());
        }
        QCOMPARE(statuses[1], statuses[0]);
        QCOMPARE(outputs[1], outputs[0]);
        QCOMPARE(outputs[0].size(), std::size_t(3));
    }

    void CancelMidFileLeavesNoPartialOutput_data() {
        QTest::addColumn<bool>("closeRequest");
        QTest::addColumn<int>("atOnce");
        QTest::newRow("Cancel button") << false << 1;
        QTest::newRow("close request (Alt+F4)") << true << 1;
        QTest::newRow("Cancel button, two at once") << false << 2;
    }
    void CancelMidFileLeavesNoPartialOutput() {
        // Cancel during the first file: "Cancelled", no output left behind, the next row untouched,
        // the window enabled again and no file manager opened. A close request from outside must
        // cancel too, not hide the only way to cancel while the batch runs on.
        // With two at once both files are running when Cancel comes, and both stop.
        QFETCH(bool, closeRequest);
        QFETCH(int, atOnce);
        TempDir dir;
        fs::create_directory(dir.Path() / "out");
        const std::string out = dir.File("out") + "/";
        QVERIFY(testsupport::MakeToneWav(dir.File("long.wav"), 44100, 2, 30.0));
        QVERIFY(testsupport::MakeToneWav(dir.File("next.wav"), 44100, 2, atOnce > 1 ? 30.0 : 0.2));
        WindowHarness h;
        h.settings->FilesAtOnce = atOnce;
        Prepare(h, {dir.File("long.wav"), dir.File("next.wav")}, out, 1000);
        QTimer poll;
        QString fileLine;
        QObject::connect(&poll, &QTimer::timeout, [&] {
            auto* progress = static_cast<QtProgressDialog*>(h.W().ActiveProgress());
            if (!progress || progress->FileBar()->value() < 10) return;
            fileLine = progress->FileLine()->text();
            QVERIFY(!h.W().isEnabled());
            QVERIFY(!h.W().close());  // closing mid-batch would free the rows being converted
            QVERIFY(progress->CancelButton()->isEnabled());
            if (closeRequest) {
                QVERIFY(!progress->close());
                QVERIFY(progress->isVisible());
            } else {
                progress->CancelButton()->click();
            }
            poll.stop();
        });
        poll.start(1);
        h.W().OnConvertAll();
        QVERIFY(fileLine.startsWith("Converting long.wav..."));
        QCOMPARE(Statuses(h.W()), std::vector<std::string>({"Cancelled", atOnce > 1 ? "Cancelled" : ""}));
        QVERIFY(fs::is_empty(out));  // neither an output nor a hidden staged file
        QVERIFY(h.W().Model().EntryOfRow(0)->outputPath.empty());
        QVERIFY(h.W().isEnabled());
        QVERIFY(h.desktop.selected.empty());
    }

    void MidiWithoutSoundFont_data() {
        QTest::addColumn<bool>("yes");
        QTest::newRow("No converts the rest") << false;
        QTest::newRow("Yes converts nothing") << true;
    }
    void MidiWithoutSoundFont() {
        QFETCH(bool, yes);
        TempDir dir;
        fs::create_directory(dir.Path() / "out");
        const std::string out = dir.File("out") + "/";
        testsupport::WriteBytes(dir.File("tune.mid"), testsupport::TinyMidiFile());
        QVERIFY(testsupport::MakeToneWav(dir.File("voice.wav"), 8000, 1, 0.2));
        // Listing a MIDI file takes a SoundFont in this decoder; the batch is then told there is none.
        QVERIFY(LoadMidiSoundFont(ExecutableFolder()));
        WindowHarness h;
        h.soundFont = 0;
        h.engine.shared.SoundFontReady = 0;
        h.dialogs.yes = yes;
        Prepare(h, {dir.File("tune.mid"), dir.File("voice.wav")}, out, 2000);
        h.W().OnConvertAll();
        QCOMPARE(h.dialogs.messages.size(), std::size_t(1));
        QCOMPARE(int(h.dialogs.messages[0].icon), int(MessageIcon::Question));
        QVERIFY(h.dialogs.messages[0].text.find("file \"ct4mgm.sf2\" is required") != std::string::npos);
        if (yes) {
            QCOMPARE(Statuses(h.W()), std::vector<std::string>({"", ""}));
            QCOMPARE(h.desktop.browsed, std::vector<std::string>({kSoundFontDownloadAddress}));
        } else {
            QCOMPARE(Statuses(h.W()), std::vector<std::string>({kStatusNeedsSoundFont, "voice.wav"}));
            QVERIFY(h.desktop.browsed.empty());
        }
    }
};

QTEST_MAIN(WindowBatchTest)
#include "WindowBatchTest.moc"
