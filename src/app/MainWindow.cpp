#include "app/MainWindow.h"

#include <sys/stat.h>

#include <QAbstractItemView>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QElapsedTimer>
#include <QHeaderView>
#include <QMenu>
#include <QMimeData>
#include <QPainter>
#include <QScreen>
#include <QShortcut>
#include <QSizeGrip>
#include <QTextBrowser>
#include <QTreeView>
#include <QUrl>
#include <QWindow>
#include <filesystem>

#include "app/AppTexts.h"
#include "app/DesktopActions.h"
#include "app/Dialogs.h"
#include "app/FileListView.h"
#include "app/FormatComboBox.h"
#include "app/ImageButton.h"
#include "app/ProgressWindows.h"
#include "app/WindowLook.h"
#include "engine/BatchDriver.h"
#include "engine/EngineContext.h"
#include "engine/EngineTexts.h"
#include "engine/FileGathering.h"
#include "host/Versions.h"
#include "options/QtText.h"
#include "platform/Paths.h"
#include "platform/StringPrintf.h"
#include "platform/UserStore.h"
#include "settings/ConversionSettings.h"

namespace {

// A batch shorter than this was not waited for long enough to need announcing.
constexpr qint64 kNotifyAfterMs = 10000;

constexpr int kWindowWidth = 699, kWindowHeight = 538;
constexpr int kStatusColumn = FileListModel::kStatus;
constexpr int kColumnWidths[] = {152, 65, 65, 65, 60, 145};
constexpr int kMaxListedFailures = 30;
constexpr int kPumpIntervalMs = 40;
constexpr char kFirstRun[] = "FirstRun";
// The window's size as the user left it, beside the options.
constexpr char kWidthValue[] = "WindowWidth";
constexpr char kHeightValue[] = "WindowHeight";
constexpr int kLargestSide = 16384;

}  // namespace

MainWindow::MainWindow(WindowServices services, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint), m_services(std::move(services)) {
    if (!m_services.probe) {
        EngineContext& engine = m_services.engine;
        m_services.probe = [&engine](const std::string& path) { return ProbeFile(engine, path); };
    }
    setWindowTitle(kWindowTitle);
    setWindowIcon(AppIcon());
    setAccessibleName(kWindowTitle);
    setMinimumSize(kWindowWidth, kWindowHeight);
    resize(kWindowWidth, kWindowHeight);
    setFont(DialogFont());
    setAcceptDrops(true);
    BuildControls();
    BuildMenus();
    FillFormatList();
    if (QScreen* screen = QGuiApplication::primaryScreen()) FitToScreen(screen->availableGeometry());
    FirstRunHelp();
}

void MainWindow::FitToScreen(const QRect& available) {
    QSize size(kWindowWidth, kWindowHeight);
    if (auto key = m_services.store.OpenKey(ConversionSettings::kOptionsKey)) {
        std::uint32_t width = 0, height = 0, bytes = sizeof width;
        if (key->ReadValue(kWidthValue, &width, &bytes) && bytes == sizeof width &&
            key->ReadValue(kHeightValue, &height, &bytes) && bytes == sizeof height)
            size = QSize(static_cast<int>(std::min<std::uint32_t>(width, kLargestSide)),
                         static_cast<int>(std::min<std::uint32_t>(height, kLargestSide)));
    }
    // Never below the default, except on a screen (or at a scale) where the default does not fit.
    const QSize least = QSize(kWindowWidth, kWindowHeight).boundedTo(available.size());
    setMinimumSize(least);
    resize(size.expandedTo(least).boundedTo(available.size()));
    QRect placed(QPoint(), this->size());
    placed.moveCenter(available.center());
    placed.moveLeft(std::max(placed.left(), available.left()));
    placed.moveTop(std::max(placed.top(), available.top()));
    move(placed.topLeft());
}

MainWindow::~MainWindow() = default;

ImageButton* MainWindow::AddButton(const char* text, const char* tip, int x, int y,
                                   void (MainWindow::*command)()) {
    auto* button = new ImageButton(ImageButton::Look::Text, text, this);
    button->setGeometry(x, y, 107, 27);
    button->setToolTip(tip);
    button->setAccessibleName(QString(text).remove('&'));
    button->setAccessibleDescription(tip);
    connect(button, &QAbstractButton::clicked, this, [this, command] { (this->*command)(); });
    m_buttons.push_back(button);
    return button;
}

