// The Windows part of FileReader.
#ifdef _WIN32

#include "core/FileReader.h"
#include "core/RelayFailure.h"

#include <windows.h>
#include <cerrno>
#include <cstring>
#include <filesystem>

namespace freqrelay {

namespace {

// The reasons an operator meets most, worded as on every other system.
std::string systemReason(DWORD error) {
    switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND: return std::strerror(ENOENT);
    case ERROR_ACCESS_DENIED: return std::strerror(EACCES);
    default: {
        char text[512] = {};
        const DWORD length = ::FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                                              error, 0, text, sizeof text, nullptr);
        return length > 0 ? systemReasonText(text) : "system error " + std::to_string(error);
    }
    }
}

}  // namespace

bool FileReader::isOpen() const noexcept { return handle_ != nullptr; }

std::size_t FileReader::openRegularFile() {
    // Shared for writing and deleting, so that the program that keeps the
    // file can rewrite or replace it while it is read.
    const HANDLE handle = ::CreateFileW(std::filesystem::path(path_).wstring().c_str(), GENERIC_READ,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                        FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        fail(systemReason(::GetLastError()));
    }
    // A pipe or a device (CON, NUL, COM1) would block or never end.
    LARGE_INTEGER size{};
    if (::GetFileType(handle) != FILE_TYPE_DISK) {
        ::CloseHandle(handle);
        fail("not a regular file");
    }
    if (!::GetFileSizeEx(handle, &size)) {
        const DWORD error = ::GetLastError();
        ::CloseHandle(handle);
        fail(systemReason(error));
    }
    handle_ = handle;
    return static_cast<std::size_t>(size.QuadPart);
}

std::size_t FileReader::readPiece(char* piece, std::size_t size) {
    DWORD count = 0;
    if (!::ReadFile(static_cast<HANDLE>(handle_), piece, static_cast<DWORD>(size), &count, nullptr)) {
        fail(systemReason(::GetLastError()));
    }
    return count;
}

void FileReader::close() noexcept {
    if (handle_ != nullptr) {
        ::CloseHandle(static_cast<HANDLE>(handle_));
        handle_ = nullptr;
    }
}

}  // namespace freqrelay

#endif
