#pragma once
// The results view: an embedded browser that shows the home, help, status, result and text pages
// of the contents folder. Every navigation passes the main window's link handling first; "open#"
// and "show#" addresses are never loaded. Script is off and only the contents folder is reachable.

#include "engine/LogFile.h"
#include "engine/Pages.h"
#include "platform/Notifier.h"
#include "platform/SettingsStore.h"
#include "shell/ContentsGuard.h"

#include <QDialog>
#include <QElapsedTimer>
#include <QWebEnginePage>
#include <QWebEngineView>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

class QCheckBox;
class QLineEdit;
class QPrinter;
class QWebEngineProfile;

namespace tessarel {

class COptionsSheet;

class CTessPage : public QWebEnginePage {
    Q_OBJECT
public:
    // clicked: the user followed a link (not a redirect, a refresh or a typed address).
    using Hook = std::function<bool(const QUrl& url, bool clicked, bool mainFrame)>;
    CTessPage(QWebEngineProfile* profile, Hook beforeNavigate, QObject* parent);

protected:
    bool acceptNavigationRequest(const QUrl& url, NavigationType type, bool isMainFrame) override;

private:
    Hook beforeNavigate_;
};

// The find-in-page window.
class CFindDialog : public QDialog {
    Q_OBJECT
public:
    explicit CFindDialog(QWebEngineView* view);
    QLineEdit* text = nullptr;
    QCheckBox* matchCase = nullptr;

private:
    void find(bool backward);
    QWebEngineView* view_;
};

class CTessView : public QWebEngineView {
    Q_OBJECT
public:
    enum HistoryKind { HistoryBack, HistoryForward };

    CTessView(SettingsStore& settings, Notifier& notifier, QWidget* parent);
    ~CTessView() override;

    // Set by the main window before the first display.
    std::function<void(const std::u16string& address)> handleLink;
    std::function<void()> focusSearch;

    // Takes the page folder from ProgramDirectory (empty: the current directory) and shows home.
    void firstDisplay(const COptionsSheet& options);
    void NavigateHome();
    void NavigateHelp();
    // Writes `body` as the next content page and shows it, at "#point1" when `jump` is set.
    void ShowPage(std::u16string_view body, bool jump);
    // Shows a saved page: its bytes become the next content page.
    bool showSavedPage(const QString& file);
    // The file of the page now shown (a content, home or help page), or empty.
    QString shownFile() const;

    void goBack();
    void goForward();
    // The browser's history state; the main window also clears both after a folder choice.
    void setHistoryState(HistoryKind kind, int state);
    int canGoBack = 0;
    int canGoForward = 0;

    void openFind();
    void copySelection();
    void printPage(QPrinter& printer);

    int pageNumber() const { return writer_ ? writer_->pageNumber() : 1; }
    const QString& pageDirectory() const { return pageDirectory_; }
    QString contentsFolder() const;
    // The time from the last ShowPage to its page being loaded, in milliseconds.
    qint64 lastShowMilliseconds() const { return lastShowMs_; }

signals:
    void historyChanged();
    // A page finished loading (ok or not).
    void pageLoaded(bool ok);

private:
    bool beforeNavigate(const QUrl& url, bool clicked, bool mainFrame);
    void loaded(bool ok);
    void navigateToFile(const QString& file, bool jump);

    SettingsStore& settings_;
    const COptionsSheet* options_ = nullptr;
    std::unique_ptr<PageWriter> writer_;
    bool focusSearchOnLoad_ = false;
    QString pageDirectory_;
    CLogFile log_;
    QWebEngineProfile* profile_ = nullptr;
    ContentsGuard* guard_ = nullptr;
    CTessPage* page_ = nullptr;
    CFindDialog* find_ = nullptr;
    QElapsedTimer showTimer_;
    qint64 lastShowMs_ = -1;
    int openedNumber_ = 0;
};

// The address as the link rules read it: percent escapes decoded.
std::u16string DecodedAddress(const QUrl& url);

} // namespace tessarel
