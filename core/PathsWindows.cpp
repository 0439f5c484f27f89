// The Windows part of the paths unit, and the system's texts in UTF-8.
#include "core/Paths.h"
#include "core/RelayFailure.h"
#include "core/Utf16Windows.h"

#include <windows.h>
#include <cerrno>
#include <cstring>
#include <filesystem>

namespace freqrelay {

// The system's own conversions, which put U+FFFD for what cannot be
// converted instead of throwing as the standard library's do.
std::filesystem::path systemPath(const std::string& path) {
    const int size = static_cast<int>(path.size());
    std::wstring wide(static_cast<std::size_t>(::MultiByteToWideChar(CP_UTF8, 0, path.data(), size, nullptr, 0)),
                      L'\0');
    ::MultiByteToWideChar(CP_UTF8, 0, path.data(), size, wide.data(), static_cast<int>(wide.size()));
    return wide;
}

std::string pathText(const std::filesystem::path& path) { return utf8Text(path.native()); }

std::string utf8Text(std::wstring_view text) {
    const int size = static_cast<int>(text.size());
    std::string utf8(
        static_cast<std::size_t>(::WideCharToMultiByte(CP_UTF8, 0, text.data(), size, nullptr, 0, nullptr, nullptr)),
        '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, text.data(), size, utf8.data(), static_cast<int>(utf8.size()), nullptr, nullptr);
    return utf8;
}

namespace {

// Absolute as Windows reads a path: a drive with its root folder (C:\), or
// two separators first (\\server\share, \\?\C:\, \\.\). "C:name" and "\name"
// are relative, to a drive's working directory and to the current drive.
bool isAbsolute(std::wstring_view path) {
    const auto separator = [](wchar_t c) {
        return c == L'\\' || c == L'/';
    };
    if (path.size() >= 2 && separator(path[0]) && separator(path[1])) {
        return true;
    }
    return path.size() >= 3 && path[1] == L':' && separator(path[2]);
}

}  // namespace

// The standard library's absolute() takes a share's path or the long form
// for one relative to the current drive's root, and names \\server\share\x
// C:\server\share\x: only a relative path goes to the system.
std::string absolutePath(const std::string& path) {
    const std::wstring wide = systemPath(path).native();
    if (isAbsolute(wide)) {
        return path;
    }
    const DWORD size = ::GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
    if (size == 0) {
        return path;
    }
    std::wstring absolute(size, L'\0');
    const DWORD length = ::GetFullPathNameW(wide.c_str(), size, absolute.data(), nullptr);
    if (length == 0 || length >= size) {
        return path;
    }
    absolute.resize(length);
    return utf8Text(absolute);
}

std::string systemReason(unsigned long error) {
    switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND: return std::strerror(ENOENT);
    case ERROR_ACCESS_DENIED: return std::strerror(EACCES);
    default: {
        // In the user's language.
        wchar_t text[512] = {};
        const DWORD length = ::FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                                              error, 0, text, sizeof text / sizeof *text, nullptr);
        return length > 0 ? systemReasonText(utf8Text(std::wstring_view(text, length)))
                          : "system error " + std::to_string(error);
    }
    }
}

}  // namespace freqrelay