ImageButton* MainWindow::Button(const char* text) const {
    for (ImageButton* b : m_buttons)
        if (b->text() == QString(text)) return b;
    return nullptr;
}

void MainWindow::BuildControls() {
    auto* addFiles = AddButton(kAddFilesButton, kAddFilesTip, 11, 72, &MainWindow::OnAddFiles);
    auto* addFolder = AddButton(kAddFolderButton, kAddFolderTip, 11, 115, &MainWindow::OnAddFolder);
    auto* removeAll = AddButton(kRemoveAllButton, kRemoveAllTip, 11, 161, &MainWindow::OnRemoveAll);
    auto* convert = AddButton(kConvertButton, kConvertTip, 11, 206, &MainWindow::OnConvertAll);

    m_formats = new FormatComboBox(kFormatTip, 160, this);
    m_formats->setGeometry(14, 239, 98, m_formats->sizeHint().height());
    m_formats->setEditable(false);
    m_formats->setAccessibleName(kFormatTip);
    m_formats->setFont(ButtonFont());
    m_formats->setMaxVisibleItems(kFormatChoices.size());

    auto* options = AddButton(kOptionsButton, kOptionsTip, 11, 278, &MainWindow::OnOptions);

    auto* link = m_link = new ImageButton(ImageButton::Look::Link, kHomepageLinkText, this);
    link->setGeometry(9, 507, 113, 20);
    link->setToolTip(QString::fromStdString(StringPrintf(kHomepageTooltip, kWindowTitle)));
    link->setAccessibleName(link->toolTip());
    connect(link, &QAbstractButton::clicked, this, &MainWindow::OnHomepage);

    struct Small {
        ImageButton::Look look;
        const char* tip;
        int x;
    };
    ImageButton** smalls = m_titleButtons;
    const Small kSmall[] = {{ImageButton::Look::Help, kHelpTip, 624},
                            {ImageButton::Look::Minimize, kMinimizeTip, 647},
                            {ImageButton::Look::Close, kCloseTip, 669}};
    for (int i = 0; i < 3; ++i) {
        smalls[i] = new ImageButton(kSmall[i].look, QString(), this);
        smalls[i]->setGeometry(kSmall[i].x, 11, 21, 21);
        smalls[i]->setToolTip(kSmall[i].tip);
        smalls[i]->setAccessibleName(kSmall[i].tip);
    }
    connect(smalls[0], &QAbstractButton::clicked, this,
            [this, help = smalls[0]] { m_helpMenu->popup(help->mapToGlobal(help->rect().bottomLeft())); });
    connect(smalls[1], &QAbstractButton::clicked, this,
            [this] { QMetaObject::invokeMethod(this, &QWidget::showMinimized, Qt::QueuedConnection); });
    connect(smalls[2], &QAbstractButton::clicked, this,
            [this] { QMetaObject::invokeMethod(this, &QWidget::close, Qt::QueuedConnection); });

    m_list = new FileListView(this);
    m_model = new FileListModel(m_services.probe, this);
    m_list->setModel(m_model);
    m_list->setGeometry(137, 63, 552, 465);
    m_list->setRootIsDecorated(false);
    m_list->setItemsExpandable(false);
    m_list->setUniformRowHeights(true);
    m_list->setAllColumnsShowFocus(true);
    m_list->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_list->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_list->setAccessibleName(kFileListName);
    QPalette pal = m_list->palette();  // the selection stays visible when the list loses focus
    pal.setColor(QPalette::Inactive, QPalette::Highlight, pal.color(QPalette::Active, QPalette::Highlight));
    pal.setColor(QPalette::Inactive, QPalette::HighlightedText,
                 pal.color(QPalette::Active, QPalette::HighlightedText));
    m_list->setPalette(pal);
    QHeaderView* header = m_list->header();
    header->setStretchLastSection(false);
    header->setSectionsClickable(true);
    header->setSortIndicatorShown(false);
    for (int c = 0; c < FileListModel::kColumnCount; ++c) header->resizeSection(c, kColumnWidths[c]);
    connect(header, &QHeaderView::sectionClicked, this, &MainWindow::SortByColumn);
    connect(m_list, &QAbstractItemView::doubleClicked, this, [this] { OnPlaySource(); });
    m_list->onContextMenu = [this](const QPoint& at) { ShowContextMenu(at); };
    m_list->onPlay = [this] { OnPlaySource(); };

    m_sizeGrip = new QSizeGrip(this);
    m_sizeGrip->resize(m_sizeGrip->sizeHint());

    QWidget* const order[] = {addFiles, addFolder, removeAll, convert,   options, m_formats,
                              m_list,   smalls[0], smalls[1], smalls[2], link};
    for (std::size_t i = 1; i < std::size(order); ++i) setTabOrder(order[i - 1], order[i]);
}

