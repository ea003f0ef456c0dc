// The installer wizard as the user goes through it, on the offscreen platform.

#include "TestHome.h"

#include "installer/AdvancedPage.h"
#include "installer/AgreementPage.h"
#include "installer/BannerStatic.h"
#include "installer/DirectoryPage.h"
#include "installer/ExitDialog.h"
#include "installer/FinishPage.h"
#include "installer/InstallLayout.h"
#include "installer/ProgressPage.h"
#include "installer/ReadyPage.h"
#include "installer/SetupWizard.h"
#include "installer/WelcomePage.h"
#include "platform/qt/ApplicationIcon.h"

#include <QAbstractButton>
#include <QAction>
#include <QCheckBox>
#include <QDir>
#include <QFileInfo>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTimer>

using namespace tessarel;
using namespace tessarel::test;

namespace {

const QString kContextLine =
    QStringLiteral("       Include Tessarel in the context menu of the file manager\r\n");

bool Shown(CSetupWizard& wizard, QWizard::WizardButton which) {
    return wizard.button(which)->isVisible();
}

// Answers the exit dialog once it is up.
void AnswerExitDialog(bool yes) {
    QTimer::singleShot(0, [yes] {
        auto* dialog = dynamic_cast<CExitDialog*>(QApplication::activeModalWidget());
        QVERIFY(dialog != nullptr);
        QCOMPARE(dialog->windowTitle(), QStringLiteral("Exit installation"));
        QCOMPARE(dialog->yesButton()->text(), QStringLiteral("Yes"));
        QCOMPARE(dialog->noButton()->text(), QStringLiteral("No"));
        const QByteArray folder = qgetenv("TESSAREL_SHOT_DIR");
        if (!folder.isEmpty())
            dialog->grab().save(QString::fromLocal8Bit(folder) + QStringLiteral("/installer-exit.png"));
        (yes ? dialog->yesButton() : dialog->noButton())->click();
    });
}

void SaveShot(CSetupWizard& wizard, const char* name) {
    const QByteArray folder = qgetenv("TESSAREL_SHOT_DIR");
    if (!folder.isEmpty())
        wizard.grab().save(QString::fromLocal8Bit(folder) + QStringLiteral("/installer-") +
                           QLatin1String(name) + QStringLiteral(".png"));
}

} // namespace

class WizardTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> work_;
    std::unique_ptr<CSetupWizard> wizard_;
    QString before_;

    CSetupWizard& wizard() { return *wizard_; }
    void next() { wizard().button(QWizard::NextButton)->click(); }
    void back() { wizard().button(QWizard::BackButton)->click(); }
    void goTo(int page) {
        while (wizard().currentId() < page)
            next();
        QCOMPARE(wizard().currentId(), page);
    }

