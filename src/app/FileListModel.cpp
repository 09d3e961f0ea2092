#include "app/FileListModel.h"

#include <QApplication>
#include <QStyle>
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <numeric>

#include "app/AppTexts.h"
#include "options/QtText.h"

namespace {

long LeadingNumber(const char* text) {
    return std::strtol(text, nullptr, 10);
}

// Durations read as h:mm:ss or mm:ss; nothing for a cell without a colon (empty).
std::optional<long> Seconds(const std::string& text) {
    if (text.find(':') == std::string::npos) return std::nullopt;
    long total = 0;
    const char* p = text.c_str();
    for (;;) {
        char* end = nullptr;
        total = total * 60 + std::strtol(p, &end, 10);
        if (*end != ':') break;
        p = end + 1;
    }
    return total;
}

template <typename T>
int Sign(T a, T b) {
    return a < b ? -1 : (b < a ? 1 : 0);
}

}  // namespace

int CompareCells(int column, const std::string& a, const std::string& b) {
    switch (column) {
        case FileListModel::kDuration: {
            // A cell without a time compares equal to every other, so such rows stay where they are.
            const auto sa = Seconds(a), sb = Seconds(b);
            return sa && sb ? Sign(*sa, *sb) : 0;
        }
        case FileListModel::kBitRate:
        case FileListModel::kFreq:
            return Sign(LeadingNumber(a.c_str()), LeadingNumber(b.c_str()));
        default:
            return std::strcoll(a.c_str(), b.c_str());
    }
}

FileListModel::FileListModel(Prober probe, QObject* parent)
    : QAbstractTableModel(parent), m_probe(std::move(probe)) {
    m_listed.reserve(3000);
}

int FileListModel::AddFile(const std::string& path) {
    FileIdentity identity = IdentityOf(path);
    if (m_listed.count(identity)) return 0;
    std::optional<FileEntry> probed = m_probe(path);
    if (!probed) return -1;
    Row row{std::make_unique<FileEntry>(std::move(*probed)), {}, {}, std::move(identity), {}};
    row.texts = FormatRow(*row.entry);
    const int index = static_cast<int>(m_rows.size());
    beginInsertRows({}, index, index);
    m_listed.emplace(row.identity, row.entry.get());
    m_rows.push_back(std::move(row));
    endInsertRows();
    return index;
}

FileEntry* FileListModel::EntryOfRow(int row) {
    return row >= 0 && row < rowCount() ? m_rows[static_cast<std::size_t>(row)].entry.get() : nullptr;
}

const std::string& FileListModel::StatusOfRow(int row) const {
    static const std::string kNone;
    return row >= 0 && row < rowCount() ? m_rows[static_cast<std::size_t>(row)].status : kNone;
}

void FileListModel::SetStatus(int row, const std::string& text) {
    if (row < 0 || row >= rowCount()) return;
    m_rows[static_cast<std::size_t>(row)].status = text;
    m_rows[static_cast<std::size_t>(row)].statusReason.clear();
    const QModelIndex cell = index(row, kStatus);
    emit dataChanged(cell, cell, {Qt::DisplayRole, Qt::ToolTipRole});
}

void FileListModel::SetStatusReason(int row, const std::string& reason) {
    if (row < 0 || row >= rowCount()) return;
    m_rows[static_cast<std::size_t>(row)].statusReason = reason;
    const QModelIndex cell = index(row, kStatus);
    emit dataChanged(cell, cell, {Qt::ToolTipRole});
}

void FileListModel::RemoveRows(std::vector<int> rows) {
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    // From the bottom up, one contiguous block at a time, so indexes below stay valid.
    while (!rows.empty()) {
        const int last = rows.back();
        if (last < 0 || last >= rowCount()) {
            rows.pop_back();
            continue;
        }
        int first = last;
        rows.pop_back();
        while (!rows.empty() && rows.back() == first - 1) {
            first = rows.back();
            rows.pop_back();
        }
        beginRemoveRows({}, first, last);
        for (int r = first; r <= last; ++r) m_listed.erase(m_rows[static_cast<std::size_t>(r)].identity);
        m_rows.erase(m_rows.begin() + first, m_rows.begin() + last + 1);
        endRemoveRows();
    }
}

