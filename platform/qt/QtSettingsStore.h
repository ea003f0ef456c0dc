#pragma once
// The settings store of the desktop programs: QSettings("Quendralight", "Tessarel"), so the
// program, the installer and the uninstaller all read and write ~/.config/Quendralight/Tessarel.conf.

#include "platform/SettingsStore.h"

#include <QSettings>

namespace tessarel {

class QtSettingsStore : public SettingsStore {
public:
    QtSettingsStore();
    std::int32_t readInt(const std::string& section, const std::string& key, std::int32_t def) override;
    std::u16string readString(const std::string& section, const std::string& key,
                              const std::u16string& def) override;
    void writeInt(const std::string& section, const std::string& key, std::int32_t value) override;
    void writeString(const std::string& section, const std::string& key, const std::u16string& value) override;

private:
    QSettings settings_;
};

} // namespace tessarel
