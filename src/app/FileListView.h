#pragma once
#include <QTreeView>
#include <functional>

/// The report-style file list. The context menu opens at the pointer, or mid-list from the keyboard
/// (the Menu key or Shift+F10); Enter plays the current row; an empty list shows how to fill it;
/// a cell too narrow for its text shows the whole text as its tooltip.
class FileListView final : public QTreeView {
    Q_OBJECT
public:
    explicit FileListView(QWidget* parent);
    std::function<void(const QPoint& globalPos)> onContextMenu;
    std::function<void()> onPlay;

    /// The cell's tooltip: the model's own text first, then the whole cell text when the cell cuts it.
    QString CellToolTip(const QModelIndex& index) const;

protected:
    void contextMenuEvent(QContextMenuEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    bool viewportEvent(QEvent* event) override;

private:
    bool IsCut(const QModelIndex& index) const;
};
