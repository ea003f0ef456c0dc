#include "engine/Paths.h"

#include "platform/Text.h"

namespace tessarel {

std::string ProgramDirectory(SettingsStore& settings) {
    return ToUtf8(settings.readString(kSettingsSection, "ProgramDirectory", u""));
}

std::string ContentsPath(const std::string& programDirectory) {
    if (programDirectory.empty())
        return "contents/";
    if (programDirectory.back() == '/')
        return programDirectory + "contents/";
    return programDirectory + "/contents/";
}

} // namespace tessarel
