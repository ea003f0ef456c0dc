#include "shell/OptionsSheet.h"

#include "engine/Paths.h"
#include "shell/FolderChooser.h"
#include "shell/FontDialog.h"
#include "shell/OptionsDialog.h"

namespace tessarel {

COptionsSheet::COptionsSheet(SettingsStore& settings, Notifier& notifier)
    : settings_(settings), log_(ProgramDirectory(settings), notifier) {
    const std::string section = kSettingsSection;
    groupByFiles = settings.readInt(section, "groupByFiles", 0);
    UnlimitedResults = settings.readInt(section, "UnlimitedResults", 0);
    LimitLeft = settings.readInt(section, "LimitLeft", 0);
    ResultsPerFile = settings.readInt(section, "ResultsPerFile", 0);
    StartupDirectory = settings.readString(section, "StartupDirectory", u"");
    FontFace = settings.readString(section, "FontFace", u"");
    FontSize = settings.readInt(section, "FontSize", 0);
    MaxDocuments = settings.readInt(section, "MaxDocuments", 0);
    ReadTypeSwitches(settings, *this);
    Ocr = settings.readInt(section, "Ocr", 0);
    OcrLanguages = settings.readString(section, "OcrLanguages", u"eng");
    pendingFace = FontFace;
    pendingSize = FontSize;

    chooseFolder = [&settings](QWidget* owner, const QString& initial) {
        return CFolderChooser::choose(owner, initial, settings);
    };
    chooseFont = [](QWidget* owner, const FontChoice& initial) -> std::optional<FontChoice> {
        CXFontDialog dialog(owner);
        dialog.setInitialFont(QString::fromStdU16String(initial.face), initial.size);
        if (dialog.exec() != QDialog::Accepted)
            return std::nullopt;
        return FontChoice{dialog.chosenFace().toStdU16String(), dialog.chosenSize()};
    };
}

COptionsSheet::~COptionsSheet() = default;

std::unique_ptr<COptionsDialog> COptionsSheet::createDialog(QWidget* owner) {
    // A choice made in a cancelled opening is dropped: the View page shows the stored font again.
    pendingFace = FontFace;
    pendingSize = FontSize;
    return std::make_unique<COptionsDialog>(*this, owner);
}

void COptionsSheet::show(QWidget* owner) {
    std::unique_ptr<COptionsDialog> dialog = createDialog(owner);
    dialog->exec();
}

} // namespace tessarel
