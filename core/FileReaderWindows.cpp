// The Windows part of FileReader.
#ifdef _WIN32

#include "core/FileReader.h"
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

namespace {

// Shared for writing and deleting, so that the program that keeps the file
// can rewrite or replace it while it is read or looked at.
HANDLE openShared(const std::string& path, DWORD access) {
    return ::CreateFileW(systemPath(path).c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                         nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
}

std::uint64_t wide(DWORD high, DWORD low) { return std::uint64_t{high} << 32 | low; }

std::optional<FileStamp> stampOf(HANDLE handle) {
    BY_HANDLE_FILE_INFORMATION info{};
    if (!::GetFileInformationByHandle(handle, &info)) {
        return std::nullopt;
    }
    return FileStamp{
        info.dwVolumeSerialNumber, wide(info.nFileIndexHigh, info.nFileIndexLow),
        wide(info.nFileSizeHigh, info.nFileSizeLow),
        static_cast<std::int64_t>(wide(info.ftLastWriteTime.dwHighDateTime, info.ftLastWriteTime.dwLowDateTime))};
}

}  // namespace

FileStamp FileReader::openRegularFile() {
    const HANDLE handle = openShared(path_, GENERIC_READ);
    if (handle == INVALID_HANDLE_VALUE) {
        const DWORD error = ::GetLastError();
        // A folder is refused as access denied; it is said for what it is.
        const DWORD attributes = ::GetFileAttributesW(systemPath(path_).c_str());
        fail(attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0
                 ? "not a regular file"
                 : systemReason(error));
    }
    handle_ = reinterpret_cast<std::intptr_t>(handle);  // closed again by readWhole when a check below fails
    // A pipe or a device (CON, NUL, COM1) would block or never end.
    if (::GetFileType(handle) != FILE_TYPE_DISK) {
        fail("not a regular file");
    }
    const std::optional<FileStamp> stamp = stampOf(handle);
    if (!stamp) {
        fail(systemReason(::GetLastError()));
    }
    return *stamp;
}

// Opened for its attributes alone: nothing of the file is read.
std::optional<FileStamp> FileReader::stampNow() const {
    const HANDLE handle = openShared(path_, FILE_READ_ATTRIBUTES);
    if (handle == INVALID_HANDLE_VALUE) {
        return std::nullopt;
    }
    const std::optional<FileStamp> stamp = stampOf(handle);
    ::CloseHandle(handle);
    return stamp;
}

std::size_t FileReader::readPiece(char* piece, std::size_t size) {
    DWORD count = 0;
    if (!::ReadFile(reinterpret_cast<HANDLE>(handle_), piece, static_cast<DWORD>(size), &count, nullptr)) {
        fail(systemReason(::GetLastError()));
    }
    return count;
}

void FileReader::close() noexcept {
    if (handle_ != -1) {
        ::CloseHandle(reinterpret_cast<HANDLE>(handle_));
        handle_ = -1;
    }
}

}  // namespace freqrelay

#endif
