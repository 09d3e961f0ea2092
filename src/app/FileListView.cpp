#include "app/FileListView.h"

#include <QContextMenuEvent>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QPainter>
#include <QToolTip>

#include "app/AppTexts.h"

FileListView::FileListView(QWidget* parent) : QTreeView(parent) {}

bool FileListView::IsCut(const QModelIndex& index) const {
    const QString text = index.data(Qt::DisplayRole).toString();
    if (text.isEmpty()) return false;
    // The item view draws its text inside the cell less a focus margin on either side.
    const int margin = style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, this) + 1;
    return fontMetrics().horizontalAdvance(text) > visualRect(index).width() - 2 * margin;
}

QString FileListView::CellToolTip(const QModelIndex& index) const {
    if (!index.isValid()) return {};
    const QString own = index.data(Qt::ToolTipRole).toString();
    if (!IsCut(index)) return own;
    const QString text = index.data(Qt::DisplayRole).toString();
    if (own.isEmpty()) return text;
    return own.contains(text) ? own : own + "\n" + text;
}

void FileListView::contextMenuEvent(QContextMenuEvent* event) {
    const QPoint at =
        event->reason() == QContextMenuEvent::Mouse ? event->globalPos() : mapToGlobal(rect().center());
    if (onContextMenu) onContextMenu(at);
    event->accept();
}

void FileListView::keyPressEvent(QKeyEvent* event) {
    // Many laptops have no Menu key; Shift+F10 is the usual other way to the context menu.
    if (event->key() == Qt::Key_F10 && event->modifiers() == Qt::ShiftModifier) {
        if (onContextMenu) onContextMenu(mapToGlobal(rect().center()));
        event->accept();
        return;
    }
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) &&
        event->modifiers() == Qt::NoModifier) {
        if (currentIndex().isValid() && onPlay) onPlay();
        event->accept();
        return;
    }
    QTreeView::keyPressEvent(event);
}

void FileListView::paintEvent(QPaintEvent* event) {
    QTreeView::paintEvent(event);
    if (!model() || model()->rowCount() > 0) return;
    QPainter p(viewport());
    p.setPen(palette().color(QPalette::Disabled, QPalette::Text));
    p.drawText(viewport()->rect().adjusted(16, 0, -16, 0), Qt::AlignCenter | Qt::TextWordWrap,
               kEmptyListHint);
}

bool FileListView::viewportEvent(QEvent* event) {
    if (event->type() == QEvent::ToolTip) {
        auto* help = static_cast<QHelpEvent*>(event);
        const QString tip = CellToolTip(indexAt(help->pos()));
        if (tip.isEmpty())
            QToolTip::hideText();
        else
            QToolTip::showText(help->globalPos(), tip, viewport(), visualRect(indexAt(help->pos())));
        return true;
    }
    return QTreeView::viewportEvent(event);
}
