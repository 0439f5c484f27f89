// The Windows part of pathsLeadToOneFile and of the serial lines a log may not reach.
#ifdef _WIN32

#include "core/PathIdentity.h"
#include "core/Paths.h"
#include "core/Utf16Windows.h"

#include <windows.h>
#include <algorithm>
#include <cctype>
#include <filesystem>
#include <string>
#include <string_view>

namespace freqrelay {

namespace {

// The path with the prefix that passes it to the system untouched taken
// off: \\?\C:\log and \\.\C:\log name C:\log, \\?\UNC\server\share\log
// names \\server\share\log.
std::wstring withoutPassThroughPrefix(std::wstring path) {
    for (const std::wstring_view prefix : {LR"(\\?\)", LR"(\\.\)", LR"(\??\)"}) {
        if (path.starts_with(prefix)) {
            path.erase(0, prefix.size());
            if (path.size() >= 4 && ::CompareStringOrdinal(path.data(), 4, L"UNC\\", 4, TRUE) == CSTR_EQUAL) {
                path.replace(0, 3, LR"(\)");
            }
            break;
        }
    }
    return path;
}

// A system call that fills a buffer of wide characters, asked again with
// the size it needs; "" when it fails.
template <typename Call>
std::wstring filled(Call call) {
    std::wstring text(MAX_PATH, L'\0');
    for (int tries = 0; tries < 2; ++tries) {
        const DWORD length = call(text.data(), static_cast<DWORD>(text.size()));
        if (length == 0) {
            return {};
        }
        if (length < text.size()) {
            text.resize(length);
            return text;
        }
        text.resize(length);
    }
    return {};
}

// The full path the system makes of `path` when it opens it: against the
// working directory and its drive, with ".", "..", slashes and trailing dots
// and spaces as the system takes them, and short names (PROGRA~1) spelt out.
std::wstring fullPath(const std::string& path) {
    const std::wstring given = withoutPassThroughPrefix(systemPath(path).wstring());
    std::wstring full =
        filled([&](wchar_t* buffer, DWORD size) { return ::GetFullPathNameW(given.c_str(), size, buffer, nullptr); });
    if (full.empty()) {
        return given;
    }
    const auto longForm = [](const std::wstring& existing) {
        return filled([&](wchar_t* buffer, DWORD size) { return ::GetLongPathNameW(existing.c_str(), buffer, size); });
    };
    if (std::wstring spelt = longForm(full); !spelt.empty()) {
        return spelt;
    }
    // The file does not exist yet: its folder may.
    const std::size_t lastSeparator = full.find_last_of(L'\\');
    if (lastSeparator != std::wstring::npos) {
        if (std::wstring folder = longForm(full.substr(0, lastSeparator + 1)); !folder.empty()) {
            if (folder.back() != L'\\') {
                folder += L'\\';
            }
            return folder + full.substr(lastSeparator + 1);
        }
    }
    return full;
}

// As the file system compares names: without regard to case, by its own table.
bool sameName(std::wstring_view one, std::wstring_view other) {
    return ::CompareStringOrdinal(one.data(), static_cast<int>(one.size()), other.data(),
                                  static_cast<int>(other.size()), TRUE) == CSTR_EQUAL;
}

// The COM port `path` names, in capitals ("COM1"), or "" when it names
// none: COM1, com1, \\.\COM1 and \\?\COM1 alike, and any name the system
// itself takes for a COM port (COM1:, or C:\logs\COM1.txt on older systems).
std::wstring comPort(const std::string& path) {
    const auto named = [](const std::wstring& name) {
        const bool isPort = name.size() > 3 && ::CompareStringOrdinal(name.data(), 3, L"COM", 3, TRUE) == CSTR_EQUAL &&
                            std::all_of(name.begin() + 3, name.end(), [](wchar_t c) { return c >= L'0' && c <= L'9'; });
        return isPort ? L"COM" + name.substr(3) : std::wstring();
    };
    const std::wstring given = systemPath(path).wstring();
    if (std::wstring port = named(withoutPassThroughPrefix(given)); !port.empty()) {
        return port;
    }
    const std::wstring full =
        filled([&](wchar_t* buffer, DWORD size) { return ::GetFullPathNameW(given.c_str(), size, buffer, nullptr); });
    return full.starts_with(LR"(\\.\)") ? named(full.substr(4)) : std::wstring();
}

// The device `port` names: its COM port, or the full name of another.
std::wstring deviceName(const std::string& port) {
    const std::wstring com = comPort(port);
    return com.empty() ? fullPath(port) : com;
}

bool isSeparator(char c) { return c == '\\' || c == '/'; }

// AUX, CON, NUL, PRN, or COM or LPT with a digit from 1 to 9 (or the
// superscript ¹, ² or ³, which Windows takes for one), in any case; with
// `anyNumber`, COM and LPT with any number from 1.
bool isDeviceName(std::string_view name, bool anyNumber) {
    std::string head(name.substr(0, 3));
    for (char& c : head) {
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    if (name.size() <= 3) {
        return head == "AUX" || head == "CON" || head == "NUL" || head == "PRN";
    }
    const std::string_view number = name.substr(3);
    if ((head != "COM" && head != "LPT") || number[0] == '0') {
        return false;
    }
    if (anyNumber) {
        return number.find_first_not_of("0123456789") == std::string_view::npos;
    }
    return (number.size() == 1 && std::isdigit(static_cast<unsigned char>(number[0]))) || number == "\u00b9" ||
           number == "\u00b2" || number == "\u00b3";
}

}  // namespace

std::string serialLineAt(const std::string& path, const std::string& port1) {
    // By name alone: asking the system about a port would open it.
    const std::wstring port = comPort(path);
    if (!port1.empty() && sameName(port.empty() ? fullPath(path) : port, deviceName(port1))) {
        return kLogIsPort1;
    }
    return port.empty() ? "" : kLogIsASerialPort;
}

std::string deviceIdentity(const std::string& port) { return utf8Text(deviceName(port)); }

bool namesADevice(const std::string& path) {
    const std::string_view text = path;
    // \\.\COM12, \\?\NUL: the name right after the prefix, as it is.
    if (text.size() > 4 && isSeparator(text[0]) && isSeparator(text[3]) &&
        ((isSeparator(text[1]) && (text[2] == '.' || text[2] == '?')) || text.substr(1, 2) == "??")) {
        const std::string_view rest = text.substr(4);
        return isDeviceName(rest.substr(0, rest.find_first_of("\\/")), true);
    }
    // A share's path names a file on the server.
    if (text.size() >= 2 && isSeparator(text[0]) && isSeparator(text[1])) {
        return false;
    }
    // The last name, after the last separator or a drive's colon (C:nul),
    // without what follows a dot or a colon and the spaces before that.
    const std::size_t lastSeparator = text.find_last_of("\\/");
    std::string_view name = text.substr(
        lastSeparator != std::string_view::npos ? lastSeparator + 1 : (text.size() > 1 && text[1] == ':' ? 2 : 0));
    name = name.substr(0, name.find_first_of(".:"));
    while (!name.empty() && name.back() == ' ') {
        name.remove_suffix(1);
    }
    return isDeviceName(name, false);
}

bool pathsLeadToOneFile(const std::string& one, const std::string& other) {
    std::error_code error;
    if (std::filesystem::equivalent(systemPath(one), systemPath(other), error)) {
        return true;  // the same file now, also through a link
    }
    const std::filesystem::path oneFull = fullPath(one);
    const std::filesystem::path otherFull = fullPath(other);
    // The same place by name, or one name in one folder reached two ways (a
    // mapped drive).
    return sameName(oneFull.native(), otherFull.native()) ||
           (sameName(oneFull.filename().native(), otherFull.filename().native()) &&
            std::filesystem::equivalent(oneFull.parent_path(), otherFull.parent_path(), error));
}

}  // namespace freqrelay

#endif
