#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QTreeView>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <thread>

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

// A routine that holds its file at half way until the test lets it go (by its number in the batch).
std::atomic<bool> g_letGo[8];

int HeldRoutine(ConversionJob& job) {
    job.progress.SetFileBarRange(100);
    job.progress.SetFileBarPos(50);
    while (!g_letGo[job.sequenceNumber] && !job.progress.CancelRequested()) {
        job.progress.PumpMessages();
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    std::ofstream(job.outputPath) << "data";
    return job.progress.CancelRequested() ? 0 : 1;
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
            if (!progress || !progress->SlotBar(0) || progress->SlotBar(0)->value() < 10) return;
            fileLine = progress->SlotLine(0)->text();
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

    void EachRunningFileHasALine() {
        // Three at once: a line per running file, a finished file's line goes and the next file
        // takes its place; the batch bar counts seconds of audio (4 of 10 with three files half
        // done), not files (which would be 1.5 of 4).
        TempDir dir;
        fs::create_directory(dir.Path() / "out");
        const int seconds[] = {1, 3, 4, 2};
        std::vector<std::string> files;
        for (int i = 1; i <= 4; ++i) {
            files.push_back(dir.File("f" + std::to_string(i) + ".wav"));
            std::ofstream(files.back()) << "source";
            g_letGo[i] = false;
        }
        WindowHarness h([&](const std::string& path) {
            std::optional<FileEntry> e = apptest::FakeProbe(path);
            e->duration = seconds[path[path.size() - 5] - '1'];
            return e;
        });
        h.session.Services().routines = [](int) -> ConversionRoutine { return &HeldRoutine; };
        h.settings->FilesAtOnce = 3;
        Prepare(h, files, dir.File("out") + "/", 2000);

        std::vector<QStringList> seen;
        int batchBar = -1;
        QTimer poll;
        QObject::connect(&poll, &QTimer::timeout, [&] {
            auto* progress = static_cast<QtProgressDialog*>(h.W().ActiveProgress());
            if (!progress) return;
            const QStringList lines = progress->RunningLines();
            if (seen.empty() && lines.size() == 3 && progress->BatchBar()->value() == 400) {
                seen.push_back(lines);
                batchBar = progress->BatchBar()->value();
                g_letGo[2] = true;
            } else if (seen.size() == 1 && lines.size() == 3 && lines[1].contains("f4")) {
                seen.push_back(lines);
                for (int i : {1, 3, 4}) g_letGo[i] = true;
            }
        });
        QTimer giveUp;  // a hang guard, not a timing check: a batch that never shows the lines stops
        giveUp.setSingleShot(true);
        QObject::connect(&giveUp, &QTimer::timeout, [&] {
            if (auto* progress = static_cast<QtProgressDialog*>(h.W().ActiveProgress()))
                progress->CancelButton()->click();
        });
        poll.start(5);
        giveUp.start(60000);
        h.W().OnConvertAll();
        QCOMPARE(seen.size(), std::size_t(2));
        QCOMPARE(seen[0],
                 QStringList({"Converting f1.wav...", "Converting f2.wav...", "Converting f3.wav..."}));
        QCOMPARE(seen[1],
                 QStringList({"Converting f1.wav...", "Converting f4.wav...", "Converting f3.wav..."}));
        QCOMPARE(batchBar, 400);
        QCOMPARE(Statuses(h.W()), std::vector<std::string>({"f1.wav", "f2.wav", "f3.wav", "f4.wav"}));
    }

    void RunningLinesComeAndGo() {
        // Slots end in any order and are taken again; the batch line and Cancel stay below the rows.
        QtProgressDialog progress(nullptr);
        const int oneRow = progress.height();
        for (int slot = 0; slot < 3; ++slot)
            progress.StartSlot(slot, "Converting " + std::to_string(slot) + "...");
        QCOMPARE(progress.RunningLines(),
                 QStringList({"Converting 0...", "Converting 1...", "Converting 2..."}));
        QVERIFY(progress.height() > oneRow);
        QVERIFY(progress.BatchLine()->y() > progress.SlotBar(2)->geometry().bottom());
        QVERIFY(progress.CancelButton()->geometry().bottom() < progress.height());
        progress.SetSlotBar(1, 30, 60);
        QCOMPARE(progress.SlotBar(1)->value() * 2, progress.SlotBar(1)->maximum());
        progress.EndSlot(0);
        progress.EndSlot(2);
        QCOMPARE(progress.RunningLines(), QStringList({"Converting 1..."}));
        QCOMPARE(progress.SlotLine(0), nullptr);
        progress.StartSlot(0, "Converting again...");
        QCOMPARE(progress.RunningLines(), QStringList({"Converting again...", "Converting 1..."}));
    }

    void BatchTextTellsTheTimeLeftFromAudioDone_data() {
        QTest::addColumn<double>("elapsed");
        QTest::addColumn<double>("done");
        QTest::addColumn<QString>("tail");
        // 600 s of audio in the batch.
        QTest::newRow("no estimate in the first 2 s") << 1.5 << 100.0 << "";
        QTest::newRow("none before any audio is done") << 5.0 << 0.0 << "";
        QTest::newRow("10 audio s per s, 500 left") << 10.0 << 100.0 << " about 50 s left";
        QTest::newRow("2 audio s per s, 580 left") << 10.0 << 20.0 << " about 5 min left";
        QTest::newRow("a part of a second rounds up") << 10.0 << 599.5 << " about 1 s left";
        QTest::newRow("nothing once all is done") << 60.0 << 600.0 << "";
    }
    void BatchTextTellsTheTimeLeftFromAudioDone() {
        QFETCH(double, elapsed);
        QFETCH(double, done);
        QFETCH(QString, tail);
        double now = 0;
        QtProgressDialog progress(nullptr, [&] { return now; });
        progress.SetBatchText("Converting 12 of 240 file(s) to MP3...");
        now = elapsed;
        progress.SetBatchAudio(done, 600);
        QCOMPARE(progress.BatchLine()->text(), "Converting 12 of 240 file(s) to MP3..." + tail);
        QCOMPARE(progress.BatchBar()->value(), int(std::lround(done / 600 * progress.BatchBar()->maximum())));
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
