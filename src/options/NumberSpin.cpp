#include "options/NumberSpin.h"

#include <algorithm>

namespace {
constexpr int kEmpty = -1;  // the value standing for an empty edit
constexpr int kMaxDigits = 9;
}  // namespace

NumberSpin::NumberSpin(int low, int high, int step, QWidget* parent)
    : QSpinBox(parent), m_low(low), m_high(high) {
    setRange(kEmpty, 999999999);
    setSingleStep(step);
    setCorrectionMode(QAbstractSpinBox::CorrectToPreviousValue);
}

std::optional<int> NumberSpin::Number() const {
    const QString text = cleanText().trimmed();
    if (text.isEmpty()) return std::nullopt;
    bool ok = false;
    const int n = text.toInt(&ok);
    return ok ? std::optional<int>(n) : std::nullopt;
}

void NumberSpin::SetNumber(int value) {
    setValue(std::clamp(value, 0, maximum()));
}

void NumberSpin::stepBy(int steps) {
    const int current = Number().value_or(m_low);
    setValue(std::clamp(current + steps * singleStep(), m_low, m_high));
    selectAll();
}

QValidator::State NumberSpin::validate(QString& input, int&) const {
    if (input.size() > kMaxDigits) return QValidator::Invalid;
    for (QChar c : input)
        if (c < u'0' || c > u'9') return QValidator::Invalid;
    return QValidator::Acceptable;
}

int NumberSpin::valueFromText(const QString& text) const {
    bool ok = false;
    const int n = text.toInt(&ok);
    return ok ? n : kEmpty;
}

QString NumberSpin::textFromValue(int value) const {
    return value == kEmpty ? QString() : QString::number(value);
}

QAbstractSpinBox::StepEnabled NumberSpin::stepEnabled() const {
    if (!isEnabled()) return StepNone;
    const auto n = Number();
    StepEnabled e = StepNone;
    if (!n || *n < m_high) e |= StepUpEnabled;
    if (!n || *n > m_low) e |= StepDownEnabled;
    return e;
}
