#include "engine/DocumentTypes.h"

#include "platform/SettingsStore.h"

namespace tessarel {

std::u16string NormalizedTextExtensions(std::u16string_view written) {
    std::u16string list;
    std::u16string word;
    auto endWord = [&] {
        if (word.empty())
            return;
        if (!list.empty())
            list.push_back(u' ');
        list += word;
        word.clear();
    };
    for (const char16_t c : written) {
        if (c == u' ' || c == u'\t' || c == u'\n' || c == u'\r' || c == u',' || c == u';') {
            endWord();
        } else if (c == u'.' && word.empty()) {
            // ".md" names the extension md.
        } else {
            word.push_back(c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c - u'A' + u'a') : c);
        }
    }
    endWord();
    return list;
}

void ReadTypeSwitches(SettingsStore& settings, TypeSwitches& switches) {
    for (const DocumentType& type : kDocumentTypes)
        switches.*type.switchOf = settings.readInt(kSettingsSection, type.settingKey, type.unsetValue);
    switches.TextExtensions = NormalizedTextExtensions(
        settings.readString(kSettingsSection, "TextExtensions", std::u16string(kTextExtensionsOfToday)));
}

} // namespace tessarel
