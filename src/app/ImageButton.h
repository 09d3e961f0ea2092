#pragma once
#include <QAbstractButton>

/// "Tahoma" 11 px, or the default sans font when Tahoma is missing.
QFont DialogFont();
/// The same, bold: buttons and the link.
QFont ButtonFont();

/// A push button drawn by the window itself: a rounded bar with a hover and a pressed look.
class ImageButton : public QAbstractButton {
    Q_OBJECT
public:
    enum class Look { Text, Link, Help, Minimize, Close };
    ImageButton(Look look, const QString& text, QWidget* parent);
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void PaintGlyph(QPainter& p, const QRectF& box) const;
    Look m_look;
    bool m_hover = false;
};
