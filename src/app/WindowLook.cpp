#include "app/WindowLook.h"

#include <QPainter>
#include <QPainterPath>
#include <cmath>

#include "app/AppTexts.h"
#include "app/ImageButton.h"

void PaintWindowBackground(QPainter& p, const QRect& area) {
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient sky(area.topLeft(), area.bottomLeft());
    sky.setColorAt(0, look::kBackgroundTop);
    sky.setColorAt(1, look::kBackgroundBottom);
    p.fillRect(area, sky);

    // Three faint sine waves behind the title.
    for (int layer = 0; layer < 3; ++layer) {
        QPainterPath wave;
        const double amplitude = 9.0 - layer * 2.5, base = 34.0 + layer * 6.0;
        wave.moveTo(area.left(), base);
        for (int x = area.left(); x <= area.right(); x += 3)
            wave.lineTo(x, base + amplitude * std::sin((x + layer * 40) / (38.0 + layer * 9.0)));
        QColor c = look::kSubtitle;
        c.setAlpha(70 - layer * 18);
        p.setPen(QPen(c, 2.0));
        p.drawPath(wave);
    }

    QFont title = ButtonFont();
    title.setPixelSize(26);
    p.setFont(title);
    p.setPen(look::kTitle);
    p.drawText(QRect(area.left() + 14, area.top() + 8, 400, 40), Qt::AlignLeft | Qt::AlignVCenter,
               kWindowTitle);
    QFont sub = ButtonFont();
    sub.setBold(false);
    p.setFont(sub);
    p.setPen(look::kSubtitle);
    p.drawText(QRect(area.left() + 160, area.top() + 20, 300, 24), Qt::AlignLeft | Qt::AlignVCenter,
               "batch audio converter");

    // A light frame behind the list, and a thin edge around the window.
    p.setPen(Qt::NoPen);
    p.setBrush(look::kPanel);
    p.drawRoundedRect(QRectF(area.left() + 133, area.top() + 59, area.width() - 139, area.height() - 65), 4,
                      4);
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(look::kButtonEdge, 1));
    p.drawRect(area.adjusted(0, 0, -1, -1));
}

int WindowStyle::styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                           QStyleHintReturn* returnData) const {
    if (hint == SH_ToolTip_WakeUpDelay) return 300;
    return QProxyStyle::styleHint(hint, option, widget, returnData);
}

QIcon AppIcon() {
    QIcon icon;
    for (int size : {16, 32, 48, 64}) {
        QPixmap pixmap(size, size);
        pixmap.fill(Qt::transparent);
        QPainter p(&pixmap);
        p.setRenderHint(QPainter::Antialiasing);
        p.scale(size / 64.0, size / 64.0);
        QLinearGradient sky(0, 0, 0, 64);
        sky.setColorAt(0, look::kBackgroundTop);
        sky.setColorAt(1, look::kBackgroundBottom);
        p.setBrush(sky);
        p.setPen(QPen(QColor(12, 20, 36), 2));
        p.drawRoundedRect(QRectF(2, 2, 60, 60), 12, 12);
        QPainterPath wave(QPointF(8, 30));
        wave.quadTo(14, 14, 20, 30);
        wave.quadTo(26, 46, 32, 30);
        wave.quadTo(38, 14, 44, 30);
        p.setBrush(Qt::NoBrush);
        p.setPen(QPen(look::kSubtitle, 4, Qt::SolidLine, Qt::RoundCap));
        p.drawPath(wave);
        QLinearGradient gold(0, 22, 0, 50);
        gold.setColorAt(0, look::kButtonHoverTop);
        gold.setColorAt(1, look::kButtonHoverBottom);
        p.setBrush(gold);
        p.setPen(QPen(look::kButtonEdge, 2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p.drawPolygon(QPolygonF({QPointF(38, 22), QPointF(56, 36), QPointF(38, 50)}));
        p.end();
        icon.addPixmap(pixmap);
    }
    return icon;
}
