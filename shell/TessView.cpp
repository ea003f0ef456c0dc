#include "shell/TessView.h"

#include "engine/Paths.h"
#include "shell/OptionsSheet.h"
#include "platform/Text.h"

#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPrinter>
#include <QPushButton>
#include <QTimer>
#include <QWebEngineHistory>
#include <QWebEngineProfile>
#include <QWebEngineSettings>

namespace tessarel {
namespace {

bool HasMarker(const std::u16string& address) {
    return address.find(u"open#") != std::u16string::npos || address.find(u"show#") != std::u16string::npos;
}

} // namespace

std::u16string DecodedAddress(const QUrl& url) {
    return QString::fromUtf8(QByteArray::fromPercentEncoding(url.toEncoded())).toStdU16String();
}

// ---- CTessPage

CTessPage::CTessPage(QWebEngineProfile* profile, Hook beforeNavigate, QObject* parent)
    : QWebEnginePage(profile, parent), beforeNavigate_(std::move(beforeNavigate)) {}

bool CTessPage::acceptNavigationRequest(const QUrl& url, NavigationType type, bool isMainFrame) {
    return beforeNavigate_(url, type == NavigationTypeLinkClicked, isMainFrame);
}

// ---- CFindDialog

CFindDialog::CFindDialog(QWebEngineView* view) : QDialog(view), view_(view) {
    setWindowTitle(QStringLiteral("Find"));
    text = new QLineEdit(this);
    matchCase = new QCheckBox(QStringLiteral("Match case"), this);
    auto* next = new QPushButton(QStringLiteral("Find Next"), this);
    auto* previous = new QPushButton(QStringLiteral("Find Previous"), this);
    auto* close = new QPushButton(QStringLiteral("Close"), this);
    next->setDefault(true);
    connect(next, &QPushButton::clicked, this, [this] { find(false); });
    connect(previous, &QPushButton::clicked, this, [this] { find(true); });
    connect(close, &QPushButton::clicked, this, &QDialog::hide);
    connect(text, &QLineEdit::returnPressed, this, [this] { find(false); });
    auto* layout = new QHBoxLayout(this);
    layout->addWidget(text, 1);
    layout->addWidget(matchCase);
    layout->addWidget(next);
    layout->addWidget(previous);
    layout->addWidget(close);
}

void CFindDialog::find(bool backward) {
    QWebEnginePage::FindFlags flags;
    if (backward)
        flags |= QWebEnginePage::FindBackward;
    if (matchCase->isChecked())
        flags |= QWebEnginePage::FindCaseSensitively;
    view_->findText(text->text(), flags);
}

// ---- CTessView

CTessView::CTessView(SettingsStore& settings, Notifier& notifier, QWidget* parent)
    : QWebEngineView(parent), settings_(settings), log_(ProgramDirectory(settings), notifier) {
    // An off-the-record profile: the view keeps no cache or cookies on disk.
    profile_ = new QWebEngineProfile(this);
    guard_ = new ContentsGuard(this);
    profile_->setUrlRequestInterceptor(guard_);
    page_ = new CTessPage(
        profile_,
        [this](const QUrl& url, bool clicked, bool mainFrame) {
            return beforeNavigate(url, clicked, mainFrame);
        },
        this);
    QWebEngineSettings* s = page_->settings();
    s->setAttribute(QWebEngineSettings::JavascriptEnabled, false);
    s->setAttribute(QWebEngineSettings::PluginsEnabled, false);
    s->setAttribute(QWebEngineSettings::LocalStorageEnabled, false);
    s->setAttribute(QWebEngineSettings::PdfViewerEnabled, false);
    s->setAttribute(QWebEngineSettings::NavigateOnDropEnabled, false);
    s->setAttribute(QWebEngineSettings::AutoLoadIconsForPage, false);
    setPage(page_);
    // Right clicks show no menu.
    setContextMenuPolicy(Qt::NoContextMenu);

    connect(page_, &QWebEnginePage::loadFinished, this, &CTessView::loaded);
    connect(page_, &QWebEnginePage::urlChanged, this, [this] {
        setHistoryState(HistoryBack, history()->canGoBack() ? 1 : 0);
        setHistoryState(HistoryForward, history()->canGoForward() ? 1 : 0);
    });
}

CTessView::~CTessView() {
    // The page goes before its profile.
    delete page_;
    page_ = nullptr;
}

QString CTessView::contentsFolder() const { return QDir::cleanPath(pageDirectory_ + QStringLiteral("/contents")); }

void CTessView::firstDisplay(const COptionsSheet& options) {
    focusSearchOnLoad_ = true;
    options_ = &options;
    const std::string programDirectory = ProgramDirectory(settings_);
    pageDirectory_ = programDirectory.empty() ? QDir::currentPath() : QString::fromStdString(programDirectory);
    writer_ = std::make_unique<PageWriter>(pageDirectory_.toStdString());
    guard_->setContentsFolder(contentsFolder());
    NavigateHome();
}

void CTessView::navigateToFile(const QString& file, bool jump) {
    QUrl url = QUrl::fromLocalFile(file);
    if (jump)
        url.setFragment(QStringLiteral("point1"));
    load(url);
}

void CTessView::NavigateHome() { navigateToFile(contentsFolder() + QStringLiteral("/home.html"), false); }

void CTessView::NavigateHelp() { navigateToFile(contentsFolder() + QStringLiteral("/help.html"), false); }

void CTessView::ShowPage(std::u16string_view body, bool jump) {
    if (!writer_ || !options_)
        return;
    showTimer_.start();
    const std::optional<std::string> file = writer_->write(body, options_->FontFace, options_->FontSize);
    if (!file)
        return;
    navigateToFile(QString::fromStdString(*file), jump);
}

bool CTessView::showSavedPage(const QString& file) {
    if (!writer_)
        return false;
    QFile in(file);
    if (!in.open(QIODevice::ReadOnly))
        return false;
    const QByteArray bytes = in.readAll();
    // A page opened from elsewhere is copied into the contents folder, the only place the view
    // loads from, where its images resolve as they did when it was shown.
    const QString copy = contentsFolder() + QStringLiteral("/opened%1.html").arg(++openedNumber_);
    QFile out(copy);
    if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate) || out.write(bytes) != bytes.size())
        return false;
    out.close();
    navigateToFile(copy, false);
    return true;
}

