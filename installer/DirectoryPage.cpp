#include "installer/DirectoryPage.h"

#include "installer/InstallLayout.h"
#include "installer/SetupWizard.h"

#include <QFileDialog>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace tessarel {
namespace {

QString PickFolder(QWidget* owner, const QString& title, const QString& start) {
    return QFileDialog::getExistingDirectory(owner, title, start,
                                             QFileDialog::ShowDirsOnly | QFileDialog::DontResolveSymlinks);
}

} // namespace

CDirectoryPage::CDirectoryPage(CSetupWizard& wizard) : CSetupPage(wizard), picker_(PickFolder) {
    setTitle(QStringLiteral("Select a directory to install"));
    setSubTitle(QStringLiteral("In which directory to be installed Tessarel?"));
    auto* layout = new QGridLayout(this);
    layout->addWidget(
        new QLabel(QStringLiteral("Tessarel will be installed in that directory.\n\nPress Next to "
                                  "continue or Browse to select another directory."),
                   this),
        0, 0, 1, 2);
    edit_ = new QLineEdit(this);
    edit_->setObjectName(QStringLiteral("10010"));
    edit_->setReadOnly(true);
    browse_ = new QPushButton(QStringLiteral("Browse..."), this);
    browse_->setObjectName(QStringLiteral("10011"));
    layout->addWidget(edit_, 1, 0);
    layout->addWidget(browse_, 1, 1);
    layout->setRowStretch(2, 1);
    connect(browse_, &QPushButton::clicked, this, &CDirectoryPage::browse);
}

QString CDirectoryPage::JoinSuffix(const QString& folder, const QString& suffix) {
    QString joined = folder + suffix;
    while (joined.contains(QStringLiteral("//")))
        joined.replace(QStringLiteral("//"), QStringLiteral("/"));
    return joined;
}

void CDirectoryPage::firstDisplay() {
    directory_ = DefaultInstallDirectory();
    edit_->setText(directory_);
}

void CDirectoryPage::activate() {
    sheet().showButtons({QWizard::Stretch, QWizard::BackButton, QWizard::NextButton, QWizard::CancelButton});
}

void CDirectoryPage::browse() {
    // The picker opens on the folder that would receive the "Tessarel" folder.
    const QString start = directory_.left(directory_.size() - suffix_.size());
    const QString chosen = picker_(this, QStringLiteral("Selection of Directories"), start);
    if (chosen.isEmpty())
        return;
    directory_ = JoinSuffix(chosen, suffix_);
    edit_->setText(directory_);
}

} // namespace tessarel
