#pragma once
#include <QDialog>
#include <vector>

class ConversionSettings;
class OptionsDialogs;
class OptionsPage;
class QTabWidget;
class WmaFormatProvider;

/// The "Options" sheet: its pages, OK and Cancel. A page is validated when it is left and when OK
/// is pressed on it; a failed validation keeps it active and the sheet open.
class COptSheet final : public QDialog {
    Q_OBJECT
public:
    /// The number of pages: those of the sheet's page list.
    static const int kPageCount;

    COptSheet(OptionsDialogs& dialogs, WmaFormatProvider& wma, QWidget* parent = nullptr);
    /// Copies the settings into every page and opens on OptStartPageIndex (page 0 when out of range).
    void LoadFrom(const ConversionSettings& s);
    /// Copies back the pages that were shown; a page never shown leaves its settings as they are.
    void StoreTo(ConversionSettings& s) const;
    int ActivePage() const { return m_active; }
    OptionsPage* Page(int index) const { return m_pages[std::size_t(index)]; }
    QTabWidget* Tabs() const { return m_tabs; }
    void accept() override;

private:
    void OnCurrentChanged(int index);
    void SetCurrentQuietly(int index);
    void Activate(int index);
    QTabWidget* m_tabs;
    std::vector<OptionsPage*> m_pages;
    std::vector<bool> m_shown;
    int m_active = 0;
    bool m_quiet = false;
};