QString CTessView::shownFile() const {
    const QUrl shown = url();
    return shown.isLocalFile() ? shown.toLocalFile() : QString();
}

bool CTessView::beforeNavigate(const QUrl& url, bool clicked, bool mainFrame) {
    const std::u16string address = DecodedAddress(url);
    if (HasMarker(address)) {
        // Only the user's click in the page acts: a page's refresh or redirect to a link must
        // not open a file or show a text on its own.
        if (clicked && mainFrame && handleLink) {
            // Handled once this navigation has been answered: a link may show a new page.
            QTimer::singleShot(0, this, [this, address] {
                if (handleLink)
                    handleLink(address);
            });
        }
        return false;
    }
    return url.isLocalFile() && guard_->servedPath(url.toLocalFile()).has_value();
}

void CTessView::loaded(bool ok) {
    if (showTimer_.isValid()) {
        lastShowMs_ = showTimer_.elapsed();
        showTimer_.invalidate();
    }
    setHistoryState(HistoryBack, history()->canGoBack() ? 1 : 0);
    setHistoryState(HistoryForward, history()->canGoForward() ? 1 : 0);
    if (focusSearchOnLoad_) {
        focusSearchOnLoad_ = false;
        if (focusSearch)
            focusSearch();
    }
    emit pageLoaded(ok);
}

void CTessView::setHistoryState(HistoryKind kind, int state) {
    if (state != 0 && state != 1)
        return;
    int& flag = kind == HistoryBack ? canGoBack : canGoForward;
    if (flag == state)
        return;
    flag = state;
    emit historyChanged();
}

void CTessView::goBack() {
    if (canGoBack == 1)
        back();
}

void CTessView::goForward() {
    if (canGoForward == 1)
        forward();
}

void CTessView::openFind() {
    if (url().isEmpty())
        return;
    if (!find_)
        find_ = new CFindDialog(this);
    find_->show();
    find_->raise();
    find_->activateWindow();
    find_->text->setFocus();
}

void CTessView::copySelection() { triggerPageAction(QWebEnginePage::Copy); }

void CTessView::printPage(QPrinter& printer) { print(&printer); }

} // namespace tessarel