private slots:
    void init() {
        work_ = std::make_unique<QTemporaryDir>(QDir::homePath() + QStringLiteral("/work-XXXXXX"));
        MakeReleaseFolder(work_->filePath(QStringLiteral("release")));
        before_ = QDir::currentPath();
        QDir::setCurrent(work_->filePath(QStringLiteral("release")));
        wizard_ = std::make_unique<CSetupWizard>();
        wizard().show();
    }

    void cleanup() {
        wizard_.reset();
        QDir::setCurrent(before_);
        work_.reset();
        for (const char* folder : {"/.config", "/.local/share", "/Desktop"})
            QDir(QDir::homePath() + QLatin1String(folder)).removeRecursively();
    }

    void pagesShowTheirButtonsAndTexts() {
        QCOMPARE(wizard().currentId(), int(CSetupWizard::kWelcome));
        QCOMPARE(wizard().welcomePage()->title()->text(), QStringLiteral("Tessarel - installation"));
        QVERIFY(wizard().welcomePage()->body()->text().startsWith(
            QStringLiteral("This is the Tessarel installation program\n\n")));
        QVERIFY(!Shown(wizard(), QWizard::BackButton));
        QVERIFY(Shown(wizard(), QWizard::NextButton));
        QVERIFY(wizard().button(QWizard::NextButton)->isEnabled());
        QCOMPARE(wizard().button(QWizard::NextButton)->text(), QStringLiteral("Next >"));
        QCOMPARE(wizard().button(QWizard::CancelButton)->text(), QStringLiteral("Cancel"));
        // The window icon is the program's own, from the same drawing.
        QCOMPARE(wizard().windowIcon().availableSizes(), ApplicationIcon().availableSizes());
        QVERIFY(wizard().windowIcon().availableSizes().contains(QSize(256, 256)));
        SaveShot(wizard(), "welcome");

        next();
        QCOMPARE(wizard().currentPage()->title(), QStringLiteral("License Agreement "));
        QVERIFY(Shown(wizard(), QWizard::BackButton));
        QCOMPARE(wizard().button(QWizard::BackButton)->text(), QStringLiteral("< Back"));
        QCOMPARE(wizard().agreementPage()->agreementText()->toPlainText(), QStringLiteral("Test licence.\n"));
        QVERIFY(wizard().agreementPage()->acceptButton()->isChecked());
        SaveShot(wizard(), "agreement");

        next();
        QCOMPARE(wizard().directoryPage()->directoryEdit()->text(),
                 QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
                     QStringLiteral("/Tessarel"));
        QVERIFY(wizard().directoryPage()->directoryEdit()->isReadOnly());
        SaveShot(wizard(), "directory");

        next();
        QVERIFY(wizard().advancedPage()->startMenuBox()->isChecked());
        QVERIFY(wizard().advancedPage()->desktopBox()->isChecked());
        QVERIFY(wizard().advancedPage()->contextMenuBox()->isChecked());
        QCOMPARE(wizard().button(QWizard::NextButton)->text(), QStringLiteral("Next >"));
        SaveShot(wizard(), "options");

        next();
        QCOMPARE(wizard().button(QWizard::NextButton)->text(), QStringLiteral("Install"));
        QVERIFY(wizard().readyPage()->summaryEdit()->toPlainText().contains(kContextLine.trimmed()));
        SaveShot(wizard(), "summary");

        // Back restores "Next >"; forward again rebuilds the summary from the current choices.
        back();
        QCOMPARE(wizard().currentId(), int(CSetupWizard::kAdvanced));
        QCOMPARE(wizard().button(QWizard::NextButton)->text(), QStringLiteral("Next >"));
        wizard().advancedPage()->contextMenuBox()->setChecked(false);
        next();
        QCOMPARE(wizard().button(QWizard::NextButton)->text(), QStringLiteral("Install"));
        QVERIFY(!wizard().readyPage()->summaryEdit()->toPlainText().contains(
            QStringLiteral("Additional options:")));
        QVERIFY(wizard().readyPage()->summaryEdit()->toPlainText().contains(
            QStringLiteral("Create link on Desktop")));
    }

    void agreementRadiosEnableNext() {
        goTo(CSetupWizard::kAgreement);
        wizard().agreementPage()->declineButton()->click();
        QVERIFY(!wizard().button(QWizard::NextButton)->isEnabled());
        next();
        QCOMPARE(wizard().currentId(), int(CSetupWizard::kAgreement));
        wizard().agreementPage()->acceptButton()->click();
        QVERIFY(wizard().button(QWizard::NextButton)->isEnabled());
        next();
        QCOMPARE(wizard().currentId(), int(CSetupWizard::kDirectory));
    }

    void agreementIsDecoded_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("text");
        QTest::newRow("ascii") << QByteArray("Terms.\r\n") << QStringLiteral("Terms.\r\n");
        QTest::newRow("utf-8") << QByteArray("Лиценз ©") << QStringLiteral("Лиценз ©");
        QTest::newRow("windows-1251")
            << QByteArray("\xcb\xe8\xf6\xe5\xed\xe7 \xa9 \xb9") << QStringLiteral("Лиценз © №");
    }

    void agreementIsDecoded() {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, text);
        const QString path = work_->filePath(QStringLiteral("agreement.txt"));
        WriteFile(path, bytes);
        QCOMPARE(CAgreementPage::ReadAgreement(path), text);
        QVERIFY(CAgreementPage::ReadAgreement(work_->filePath(QStringLiteral("none.txt")))
                    .contains(QStringLiteral("License.txt")));
    }

    void summaryFollowsTheOptions_data() {
        QTest::addColumn<bool>("startMenu");
        QTest::addColumn<bool>("desktop");
        QTest::addColumn<bool>("contextMenu");
        QTest::addColumn<QString>("summary");
        const QString head = QStringLiteral("Directory:\r\n       /d/Tessarel\r\n\r\n");
        const QString links = QStringLiteral("Quick links to Tessarel:\r\n");
        const QString menu = QStringLiteral("       Create items in your Start menu programs\r\n");
        const QString desk = QStringLiteral("       Create link on Desktop\r\n");
        const QString more =
            QStringLiteral("Additional options:\r\n") + kContextLine + QStringLiteral("\r\n");
        QTest::newRow("all") << true << true << true << head + links + menu + desk + "\r\n" + more;
        QTest::newRow("context menu only") << false << false << true << head + more;
        QTest::newRow("none") << false << false << false << head;
        QTest::newRow("menu only") << true << false << false << head + links + menu + "\r\n";
        QTest::newRow("desktop and context") << false << true << true << head + links + desk + "\r\n" + more;
    }

    void summaryFollowsTheOptions() {
        QFETCH(bool, startMenu);
        QFETCH(bool, desktop);
        QFETCH(bool, contextMenu);
        QFETCH(QString, summary);
        QCOMPARE(CReadyPage::SummaryText(QStringLiteral("/d/Tessarel"), startMenu, desktop, contextMenu),
                 summary);
    }

    void browseSetsTheDirectory_data() {
        QTest::addColumn<QString>("chosen");
        QTest::addColumn<QString>("directory");
        QTest::newRow("folder") << "/opt/apps"
                                << "/opt/apps/Tessarel";
        QTest::newRow("trailing separator") << "/opt/apps/"
                                            << "/opt/apps/Tessarel";
        QTest::newRow("root") << "/"
                              << "/Tessarel";
        QTest::newRow("cancelled") << ""
                                   << "";
    }

    void browseSetsTheDirectory() {
        QFETCH(QString, chosen);
        QFETCH(QString, directory);
        goTo(CSetupWizard::kDirectory);
        const QString initial = wizard().installationDirectory();
        QString title;
        QString start;
        wizard().directoryPage()->setFolderPicker([&](QWidget*, const QString& t, const QString& s) {
            title = t;
            start = s;
            return chosen;
        });
        wizard().directoryPage()->browseButton()->click();
        QCOMPARE(title, QStringLiteral("Selection of Directories"));
        QCOMPARE(start, QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation));
        const QString expected = directory.isEmpty() ? initial : directory;
        QCOMPARE(wizard().installationDirectory(), expected);
        QCOMPARE(wizard().directoryPage()->directoryEdit()->text(), expected);
    }

    void cancelAsksAndNoKeepsThePage() {
        goTo(CSetupWizard::kAdvanced);
        wizard().advancedPage()->desktopBox()->setChecked(false);
        AnswerExitDialog(false);
        wizard().button(QWizard::CancelButton)->click();
        QVERIFY(wizard().isVisible());
        QCOMPARE(wizard().currentId(), int(CSetupWizard::kAdvanced));
        QVERIFY(!wizard().advancedPage()->desktopBox()->isChecked());

        AnswerExitDialog(true);
        wizard().button(QWizard::CancelButton)->click();
        QVERIFY(!wizard().isVisible());
        QCOMPARE(wizard().result(), int(QDialog::Rejected));
        // Nothing was installed.
        QVERIFY(!QFileInfo::exists(wizard().installationDirectory()));
        QVERIFY(!QFileInfo::exists(QDir::homePath() + QStringLiteral("/.config/Quendralight")));
    }

    void installRunsToTheFinishPage() {
        const QString target = work_->filePath(QStringLiteral("programs/Tessarel"));
        goTo(CSetupWizard::kDirectory);
        wizard().directoryPage()->setFolderPicker([&](QWidget*, const QString&, const QString&) {
            return work_->filePath(QStringLiteral("programs"));
        });
        wizard().directoryPage()->browseButton()->click();
        goTo(CSetupWizard::kReady);
        next();
        QCOMPARE(wizard().currentId(), int(CSetupWizard::kProgress));
        QVERIFY(!Shown(wizard(), QWizard::BackButton));
        QVERIFY(!Shown(wizard(), QWizard::NextButton));
        QVERIFY(!Shown(wizard(), QWizard::CancelButton));
        QCOMPARE(wizard().progressPage()->progressBar()->maximum(), 10);
        // Leaving is refused while the worker runs.
        wizard().reject();
        QVERIFY(wizard().isVisible());

        QTRY_COMPARE_WITH_TIMEOUT(wizard().currentId(), int(CSetupWizard::kFinish), 20000);
        QCOMPARE(wizard().progressPage()->progressBar()->value(), 9);
        QVERIFY(Shown(wizard(), QWizard::FinishButton));
        QCOMPARE(wizard().button(QWizard::FinishButton)->text(), QStringLiteral("Finish"));
        QVERIFY(!Shown(wizard(), QWizard::BackButton));
        QVERIFY(!Shown(wizard(), QWizard::CancelButton));
        QCOMPARE(wizard().finishPage()->title()->text(),
                 QStringLiteral("Tessarel installation\nfinished successfully"));
        SaveShot(wizard(), "finish");
        QVERIFY(QFileInfo(ProgramPath(target)).isExecutable());
        QVERIFY(QFileInfo::exists(FolderEntryPath()));

        wizard().button(QWizard::FinishButton)->click();
        QCOMPARE(wizard().result(), int(QDialog::Accepted));
    }

    void windowHasTheMinimizeItem() {
        QVERIFY(wizard().windowFlags() & Qt::WindowMinimizeButtonHint);
        QCOMPARE(wizard().minimizeAction()->text(), QStringLiteral("Minimize"));
        QVERIFY(wizard().actions().contains(wizard().minimizeAction()));
        QCOMPARE(wizard().windowTitle(), QStringLiteral("Tessarel - installation"));
    }
};

TESSAREL_INSTALLER_TEST_MAIN(WizardTest)
#include "WizardTest.moc"
