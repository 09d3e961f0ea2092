#include "options/ShowOptions.h"

#include <QApplication>

#include "options/COptSheet.h"
#include "options/RuntimeWmaFormats.h"
#include "settings/ConversionSettings.h"

bool ShowOptions(QWidget* parent, ConversionSettings& settings, UserStore& store, OptionsDialogs& dialogs,
                 WmaFormatProvider& wma) {
    QApplication::setOverrideCursor(Qt::WaitCursor);
    COptSheet sheet(dialogs, wma, parent);
    QApplication::restoreOverrideCursor();
    sheet.LoadFrom(settings);
    const bool ok = sheet.exec() == QDialog::Accepted;
    if (ok) {
        sheet.StoreTo(settings);
        settings.RebuildFilterList();
        settings.SaveSettings(store, SaveOptions);
    }
    settings.OptStartPageIndex = sheet.ActivePage();
    return ok;
}

bool ShowOptions(QWidget* parent, ConversionSettings& settings, UserStore& store, OptionsDialogs& dialogs) {
    RuntimeWmaFormats wma;
    return ShowOptions(parent, settings, store, dialogs, wma);
}
