#pragma once

class ConversionSettings;
class OptionsDialogs;
class QWidget;
class UserStore;
class WmaFormatProvider;

/// The Options command: runs the Options sheet modally on copies of `settings`. On OK the values are
/// copied back, the extension filter list is rebuilt and the options are saved to `store`; on Cancel
/// nothing changes. Either way OptStartPageIndex becomes the page that was active (saved at exit).
/// True when the sheet was closed with OK.
bool ShowOptions(QWidget* parent, ConversionSettings& settings, UserStore& store, OptionsDialogs& dialogs);

/// The same, listing the WMA formats of a given runtime instead of this process's own.
bool ShowOptions(QWidget* parent, ConversionSettings& settings, UserStore& store, OptionsDialogs& dialogs,
                 WmaFormatProvider& wma);
