#pragma once

#include "installer/InstallLayout.h"
#include "installer/SetupPage.h"

#include <functional>

class QLineEdit;
class QPushButton;

namespace tessarel {

class CDirectoryPage : public CSetupPage {
public:
    // Opens a folder picker: owner, title, folder to preselect; an empty result means cancelled.
    using FolderPicker = std::function<QString(QWidget*, const QString&, const QString&)>;

    explicit CDirectoryPage(CSetupWizard& wizard);

    QString installationDirectory() const { return directory_; }
    QLineEdit* directoryEdit() const { return edit_; }
    QPushButton* browseButton() const { return browse_; }
    void setFolderPicker(FolderPicker picker) { picker_ = std::move(picker); }

    // The folder the user chose, followed by the suffix, with doubled separators made single (so
    // the root gives "/Tessarel").
    static QString JoinSuffix(const QString& folder, const QString& suffix);

protected:
    void firstDisplay() override;
    void activate() override;

private:
    void browse();

    QString directory_;
    QString suffix_ = kDirectorySuffix;
    QLineEdit* edit_;
    QPushButton* browse_;
    FolderPicker picker_;
};

} // namespace tessarel
