#pragma once
// Where the engine keeps its files: the contents folder under the ProgramDirectory setting.

#include "platform/SettingsStore.h"

#include <string>

namespace tessarel {

// ProgramDirectory as UTF-8 bytes, read from the store each time it is needed.
std::string ProgramDirectory(SettingsStore& settings);
// programDirectory + "/contents/"; an empty programDirectory means the current directory.
std::string ContentsPath(const std::string& programDirectory);

} // namespace tessarel
