#pragma once
#include <QComboBox>

/// The output format drop-down: an entry too long for the closed control ends in "…" and shows
/// whole as the tooltip; the open list is as wide as its longest entry.
class FormatComboBox final : public QComboBox {
    Q_OBJECT
public:
    /// `tip` is the tooltip while the chosen entry fits; `leastPopupWidth` the open list's least width.
    FormatComboBox(const QString& tip, int leastPopupWidth, QWidget* parent);
    /// True when the closed control cannot show the chosen entry whole.
    bool IsTextCut() const;
    void showPopup() override;

protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    int TextWidth() const;
    QString m_tip;
    int m_leastPopupWidth;
};
