#include "shell/OptionsDialog.h"

#include "engine/Catalog.h"
#include "extract/Recognition.h"

#include <algorithm>

#include <QCheckBox>
#include <QFont>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStringList>
#include <QTabWidget>
#include <QVBoxLayout>

namespace tessarel {
namespace {

constexpr const char* kTypeCaptions[kDocumentTypeCount] = {
    "Text files (txt, html, htm, c, cpp, h, java, jsp, xml, php, properties, pl, plx and others)",
    "Rich text format files (rtf)",
    "Microsoft Word 97-2003 documents (doc)",
    "Microsoft Word documents (docx)",
    "PDF files (pdf)",
    "Microsoft Excel spreadsheets (xlsx)",
    "Microsoft PowerPoint files (pptx)",
    "OpenOffice document text (odt)",
    "OpenDocument spreadsheets (ods)",
    "OpenDocument presentations (odp)",
    "EPUB books (epub)",
    "E-mail messages and mailboxes (eml, mbox)",
    "Images (text recognition)",
};
// Where each switch of the store's order (FilesText, FilesRtf, FilesDoc, FilesPdf, FilesDocx,
// FilesXlsx, FilesPptx, FilesOdt, then the later ones, FilesImages last) sits on the page.
constexpr int kBoxOfSwitch[kDocumentTypeCount] = {0, 1, 2, 4, 3, 5, 6, 7, 8, 9, 10, 11, 12};

// The cap a stored MaxDocuments gives a reading run.
int EffectiveMaxDocuments(std::int32_t stored) {
    return stored > 0 ? std::min<int>(stored, CCatalog::kMostDocuments) : CCatalog::kDefaultMaxDocuments;
}

int Checked(const QCheckBox* box) {
    return box->isChecked() ? 1 : 0;
}

} // namespace

void CStepSpinBox::stepBy(int steps) {
    QSpinBox::stepBy(steps);
    emit stepped();
}

COptionsDialog::COptionsDialog(COptionsSheet& sheet, QWidget* owner) : QDialog(owner), sheet_(sheet) {
    setWindowTitle(QStringLiteral("Options"));
    setModal(true);

    tabs = new QTabWidget(this);
    tabs->addTab(makeGeneralPage(), QStringLiteral("General"));
    tabs->addTab(makeViewPage(), QStringLiteral("View"));
    tabs->addTab(makeFileTypesPage(), QStringLiteral("File types"));
    connect(tabs, &QTabWidget::currentChanged, this, [this](int index) {
        if (index == 2)
            showFileTypes();
    });

    okButton = new QPushButton(QStringLiteral("OK"), this);
    cancelButton = new QPushButton(QStringLiteral("Cancel"), this);
    applyButton = new QPushButton(QStringLiteral("Apply"), this);
    helpButton = new QPushButton(QStringLiteral("Help"), this);
    okButton->setDefault(true);
    applyButton->setEnabled(false);
    connect(okButton, &QPushButton::clicked, this, &COptionsDialog::ok);
    connect(cancelButton, &QPushButton::clicked, this, &QDialog::reject);
    connect(applyButton, &QPushButton::clicked, this, &COptionsDialog::apply);
    // Help is offered and does nothing.

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    for (QPushButton* b : {okButton, cancelButton, applyButton, helpButton})
        buttons->addWidget(b);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(tabs);
    layout->addLayout(buttons);
}

QWidget* COptionsDialog::makeGeneralPage() {
    auto* page = new QWidget;
    auto* results = new QGroupBox(QStringLiteral("Search results"), page);
    groupBox = new QCheckBox(QStringLiteral("Group result by files"), results);
    limitLeftBox = new QCheckBox(QStringLiteral("Fix the beginning of word"), results);
    unlimitedBox = new QCheckBox(QStringLiteral("Unlimited results"), results);
    resultsLabel = new QLabel(QStringLiteral("Results per file"), results);
    resultsSpin = new CStepSpinBox(results);
    resultsSpin->setRange(0, 20);
    resultsLabel->setBuddy(resultsSpin);

    groupBox->setChecked(sheet_.groupByFiles != 0);
    limitLeftBox->setChecked(sheet_.LimitLeft != 0);
    unlimitedBox->setChecked(sheet_.UnlimitedResults != 0);
    resultsSpin->setValue(sheet_.ResultsPerFile);

    auto* perFile = new QHBoxLayout;
    perFile->addWidget(resultsLabel);
    perFile->addWidget(resultsSpin);
    perFile->addStretch(1);
    auto* resultsLayout = new QVBoxLayout(results);
    resultsLayout->addWidget(groupBox);
    resultsLayout->addWidget(limitLeftBox);
    resultsLayout->addWidget(unlimitedBox);
    resultsLayout->addLayout(perFile);

    auto* startup = new QGroupBox(QStringLiteral("Startup directory"), page);
    startupEdit = new QLineEdit(QString::fromStdU16String(sheet_.StartupDirectory), startup);
    browseButton = new QPushButton(QStringLiteral("Browse..."), startup);
    auto* startupLayout = new QHBoxLayout(startup);
    startupLayout->addWidget(startupEdit, 1);
    startupLayout->addWidget(browseButton);

    auto* reading = new QGroupBox(QStringLiteral("Reading"), page);
    maxDocumentsLabel = new QLabel(QStringLiteral("Documents read at most"), reading);
    maxDocumentsSpin = new QSpinBox(reading);
    maxDocumentsSpin->setRange(1, CCatalog::kMostDocuments);
    maxDocumentsSpin->setGroupSeparatorShown(false);
    maxDocumentsSpin->setValue(EffectiveMaxDocuments(sheet_.MaxDocuments));
    maxDocumentsLabel->setBuddy(maxDocumentsSpin);
    auto* readingLayout = new QHBoxLayout(reading);
    readingLayout->addWidget(maxDocumentsLabel);
    readingLayout->addWidget(maxDocumentsSpin);
    readingLayout->addStretch(1);

    auto* layout = new QVBoxLayout(page);
    layout->addWidget(results);
    layout->addWidget(startup);
    layout->addWidget(reading);
    layout->addStretch(1);

    for (QCheckBox* box : {groupBox, limitLeftBox})
        connect(box, &QCheckBox::clicked, this, &COptionsDialog::enableApply);
    connect(unlimitedBox, &QCheckBox::clicked, this, [this] {
        unlimitedRule();
        enableApply();
    });
    connect(resultsSpin, &CStepSpinBox::stepped, this, &COptionsDialog::enableApply);
    connect(maxDocumentsSpin, &QSpinBox::valueChanged, this, &COptionsDialog::enableApply);
    connect(browseButton, &QPushButton::clicked, this, [this] {
        const std::optional<QString> folder =
            sheet_.chooseFolder(this, QString::fromStdU16String(sheet_.StartupDirectory));
        if (!folder)
            return;
        startupEdit->setText(*folder);
        enableApply();
    });
    unlimitedRule();
    return page;
}

QWidget* COptionsDialog::makeViewPage() {
    auto* page = new QWidget;
    auto* font = new QGroupBox(QStringLiteral("Font"), page);
    fontLabel = new QLabel(font);
    QFont labelFont(QStringLiteral("Tahoma"));
    labelFont.setPixelSize(13);
    labelFont.setWeight(QFont::Normal);
    fontLabel->setFont(labelFont);
    fontLabel->setMinimumWidth(120);
    chooseButton = new QPushButton(QStringLiteral("Choose..."), font);
    showFontLabel(sheet_.FontFace, sheet_.FontSize);

    auto* fontLayout = new QHBoxLayout(font);
    fontLayout->addWidget(fontLabel, 1);
    fontLayout->addWidget(chooseButton);
    auto* layout = new QVBoxLayout(page);
    layout->addWidget(font);
    layout->addStretch(1);

    connect(chooseButton, &QPushButton::clicked, this, [this] {
        const std::optional<FontChoice> chosen = sheet_.chooseFont(this, {sheet_.FontFace, sheet_.FontSize});
        if (!chosen)
            return;
        sheet_.pendingFace = chosen->face;
        sheet_.pendingSize = chosen->size;
        showFontLabel(chosen->face, chosen->size);
        enableApply();
    });
    return page;
}

QWidget* COptionsDialog::makeFileTypesPage() {
    auto* page = new QWidget;
    auto* group = new QGroupBox(QStringLiteral("Search in files of type"), page);
    auto* groupLayout = new QVBoxLayout(group);
    for (std::size_t i = 0; i < kDocumentTypeCount; ++i) {
        typeBoxes[i] = new QCheckBox(QString::fromLatin1(kTypeCaptions[i]), group);
        groupLayout->addWidget(typeBoxes[i]);
        connect(typeBoxes[i], &QCheckBox::clicked, this, &COptionsDialog::enableApply);
    }
    auto* extensions = new QGroupBox(QStringLiteral("Further text and source file extensions"), page);
    textExtensionsEdit = new QLineEdit(extensions);
    textExtensionsEdit->setToolTip(QStringLiteral("Separated by blanks; the text files above are always read"));
    auto* extensionsLayout = new QVBoxLayout(extensions);
    extensionsLayout->addWidget(textExtensionsEdit);
    connect(textExtensionsEdit, &QLineEdit::textEdited, this, &COptionsDialog::enableApply);
    auto* recognition = new QGroupBox(QStringLiteral("Text recognition"), page);
    ocrBox = new QCheckBox(QStringLiteral("Read scanned pages and images (slow)"), recognition);
    auto* languagesLabel = new QLabel(QStringLiteral("Languages"), recognition);
    ocrLanguagesEdit = new QLineEdit(recognition);
    languagesLabel->setBuddy(ocrLanguagesEdit);
    QStringList installed;
    for (const std::string& language : InstalledRecognitionLanguages())
        installed << QString::fromStdString(language);
    ocrInstalledLabel = new QLabel(installed.isEmpty() ? QStringLiteral("Installed: none")
                                                       : QStringLiteral("Installed: ") + installed.join(u' '),
                                   recognition);
    auto* languages = new QHBoxLayout;
    languages->addWidget(languagesLabel);
    languages->addWidget(ocrLanguagesEdit, 1);
    auto* recognitionLayout = new QVBoxLayout(recognition);
    recognitionLayout->addWidget(ocrBox);
    recognitionLayout->addLayout(languages);
    recognitionLayout->addWidget(ocrInstalledLabel);
    connect(ocrBox, &QCheckBox::clicked, this, &COptionsDialog::enableApply);
    connect(ocrLanguagesEdit, &QLineEdit::textEdited, this, &COptionsDialog::enableApply);

    auto* layout = new QVBoxLayout(page);
    layout->addWidget(group);
    layout->addWidget(extensions);
    layout->addWidget(recognition);
    layout->addStretch(1);
    return page;
}

std::int32_t* COptionsDialog::switchOf(int box) {
    for (std::size_t s = 0; s < kDocumentTypeCount; ++s)
        if (kBoxOfSwitch[s] == box)
            return &(sheet_.*kDocumentTypes[s].switchOf);
    return nullptr;
}

void COptionsDialog::showFileTypes() {
    // The boxes are set from the switches the first time the page is shown in this opening.
    if (fileTypesShown_)
        return;
    fileTypesShown_ = true;
    for (std::size_t i = 0; i < kDocumentTypeCount; ++i)
        typeBoxes[i]->setChecked(*switchOf(static_cast<int>(i)) == 1);
    textExtensionsEdit->setText(QString::fromStdU16String(sheet_.TextExtensions));
    ocrBox->setChecked(sheet_.Ocr == 1);
    ocrLanguagesEdit->setText(QString::fromStdU16String(sheet_.OcrLanguages));
    sheet_.fileTypesVisited = true;
}

void COptionsDialog::unlimitedRule() {
    const bool perFile = !unlimitedBox->isChecked();
    resultsLabel->setEnabled(perFile);
    resultsSpin->setEnabled(perFile);
}

void COptionsDialog::showFontLabel(const std::u16string& face, std::int32_t size) {
    fontLabel->setText(QStringLiteral("%1 %2").arg(QString::fromStdU16String(face)).arg(size));
}

void COptionsDialog::save() {
    if (!applyButton->isEnabled())
        return;
    SettingsStore& store = sheet_.store();
    const std::string section = kSettingsSection;
    sheet_.groupByFiles = Checked(groupBox);
    store.writeInt(section, "groupByFiles", sheet_.groupByFiles);
    sheet_.UnlimitedResults = Checked(unlimitedBox);
    store.writeInt(section, "UnlimitedResults", sheet_.UnlimitedResults);
    sheet_.LimitLeft = Checked(limitLeftBox);
    store.writeInt(section, "LimitLeft", sheet_.LimitLeft);
    // Typed text that is no number from 0 to 20 falls back to the box's last sound value.
    resultsSpin->interpretText();
    sheet_.ResultsPerFile = std::clamp(resultsSpin->value(), 0, 20);
    store.writeInt(section, "ResultsPerFile", sheet_.ResultsPerFile);
    sheet_.StartupDirectory = startupEdit->text().toStdU16String();
    store.writeString(section, "StartupDirectory", sheet_.StartupDirectory);
    if (sheet_.pendingFace != sheet_.FontFace)
        sheet_.reloadNeeded = 1;
    sheet_.FontFace = sheet_.pendingFace;
    store.writeString(section, "FontFace", sheet_.FontFace);
    if (sheet_.pendingSize != sheet_.FontSize)
        sheet_.reloadNeeded = 1;
    sheet_.FontSize = sheet_.pendingSize;
    store.writeInt(section, "FontSize", sheet_.FontSize);
    // A profile that never chose a cap keeps none: it follows the default.
    maxDocumentsSpin->interpretText();
    if (maxDocumentsSpin->value() != EffectiveMaxDocuments(sheet_.MaxDocuments)) {
        sheet_.MaxDocuments = maxDocumentsSpin->value();
        store.writeInt(section, "MaxDocuments", sheet_.MaxDocuments);
    }
    if (!sheet_.fileTypesVisited)
        return;
    // A page never shown in this opening still holds the switches: set its boxes first.
    showFileTypes();
    for (std::size_t s = 0; s < kDocumentTypeCount; ++s) {
        const int box = kBoxOfSwitch[s];
        *switchOf(box) = Checked(typeBoxes[static_cast<std::size_t>(box)]);
        store.writeInt(section, kDocumentTypes[s].settingKey, *switchOf(box));
    }
    sheet_.TextExtensions = NormalizedTextExtensions(textExtensionsEdit->text().toStdU16String());
    store.writeString(section, "TextExtensions", sheet_.TextExtensions);
    sheet_.Ocr = Checked(ocrBox);
    store.writeInt(section, "Ocr", sheet_.Ocr);
    sheet_.OcrLanguages = ocrLanguagesEdit->text().trimmed().toStdU16String();
    store.writeString(section, "OcrLanguages", sheet_.OcrLanguages);
}

void COptionsDialog::apply() {
    save();
    if (sheet_.reloadNeeded == 1) {
        if (sheet_.reload)
            sheet_.reload();
        sheet_.reloadNeeded = 0;
    }
    applyButton->setEnabled(false);
    okButton->setFocus();
}

void COptionsDialog::ok() {
    save();
    accept();
}

} // namespace tessarel
