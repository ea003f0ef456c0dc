#include "platform/SettingsStore.h"

namespace tessarel {

std::int32_t MemorySettingsStore::readInt(const std::string& section, const std::string& key, std::int32_t def) {
    auto it = ints_.find({section, key});
    return it == ints_.end() ? def : it->second;
}

std::u16string MemorySettingsStore::readString(const std::string& section, const std::string& key,
                                               const std::u16string& def) {
    auto it = strings_.find({section, key});
    return it == strings_.end() ? def : it->second;
}

void MemorySettingsStore::writeInt(const std::string& section, const std::string& key, std::int32_t value) {
    ints_[{section, key}] = value;
    ++writes_;
}

void MemorySettingsStore::writeString(const std::string& section, const std::string& key,
                                      const std::u16string& value) {
    strings_[{section, key}] = value;
    ++writes_;
}

bool MemorySettingsStore::contains(const std::string& section, const std::string& key) const {
    return ints_.count({section, key}) != 0 || strings_.count({section, key}) != 0;
}

} // namespace tessarel