void FileListModel::RemoveAll() {
    beginResetModel();
    m_rows.clear();
    m_listed.clear();
    endResetModel();
}

Qt::SortOrder FileListModel::SortByColumn(int column) {
    const Qt::SortOrder order = (column != m_sortColumn || m_sortOrder == Qt::DescendingOrder)
                                    ? Qt::AscendingOrder
                                    : Qt::DescendingOrder;
    m_sortColumn = column;
    m_sortOrder = order;
    sort(column, order);
    return order;
}

int FileListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(m_rows.size());
}

int FileListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : kColumnCount;
}

const std::string& FileListModel::Cell(const Row& row, int column) const {
    switch (column) {
        case kFile:
            return row.texts.file;
        case kDuration:
            return row.texts.duration;
        case kBitRate:
            return row.texts.bitrate;
        case kFreq:
            return row.texts.frequency;
        case kChannels:
            return row.texts.channels;
        default:
            return row.status;
    }
}

QVariant FileListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount()) return {};
    const Row& row = m_rows[static_cast<std::size_t>(index.row())];
    switch (role) {
        case Qt::DisplayRole:
            return FromSystemText(Cell(row, index.column()));
        case Qt::ToolTipRole:
            if (index.column() == kFile) return FromSystemText(row.entry->path);
            if (index.column() == kStatus && !row.statusReason.empty())
                return FromSystemText(row.statusReason);
            // Why a converted file's output has another name than expected, and what its source warned of.
            if (index.column() == kStatus && !row.entry->outputPath.empty()) {
                std::string tip = row.entry->outputNote;
                if (!row.entry->sourceNote.empty()) tip += (tip.empty() ? "" : "\n") + row.entry->sourceNote;
                if (!tip.empty()) return FromSystemText(tip);
            }
            return {};
        case Qt::DecorationRole:
            // A file converted from a damaged source is marked; its tooltip says what was wrong.
            if (index.column() == kStatus && !row.entry->outputPath.empty() && !row.entry->sourceNote.empty())
                return QApplication::style()->standardIcon(QStyle::SP_MessageBoxWarning);
            return {};
        case Qt::TextAlignmentRole: {
            const bool right = index.column() >= kDuration && index.column() <= kFreq;
            return QVariant::fromValue(
                Qt::Alignment((right ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignVCenter));
        }
        default:
            return {};
    }
}

QVariant FileListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || section < 0 || section >= kColumnCount) return {};
    if (role == Qt::DisplayRole) return QString(kColumnHeaders[static_cast<std::size_t>(section)]);
    if (role == Qt::TextAlignmentRole) {
        const bool right = section >= kDuration && section <= kFreq;
        return QVariant::fromValue(
            Qt::Alignment((right ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignVCenter));
    }
    return {};
}

void FileListModel::sort(int column, Qt::SortOrder order) {
    if (column < 0 || column >= kColumnCount) return;
    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    std::vector<int> order_(m_rows.size());
    std::iota(order_.begin(), order_.end(), 0);
    const bool descending = order == Qt::DescendingOrder;
    // A stable merge sort stays well-defined even though empty durations compare equal to everything.
    std::stable_sort(order_.begin(), order_.end(), [&](int a, int b) {
        const int c = CompareCells(column, Cell(m_rows[static_cast<std::size_t>(a)], column),
                                   Cell(m_rows[static_cast<std::size_t>(b)], column));
        return descending ? c > 0 : c < 0;
    });
    std::vector<Row> sorted;
    sorted.reserve(m_rows.size());
    std::vector<int> newIndex(m_rows.size());
    for (std::size_t i = 0; i < order_.size(); ++i) {
        newIndex[static_cast<std::size_t>(order_[i])] = static_cast<int>(i);
        sorted.push_back(std::move(m_rows[static_cast<std::size_t>(order_[i])]));
    }
    m_rows = std::move(sorted);
    QModelIndexList from = persistentIndexList(), to;
    for (const QModelIndex& i : from) to << index(newIndex[static_cast<std::size_t>(i.row())], i.column());
    changePersistentIndexList(from, to);
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}
