#pragma once
// The "Options" dialog of one opening: pages "General", "View" and "File types" and the Help,
// Cancel, Apply and OK buttons. Apply starts disabled; OK and Apply save only while it is enabled.

#include "shell/OptionsSheet.h"

#include <QDialog>
#include <QPushButton>
#include <QSpinBox>

#include <array>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTabWidget;

namespace tessarel {

// A spin box that reports the steps of its arrows (buttons and keys) apart from typing.
class CStepSpinBox : public QSpinBox {
    Q_OBJECT
public:
    using QSpinBox::QSpinBox;
    void stepBy(int steps) override;
signals:
    void stepped();
};

class COptionsDialog : public QDialog {
    Q_OBJECT
public:
    COptionsDialog(COptionsSheet& sheet, QWidget* owner);

    // General
    QCheckBox* groupBox = nullptr;
    QCheckBox* limitLeftBox = nullptr;
    QCheckBox* unlimitedBox = nullptr;
    QLabel* resultsLabel = nullptr;
    CStepSpinBox* resultsSpin = nullptr;
    QLineEdit* startupEdit = nullptr;
    QPushButton* browseButton = nullptr;
    QLabel* maxDocumentsLabel = nullptr;
    QSpinBox* maxDocumentsSpin = nullptr;
    // View
    QLabel* fontLabel = nullptr;
    QPushButton* chooseButton = nullptr;
    // File types, in the order of the switches FilesText, FilesRtf, FilesDoc, FilesDocx, FilesPdf,
    // FilesXlsx, FilesPptx, FilesOdt, FilesOds, FilesOdp, FilesEpub, FilesMail, FilesImages as the page lists them
    std::array<QCheckBox*, kDocumentTypeCount> typeBoxes{};
    // The text type's further extensions (setting TextExtensions)
    QLineEdit* textExtensionsEdit = nullptr;
    QCheckBox* ocrBox = nullptr;
    QLineEdit* ocrLanguagesEdit = nullptr;
    QLabel* ocrInstalledLabel = nullptr;
    // Buttons
    QTabWidget* tabs = nullptr;
    QPushButton* okButton = nullptr;
    QPushButton* cancelButton = nullptr;
    QPushButton* applyButton = nullptr;
    QPushButton* helpButton = nullptr;

    void enableApply() { applyButton->setEnabled(true); }
    // Writes every value to the store in its order; nothing while Apply is disabled.
    void save();
    void apply();
    void ok();

private:
    QWidget* makeGeneralPage();
    QWidget* makeViewPage();
    QWidget* makeFileTypesPage();
    void unlimitedRule();
    void showFileTypes();
    void showFontLabel(const std::u16string& face, std::int32_t size);
    std::int32_t* switchOf(int box);

    COptionsSheet& sheet_;
    bool fileTypesShown_ = false;
};

} // namespace tessarel