void MainWindow::BuildMenus() {
    m_helpMenu = new QMenu(this);
    m_helpMenu->addAction(kHelpTopics, this, &MainWindow::OnHelpTopics);
    m_helpMenu->addSeparator();
    m_helpMenu->addAction(kHomepageItem, this, &MainWindow::OnHomepage);
    m_helpMenu->addSeparator();
    m_helpMenu->addAction(kAboutItem, this, &MainWindow::OnAbout);

    auto bind = [this](QKeySequence keys, void (MainWindow::*command)()) {
        auto* shortcut = new QShortcut(keys, this);
        shortcut->setContext(Qt::WindowShortcut);
        connect(shortcut, &QShortcut::activated, this, [this, command] { (this->*command)(); });
    };
    bind(QKeySequence(Qt::CTRL | Qt::Key_O), &MainWindow::OnAddFiles);
    bind(QKeySequence(Qt::Key_Delete), &MainWindow::OnRemove);
    bind(QKeySequence(Qt::Key_F1), &MainWindow::OnHelpTopics);
}

void MainWindow::FillFormatList() {
    ConversionSettings& settings = m_services.settings;
    QSignalBlocker quiet(m_formats);
    int selected = -1;
    for (const FormatChoice& choice : kFormatChoices) {
        m_formats->addItem(QString(" to ") + choice.label, static_cast<int>(choice.code));
        // Of two entries with the same code the later one ends up selected.
        if (choice.code == settings.OutputFormat) selected = m_formats->count() - 1;
    }
    if (selected < 0) {
        selected = 0;
        settings.OutputFormat = kFormatChoices[0].code;
    }
    m_formats->setCurrentIndex(selected);
    connect(m_formats, &QComboBox::currentIndexChanged, this, [this](int index) {
        m_services.settings.OutputFormat =
            index >= 0 ? m_formats->itemData(index).toInt() : kFormatChoices[0].code;
    });
}

void MainWindow::FirstRunHelp() {
    std::uint32_t value = 1;  // a missing value counts as a first run
    if (auto key = m_services.store.OpenKey(ConversionSettings::kOptionsKey)) {
        std::uint32_t stored = 0, size = sizeof stored;
        if (key->ReadValue(kFirstRun, &stored, &size) && size == sizeof stored) value = stored;
    }
    if (value != 0) {
        if (auto key = m_services.store.CreateKey(ConversionSettings::kOptionsKey)) {
            key->SetDword(kFirstRun, 0);
            key->Close();
        }
        OpenHelpFile(true);
    }
}

void MainWindow::OpenHelpFile(bool maximised) {
    if (m_helpWindow) {
        m_helpWindow->showNormal();
        m_helpWindow->raise();
        m_helpWindow->activateWindow();
        return;
    }
    if (m_services.programFolder.empty()) return;
    const std::string path = m_services.programFolder + kHelpFileName;
    if (m_services.desktop.Open(path)) return;
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec)) return;  // a missing file is not reported
    // No browser on this desktop: the guide in a window of our own.
    auto* help = new QTextBrowser(this);
    help->setWindowFlag(Qt::Window);
    help->setAttribute(Qt::WA_DeleteOnClose);
    help->setWindowTitle(kHelpWindowTitle);
    help->setOpenExternalLinks(true);
    help->setSource(QUrl::fromLocalFile(FromSystemText(path)));
    help->resize(760, 560);
    m_helpWindow = help;
    if (maximised)
        help->showMaximized();
    else
        help->show();
}

std::vector<int> MainWindow::SelectedRows() const {
    std::vector<int> rows;
    for (const QModelIndex& i : m_list->selectionModel()->selectedRows()) rows.push_back(i.row());
    std::sort(rows.begin(), rows.end());
    return rows;
}

