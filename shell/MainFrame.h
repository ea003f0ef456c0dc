#pragma once
// The main window: menus, toolbar, the three search-bar rows, the status bar and the results
// view; it owns the settings holder, the RTF converter, the current catalogue and the searcher,
// turns commands into reading runs and searches, and engine messages into status texts and pages.

#include "engine/Catalog.h"
#include "engine/LogFile.h"
#include "engine/Searcher.h"
#include "extract/RtfConverter.h"
#include "shell/BarPanel.h"
#include "shell/OptionsSheet.h"
#include "shell/RunCoordinator.h"
#include "shell/TessView.h"

#include <QMainWindow>

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <unordered_set>

class QAction;
class QLabel;
class QPrinter;
class QToolBar;

namespace tessarel {

// Command numbers of the menus, toolbar and accelerators.
enum Command : int {
    ID_FILE_NEW = 57600,
    ID_FILE_OPEN = 57601,
    ID_FILE_SAVE = 57603,
    ID_FILE_SAVE_AS = 57604,
    ID_FILE_PAGE_SETUP = 57606,
    ID_FILE_PRINT = 57607,
    ID_APP_EXIT = 57665,
    ID_EDIT_UNDO = 57643,
    ID_HELP_TESSAREL = 4192,
    ID_BACK = 4196,
    ID_FORWARD = 4197,
    ID_STOP = 4198,
    ID_RELOAD = 4199,
    ID_HOME = 4200,
    ID_FIND = 4201,
    ID_CUT = 4202,
    ID_COPY = 4203,
    ID_PASTE = 4204,
    ID_OPTIONS = 4205,
    ID_VIEW_TOOLBAR = 59392,
    ID_VIEW_STATUS_BAR = 59393,
};

// The address with tag-like spans cut out, ten rounds at most: marking may have put spans into
// a link's target.
std::u16string AddressWithoutTags(std::u16string_view address);

class CMainFrame : public QMainWindow {
    Q_OBJECT
public:
    // firstArgument: the process's first argument (empty when absent).
    CMainFrame(SettingsStore& settings, Notifier& notifier, const std::u16string& firstArgument,
               QWidget* parent = nullptr);
    ~CMainFrame() override;

    void StartReadingRun(const std::u16string& folder);
    void StartSearch();
    void HandleLink(const std::u16string& address);
    void browse();
    void reload();
    // A posted engine message, on the UI thread.
    void engineMessage(std::uint32_t message, const std::u16string& payload);

    COptionsSheet& options() { return *options_; }
    CCatalog* catalog() { return catalog_.get(); }
    CSearcher& searcher() { return *searcher_; }
    RunCoordinator& runs() { return *runs_; }
    CTessView* view() { return view_; }
    QLineEdit* searchBox() { return searchPanel_->box; }
    QLineEdit* folderBox() { return folderPanel_->box; }
    CBarPanel* searchPanel() { return searchPanel_; }
    QAction* action(int command) const;
    QString statusText() const;
    // What the status bar says the latest reading run left unread; empty when nothing.
    QString limitText() const;

    bool resultsShown = true;
    std::int32_t showHomeWhenRead = 0;

    // The desktop's open action, and the folder picker of Browse; replaced by tests.
    std::function<void(const QString& path)> openDocument;
    std::function<std::optional<QString>(QWidget* owner, const QString& initial)> chooseFolder;
    // The file pickers of Open... and Save As... (empty: cancelled).
    std::function<QString(QWidget* owner)> chooseOpenFile;
    std::function<QString(QWidget* owner)> chooseSaveFile;

    // The bars are fixed: the toolbar area offers no menu that could hide them.
    QMenu* createPopupMenu() override;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    QAction* addCommand(int command, const QString& label, const QString& prompt, const QString& tip,
                        std::function<void()> run);
    void buildMenus();
    void buildToolBar();
    void buildSearchBar();
    void updateHistoryCommands();
    void replaceCatalog(const std::u16string& folder);
    void showLimitNotices();
    void startCatalog();
    void giveTypeSwitches(CCatalog& catalog) const;
    void cut();
    void copy();
    void paste();
    void openPage();
    void savePage(bool askName);
    void printPage();
    void pageSetup();

    SettingsStore& settings_;
    Notifier& notifier_;
    // Made before and destroyed after the catalogue and the searcher, whose threads post to it.
    std::unique_ptr<RunCoordinator> runs_;
    CBarPanel* searchPanel_ = nullptr;
    QLabel* messagePane_ = nullptr;
    // What the latest reading run left unread for a limit; hidden when it read everything.
    QLabel* limitPane_ = nullptr;
    QToolBar* toolBar_ = nullptr;
    CBarPanel* folderPanel_ = nullptr;
    CBarPanel* optionsPanel_ = nullptr;
    RtfConverterControl rtfConverter_;
    std::unique_ptr<COptionsSheet> options_;
    float uiScale_ = 1.0f;
    // Before the catalogue, so that it outlives every catalogue that uses it.
    std::unique_ptr<TextCache> textCache_;
    bool textCacheTried_ = false;
    std::unique_ptr<CCatalog> catalog_;
    std::unique_ptr<CSearcher> searcher_;
    std::unique_ptr<CLogFile> log_;
    CTessView* view_ = nullptr;
    std::map<int, QAction*> actions_;
    std::unique_ptr<QPrinter> printer_;
    // A reading run asked for while one is going starts when that one has ended, and a search
    // asked for meanwhile starts on the new catalogue.
    std::optional<std::u16string> pendingFolder_;
    bool pendingSearch_ = false;
    // The documents of the last catalogue read: the only paths an "open#" link may open.
    std::unordered_set<std::u16string> documentPaths_;
    QString savedPath_;
    QString savedFrom_;
};

} // namespace tessarel
