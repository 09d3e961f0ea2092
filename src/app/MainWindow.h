#pragma once
#include <QPointer>
#include <QTextBrowser>
#include <QWidget>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/FileListModel.h"
#include "app/FileListView.h"
#include "app/FormatComboBox.h"
#include "app/ProgressWindows.h"
#include "engine/BatchView.h"

class BatchDriver;
class ConversionSettings;
class DesktopActions;
class Dialogs;
class ImageButton;
class QComboBox;
class QMenu;
class QSizeGrip;
class QTreeView;
class UserStore;
struct EngineContext;

/// What the main window works with; every member outlives the window.
struct WindowServices {
    ConversionSettings& settings;
    UserStore& store;
    EngineContext& engine;
    Dialogs& dialogs;
    DesktopActions& desktop;
    /// Makes the batch driver once, for the window's life.
    std::function<std::unique_ptr<BatchDriver>(BatchView&)> makeDriver;
    /// Folder of the help file, with a trailing "/".
    std::string programFolder;
    /// Probes a file for the list; empty means the engine's ProbeFile.
    FileListModel::Prober probe;
    /// Shows the Options sheet; true when it was closed with OK. Empty: the command does nothing.
    std::function<bool(QWidget* owner)> showOptions;
};

/// The program's one window: the file list, the command buttons, the output format list.
class MainWindow final : public QWidget, public BatchView {
    Q_OBJECT
public:
    explicit MainWindow(WindowServices services, QWidget* parent = nullptr);
    ~MainWindow() override;

    // Commands, as the buttons, menus and keys give them.
    void OnAddFiles();
    void OnAddFolder();
    void OnRemove();
    void OnRemoveAll();
    void OnConvertAll();
    void OnConvertSelected();
    void OnOptions();
    void OnPlaySource();
    void OnPlayDestination();
    void OnBrowseSource();
    void OnBrowseDestination();
    void OnHelpTopics();
    void OnHomepage();
    void OnAbout();

    /// Files and folders as a drop or the command line gives them: folders are searched, files
    /// pass the extension filter, all in the given order.
    void AddDropped(const std::vector<std::string>& paths);
    /// Probes and lists every path in order, reporting failures in one message. `window` is the
    /// progress window already showing, or null for a new one.
    void AddFiles(const std::vector<std::string>& list,
                  std::unique_ptr<SearchProgressWindow> window = nullptr);

    /// The file list's context menu with its items enabled for the current selection.
    std::unique_ptr<QMenu> BuildContextMenu();
    QMenu* HelpMenu() const { return m_helpMenu; }
    /// Selected rows in list order.
    std::vector<int> SelectedRows() const;
    /// Sorts by a column as a click on its header does.
    void SortByColumn(int column);
    /// Sizes and places the window inside a screen's available area: the remembered size, never
    /// below the default unless the area is smaller, centred.
    void FitToScreen(const QRect& available);

    FileListModel& Model() { return *m_model; }
    FileListView* List() const { return m_list; }
    FormatComboBox* FormatList() const { return m_formats; }
    ImageButton* Button(const char* text) const;
    /// The progress window of the running batch, or null.
    QWidget* ActiveProgress() const { return m_activeProgress; }
    /// The window of our own that shows the guide when the desktop cannot, or null.
    QTextBrowser* HelpWindow() const { return m_helpWindow; }

    // BatchView
    void SetStatus(int row, const std::string& text) override;
    void SetStatusReason(int row, const std::string& reason) override;
    void EnsureRowVisible(int row) override;
    void SetStatusColumnWidth(int pixels) override;
    void EnableMainWindow(bool enable) override;
    std::unique_ptr<ProgressDialog> ShowProgressDialog() override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void BuildControls();
    void BuildMenus();
    void FillFormatList();
    void FirstRunHelp();
    void OpenHelpFile(bool maximised);
    void RunBatch(const std::vector<int>& rows);
    void ShowContextMenu(const QPoint& globalPos);
    ImageButton* AddButton(const char* text, const char* tip, int x, int y, void (MainWindow::*command)());

    WindowServices m_services;
    FileListModel* m_model = nullptr;
    FileListView* m_list = nullptr;
    FormatComboBox* m_formats = nullptr;
    QMenu* m_helpMenu = nullptr;
    std::vector<ImageButton*> m_buttons;
    ImageButton* m_link = nullptr;
    ImageButton* m_titleButtons[3] = {};  // Help, Minimize, Close
    QSizeGrip* m_sizeGrip = nullptr;
    QPointer<QTextBrowser> m_helpWindow;
    std::unique_ptr<BatchDriver> m_driver;
    QWidget* m_activeProgress = nullptr;
    bool m_closed = false;
};
