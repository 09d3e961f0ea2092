#include "options/OptionsPage.h"

#include "options/OptionsDialogs.h"

OptionsPage::OptionsPage(OptionsDialogs& dialogs, QWidget* parent) : QWidget(parent), m_dialogs(dialogs) {}

bool OptionsPage::Fail(const char* message, QWidget* focus) {
    m_dialogs.ShowWarning(this, message);
    if (focus) focus->setFocus(Qt::OtherFocusReason);
    return false;
}
