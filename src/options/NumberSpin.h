#pragma once
#include <QSpinBox>
#include <optional>

/// A number edit with an up-down control. The edit takes any run of up to nine digits, or nothing,
/// so that a page can reject what was typed with its own message; the arrows stay within [low, high].
class NumberSpin final : public QSpinBox {
    Q_OBJECT
public:
    NumberSpin(int low, int high, int step, QWidget* parent = nullptr);
    /// The typed number; nullopt when the edit is empty.
    std::optional<int> Number() const;
    void SetNumber(int value);
    void stepBy(int steps) override;

protected:
    QValidator::State validate(QString& input, int& pos) const override;
    void fixup(QString&) const override {}
    int valueFromText(const QString& text) const override;
    QString textFromValue(int value) const override;
    StepEnabled stepEnabled() const override;

private:
    int m_low;
    int m_high;
};
