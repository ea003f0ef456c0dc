#pragma once
// The in-memory holder of the settings (every key but ProgramDirectory) and the "Options" dialog
// that edits them. The holder lives as long as the main window; the dialog is built anew at each
// opening, its pages set from the current values.

#include "engine/DocumentTypes.h"
#include "engine/LogFile.h"
#include "platform/Notifier.h"
#include "platform/SettingsStore.h"

#include <QString>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

class QWidget;

namespace tessarel {

class COptionsDialog;

struct FontChoice {
    std::u16string face;
    std::int32_t size = 0;
};

class COptionsSheet : public TypeSwitches {
public:
    // Reads every key of section "Settings" but ProgramDirectory, with the defaults of a fresh profile.
    COptionsSheet(SettingsStore& settings, Notifier& notifier);
    ~COptionsSheet();

    // The current values.
    std::int32_t groupByFiles = 0;
    std::int32_t UnlimitedResults = 0;
    std::int32_t LimitLeft = 0;
    std::int32_t ResultsPerFile = 0;
    std::u16string StartupDirectory;
    std::u16string FontFace;
    std::int32_t FontSize = 0;
    // Documents a reading run catalogues at most; 0 (or missing) means the default of 10000.
    std::int32_t MaxDocuments = 0;
    // Text recognition of scanned pages and images, and its languages ("eng+deu").
    std::int32_t Ocr = 0;
    std::u16string OcrLanguages;

    // The View page's choice, written by a save.
    std::u16string pendingFace;
    std::int32_t pendingSize = 0;
    // Set by a save that changed the font; Apply re-reads the folder and clears it.
    std::int32_t reloadNeeded = 0;
    // The "File types" page has been shown since start-up; until then saves leave the switches alone.
    bool fileTypesVisited = false;

    // The main window's Reload, run by Apply after a font change.
    std::function<void()> reload;
    // The choosers the pages run; replaced by tests.
    std::function<std::optional<QString>(QWidget* owner, const QString& initial)> chooseFolder;
    std::function<std::optional<FontChoice>(QWidget* owner, const FontChoice& initial)> chooseFont;

    // Shows the dialog modally; returns when OK or Cancel closes it.
    void show(QWidget* owner);
    // The dialog of one opening, not yet shown (show() runs it; tests drive its widgets).
    std::unique_ptr<COptionsDialog> createDialog(QWidget* owner);

    // The settings store the sheet writes through.
    SettingsStore& store() { return settings_; }

private:
    SettingsStore& settings_;
    CLogFile log_;
};

} // namespace tessarel
