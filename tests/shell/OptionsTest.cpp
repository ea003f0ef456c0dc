// The "Options" dialog and the font chooser through their real widgets, on the offscreen platform.

#include "ShellFixture.h"

#include "shell/FolderChooser.h"
#include "shell/FontDialog.h"
#include "shell/OptionsDialog.h"

#include <QCheckBox>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QTabWidget>

using namespace tessarel;
using namespace tessarel::testing;

namespace {

const std::string kSection = kSettingsSection;
const char* const kSwitchKeys[] = {"FilesText", "FilesRtf",  "FilesDoc",  "FilesPdf", "FilesDocx",
                                   "FilesXlsx", "FilesPptx", "FilesOdt",  "FilesOds", "FilesOdp",
                                   "FilesEpub", "FilesMail", "TextExtensions"};

// A check box takes clicks on its box and caption only, not on the rest of its row.
void Click(QAbstractButton* button) {
    const bool checkBox = qobject_cast<QCheckBox*>(button) != nullptr;
    QTest::mouseClick(button, Qt::LeftButton, {}, checkBox ? QPoint(6, button->height() / 2) : QPoint());
}

} // namespace

class OptionsTest : public QObject {
    Q_OBJECT

    MemorySettingsStore store;
    RecordingNotifier notifier;
    int reloads = 0;

    std::unique_ptr<COptionsSheet> makeSheet() {
        auto sheet = std::make_unique<COptionsSheet>(store, notifier);
        sheet->reload = [this] { ++reloads; };
        sheet->chooseFolder = [](QWidget*, const QString&) { return std::optional<QString>(); };
        sheet->chooseFont = [](QWidget*, const FontChoice&) { return std::optional<FontChoice>(); };
        return sheet;
    }

private slots:
    void init() {
        store = MemorySettingsStore();
        reloads = 0;
        store.writeInt(kSection, "ResultsPerFile", 4);
        store.writeInt(kSection, "groupByFiles", 1);
        store.writeString(kSection, "FontFace", u"Times New Roman");
        store.writeInt(kSection, "FontSize", 12);
        store.writeInt(kSection, "FilesText", 1);
        store.writeInt(kSection, "FilesPdf", 1);
    }

    void freshProfileReadsDefaults() {
        store = MemorySettingsStore();
        COptionsSheet sheet(store, notifier);
        QCOMPARE(sheet.FontFace, std::u16string());
        QCOMPARE(sheet.FontSize, 0);
        QCOMPARE(sheet.FilesText + sheet.FilesRtf + sheet.FilesDoc + sheet.FilesPdf + sheet.FilesDocx +
                     sheet.FilesXlsx + sheet.FilesPptx + sheet.FilesOdt,
                 0);
        // The later types are on and the text type takes today's extensions until said otherwise.
        QCOMPARE(sheet.FilesOds + sheet.FilesOdp + sheet.FilesEpub + sheet.FilesMail, 4);
        QCOMPARE(sheet.TextExtensions, std::u16string(kTextExtensionsOfToday));
    }

    void okAtOnceWritesNothing() {
        auto sheet = makeSheet();
        auto dialog = sheet->createDialog(nullptr);
        dialog->show();
        QCOMPARE(dialog->windowTitle(), QStringLiteral("Options"));
        QCOMPARE(dialog->tabs->tabText(0), QStringLiteral("General"));
        QCOMPARE(dialog->tabs->tabText(1), QStringLiteral("View"));
        QCOMPARE(dialog->tabs->tabText(2), QStringLiteral("File types"));
        QVERIFY(!dialog->applyButton->isEnabled());
        const int writes = store.writeCount();
        Click(dialog->okButton);
        QCOMPARE(store.writeCount(), writes);
        QCOMPARE(dialog->result(), int(QDialog::Accepted));
    }

