#pragma once
#include <QGroupBox>
#include <cstdint>

class NumberSpin;
class QCheckBox;

/// The "Sound" section of a format page: amplification on/off and its coefficient in percent.
class AmplifyGroup final : public QGroupBox {
    Q_OBJECT
public:
    explicit AmplifyGroup(QWidget* parent = nullptr);
    void Load(std::int32_t on, std::int32_t coefficient);
    /// An empty coefficient edit keeps the coefficient it was given.
    void Store(std::int32_t& on, std::int32_t& coefficient) const;
    /// False when amplification is on and the coefficient is not within 10 to 3000.
    bool IsValid() const;
    QWidget* CoefficientEdit() const;

private:
    void UpdateEnabled();
    QCheckBox* m_on;
    NumberSpin* m_coefficient;
};
