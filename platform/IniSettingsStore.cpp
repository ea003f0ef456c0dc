#include "platform/IniSettingsStore.h"

#include "platform/Text.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <fstream>
#include <sstream>

namespace tessarel {
namespace {

std::string_view Trimmed(std::string_view s) {
    const std::size_t first = s.find_first_not_of(" \t\r");
    if (first == std::string_view::npos)
        return {};
    return s.substr(first, s.find_last_not_of(" \t\r") - first + 1);
}

// A value as QSettings writes it: quotes around text with special characters, C escapes, \xhhhh
// for a UTF-16 unit. The "@Type(...)" forms of other variants stay as they are: no setting the
// core reads is stored so.
std::u16string Unescaped(std::string_view raw) {
    std::u16string value;
    std::string pending; // UTF-8 bytes not yet decoded
    auto takePending = [&] {
        value += FromUtf8(pending);
        pending.clear();
    };
    bool quoted = false;
    for (std::size_t i = 0; i < raw.size(); ++i) {
        const char c = raw[i];
        if (c == '"') {
            quoted = !quoted;
            continue;
        }
        if (c != '\\' || i + 1 == raw.size()) {
            pending += c;
            continue;
        }
        const char e = raw[++i];
        switch (e) {
        case 'n':
            pending += '\n';
            break;
        case 'r':
            pending += '\r';
            break;
        case 't':
            pending += '\t';
            break;
        case 'x': {
            unsigned unit = 0;
            int digits = 0;
            for (int d; digits < 4 && i + 1 < raw.size() && (d = HexDigitValue(raw[i + 1])) >= 0;
                 ++digits, ++i)
                unit = unit * 16 + static_cast<unsigned>(d);
            takePending();
            value.push_back(static_cast<char16_t>(unit));
            break;
        }
        default:
            pending += e;
            break;
        }
    }
    takePending();
    return value;
}

bool ParseInt(std::u16string_view text, std::int32_t& out) {
    const std::string s = ToUtf8(text);
    if (s.empty())
        return false;
    char* end = nullptr;
    errno = 0;
    const long long value = std::strtoll(s.c_str(), &end, 10);
    if (errno != 0 || *end != '\0' || value < INT32_MIN || value > INT32_MAX)
        return false;
    out = static_cast<std::int32_t>(value);
    return true;
}

} // namespace

IniSettingsStore::IniSettingsStore(const std::string& path) {
    if (path.empty())
        return;
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return;
    std::ostringstream text;
    text << in.rdbuf();
    load(text.str());
}

std::string IniSettingsStore::defaultPath() {
    // As QSettings finds it: a relative XDG_CONFIG_HOME is ignored.
    const char* config = std::getenv("XDG_CONFIG_HOME");
    if (config && config[0] == '/')
        return std::string(config) + "/Quendralight/Tessarel.conf";
    const char* home = std::getenv("HOME");
    if (home && home[0] == '/')
        return std::string(home) + "/.config/Quendralight/Tessarel.conf";
    return {};
}

void IniSettingsStore::load(std::string_view text) {
    std::string section = "General";
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        const std::string_view line = Trimmed(text.substr(0, end));
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        if (line.empty() || line[0] == ';' || line[0] == '#')
            continue;
        if (line.front() == '[') {
            if (line.back() == ']')
                section = std::string(Trimmed(line.substr(1, line.size() - 2)));
            continue;
        }
        const std::size_t equals = line.find('=');
        if (equals == std::string_view::npos)
            continue;
        const std::string key(Trimmed(line.substr(0, equals)));
        if (key.empty())
            continue;
        const std::u16string value = Unescaped(Trimmed(line.substr(equals + 1)));
        writeString(section, key, value);
        // QSettings keeps no types in the file: a value that reads as a number is also one.
        std::int32_t number = 0;
        if (ParseInt(value, number))
            writeInt(section, key, number);
    }
}

} // namespace tessarel
