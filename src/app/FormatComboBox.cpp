#include "app/FormatComboBox.h"

#include <QAbstractItemView>
#include <QEvent>
#include <QStyleOptionComboBox>
#include <QStylePainter>

FormatComboBox::FormatComboBox(const QString& tip, int leastPopupWidth, QWidget* parent)
    : QComboBox(parent), m_tip(tip), m_leastPopupWidth(leastPopupWidth) {
    setToolTip(tip);
}

int FormatComboBox::TextWidth() const {
    QStyleOptionComboBox opt;
    initStyleOption(&opt);
    // The label is drawn one pixel inside the edit field on either side.
    return style()->subControlRect(QStyle::CC_ComboBox, &opt, QStyle::SC_ComboBoxEditField, this).width() - 2;
}

bool FormatComboBox::IsTextCut() const {
    return fontMetrics().horizontalAdvance(currentText()) > TextWidth();
}

bool FormatComboBox::event(QEvent* event) {
    if (event->type() == QEvent::ToolTip) setToolTip(IsTextCut() ? currentText().trimmed() : m_tip);
    return QComboBox::event(event);
}

void FormatComboBox::showPopup() {
    int widest = 0;
    for (int i = 0; i < count(); ++i)
        widest = std::max(widest, view()->sizeHintForIndex(model()->index(i, 0)).width());
    view()->setMinimumWidth(std::max(m_leastPopupWidth, widest + 2 * view()->frameWidth()));
    QComboBox::showPopup();
}

void FormatComboBox::paintEvent(QPaintEvent*) {
    QStylePainter painter(this);
    painter.setPen(palette().color(QPalette::Text));
    QStyleOptionComboBox opt;
    initStyleOption(&opt);
    painter.drawComplexControl(QStyle::CC_ComboBox, opt);
    opt.currentText = fontMetrics().elidedText(opt.currentText, Qt::ElideRight, TextWidth());
    painter.drawControl(QStyle::CE_ComboBoxLabel, opt);
}