void MainWindow::SortByColumn(int column) {
    const Qt::SortOrder order = m_model->SortByColumn(column);
    m_list->header()->setSortIndicatorShown(true);
    m_list->header()->setSortIndicator(column, order);
}

// --- adding files -------------------------------------------------------------------------------

void MainWindow::OnAddFiles() {
    std::vector<std::string> filters(kOpenFileFilters.begin(), kOpenFileFilters.end());
    auto chosen = m_services.dialogs.OpenFiles(this, filters);
    if (!chosen) return;
    PumpEvents();
    AddFiles(*chosen);
}

void MainWindow::OnAddFolder() {
    ConversionSettings& settings = m_services.settings;
    auto folder = m_services.dialogs.BrowseForFolder(this, kChooseFolder, settings.Folder);
    if (!folder) return;
    settings.Folder = *folder;
    settings.SaveSettings(m_services.store, SaveFolder);
    PumpEvents();
    auto window = std::make_unique<SearchProgressWindow>(this);
    window->show();
    window->SetText(kSearchingFiles);
    PumpEvents();
    std::vector<std::string> list;
    CollectFiles(list, *folder, settings);
    if (!list.empty()) AddFiles(list, std::move(window));
}

void MainWindow::AddDropped(const std::vector<std::string>& paths) {
    auto window = std::make_unique<SearchProgressWindow>(this);
    window->show();
    window->SetText(kSearchingFiles);
    PumpEvents();
    std::vector<std::string> list;
    for (const auto& path : paths) {
        if (IsFolder(path))
            CollectFiles(list, path, m_services.settings);
        else if (auto accepted = AcceptFile(path, m_services.settings))
            list.push_back(std::move(*accepted));
    }
    if (!list.empty()) AddFiles(list, std::move(window));
}

void MainWindow::AddFiles(const std::vector<std::string>& list,
                          std::unique_ptr<SearchProgressWindow> window) {
    EnableMainWindow(false);
    if (!window) {
        window = std::make_unique<SearchProgressWindow>(this);
        window->show();
    }
    const int count = static_cast<int>(list.size());
    window->SetRange(count);
    PumpEvents();
    m_services.engine.FailureDetail.clear();
    std::string failures;
    int failed = 0;
    // The window is brought up to date a few dozen times a second rather than after every file:
    // repainting the list and the progress window per file would cost more than probing it.
    QElapsedTimer sincePump;
    sincePump.start();
    int lastAdded = -1;
    for (int i = 0; i < count; ++i) {
        const int rowsBefore = m_model->rowCount();
        if (m_model->AddFile(list[static_cast<std::size_t>(i)]) < 0) {
            if (failed < kMaxListedFailures)
                failures += list[static_cast<std::size_t>(i)] + "\n";
            else if (failed == kMaxListedFailures)
                failures += kMoreFiles;
            ++failed;
        } else if (m_model->rowCount() > rowsBefore) {
            lastAdded = rowsBefore;
        }
        if (i + 1 == count || sincePump.elapsed() >= kPumpIntervalMs) {
            window->SetText(StringPrintf(kAddingFile, i + 1, count));
            window->SetPosition(i + 1);
            if (lastAdded >= 0) m_list->scrollTo(m_model->index(lastAdded, 0));
            PumpEvents();
            sincePump.restart();
        }
        if (window->Cancelled()) break;
    }
    window.reset();
    EnableMainWindow(true);
    if (failures.empty()) return;
    std::string text = StringPrintf(kLoadFailed, failures.c_str());
    const std::string& detail = m_services.engine.FailureDetail;
    text += detail.empty() ? std::string(kForwardFailures) + "<" + kSupportAddress + ">." : "\n" + detail;
    m_services.dialogs.Message(this, MessageIcon::Warning, text);
}

// --- list commands -------------------------------------------------------------------------------

void MainWindow::OnRemove() {
    const std::vector<int> rows = SelectedRows();
    if (rows.empty()) {
        m_services.dialogs.Message(this, MessageIcon::Information, kSelectAtLeastOne);
        return;
    }
    m_model->RemoveRows(rows);
}

void MainWindow::OnRemoveAll() {
    if (m_model->rowCount() == 0) {
        m_services.dialogs.Message(this, MessageIcon::Information, kListIsEmpty);
        return;
    }
    m_model->RemoveAll();
}

