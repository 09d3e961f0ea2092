#include "app/ImageButton.h"

#include <QFontDatabase>
#include <QKeyEvent>
#include <QPainter>
#include <QPainterPath>

#include "app/WindowLook.h"

namespace {

// Debian's Tahoma (fonts-wine) lies outside the folders fontconfig searches; register it once.
void RegisterTahoma() {
    static const bool registered = [] {
        for (const char* file : {"/usr/share/wine/fonts/tahoma.ttf", "/usr/share/wine/fonts/tahomabd.ttf"})
            QFontDatabase::addApplicationFont(file);
        return true;
    }();
    (void)registered;
}

}  // namespace

QFont DialogFont() {
    RegisterTahoma();
    QFont font = QFontDatabase::hasFamily("Tahoma") ? QFont("Tahoma")
                                                    : QFontDatabase::systemFont(QFontDatabase::GeneralFont);
    font.setPixelSize(11);
    return font;
}

QFont ButtonFont() {
    QFont font = DialogFont();
    font.setBold(true);
    return font;
}

ImageButton::ImageButton(Look look, const QString& text, QWidget* parent)
    : QAbstractButton(parent), m_look(look) {
    setText(text);
    setFont(ButtonFont());
    setFocusPolicy(Qt::StrongFocus);
    setCursor(look == Look::Link ? Qt::PointingHandCursor : Qt::ArrowCursor);
    setAttribute(Qt::WA_Hover);
}

QSize ImageButton::sizeHint() const {
    return {107, 27};
}

void ImageButton::enterEvent(QEnterEvent* event) {
    m_hover = true;
    update();
    QAbstractButton::enterEvent(event);
}

void ImageButton::keyPressEvent(QKeyEvent* event) {
    // A focused link follows itself on Enter, as links do.
    if (m_look == Look::Link && (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) &&
        event->modifiers() == Qt::NoModifier) {
        click();
        event->accept();
        return;
    }
    QAbstractButton::keyPressEvent(event);
}

void ImageButton::leaveEvent(QEvent* event) {
    m_hover = false;
    update();
    QAbstractButton::leaveEvent(event);
}

void ImageButton::PaintGlyph(QPainter& p, const QRectF& box) const {
    const QRectF g = box.adjusted(6, 6, -6, -6);
    p.setPen(QPen(look::kGlyph, 1.8, Qt::SolidLine, Qt::RoundCap));
    switch (m_look) {
        case Look::Help: {
            QFont f = ButtonFont();
            f.setPixelSize(13);
            p.setFont(f);
            p.drawText(box, Qt::AlignCenter, "?");
            break;
        }
        case Look::Minimize:
            p.drawLine(QPointF(g.left(), g.bottom()), QPointF(g.right(), g.bottom()));
            break;
        case Look::Close:
            p.drawLine(g.topLeft(), g.bottomRight());
            p.drawLine(g.topRight(), g.bottomLeft());
            break;
        default:
            break;
    }
}

void ImageButton::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF box = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    const bool down = isDown();
    if (m_look == Look::Link) {
        QFont f = font();
        f.setUnderline(m_hover || hasFocus());
        p.setFont(f);
        p.setPen(m_hover ? look::kLinkHover : look::kLink);
        p.drawText(rect(), Qt::AlignLeft | Qt::AlignVCenter, text());
        return;
    }
    QLinearGradient fill(box.topLeft(), box.bottomLeft());
    const QColor top = down ? look::kButtonDown : (m_hover ? look::kButtonHoverTop : look::kButtonTop);
    const QColor bottom =
        down ? look::kButtonDown.darker(110) : (m_hover ? look::kButtonHoverBottom : look::kButtonBottom);
    fill.setColorAt(0, top);
    fill.setColorAt(1, bottom);
    QPainterPath shape;
    const qreal radius = m_look == Look::Text ? 5 : 4;
    shape.addRoundedRect(box, radius, radius);
    p.fillPath(shape, fill);
    p.setPen(QPen(hasFocus() ? look::kFocus : look::kButtonEdge, hasFocus() ? 1.6 : 1.0));
    p.drawPath(shape);
    if (m_look != Look::Text) {
        PaintGlyph(p, box);
        return;
    }
    p.setPen(look::kButtonText);
    p.setFont(font());
    p.drawText(rect().translated(down ? 1 : 0, down ? 1 : 0), Qt::AlignCenter | Qt::TextShowMnemonic, text());
}
