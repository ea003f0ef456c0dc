// The desktop programs' settings file as the command line reads it: QSettings' INI as it writes it.

#include "platform/IniSettingsStore.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>

namespace tessarel {
namespace {

TEST(IniSettingsStore, ReadsTheSettingsGroupAsQSettingsWritesIt) {
    IniSettingsStore store("");
    store.load("[General]\n"
               "TextCache=5\n"
               "\n"
               "[Settings]\r\n"
               "TextCache=0\r\n"
               "TextCacheLimitMB = 64\n"
               "; a comment\n"
               "ReadingThreads=-2\n"
               "FilesPdf=true\n"
               "Huge=99999999999\n"
               "ProgramDirectory=/home/me/.local/share/Tessarel\n"
               "FontFace=\"Times New Roman, bold\"\n"
               "Escaped=a\\\\b\\tc\\x44f\\x436\n"
               "NoValue\n"
               "=orphan\n");
    const struct {
        const char* key;
        std::int32_t number;
    } ints[] = {
        {"TextCache", 0}, {"TextCacheLimitMB", 64}, {"ReadingThreads", -2}, {"FilesPdf", 7}, {"Huge", 7},
        {"Missing", 7}};
    for (const auto& c : ints)
        EXPECT_EQ(store.readInt(kSettingsSection, c.key, 7), c.number) << c.key;
    EXPECT_EQ(store.readInt("General", "TextCache", 7), 5);
    const struct {
        const char* key;
        std::u16string text;
    } strings[] = {{"ProgramDirectory", u"/home/me/.local/share/Tessarel"},
                   {"FontFace", u"Times New Roman, bold"},
                   {"Escaped", u"a\\b\tc\u044f\u0436"},
                   {"NoValue", u"default"}};
    for (const auto& c : strings)
        EXPECT_EQ(store.readString(kSettingsSection, c.key, u"default"), c.text) << c.key;
    // What a command writes stays in memory.
    store.writeInt(kSettingsSection, "TextCache", 1);
    EXPECT_EQ(store.readInt(kSettingsSection, "TextCache", 7), 1);
}

TEST(IniSettingsStore, FindsTheFileWhereQSettingsKeepsIt) {
    namespace fs = std::filesystem;
    const fs::path folder =
        fs::temp_directory_path() / ("tessarel-ini-" + std::to_string(std::random_device()()));
    fs::create_directories(folder / "Quendralight");
    std::ofstream(folder / "Quendralight" / "Tessarel.conf") << "[Settings]\nTextCache=0\n";
    const char* saved = std::getenv("XDG_CONFIG_HOME");
    const std::string savedValue = saved ? saved : "";
    setenv("XDG_CONFIG_HOME", folder.c_str(), 1);
    EXPECT_EQ(IniSettingsStore::defaultPath(), (folder / "Quendralight" / "Tessarel.conf").string());
    EXPECT_EQ(IniSettingsStore(IniSettingsStore::defaultPath()).readInt(kSettingsSection, "TextCache", 1), 0);
    setenv("XDG_CONFIG_HOME", "relative", 1);
    const char* home = std::getenv("HOME");
    if (home && home[0] == '/') {
        EXPECT_EQ(IniSettingsStore::defaultPath(), std::string(home) + "/.config/Quendralight/Tessarel.conf");
    }
    EXPECT_EQ(IniSettingsStore(folder.string() + "/missing.conf").readInt(kSettingsSection, "TextCache", 1),
              1);
    saved ? setenv("XDG_CONFIG_HOME", savedValue.c_str(), 1) : unsetenv("XDG_CONFIG_HOME");
    fs::remove_all(folder);
}

} // namespace
} // namespace tessarel
