#include "system/LogFile.h"

#include <fcntl.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>
#include <climits>
#include <cstring>
#include <utility>

namespace freqrelay {

namespace {

// A log is a file, a FIFO (a logger reading it) or a character device
// (/dev/null, a terminal); a block device, a folder or a socket is not.
bool mayHoldALog(mode_t mode) { return S_ISREG(mode) || S_ISFIFO(mode) || S_ISCHR(mode); }

const char* const kNoLogKind = "it is not a file, a FIFO or a character device";
const char* const kFifoFull = "the FIFO is full: its reader is not keeping up";

// Opens the log `path` for appending without blocking: a FIFO with no reader
// fails at once instead of holding up the start, and a reader that stops
// reading costs lines, not the relay. -1 with the reason, and errno's value
// in `error`, when it cannot be opened or refusedLog refuses it.
int openForAppending(const std::string& path, const std::string& frequencyFile, const std::string& port1, int flags,
                     mode_t mode, std::string& reason, int& error) {
    error = 0;
    if (reason = refusedLog(path, frequencyFile, port1); !reason.empty()) {
        return -1;
    }
    struct stat named {};
    const bool exists = ::stat(path.c_str(), &named) == 0;
    if (exists && !mayHoldALog(named.st_mode)) {
        reason = kNoLogKind;
        return -1;
    }
    const int descriptor = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC | O_NOCTTY | O_NONBLOCK | flags, mode);
    if (descriptor < 0) {
        error = errno;
        reason = error == ENXIO && exists && S_ISFIFO(named.st_mode) ? "no program is reading the FIFO"
                                                                     : std::strerror(error);
        return -1;
    }
    struct stat opened {};
    if (::fstat(descriptor, &opened) != 0 || !mayHoldALog(opened.st_mode)) {
        reason = kNoLogKind;
        ::close(descriptor);
        return -1;
    }
    return descriptor;
}

std::string writeFailure(int error, mode_t kind) {
    return (error == EAGAIN || error == EWOULDBLOCK) && S_ISFIFO(kind) ? kFifoFull : std::strerror(error);
}

// How many bytes the FIFO can take now. Only Linux tells a FIFO's size;
// elsewhere PIPE_BUF is all it is sure to hold.
std::size_t fifoRoom(int descriptor) {
    int unread = 0;
    if (::ioctl(descriptor, FIONREAD, &unread) != 0) {
        return 0;
    }
#ifdef F_GETPIPE_SZ
    const int size = ::fcntl(descriptor, F_GETPIPE_SZ);
#else
    const int size = PIPE_BUF;
#endif
    return size > unread ? static_cast<std::size_t>(size - unread) : 0;
}

}  // namespace

struct LogFile::Handle {
    int descriptor = -1;
    struct stat opened {};
    // The last write stopped inside a line: the next one starts a new line.
    bool torn = false;

    ~Handle() {
        if (descriptor >= 0) {
            ::close(descriptor);
        }
    }

    void adopt(int newDescriptor) {
        if (const int old = std::exchange(descriptor, newDescriptor); old >= 0) {
            ::close(old);
        }
        ::fstat(descriptor, &opened);
        torn = false;
    }

    // Rotation that renames the log, or deletes it, leaves the name leading
    // to another file or none: it is opened again, created if need be with
    // the mode the old file has at that time (not narrowed by umask, nor
    // ever wider). Copy and truncate needs nothing, as every write goes to
    // the end.
    bool followRotation(const std::string& path, const std::string& frequencyFile, const std::string& port1,
                        std::string& reason) {
        struct stat named {};
        if (::stat(path.c_str(), &named) == 0) {
            if (named.st_dev == opened.st_dev && named.st_ino == opened.st_ino) {
                return true;
            }
        } else if (errno != ENOENT) {
            return true;  // the name cannot be looked at now; the open file stays
        }
        std::string why;
        int error = 0;
        int reopened = openForAppending(path, frequencyFile, port1, 0, 0, why, error);
        if (reopened < 0 && error == ENOENT) {
            // The mode the old file has now, as a chmod since the opening
            // left it: a log made private stays private. Its permission bits
            // alone, as a log runs nothing; owner only when the system
            // cannot tell.
            struct stat old {};
            const mode_t mode = ::fstat(descriptor, &old) == 0 ? old.st_mode & 0777 : S_IRUSR | S_IWUSR;
            reopened = openForAppending(path, frequencyFile, port1, O_CREAT | O_EXCL, mode, why, error);
            if (reopened >= 0) {
                ::fchmod(reopened, mode);
            }
        }
        if (reopened < 0) {
            reason = "it cannot be opened again after its rotation: " + why;
            return false;
        }
        adopt(reopened);
        return true;
    }
};

LogFile::LogFile() : handle_(std::make_unique<Handle>()) {}

LogFile::~LogFile() = default;

bool LogFile::open(const std::string& path, const std::string& frequencyFile, const std::string& port1,
                   std::string& reason) {
    int error = 0;
    const int descriptor = openForAppending(path, frequencyFile, port1, O_CREAT, 0666, reason, error);
    if (descriptor < 0) {
        return false;
    }
    handle_->adopt(descriptor);
    path_ = path;
    frequencyFile_ = frequencyFile;
    port1_ = port1;
    return true;
}

bool LogFile::append(const std::string& line, std::string& reason) {
    const mode_t kind = handle_->opened.st_mode;
    if (S_ISREG(kind) && !handle_->followRotation(path_, frequencyFile_, port1_, reason)) {
        return false;
    }
    const std::string whole = handle_->torn ? '\n' + line : line;
    // A FIFO takes up to PIPE_BUF bytes whole or not at all; a longer line
    // could go in part, so it is written only when all of it fits.
    if (S_ISFIFO(kind) && whole.size() > PIPE_BUF && whole.size() > fifoRoom(handle_->descriptor)) {
        reason = kFifoFull;
        return false;
    }
    // Only a write cut short (a disk filling up) is followed by another,
    // which also tells why it stopped.
    std::size_t done = 0;
    while (done < whole.size()) {
        const ssize_t written = ::write(handle_->descriptor, whole.data() + done, whole.size() - done);
        if (written > 0) {
            done += static_cast<std::size_t>(written);
        } else if (written == 0 || errno != EINTR) {
            reason = written == 0 ? "nothing could be written" : writeFailure(errno, kind);
            handle_->torn = handle_->torn || done > 0;
            return false;
        }
    }
    handle_->torn = false;
    return true;
}

}  // namespace freqrelay