void MainWindow::OnConvertAll() {
    if (m_model->rowCount() == 0) {
        m_services.dialogs.Message(this, MessageIcon::Information, kListIsEmpty);
        return;
    }
    std::vector<int> rows(static_cast<std::size_t>(m_model->rowCount()));
    for (std::size_t i = 0; i < rows.size(); ++i) rows[i] = static_cast<int>(i);
    RunBatch(rows);
}

void MainWindow::OnConvertSelected() {
    const std::vector<int> rows = SelectedRows();
    if (rows.empty()) {
        m_services.dialogs.Message(this, MessageIcon::Information, kSelectAtLeastOne);
        return;
    }
    RunBatch(rows);
}

void MainWindow::RunBatch(const std::vector<int>& rows) {
    // Made for each batch: the number of files converted at once may have changed in Options.
    m_driver = m_services.makeDriver(*this);
    std::vector<FileEntry*> entries;
    for (int row : rows) entries.push_back(m_model->EntryOfRow(row));
    QElapsedTimer clock;
    clock.start();
    {
        const auto awake = m_services.desktop.InhibitSleep(kSleepInhibitReason);
        m_driver->RunBatch(entries, rows);
    }
    // A long batch that ended unseen is announced; a short one, or one watched, is not.
    if (clock.elapsed() <= kNotifyAfterMs || isActiveWindow()) return;
    int converted = 0, failed = 0;
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const std::string status = m_model->StatusOfRow(rows[i]);
        if (!entries[i]->outputPath.empty())
            ++converted;
        else if (!status.empty() && status != kStatusCancelled && status != kStatusTargetSkipped)
            ++failed;  // an output kept because it exists is no failure
    }
    m_services.desktop.Notify(kBatchEndedSummary, StringPrintf(kBatchEndedBody, converted, failed));
}

void MainWindow::OnOptions() {
    if (m_services.showOptions) m_services.showOptions(this);
}

void MainWindow::OnPlaySource() {
    const auto rows = SelectedRows();
    if (!rows.empty())
        PlayFile(m_services.desktop, m_services.dialogs, this, m_model->EntryOfRow(rows.front())->path);
}

void MainWindow::OnPlayDestination() {
    const auto rows = SelectedRows();
    if (rows.empty()) return;
    const std::string& output = m_model->EntryOfRow(rows.front())->outputPath;
    if (!output.empty()) PlayFile(m_services.desktop, m_services.dialogs, this, output);
}

void MainWindow::OnBrowseSource() {
    const auto rows = SelectedRows();
    if (!rows.empty())
        BrowseToFile(m_services.desktop, m_services.dialogs, this, m_model->EntryOfRow(rows.front())->path);
}

void MainWindow::OnBrowseDestination() {
    const auto rows = SelectedRows();
    if (rows.empty()) return;
    const std::string& output = m_model->EntryOfRow(rows.front())->outputPath;
    if (!output.empty()) BrowseToFile(m_services.desktop, m_services.dialogs, this, output);
}

void MainWindow::OnHelpTopics() {
    OpenHelpFile(false);
}
void MainWindow::OnHomepage() {
    OpenAddress(m_services.desktop, m_services.dialogs, this, kHomepageAddress);
}
void MainWindow::OnAbout() {
    m_services.dialogs.About(this, StringPrintf(kAboutText, WavelornVersion()));
}

std::unique_ptr<QMenu> MainWindow::BuildContextMenu() {
    const auto rows = SelectedRows();
    const bool one = rows.size() == 1, any = !rows.empty(), listed = m_model->rowCount() > 0;
    const bool converted = one && !m_model->EntryOfRow(rows.front())->outputPath.empty();
    auto menu = std::make_unique<QMenu>(this);
    auto add = [&](const char* text, bool enabled, void (MainWindow::*command)()) {
        QAction* action = menu->addAction(text, this, command);
        action->setEnabled(enabled);
    };
    add(kPlaySource, one, &MainWindow::OnPlaySource);
    add(kPlayDestination, converted, &MainWindow::OnPlayDestination);
    menu->addSeparator();
    add(kConvertSelected, any, &MainWindow::OnConvertSelected);
    add(kConvertAll, listed, &MainWindow::OnConvertAll);
    menu->addSeparator();
    add(kBrowseSource, one, &MainWindow::OnBrowseSource);
    add(kBrowseDestination, converted, &MainWindow::OnBrowseDestination);
    menu->addSeparator();
    add(kAddFilesItem, true, &MainWindow::OnAddFiles);
    add(kAddFolderItem, true, &MainWindow::OnAddFolder);
    add(kRemoveItem, any, &MainWindow::OnRemove);
    add(kRemoveAllItem, listed, &MainWindow::OnRemoveAll);
    return menu;
}

