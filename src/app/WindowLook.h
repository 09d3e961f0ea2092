#pragma once
#include <QColor>
#include <QIcon>
#include <QProxyStyle>

class QPainter;
class QRect;

namespace look {
inline const QColor kBackgroundTop{38, 58, 92};
inline const QColor kBackgroundBottom{18, 28, 48};
inline const QColor kPanel{232, 238, 246};
inline const QColor kTitle{240, 244, 250};
inline const QColor kSubtitle{150, 176, 214};
inline const QColor kButtonTop{250, 252, 255};
inline const QColor kButtonBottom{196, 212, 234};
inline const QColor kButtonHoverTop{255, 246, 214};
inline const QColor kButtonHoverBottom{246, 200, 96};
inline const QColor kButtonDown{224, 170, 60};
inline const QColor kButtonEdge{20, 34, 58};
inline const QColor kButtonText{18, 30, 52};
inline const QColor kFocus{255, 200, 64};
inline const QColor kGlyph{18, 30, 52};
inline const QColor kLink{150, 200, 255};
inline const QColor kLinkHover{255, 214, 110};
}  // namespace look

/// Paints the main window's background: a dark gradient with the name and a wave across the top.
void PaintWindowBackground(QPainter& p, const QRect& area);

/// The application's style: tooltips show after 300 ms.
class WindowStyle final : public QProxyStyle {
public:
    int styleHint(StyleHint hint, const QStyleOption* option = nullptr, const QWidget* widget = nullptr,
                  QStyleHintReturn* returnData = nullptr) const override;
};

/// The program's icon, drawn like data/org.wavelorn.Wavelorn.svg so the window needs no image plug-in.
QIcon AppIcon();
