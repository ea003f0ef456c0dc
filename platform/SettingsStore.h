#pragma once
// The per-user settings store as the core sees it: named 32-bit integers and UTF-16 strings in a
// section; a missing key reads as the caller's default.

#include <cstdint>
#include <map>
#include <string>
#include <utility>

namespace tessarel {

inline constexpr const char* kSettingsSection = "Settings";

class SettingsStore {
public:
    virtual ~SettingsStore() = default;
    virtual std::int32_t readInt(const std::string& section, const std::string& key, std::int32_t def) = 0;
    virtual std::u16string readString(const std::string& section, const std::string& key,
                                      const std::u16string& def) = 0;
    virtual void writeInt(const std::string& section, const std::string& key, std::int32_t value) = 0;
    virtual void writeString(const std::string& section, const std::string& key,
                             const std::u16string& value) = 0;
};

// Kept in memory: the CLI's store and the tests' fake. Safe to read from the reading thread while
// nobody writes (settings are written only on the UI thread between runs).
class MemorySettingsStore : public SettingsStore {
public:
    std::int32_t readInt(const std::string& section, const std::string& key, std::int32_t def) override;
    std::u16string readString(const std::string& section, const std::string& key,
                              const std::u16string& def) override;
    void writeInt(const std::string& section, const std::string& key, std::int32_t value) override;
    void writeString(const std::string& section, const std::string& key, const std::u16string& value) override;

    bool contains(const std::string& section, const std::string& key) const;
    int writeCount() const { return writes_; }

private:
    using Key = std::pair<std::string, std::string>;
    std::map<Key, std::int32_t> ints_;
    std::map<Key, std::u16string> strings_;
    int writes_ = 0;
};

} // namespace tessarel