    void unlimitedRuleLeavesResultsPerFile() {
        auto sheet = makeSheet();
        auto dialog = sheet->createDialog(nullptr);
        dialog->show();
        QVERIFY(dialog->resultsSpin->isEnabled());
        Click(dialog->unlimitedBox);
        QVERIFY(!dialog->resultsSpin->isEnabled());
        QVERIFY(!dialog->resultsLabel->isEnabled());
        QVERIFY(dialog->applyButton->isEnabled());
        Click(dialog->okButton);
        QCOMPARE(store.readInt(kSection, "UnlimitedResults", -1), 1);
        QCOMPARE(store.readInt(kSection, "ResultsPerFile", -1), 4);

        dialog = sheet->createDialog(nullptr);
        dialog->show();
        QVERIFY(!dialog->applyButton->isEnabled());
        QVERIFY(!dialog->resultsSpin->isEnabled());
        Click(dialog->unlimitedBox);
        QVERIFY(dialog->resultsSpin->isEnabled());
        Click(dialog->okButton);
        QCOMPARE(store.readInt(kSection, "UnlimitedResults", -1), 0);
        QCOMPARE(store.readInt(kSection, "ResultsPerFile", -1), 4);
    }

    void resultsPerFileStaysWithinRange_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<int>("stored");
        QTest::newRow("in range") << QStringLiteral("7") << 7;
        // The box refuses a keystroke that would leave 0 to 20.
        QTest::newRow("too large") << QStringLiteral("99") << 9;
        QTest::newRow("not a number") << QStringLiteral("x") << 4;
        QTest::newRow("negative") << QStringLiteral("-3") << 3;
    }
    void resultsPerFileStaysWithinRange() {
        QFETCH(QString, typed);
        QFETCH(int, stored);
        auto sheet = makeSheet();
        auto dialog = sheet->createDialog(nullptr);
        dialog->show();
        QLineEdit* edit = dialog->resultsSpin->findChild<QLineEdit*>();
        edit->selectAll();
        QTest::keyClicks(edit, typed);
        // Typing alone does not enable Apply.
        QVERIFY(!dialog->applyButton->isEnabled());
        Click(dialog->groupBox);
        Click(dialog->applyButton);
        QCOMPARE(store.readInt(kSection, "ResultsPerFile", -1), stored);
        QCOMPARE(dialog->resultsSpin->value(), stored);
        QVERIFY(!dialog->applyButton->isEnabled());
    }

    void spinArrowsEnableApply() {
        auto sheet = makeSheet();
        auto dialog = sheet->createDialog(nullptr);
        dialog->show();
        dialog->resultsSpin->setFocus();
        QTest::keyClick(dialog->resultsSpin, Qt::Key_Up);
        QVERIFY(dialog->applyButton->isEnabled());
        Click(dialog->okButton);
        QCOMPARE(store.readInt(kSection, "ResultsPerFile", -1), 5);
    }

    void documentsReadAtMostShowsTheCapAndStoresOnlyAChange() {
        auto sheet = makeSheet();
        auto dialog = sheet->createDialog(nullptr);
        dialog->show();
        // No setting: the default cap, and a save leaves the profile without one.
        QCOMPARE(dialog->maxDocumentsSpin->value(), 10000);
        QCOMPARE(dialog->maxDocumentsSpin->maximum(), 1000000);
        Click(dialog->groupBox);
        Click(dialog->okButton);
        QCOMPARE(store.readInt(kSection, "MaxDocuments", -1), -1);

        dialog = sheet->createDialog(nullptr);
        dialog->show();
        dialog->maxDocumentsSpin->selectAll();
        QTest::keyClicks(dialog->maxDocumentsSpin, QStringLiteral("250000"));
        QVERIFY(dialog->applyButton->isEnabled());
        Click(dialog->okButton);
        QCOMPARE(store.readInt(kSection, "MaxDocuments", -1), 250000);

        // What is stored shows at the next opening; more than the most is shown as the most.
        store.writeInt(kSection, "MaxDocuments", 5000000);
        auto again = makeSheet();
        dialog = again->createDialog(nullptr);
        QCOMPARE(dialog->maxDocumentsSpin->value(), 1000000);
    }

    void recognitionSwitchAndLanguagesAreSavedWithTheTypes() {
        store = MemorySettingsStore();
        auto sheet = makeSheet();
        auto dialog = sheet->createDialog(nullptr);
        dialog->show();
        dialog->tabs->setCurrentIndex(2);
        QVERIFY(!dialog->ocrBox->isChecked());
        QCOMPARE(dialog->ocrLanguagesEdit->text(), QStringLiteral("eng"));
        QVERIFY(dialog->ocrInstalledLabel->text().contains(QStringLiteral("eng")));
        QCOMPARE(dialog->typeBoxes[12]->text(), QStringLiteral("Images (text recognition)"));
        Click(dialog->ocrBox);
        QVERIFY(dialog->typeBoxes[12]->isChecked()); // FilesImages, missing: on
        dialog->ocrLanguagesEdit->setText(QStringLiteral(" eng+deu "));
        Click(dialog->okButton);
        QCOMPARE(store.readInt(kSection, "Ocr", -1), 1);
        QCOMPARE(store.readInt(kSection, "FilesImages", -1), 1);
        QCOMPARE(store.readString(kSection, "OcrLanguages", u""), std::u16string(u"eng+deu"));
        QCOMPARE(sheet->Ocr, 1);
    }


    void startupFolderFromBrowse() {
        auto sheet = makeSheet();
        QString initial;
        sheet->chooseFolder = [&](QWidget*, const QString& from) {
            initial = from;
            return std::optional<QString>(QStringLiteral("/srv/documents"));
        };
        store.writeString(kSection, "StartupDirectory", u"/home/u/papers");
        sheet = makeSheet();
        sheet->chooseFolder = [&](QWidget*, const QString& from) {
            initial = from;
            return std::optional<QString>(QStringLiteral("/srv/documents"));
        };
        auto dialog = sheet->createDialog(nullptr);
        dialog->show();
        Click(dialog->browseButton);
        QCOMPARE(initial, QStringLiteral("/home/u/papers"));
        QCOMPARE(dialog->startupEdit->text(), QStringLiteral("/srv/documents"));
        QVERIFY(dialog->applyButton->isEnabled());
        Click(dialog->cancelButton);
        // Cancel keeps the stored and the current values.
        QCOMPARE(store.readString(kSection, "StartupDirectory", u""), std::u16string(u"/home/u/papers"));
        QCOMPARE(sheet->StartupDirectory, std::u16string(u"/home/u/papers"));
    }

    void fileTypesAppliedWithoutReload() {
        auto sheet = makeSheet();
        auto dialog = sheet->createDialog(nullptr);
        dialog->show();
        dialog->tabs->setCurrentIndex(2);
        QVERIFY(dialog->typeBoxes[0]->isChecked());   // FilesText
        QVERIFY(!dialog->typeBoxes[3]->isChecked());  // FilesDocx
        QVERIFY(dialog->typeBoxes[4]->isChecked());   // FilesPdf
        QCOMPARE(dialog->typeBoxes[3]->text(), QStringLiteral("Microsoft Word documents (docx)"));
        Click(dialog->typeBoxes[3]);
        Click(dialog->typeBoxes[4]);
        Click(dialog->applyButton);
        QCOMPARE(store.readInt(kSection, "FilesDocx", -1), 1);
        QCOMPARE(store.readInt(kSection, "FilesPdf", -1), 0);
        QCOMPARE(store.readInt(kSection, "FilesText", -1), 1);
        QCOMPARE(sheet->FilesDocx, 1);
        QCOMPARE(reloads, 0);
        QVERIFY(!dialog->applyButton->isEnabled());
    }

    void laterTypesAndTextExtensionsAreEditedOnTheTypesPage() {
        store.writeInt(kSection, "FilesOdp", 0);
        store.writeString(kSection, "TextExtensions", u"md py");
        auto sheet = makeSheet();
        auto dialog = sheet->createDialog(nullptr);
        dialog->show();
        dialog->tabs->setCurrentIndex(2);
        QCOMPARE(dialog->typeBoxes[7]->text(), QStringLiteral("OpenOffice document text (odt)"));
        QCOMPARE(dialog->typeBoxes[8]->text(), QStringLiteral("OpenDocument spreadsheets (ods)"));
        QCOMPARE(dialog->typeBoxes[11]->text(), QStringLiteral("E-mail messages and mailboxes (eml, mbox)"));
        QVERIFY(dialog->typeBoxes[8]->isChecked());   // FilesOds, missing: on
        QVERIFY(!dialog->typeBoxes[9]->isChecked());  // FilesOdp
        QVERIFY(dialog->typeBoxes[10]->isChecked());  // FilesEpub
        QCOMPARE(dialog->textExtensionsEdit->text(), QStringLiteral("md py"));
        QVERIFY(!dialog->applyButton->isEnabled());
        dialog->textExtensionsEdit->selectAll();
        QTest::keyClicks(dialog->textExtensionsEdit, QStringLiteral("Toml, .RST  md"));
        QVERIFY(dialog->applyButton->isEnabled());
        Click(dialog->typeBoxes[11]);
        Click(dialog->applyButton);
        QCOMPARE(store.readInt(kSection, "FilesMail", -1), 0);
        QCOMPARE(store.readInt(kSection, "FilesOds", -1), 1);
        QCOMPARE(store.readInt(kSection, "FilesOdp", -1), 0);
        QCOMPARE(store.readString(kSection, "TextExtensions", u"unset"), std::u16string(u"toml rst md"));
        QCOMPARE(sheet->TextExtensions, std::u16string(u"toml rst md"));
        QCOMPARE(sheet->FilesMail, 0);
        // Emptied, the field leaves the seventeen alone, and says so to the next opening.
        dialog->textExtensionsEdit->selectAll();
        QTest::keyClick(dialog->textExtensionsEdit, Qt::Key_Delete);
        Click(dialog->okButton);
        QCOMPARE(store.readString(kSection, "TextExtensions", u"unset"), std::u16string());
        auto again = sheet->createDialog(nullptr);
        again->show();
        again->tabs->setCurrentIndex(2);
        QCOMPARE(again->textExtensionsEdit->text(), QString());
    }

    void fileTypesPageNeverShownLeavesSwitches() {
        store = MemorySettingsStore();
        store.writeInt(kSection, "FilesPdf", 1);
        auto sheet = makeSheet();
        auto dialog = sheet->createDialog(nullptr);
        dialog->show();
        Click(dialog->groupBox);
        Click(dialog->okButton);
        for (const char* key : kSwitchKeys)
            QVERIFY2(std::string(key) == "FilesPdf" ? store.readInt(kSection, key, -1) == 1 : !store.contains(kSection, key),
                     key);
    }

    void fileTypesSeenBeforeSurviveALaterOpening() {
        auto sheet = makeSheet();
        auto first = sheet->createDialog(nullptr);
        first->show();
        first->tabs->setCurrentIndex(2);
        Click(first->cancelButton);
        // Opened again, the page stays unseen: the switches must not be taken from unset boxes.
        auto second = sheet->createDialog(nullptr);
        second->show();
        Click(second->limitLeftBox);
        Click(second->okButton);
        QCOMPARE(store.readInt(kSection, "FilesText", -1), 1);
        QCOMPARE(store.readInt(kSection, "FilesPdf", -1), 1);
        QCOMPARE(store.readInt(kSection, "FilesDoc", -1), 0);
    }

    void fontWithOkIsStoredWithoutReload() {
        auto sheet = makeSheet();
        FontChoice started;
        sheet->chooseFont = [&](QWidget*, const FontChoice& from) {
            started = from;
            return std::optional<FontChoice>(FontChoice{u"DejaVu Sans", 14});
        };
        auto dialog = sheet->createDialog(nullptr);
        dialog->show();
        dialog->tabs->setCurrentIndex(1);
        QCOMPARE(dialog->fontLabel->text(), QStringLiteral("Times New Roman 12"));
        Click(dialog->chooseButton);
        QCOMPARE(started.face, std::u16string(u"Times New Roman"));
        QCOMPARE(started.size, 12);
        QCOMPARE(dialog->fontLabel->text(), QStringLiteral("DejaVu Sans 14"));
        Click(dialog->okButton);
        QCOMPARE(store.readString(kSection, "FontFace", u""), std::u16string(u"DejaVu Sans"));
        QCOMPARE(store.readInt(kSection, "FontSize", 0), 14);
        QCOMPARE(reloads, 0);
        QCOMPARE(sheet->reloadNeeded, 1);
    }

    void cancelledFontChoiceKeepsFont() {
        auto sheet = makeSheet();
        auto dialog = sheet->createDialog(nullptr);
        dialog->show();
        Click(dialog->chooseButton);
        QVERIFY(!dialog->applyButton->isEnabled());
        QCOMPARE(dialog->fontLabel->text(), QStringLiteral("Times New Roman 12"));
        QCOMPARE(sheet->pendingFace, std::u16string(u"Times New Roman"));
    }

    void fontWithApplyReloadsAndNextPageUsesIt() {
        ProgramFolder folder;
        const QString documents = folder.documents({{QStringLiteral("a.txt"), "kiwi here."}});
        CMainFrame frame(folder.store, folder.notifier, documents.toStdU16String());
        QSignalSpy loads(frame.view(), &CTessView::pageLoaded);
        QVERIFY(WaitForReading(frame));
        COptionsSheet& sheet = frame.options();
        sheet.chooseFont = [](QWidget*, const FontChoice&) { return std::optional<FontChoice>(FontChoice{u"DejaVu Sans Mono", 15}); };
        auto dialog = sheet.createDialog(&frame);
        dialog->show();
        Click(dialog->chooseButton);
        frame.engineMessage(WM_ENGINE_STATUS, u"");
        Click(dialog->applyButton);
        QCOMPARE(sheet.reloadNeeded, 0);
        // The folder is read again.
        QVERIFY(WaitForReading(frame));
        QVERIFY(!dialog->applyButton->isEnabled());
        Click(dialog->okButton);
        const qsizetype before = loads.count();
        frame.searchBox()->setText(QStringLiteral("kiwi"));
        frame.StartSearch();
        QVERIFY(QTest::qWaitFor([&] { return loads.count() > before && ShownName(frame).startsWith(QStringLiteral("content")); }, 30000));
        QVERIFY(PageFileText(frame.view()->url().toLocalFile()).contains(QStringLiteral("font-family: DejaVu Sans Mono; font-size: 15pt")));
    }

    void fontChooserPreselectsSize_data() {
        QTest::addColumn<int>("initialSize");
        QTest::addColumn<QString>("selected");
        QTest::newRow("12 offered") << 12 << QStringLiteral("12");
        QTest::newRow("no stored size") << 0 << QString();
        QTest::newRow("prefix from the second entry") << 1 << QStringLiteral("10");
    }
    void fontChooserPreselectsSize() {
        QFETCH(int, initialSize);
        QFETCH(QString, selected);
        CXFontDialog dialog;
        dialog.setInitialFont(QStringLiteral("DejaVu Sans"), initialSize);
        QCOMPARE(dialog.windowTitle(), QStringLiteral("Font"));
        QCOMPARE(dialog.sample->text(), QStringLiteral("AaBbYyZz 0123456789"));
        QListWidgetItem* current = dialog.sizeList->currentItem();
        QCOMPARE(current ? current->text() : QString(), selected);
        QCOMPARE(dialog.faceEdit->text(), QStringLiteral("DejaVu Sans"));
        QCOMPARE(dialog.okButton->isEnabled(), !selected.isEmpty());
        for (int i = 0; i < dialog.faceList->count(); ++i)
            QVERIFY2(!dialog.faceList->item(i)->text().contains(QLatin1Char('[')), "faces only, no foundries");
    }

    void typingAFaceNameKeepsWhatWasTyped() {
        CXFontDialog dialog;
        dialog.setInitialFont(QStringLiteral("DejaVu Serif"), 12);
        dialog.show();
        dialog.faceEdit->selectAll();
        QTest::keyClicks(dialog.faceEdit, QStringLiteral("dejavu s"));
        QCOMPARE(dialog.faceEdit->text(), QStringLiteral("dejavu s"));
        QVERIFY(dialog.faceList->currentItem());
        QVERIFY(dialog.faceList->currentItem()->text().startsWith(QStringLiteral("DejaVu S")));
        QCOMPARE(dialog.chosenFace(), dialog.faceList->currentItem()->text());
        QTest::keyClicks(dialog.faceEdit, QStringLiteral("ans mono"));
        QCOMPARE(dialog.faceEdit->text(), QStringLiteral("dejavu sans mono"));
        QCOMPARE(dialog.chosenFace(), QStringLiteral("DejaVu Sans Mono"));
        QCOMPARE(dialog.sample->font().family(), QStringLiteral("DejaVu Sans Mono"));
        QVERIFY(dialog.okButton->isEnabled());
        // Text that begins no face of the list is never the choice.
        QTest::keyClicks(dialog.faceEdit, QStringLiteral("x"));
        QCOMPARE(dialog.faceEdit->text(), QStringLiteral("dejavu sans monox"));
        QVERIFY(dialog.chosenFace().isEmpty());
        QVERIFY(!dialog.okButton->isEnabled());
    }

    void folderChooserTakesTheInstalledSize() {
        MemorySettingsStore store;
        store.writeInt("Explorer", "Browse For Folder Width", 480);
        store.writeInt("Explorer", "Browse For Folder Height", 440);
        const auto dialog = CFolderChooser::makeDialog(nullptr, QDir::tempPath(), store);
        QCOMPARE(dialog->windowTitle(), QStringLiteral("Choose directory"));
        QCOMPARE(dialog->size(), QSize(480, 440));
        store.writeInt("Explorer", "Browse For Folder Width", 0);
        const QSize unsized = CFolderChooser::makeDialog(nullptr, QDir::tempPath(), store)->size();
        QVERIFY(unsized != QSize(0, 440));
    }

    // Pictures of the dialog's pages and of the font chooser, when a folder for them is named.
    void pictures() {
        const QString dir = qEnvironmentVariable("TESSAREL_SCREENSHOT_DIR");
        if (dir.isEmpty())
            QSKIP("TESSAREL_SCREENSHOT_DIR not set");
        auto sheet = makeSheet();
        auto dialog = sheet->createDialog(nullptr);
        dialog->show();
        for (int page = 0; page < 3; ++page) {
            dialog->tabs->setCurrentIndex(page);
            QVERIFY(dialog->grab().save(dir + QStringLiteral("/options-%1.png").arg(page)));
        }
        CXFontDialog font;
        font.setInitialFont(QStringLiteral("DejaVu Serif"), 12);
        font.show();
        QVERIFY(font.grab().save(dir + QStringLiteral("/font-dialog.png")));
    }

    void fontChooserResultDropsTheFraction() {
        CXFontDialog dialog;
        dialog.setInitialFont(QStringLiteral("DejaVu Serif"), 12);
        dialog.show();
        dialog.sizeEdit->selectAll();
        QTest::keyClicks(dialog.sizeEdit, QStringLiteral("13.5"));
        QVERIFY(dialog.okButton->isEnabled());
        Click(dialog.okButton);
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        QCOMPARE(dialog.chosenFace(), QStringLiteral("DejaVu Serif"));
        QCOMPARE(dialog.chosenSize(), 13);
        QCOMPARE(dialog.sample->font().pointSize(), 13);
    }
};

int main(int argc, char** argv) {
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    OptionsTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "OptionsTest.moc"
