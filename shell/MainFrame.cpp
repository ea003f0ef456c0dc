#include "shell/MainFrame.h"

#include "engine/Paths.h"
#include "engine/TextPage.h"
#include "platform/Version.h"
#include "platform/qt/ApplicationIcon.h"
#include "shell/FolderChooser.h"
#include "shell/Icons.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QMenuBar>
#include <QPageSetupDialog>
#include <QPrintDialog>
#include <QPrinter>
#include <QStatusBar>
#include <QToolBar>
#include <QUrl>

#include <algorithm>
#include <cstdio>

namespace tessarel {
namespace {

constexpr std::u16string_view kReadingFiles = u"Reading files...";
constexpr std::u16string_view kReadyForSearch = u"Ready for search.";
constexpr std::u16string_view kEnterWords = u"Please, enter search words.";
constexpr int kTagRounds = 10;

QToolBar* BandOf(QMainWindow* window, QWidget* panel, const QString& name) {
    auto* band = new QToolBar(name, window);
    band->setObjectName(name);
    band->setMovable(false);
    band->setFloatable(false);
    band->setContextMenuPolicy(Qt::PreventContextMenu);
    band->addWidget(panel);
    window->addToolBarBreak(Qt::TopToolBarArea);
    window->addToolBar(Qt::TopToolBarArea, band);
    return band;
}

} // namespace

CMainFrame::CMainFrame(SettingsStore& settings, Notifier& notifier, const std::u16string& firstArgument,
                       QWidget* parent)
    : QMainWindow(parent), settings_(settings), notifier_(notifier) {
    // Construction: the settings holder loads every key.
    runs_ = std::make_unique<RunCoordinator>(
        [this](RunCoordinator::Kind, std::uint32_t message, const std::u16string& payload) {
            engineMessage(message, payload);
        });
    options_ = std::make_unique<COptionsSheet>(settings, notifier);
    options_->reload = [this] { reload(); };
    log_ = std::make_unique<CLogFile>(ProgramDirectory(settings), notifier);
    resultsShown = true;
    openDocument = [](const QString& path) { QDesktopServices::openUrl(QUrl::fromLocalFile(path)); };
    chooseFolder = [&settings](QWidget* owner, const QString& initial) {
        return CFolderChooser::choose(owner, initial, settings);
    };
    chooseOpenFile = [](QWidget* owner) {
        return QFileDialog::getOpenFileName(owner, QStringLiteral("Open"), QDir::homePath(),
                                            QStringLiteral("HTML pages (*.html *.htm);;All files (*)"));
    };
    chooseSaveFile = [](QWidget* owner) {
        return QFileDialog::getSaveFileName(owner, QStringLiteral("Save As"),
                                            QDir::home().filePath(QStringLiteral("results.html")),
                                            QStringLiteral("HTML pages (*.html *.htm)"));
    };

    // Creation. The view comes with the frame, before any reading run writes the log it empties.
    setWindowTitle(QStringLiteral("Tessarel ") + QLatin1String(kVersion));
    setWindowIcon(ApplicationIcon());
    view_ = new CTessView(settings, notifier, this);
    view_->handleLink = [this](const std::u16string& address) { HandleLink(address); };
    view_->focusSearch = [this] { searchBox()->setFocus(Qt::OtherFocusReason); };
    setCentralWidget(view_);
    connect(view_, &CTessView::historyChanged, this, &CMainFrame::updateHistoryCommands);

    buildMenus();
    uiScale_ = static_cast<float>(menuBar()->sizeHint().height()) * 0.05263158f;
    buildToolBar();
    buildSearchBar();
    connect(toolBar_, &QToolBar::visibilityChanged, action(ID_VIEW_TOOLBAR), &QAction::setChecked);
    messagePane_ = new QLabel(QStringLiteral("Ready"), this);
    statusBar()->addWidget(messagePane_, 1);
    limitPane_ = new QLabel(this);
    limitPane_->setVisible(false);
    statusBar()->addWidget(limitPane_);
    updateHistoryCommands();

    catalog_ = std::make_unique<CCatalog>(settings, runs_->sink(RunCoordinator::Reading), notifier);
    catalog_->rtf = &rtfConverter_;
    searcher_ = std::make_unique<CSearcher>(runs_->sink(RunCoordinator::Search));
    showHomeWhenRead = 1;

    // The folder of the command line, or the startup folder.
    const std::u16string folder = firstArgument.size() >= 4 ? firstArgument : options_->StartupDirectory;
    folderBox()->setText(QString::fromStdU16String(folder));
    if (!folder.empty()) {
        catalog_->folder = folder;
        startCatalog();
    }
    view_->firstDisplay(*options_);
    resize(1100, 800);
}

CMainFrame::~CMainFrame() {
    // Both threads end before either object goes: a search waiting for the reading run would
    // otherwise scan a catalogue destroyed under it. Closing does not wait for a long run to read
    // documents nobody will search.
    if (catalog_) {
        catalog_->requestStop();
        catalog_->waitForEnd();
    }
    searcher_->requestStop();
    searcher_->waitForEnd();
    catalog_.reset();
    searcher_.reset();
    options_.reset();
}

QMenu* CMainFrame::createPopupMenu() {
    return nullptr;
}

void CMainFrame::closeEvent(QCloseEvent* event) {
    // Out of sight at once; a reading run still going is waited for as the window goes.
    hide();
    event->accept();
}

QAction* CMainFrame::addCommand(int command, const QString& label, const QString& prompt, const QString& tip,
                                std::function<void()> run) {
    auto* action = new QAction(label, this);
    action->setData(command);
    if (!prompt.isEmpty())
        action->setStatusTip(prompt);
    if (!tip.isEmpty())
        action->setToolTip(tip);
    if (run)
        connect(action, &QAction::triggered, this, [run] { run(); });
    else
        action->setEnabled(false); // a command without a handler is offered disabled
    actions_[command] = action;
    return action;
}

QAction* CMainFrame::action(int command) const {
    const auto found = actions_.find(command);
    return found == actions_.end() ? nullptr : found->second;
}

void CMainFrame::buildMenus() {
    // The menu bar as a table: one line a command, in menu order. A command without a handler is
    // offered disabled; one with `checked` is a checkable item that starts checked.
    struct Command {
        const char* menu; // the menu it opens, or null: the previous command's menu
        bool separatorBefore;
        int id;
        const char* label;
        const char* prompt;
        const char* tip;
        std::optional<ToolIconKind> icon;
        std::vector<const char*> keys;
        std::function<void()> run;
        bool checked = false;
    };
    using K = ToolIconKind;
    const Command commands[] = {
        {"&File",
         false,
         ID_FILE_NEW,
         "New Search\tCtrl+N",
         "New Search",
         "New",
         K::New,
         {"Ctrl+N"},
         [this] { searchBox()->clear(); }},
        {nullptr,
         true,
         ID_FILE_OPEN,
         "Open...\tCtrl+O",
         "Open",
         "Open",
         K::Open,
         {"Ctrl+O"},
         [this] { openPage(); }},
        {nullptr,
         false,
         ID_FILE_SAVE,
         "Save\tCtrl+S",
         "Save",
         "Save",
         K::Save,
         {"Ctrl+S"},
         [this] { savePage(false); }},
        {nullptr,
         false,
         ID_FILE_SAVE_AS,
         "Save As...",
         "Save As",
         "Save As",
         {},
         {},
         [this] { savePage(true); }},
        {nullptr,
         true,
         ID_FILE_PRINT,
         "Print...\tCtrl+P",
         "Print current page",
         "Print",
         K::Print,
         {"Ctrl+P"},
         [this] { printPage(); }},
        {nullptr,
         false,
         ID_FILE_PAGE_SETUP,
         "Page Setup...",
         "Print Setup",
         "Print Setup",
         {},
         {},
         [this] { pageSetup(); }},
        {nullptr, true, ID_APP_EXIT, "Exit", "Exit", "Exit", {}, {}, [this] { close(); }},

        {"&Edit", false, ID_EDIT_UNDO, "Undo\tCtrl+Z", "Undo", "Undo", {}, {"Ctrl+Z", "Alt+Backspace"}, {}},
        {nullptr, true, ID_CUT, "Cut\tCtrl+X,", "Cut", "Cut", K::Cut, {"Ctrl+X"}, [this] { cut(); }},
        {nullptr, false, ID_COPY, "Copy\tCtrl+C", "Copy", "Copy", K::Copy, {"Ctrl+C"}, [this] { copy(); }},
        {nullptr,
         false,
         ID_PASTE,
         "Paste\tCtrl+V",
         "Paste",
         "Paste",
         K::Paste,
         {"Ctrl+V"},
         [this] { paste(); }},
        // The menu names Ctrl+F; the key works as the label says.
        {nullptr,
         true,
         ID_FIND,
         "Find\tCtrl+F",
         "Find in this page",
         "Find",
         K::Find,
         {"Ctrl+F"},
         [this] { view_->openFind(); }},

        {"&View",
         false,
         ID_VIEW_TOOLBAR,
         "Toolbars",
         "Show Toolbars",
         "Toolbars",
         {},
         {},
         [this] { toolBar_->setVisible(!toolBar_->isVisible()); },
         true},
        {nullptr,
         false,
         ID_VIEW_STATUS_BAR,
         "Status Bar",
         "Show Status Bar",
         "Status Bar",
         {},
         {},
         [this] { statusBar()->setVisible(!statusBar()->isVisible()); },
         true},
        {nullptr, true, ID_BACK, "Back,", "Back", "Back", K::Back, {}, [this] { view_->goBack(); }},
        {nullptr,
         false,
         ID_FORWARD,
         "Forward",
         "Forward",
         "Forward",
         K::Forward,
         {},
         [this] { view_->goForward(); }},
        {nullptr, true, ID_HOME, "Home page", "Home", "Home", K::Home, {}, [this] { view_->NavigateHome(); }},
        // Stop ends a reading run early (the catalogue keeps what was read) and a search (it
        // shows the hits found so far).
        {nullptr,
         true,
         ID_STOP,
         "Stop",
         "Stop",
         "Stop",
         K::Stop,
         {},
         [this] {
             if (catalog_)
                 catalog_->requestStop();
             searcher_->requestStop();
         }},
        {nullptr,
         false,
         ID_RELOAD,
         "Refresh",
         "Reload files from directory",
         "Reload files",
         K::Reload,
         {},
         [this] { reload(); }},

        {"&Tools", false, ID_OPTIONS, "Options", nullptr, nullptr, {}, {}, [this] { options_->show(this); }},

        {"&Help",
         false,
         ID_HELP_TESSAREL,
         "Tessarel Help",
         "Help",
         "Help",
         K::Help,
         {},
         [this] { view_->NavigateHelp(); }},
    };
    auto text = [](const char* t) { return t ? QString::fromUtf8(t) : QString(); };
    QMenu* menu = nullptr;
    for (const Command& c : commands) {
        if (c.menu)
            menu = menuBar()->addMenu(text(c.menu));
        else if (c.separatorBefore)
            menu->addSeparator();
        QAction* a = addCommand(c.id, text(c.label), text(c.prompt), text(c.tip), c.run);
        if (c.icon)
            a->setIcon(ToolIcon(*c.icon));
        QList<QKeySequence> keys;
        for (const char* k : c.keys)
            keys.append(QKeySequence(QString::fromLatin1(k)));
        if (!keys.isEmpty())
            a->setShortcuts(keys);
        if (c.checked) {
            a->setCheckable(true);
            a->setChecked(true);
        }
        menu->addAction(a);
    }
}

void CMainFrame::buildToolBar() {
    toolBar_ = addToolBar(QStringLiteral("Toolbar"));
    toolBar_->setObjectName(QStringLiteral("Toolbar"));
    toolBar_->setIconSize(QSize(24, 24));
    toolBar_->setFloatable(false);
    // Fixed like the search-bar rows; View > Toolbars is the one way to hide and show it.
    toolBar_->setMovable(false);
    toolBar_->setContextMenuPolicy(Qt::PreventContextMenu);
    const std::initializer_list<int> groups[] = {{ID_BACK, ID_FORWARD},
                                                 {ID_FILE_NEW, ID_FILE_OPEN, ID_FILE_SAVE},
                                                 {ID_CUT, ID_COPY, ID_PASTE},
                                                 {ID_STOP, ID_RELOAD, ID_HOME},
                                                 {ID_FIND},
                                                 {ID_FILE_PRINT},
                                                 {ID_HELP_TESSAREL}};
    bool first = true;
    for (const auto& group : groups) {
        if (!first)
            toolBar_->addSeparator();
        first = false;
        for (int command : group)
            toolBar_->addAction(action(command));
    }
}

void CMainFrame::buildSearchBar() {
    searchPanel_ = new CBarPanel(CBarPanel::SearchRow, uiScale_, this);
    folderPanel_ = new CBarPanel(CBarPanel::FolderRow, uiScale_, this);
    optionsPanel_ = new CBarPanel(CBarPanel::OptionsRow, uiScale_, this);
    searchPanel_->button->onSearch = [this] { StartSearch(); };
    folderPanel_->button->onBrowse = [this] { browse(); };
    // Enter in the search box is the dialog's OK command: search.
    connect(searchPanel_->box, &QLineEdit::returnPressed, this, &CMainFrame::StartSearch);
    BandOf(this, searchPanel_, QStringLiteral("Search"));
    BandOf(this, folderPanel_, QStringLiteral("Folder"));
    BandOf(this, optionsPanel_, QStringLiteral("Options"));
}

void CMainFrame::updateHistoryCommands() {
    action(ID_BACK)->setEnabled(view_->canGoBack == 1);
    action(ID_FORWARD)->setEnabled(view_->canGoForward == 1);
}

QString CMainFrame::statusText() const {
    return messagePane_->text();
}

QString CMainFrame::limitText() const {
    return limitPane_->isVisibleTo(this) ? limitPane_->text() : QString();
}

void CMainFrame::showLimitNotices() {
    // Beside the closing text, which stays as it is, until the next run ends.
    QStringList notices;
    for (const std::u16string& notice : catalog_->limitNotices())
        notices << QString::fromStdU16String(notice);
    limitPane_->setText(notices.join(QStringLiteral(". ")));
    limitPane_->setVisible(!notices.isEmpty());
}

void CMainFrame::engineMessage(std::uint32_t message, const std::u16string& payload) {
    switch (message) {
    case WM_ENGINE_STATUS:
        messagePane_->setText(QString::fromStdU16String(payload));
        messagePane_->repaint();
        break;
    case WM_SEARCH_DONE:
        // The newest search's own message: after it the thread only posts its status line and
        // ends, so its output is whole once that short wait is over.
        searcher_->waitForEnd();
        view_->ShowPage(searcher_->output(), false);
        resultsShown = true;
        break;
    case WM_SEARCH_WAITING:
        view_->ShowPage(kReadingFiles, false);
        break;
    case WM_READING_DONE:
        // The newest run's last message: its thread is ending, and a run asked for from now on
        // starts at once.
        catalog_->waitForEnd();
        showLimitNotices();
        documentPaths_.clear();
        for (int i = 0; i < catalog_->count(); ++i)
            documentPaths_.insert(catalog_->record(i).path);
        if (pendingFolder_) {
            // A run asked for while this one went: it starts now, and its end shows the page.
            const std::u16string folder = std::move(*pendingFolder_);
            pendingFolder_.reset();
            replaceCatalog(folder);
            if (pendingSearch_) {
                pendingSearch_ = false;
                StartSearch();
            }
            break;
        }
        if (showHomeWhenRead == 1)
            view_->NavigateHome();
        else
            view_->ShowPage(kReadyForSearch, true);
        break;
    default:
        break;
    }
}

void CMainFrame::StartReadingRun(const std::u16string& folder) {
    // Never two reading runs at once, and never a catalogue destroyed under its thread.
    if (catalog_ && catalog_->isRunning()) {
        // The running run's documents would be thrown away: end it now rather than read them.
        pendingFolder_ = folder;
        catalog_->requestStop();
        return;
    }
    replaceCatalog(folder);
}

void CMainFrame::replaceCatalog(const std::u16string& folder) {
    if (catalog_)
        catalog_->waitForEnd();
    // A search may be scanning the old catalogue. It shows nothing: its page's links would index
    // into the new catalogue.
    searcher_->requestStop();
    searcher_->waitForEnd();
    runs_->overtake(RunCoordinator::Search);
    catalog_.reset();
    catalog_ = std::make_unique<CCatalog>(settings_, runs_->sink(RunCoordinator::Reading), notifier_);
    catalog_->rtf = &rtfConverter_;
    catalog_->folder = folder;
    startCatalog();
}

void CMainFrame::startCatalog() {
    giveTypeSwitches(*catalog_);
    // Opened once, at the first run that wants it; a cache that can't be opened means reading
    // every document, as without one.
    if (!textCache_ && !textCacheTried_ && TextCacheEnabled(settings_)) {
        textCacheTried_ = true;
        std::string why;
        textCache_ = TextCache::open(TextCache::defaultFolder(), TextCacheLimitBytes(settings_), &why);
        if (!textCache_)
            std::fprintf(stderr, "Tessarel: the text cache is not used: %s\n", why.c_str());
    }
    catalog_->textCache = TextCacheEnabled(settings_) ? textCache_.get() : nullptr;
    runs_->begin(RunCoordinator::Reading);
    catalog_->start();
}

void CMainFrame::giveTypeSwitches(CCatalog& catalog) const {
    static_cast<TypeSwitches&>(catalog) = *options_;
}

void CMainFrame::reload() {
    StartReadingRun(folderBox()->text().toStdU16String());
}

void CMainFrame::browse() {
    showHomeWhenRead = 0;
    const std::optional<QString> chosen = chooseFolder(this, folderBox()->text());
    if (!chosen)
        return;
    folderBox()->setText(*chosen);
    view_->setHistoryState(CTessView::HistoryBack, 0);
    view_->setHistoryState(CTessView::HistoryForward, 0);
    resultsShown = false;
    StartReadingRun(chosen->toStdU16String());
}

void CMainFrame::StartSearch() {
    if (searcher_->isRunning())
        return;
    const COptionsSheet& o = *options_;
    searcher_->resultsPerFile = o.UnlimitedResults != 0
                                    ? CFileResults::kMaxHits
                                    : std::clamp(o.ResultsPerFile, 0, CFileResults::kMaxHits);
    searcher_->groupByFiles = o.groupByFiles;
    searcher_->query.fixBeginning = o.LimitLeft != 0 ? 1 : 0;
    searcher_->query.caseSensitive = optionsPanel_->caseSensitive->isChecked() ? 1 : 0;
    // The typed text, a blank, cut to 199 units.
    searcher_->query.setQueryText(searchBox()->text().toStdU16String());
    searcher_->query.split();
    if (searcher_->query.wordCount() == 0) {
        notifier_.warn(u"Tessarel", std::u16string(kEnterWords));
        searchBox()->setFocus(Qt::OtherFocusReason);
        return;
    }
    if (pendingFolder_) {
        // The catalogue now read is about to be replaced: search the new one instead.
        pendingSearch_ = true;
        return;
    }
    searcher_->catalog = catalog_.get();
    searcher_->order = optionsPanel_->orderList->currentIndex();
    searcher_->query.matchWord = optionsPanel_->matchWord->isChecked() ? 1 : 0;
    runs_->begin(RunCoordinator::Search);
    searcher_->start();
}

std::u16string AddressWithoutTags(std::u16string_view address) {
    std::u16string copy(address);
    for (int round = 0; round < kTagRounds; ++round) {
        const std::size_t open = copy.find(u'<');
        const std::size_t close = copy.find(u'>');
        if (open == std::u16string::npos || close == std::u16string::npos)
            break;
        copy = copy.substr(0, open) + copy.substr(close + 1);
    }
    return copy;
}

void CMainFrame::HandleLink(const std::u16string& address) {
    const std::u16string copy = AddressWithoutTags(address);
    const std::size_t openAt = copy.find(u"open#");
    if (openAt != std::u16string::npos && openDocument) {
        // Only a document of the catalogue is handed to the desktop: a page shown from elsewhere
        // may link to any file.
        const std::u16string path = copy.substr(openAt + 5);
        if (documentPaths_.count(path) != 0)
            openDocument(QString::fromStdU16String(path));
    }
    const std::size_t showAt = copy.find(u"show#");
    if (showAt == std::u16string::npos || !resultsShown || !catalog_)
        return;
    // The catalogue being filled by a reload is not read until its run has ended.
    if (catalog_->isRunning())
        return;
    const std::optional<ShowLink> link = ParseShowLink(copy, showAt);
    if (!link)
        return;
    const std::optional<std::u16string> page = BuildTextPage(*catalog_, *link, searcher_->query);
    if (page)
        view_->ShowPage(*page, true);
}

void CMainFrame::cut() {
    if (searchBox()->hasFocus())
        searchBox()->cut();
}

void CMainFrame::copy() {
    if (searchBox()->hasFocus())
        searchBox()->copy();
    else
        view_->copySelection();
}

void CMainFrame::paste() {
    if (searchBox()->hasFocus())
        searchBox()->paste();
}

void CMainFrame::openPage() {
    const QString file = chooseOpenFile(this);
    if (!file.isEmpty())
        view_->showSavedPage(file);
}

void CMainFrame::savePage(bool askName) {
    const QString shown = view_->shownFile();
    if (shown.isEmpty())
        return;
    QString target = savedFrom_ == shown ? savedPath_ : QString();
    if (askName || target.isEmpty()) {
        target = chooseSaveFile(this);
        if (target.isEmpty())
            return;
    }
    if (target == shown)
        return;
    QFile::remove(target);
    if (QFile::copy(shown, target)) {
        savedFrom_ = shown;
        savedPath_ = target;
    }
}

void CMainFrame::printPage() {
    if (!printer_)
        printer_ = std::make_unique<QPrinter>(QPrinter::HighResolution);
    QPrintDialog dialog(printer_.get(), this);
    if (dialog.exec() == QDialog::Accepted)
        view_->printPage(*printer_);
}

void CMainFrame::pageSetup() {
    if (!printer_)
        printer_ = std::make_unique<QPrinter>(QPrinter::HighResolution);
    QPageSetupDialog dialog(printer_.get(), this);
    dialog.exec();
}

} // namespace tessarel
