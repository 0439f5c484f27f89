// The POSIX part of FileReader.
#ifndef _WIN32

#include "core/FileReader.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>
#include <cstring>

namespace freqrelay {

namespace {

FileStamp stampOf(const struct stat& info) {
#ifdef __APPLE__
    const timespec& modified = info.st_mtimespec;
#else
    const timespec& modified = info.st_mtim;
#endif
    return {static_cast<std::uint64_t>(info.st_dev), static_cast<std::uint64_t>(info.st_ino),
            static_cast<std::uint64_t>(info.st_size),
            static_cast<std::int64_t>(modified.tv_sec) * 1'000'000'000 + modified.tv_nsec};
}

}  // namespace

std::optional<FileStamp> FileReader::stampNow() const {
    struct stat info {};
    return ::stat(path_.c_str(), &info) == 0 ? std::optional(stampOf(info)) : std::nullopt;
}

FileStamp FileReader::openRegularFile() {
    // Looked at before it is opened: opening a terminal raises its modem
    // lines, and opening a FIFO lets its writer write into a reader that
    // closes at once, which kills the writer with SIGPIPE.
    struct stat before {};
    if (::stat(path_.c_str(), &before) != 0) {
        fail(std::strerror(errno));
    }
    if (!S_ISREG(before.st_mode)) {
        fail("not a regular file");
    }
    // Something else may have been put under the name in between: without
    // O_NONBLOCK a FIFO would then block the window, and the check after
    // opening turns it away.
    const int fd = ::open(path_.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) {
        fail(std::strerror(errno));
    }
    handle_ = fd;  // closed again by readWhole when a check below fails
    struct stat info {};
    if (::fstat(fd, &info) != 0) {
        fail(std::strerror(errno));
    }
    if (!S_ISREG(info.st_mode)) {
        fail("not a regular file");
    }
    return stampOf(info);
}

std::size_t FileReader::readPiece(char* piece, std::size_t size) {
    ssize_t count = 0;
    do {
        count = ::read(static_cast<int>(handle_), piece, size);
    } while (count < 0 && errno == EINTR);
    if (count < 0) {
        fail(std::strerror(errno));
    }
    return static_cast<std::size_t>(count);
}

void FileReader::close() noexcept {
    if (handle_ >= 0) {
        ::close(static_cast<int>(handle_));
        handle_ = -1;
    }
}

}  // namespace freqrelay

#endif
