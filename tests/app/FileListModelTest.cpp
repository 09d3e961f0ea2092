#include <QTest>
#include <filesystem>
#include <map>

#include "app/FileListModel.h"
#include "platform/Paths.h"
#include "support/TestSupport.h"

using testsupport::TempDir;

namespace {

// Every existing path probes as a one-minute stereo file; a missing one fails.
std::optional<FileEntry> ProbeExisting(const std::string& path) {
    if (!std::filesystem::exists(path)) return std::nullopt;
    FileEntry e;
    e.path = path;
    e.kind = 2000;
    e.duration = 60;
    e.channels = 2;
    return e;
}

FileEntry Row(const std::string& name, int duration, int bitrate, int rate, int channels = 2) {
    FileEntry e;
    e.path = "/music/" + name;
    e.kind = 2000;
    e.duration = duration;
    e.bitrate = bitrate;
    e.sampleRate = rate;
    e.channels = channels;
    return e;
}

QStringList Column(const FileListModel& model, int column) {
    QStringList cells;
    for (int r = 0; r < model.rowCount(); ++r)
        cells << model.data(model.index(r, column), Qt::DisplayRole).toString();
    return cells;
}

}  // namespace

class FileListModelTest : public QObject {
    Q_OBJECT
private slots:
    void OneRowPerFileWhateverItsSpelling() {
        // The duplicate check must see through "./", "//", ".." and symbolic links, and forget a
        // removed file so it can be listed again.
        TempDir dir;
        const std::string file = dir.File("song.wav");
        testsupport::WriteBytes(file, {1, 2, 3});
        std::filesystem::create_directory(dir.Path() / "sub");
        std::filesystem::create_symlink(file, dir.File("link.wav"));
        FileListModel model(&ProbeExisting);
        QCOMPARE(model.AddFile(file), 0);
        QCOMPARE(model.rowCount(), 1);
        for (const std::string& other :
             {dir.Path().string() + "/./song.wav", dir.Path().string() + "//song.wav",
              dir.Path().string() + "/sub/../song.wav", dir.File("link.wav")}) {
            QCOMPARE(model.AddFile(other), 0);
            QCOMPARE(model.rowCount(), 1);
        }
        QCOMPARE(model.AddFile(dir.File("missing.wav")), -1);
        model.RemoveRows({0});
        QCOMPARE(model.rowCount(), 0);
        QCOMPARE(model.AddFile(dir.File("link.wav")), 0);
        QCOMPARE(model.rowCount(), 1);
        QCOMPARE(model.EntryOfRow(0)->path, dir.File("link.wav"));
    }

    void RemovingScatteredRowsKeepsTheOthersInOrder() {
        // Removing rows 0, 2 and 3 of five must leave exactly rows 1 and 4, and free their files.
        TempDir dir;
        FileListModel model(&ProbeExisting);
        for (const char* name : {"a.wav", "b.wav", "c.wav", "d.wav", "e.wav"}) {
            testsupport::WriteBytes(dir.File(name), {0});
            model.AddFile(dir.File(name));
        }
        model.RemoveRows({3, 0, 2});
        QCOMPARE(Column(model, FileListModel::kFile), QStringList({"b.wav", "e.wav"}));
        QVERIFY(model.AddFile(dir.File("c.wav")) > 0);
    }

    void Sorting_data() {
        QTest::addColumn<int>("column");
        QTest::addColumn<QStringList>("ascending");
        QTest::addColumn<QStringList>("descending");
        QTest::newRow("bit rate is numeric")
            << int(FileListModel::kBitRate) << QStringList({"96 kbps", "128 kbps", "320 kbps"})
            << QStringList({"320 kbps", "128 kbps", "96 kbps"});
        QTest::newRow("frequency is numeric")
            << int(FileListModel::kFreq) << QStringList({"8000 Hz", "22050 Hz", "44100 Hz"})
            << QStringList({"44100 Hz", "22050 Hz", "8000 Hz"});
        QTest::newRow("an hour sorts after 59:59")
            << int(FileListModel::kDuration) << QStringList({"00:59", "59:59", "1:00:00"})
            << QStringList({"1:00:00", "59:59", "00:59"});
        QTest::newRow("file names as text")
            << int(FileListModel::kFile) << QStringList({"a.wav", "b.wav", "c.wav"})
            << QStringList({"c.wav", "b.wav", "a.wav"});
    }
    void Sorting() {
        // A header click sorts ascending, a second click on the same header descending.
        QFETCH(int, column);
        QFETCH(QStringList, ascending);
        QFETCH(QStringList, descending);
        std::map<std::string, FileEntry> rows = {{"/music/b.wav", Row("b.wav", 3599, 128, 22050)},
                                                 {"/music/c.wav", Row("c.wav", 3600, 96, 8000)},
                                                 {"/music/a.wav", Row("a.wav", 59, 320, 44100)}};
        FileListModel model([&](const std::string& p) { return std::optional<FileEntry>(rows.at(p)); });
        for (const char* p : {"/music/b.wav", "/music/c.wav", "/music/a.wav"}) model.AddFile(p);
        QCOMPARE(model.SortByColumn(column), Qt::AscendingOrder);
        QCOMPARE(Column(model, column), ascending);
        QCOMPARE(model.SortByColumn(column), Qt::DescendingOrder);
        QCOMPARE(Column(model, column), descending);
        QCOMPARE(model.SortByColumn(column), Qt::AscendingOrder);
        const int other = column == FileListModel::kFile ? FileListModel::kBitRate : FileListModel::kFile;
        QCOMPARE(model.SortByColumn(other), Qt::AscendingOrder);  // another column starts ascending
    }

