#pragma once
#include <QAbstractTableModel>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "engine/FileEntry.h"
#include "engine/FileProbe.h"
#include "platform/FileIdentity.h"

/// The rows of the file list: one per probed source, in list order.
class FileListModel final : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { kFile, kDuration, kBitRate, kFreq, kChannels, kStatus, kColumnCount };
    /// Probes a path for the list; nothing when no reader opens it.
    using Prober = std::function<std::optional<FileEntry>(const std::string& path)>;

    explicit FileListModel(Prober probe, QObject* parent = nullptr);

    /// The new row's index, 0 when the file is already listed (by any path), -1 when unreadable.
    int AddFile(const std::string& path);
    FileEntry* EntryOfRow(int row);
    const std::string& StatusOfRow(int row) const;
    /// A new status drops the reason of the old one.
    void SetStatus(int row, const std::string& text);
    /// The system's reason for the row's failure, shown as the Status cell's tooltip.
    void SetStatusReason(int row, const std::string& reason);
    /// Removes the given rows (any order); their files can be added again.
    void RemoveRows(std::vector<int> rows);
    void RemoveAll();
    /// A header click: ascending unless the same column was last sorted ascending. Returns the order used.
    Qt::SortOrder SortByColumn(int column);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    /// Text, number or minutes:seconds comparison by column; rows that compare equal keep their order.
    void sort(int column, Qt::SortOrder order) override;

private:
    struct Row {
        std::unique_ptr<FileEntry> entry;
        RowTexts texts;
        std::string status;
        FileIdentity identity;
        std::string statusReason;  // tooltip of the Status cell
    };
    const std::string& Cell(const Row& row, int column) const;

    Prober m_probe;
    std::vector<Row> m_rows;
    std::unordered_map<FileIdentity, FileEntry*, FileIdentityHash> m_listed;  // the duplicate check
    int m_sortColumn = -1;
    Qt::SortOrder m_sortOrder = Qt::AscendingOrder;
};

/// Compares two cells of a column as the list sorts them: <0, 0 or >0.
int CompareCells(int column, const std::string& a, const std::string& b);
