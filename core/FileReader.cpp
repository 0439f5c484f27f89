#include "FileReader.h"

#include "RelayFailure.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace freqrelay {

namespace {
constexpr std::size_t kPieceSize = 64 * 1024;

std::string fileTooLarge(std::size_t bytes) {
    return "file too large: " + std::to_string(bytes) + " bytes";
}
}  // namespace

FileReader::FileReader(std::string path) : path_(std::move(path)) {}

FileReader::~FileReader() { close(); }

std::string FileReader::name() const {
    std::error_code error;
    const auto absolute = std::filesystem::absolute(path_, error);
    return error ? path_ : absolute.string();
}

void FileReader::fail(const std::string& reason) const {
    throw RelayFailure(FailureKind::File, name() + ": " + reason);
}

void FileReader::open() {
    if (fd_ >= 0) {
        fail("already open");
    }
    // Without O_NONBLOCK, opening a FIFO would wait for a writer and freeze
    // the window; the type check below then turns it away.
    const int fd = ::open(path_.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) {
        fail(std::strerror(errno));
    }
    struct stat info {};
    if (::fstat(fd, &info) != 0) {
        const int error = errno;
        ::close(fd);
        fail(std::strerror(error));
    }
    if (!S_ISREG(info.st_mode)) {
        ::close(fd);
        fail("not a regular file");
    }
    const auto size = static_cast<std::size_t>(info.st_size);
    if (size > kMaxFileSize) {
        // A sparse or runaway file must not take the relay's memory; it is
        // waited out like a missing one.
        ::close(fd);
        fail(fileTooLarge(size));
    }
    fd_ = fd;
    atEnd_ = false;
    sizeAtOpen_ = size;
}

void FileReader::readInto(std::string& text) {
    if (fd_ < 0) {
        fail("not open");
    }
    // One allocation of the file's size keeps a large file at one copy
    // instead of a doubling buffer.
    text.reserve(sizeAtOpen_);
    char piece[kPieceSize];
    ssize_t count = 0;
    do {
        count = ::read(fd_, piece, sizeof piece);
    } while (count < 0 && errno == EINTR);
    if (count < 0) {
        fail(std::strerror(errno));
    }
    if (count == 0) {
        atEnd_ = true;
        return;
    }
    // A file that grows while it is read is held to the same bound.
    if (text.size() + static_cast<std::size_t>(count) > kMaxFileSize) {
        fail(fileTooLarge(text.size() + static_cast<std::size_t>(count)));
    }
    text.append(piece, static_cast<std::size_t>(count));
}

void FileReader::close() noexcept {
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
}

}  // namespace freqrelay