    void EmptyDurationComparesEqualToEveryRow() {
        // A file of unknown length must not move when sorting by duration, in either direction.
        std::map<std::string, FileEntry> rows = {{"/music/x.wav", Row("x.wav", 120, 0, 0)},
                                                 {"/music/unknown.wav", Row("unknown.wav", 0, 0, 0)}};
        FileListModel model([&](const std::string& p) { return std::optional<FileEntry>(rows.at(p)); });
        model.AddFile("/music/x.wav");
        model.AddFile("/music/unknown.wav");
        for (int click = 0; click < 2; ++click) {
            model.SortByColumn(FileListModel::kDuration);
            QCOMPARE(Column(model, FileListModel::kFile), QStringList({"x.wav", "unknown.wav"}));
        }
    }

    void StatusFollowsItsRowThroughASort() {
        // The batch writes statuses by row; after a sort each status must still sit beside its file.
        std::map<std::string, FileEntry> rows = {{"/music/b.wav", Row("b.wav", 1, 0, 0)},
                                                 {"/music/a.wav", Row("a.wav", 2, 0, 0)}};
        FileListModel model([&](const std::string& p) { return std::optional<FileEntry>(rows.at(p)); });
        model.AddFile("/music/b.wav");
        model.AddFile("/music/a.wav");
        model.SetStatus(0, "b.mp3");
        model.SortByColumn(FileListModel::kFile);
        QCOMPARE(model.StatusOfRow(1), std::string("b.mp3"));
        QCOMPARE(model.EntryOfRow(1)->path, std::string("/music/b.wav"));
        QCOMPARE(model.data(model.index(1, FileListModel::kBitRate), Qt::TextAlignmentRole)
                         .value<Qt::Alignment>() &
                     Qt::AlignRight,
                 Qt::AlignRight);
        // The status's tooltip tells why a converted file's output took another name.
        FileEntry& b = *model.EntryOfRow(1);
        b.outputPath = "/music/b_1.mp3";
        b.outputNote = "\"b.mp3\" is a source of this batch and was not replaced";
        QCOMPARE(model.data(model.index(1, FileListModel::kStatus), Qt::ToolTipRole).toString(),
                 QString::fromStdString(b.outputNote));
        QVERIFY(model.data(model.index(0, FileListModel::kStatus), Qt::ToolTipRole).isNull());
        // A file converted over damage in its source is marked, and its tooltip gives the count.
        QVERIFY(model.data(model.index(1, FileListModel::kStatus), Qt::DecorationRole).isNull());
        b.sourceNote = "20 damaged frame(s) of the source skipped or concealed";
        QVERIFY(!model.data(model.index(1, FileListModel::kStatus), Qt::DecorationRole).isNull());
        QVERIFY(model.data(model.index(1, FileListModel::kStatus), Qt::ToolTipRole)
                    .toString()
                    .endsWith(QString::fromStdString(b.sourceNote)));
    }

    void FailureReasonIsTheStatusTooltipUntilTheNextStatus() {
        // "Conversion Failure" alone did not say that the disk was full.
        std::map<std::string, FileEntry> rows = {{"/music/a.wav", Row("a.wav", 1, 0, 0)}};
        FileListModel model([&](const std::string& p) { return std::optional<FileEntry>(rows.at(p)); });
        model.AddFile("/music/a.wav");
        const QModelIndex status = model.index(0, FileListModel::kStatus);
        model.SetStatus(0, "Conversion Failure");
        model.SetStatusReason(0, "No space left on device");
        QCOMPARE(model.data(status, Qt::ToolTipRole).toString(), QString("No space left on device"));
        model.SetStatus(0, "a.mp3");
        QVERIFY(model.data(status, Qt::ToolTipRole).isNull());
    }
};

QTEST_MAIN(FileListModelTest)
#include "FileListModelTest.moc"