void MainWindow::ShowContextMenu(const QPoint& globalPos) {
    std::unique_ptr<QMenu> menu = BuildContextMenu();
    menu->exec(globalPos);
}

// --- the batch's view of the window ----------------------------------------------------------------

void MainWindow::SetStatus(int row, const std::string& text) {
    m_model->SetStatus(row, text);
}
void MainWindow::SetStatusReason(int row, const std::string& reason) {
    m_model->SetStatusReason(row, reason);
}
void MainWindow::EnsureRowVisible(int row) {
    m_list->scrollTo(m_model->index(row, 0));
}
void MainWindow::SetStatusColumnWidth(int pixels) {
    m_list->header()->resizeSection(kStatusColumn, pixels);
}
void MainWindow::EnableMainWindow(bool enable) {
    setEnabled(enable);
    if (enable && isVisible()) activateWindow();  // the keys work again once the progress window is gone
}

std::unique_ptr<ProgressDialog> MainWindow::ShowProgressDialog() {
    auto dialog = std::make_unique<QtProgressDialog>(this);
    dialog->show();
    m_activeProgress = dialog.get();
    connect(dialog.get(), &QObject::destroyed, this, [this] { m_activeProgress = nullptr; });
    return dialog;
}

// --- events ------------------------------------------------------------------------------------------

void MainWindow::paintEvent(QPaintEvent*) {
    QPainter p(this);
    PaintWindowBackground(p, rect());
}

void MainWindow::resizeEvent(QResizeEvent* event) {
    // The list takes whatever the window gains; the title-bar buttons keep to the right edge, the
    // link to the bottom, the grip to the corner.
    const int w = width(), h = height();
    m_list->setGeometry(137, 63, w - 147, h - 73);
    const int fromRight[] = {75, 52, 30};
    for (int i = 0; i < 3; ++i) m_titleButtons[i]->move(w - fromRight[i], 11);
    m_link->move(9, h - 31);
    m_sizeGrip->move(w - m_sizeGrip->width(), h - m_sizeGrip->height());
    m_sizeGrip->raise();
    QWidget::resizeEvent(event);
}

void MainWindow::mousePressEvent(QMouseEvent* event) {
    // No title bar: the background moves the window.
    if (event->button() == Qt::LeftButton && windowHandle()) windowHandle()->startSystemMove();
    QWidget::mousePressEvent(event);
}

void MainWindow::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter || event->key() == Qt::Key_Escape) {
        event->accept();  // the window stays open
        return;
    }
    QWidget::keyPressEvent(event);
}

void MainWindow::closeEvent(QCloseEvent* event) {
    // While files are added or converted the loops hold rows of the list: closing now would free
    // them under the loop's feet, so the window stays until Cancel has ended the work.
    if (!isEnabled()) {
        event->ignore();
        return;
    }
    if (!m_closed) {
        m_closed = true;
        if (m_helpWindow) m_helpWindow->close();
        m_model->RemoveAll();
        m_services.settings.SaveSettings(m_services.store, SaveOnExit);
        if (auto key = m_services.store.CreateKey(ConversionSettings::kOptionsKey)) {
            key->SetDword(kWidthValue, static_cast<std::uint32_t>(width()));
            key->SetDword(kHeightValue, static_cast<std::uint32_t>(height()));
            key->Close();
        }
    }
    event->accept();
}

void MainWindow::dragEnterEvent(QDragEnterEvent* event) {
    if (event->mimeData()->hasUrls()) event->acceptProposedAction();
}

void MainWindow::dropEvent(QDropEvent* event) {
    std::vector<std::string> paths;
    for (const QUrl& url : event->mimeData()->urls())
        if (url.isLocalFile()) paths.push_back(ToSystemText(url.toLocalFile()));
    event->acceptProposedAction();
    if (!paths.empty())
        QMetaObject::invokeMethod(
            this, [this, paths] { AddDropped(paths); }, Qt::QueuedConnection);
}
