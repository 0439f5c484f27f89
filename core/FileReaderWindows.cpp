// The Windows part of FileReader.
#ifdef _WIN32

#include "core/FileReader.h"
#include "core/Paths.h"
#include "core/RelayFailure.h"
#include "core/Utf16Windows.h"

#include <windows.h>

namespace freqrelay {

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
