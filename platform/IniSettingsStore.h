#pragma once
// The desktop programs' settings file read without Qt, for the command line: the INI file that
// QSettings keeps (~/.config/Quendralight/Tessarel.conf). Writes stay in memory: a command never
// changes the user's settings.

#include "platform/SettingsStore.h"

#include <string>
#include <string_view>

namespace tessarel {

class IniSettingsStore : public MemorySettingsStore {
public:
    // Reads the file at path; a missing or unreadable file leaves every key at its default.
    explicit IniSettingsStore(const std::string& path);
    // $XDG_CONFIG_HOME/Quendralight/Tessarel.conf, else $HOME/.config/...; empty when neither is set.
    static std::string defaultPath();

    // Takes the groups and keys of an INI text.
    void load(std::string_view text);
};

} // namespace tessarel
