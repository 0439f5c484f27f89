#include "ui/LogFile.h"

#include "core/PathIdentity.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>
#include <cstring>

namespace freqrelay {

namespace {

// A log is a file, a FIFO (a logger reading it) or a character device
// (/dev/null, a terminal); a block device, a folder or a socket is not.
bool mayHoldALog(mode_t mode) { return S_ISREG(mode) || S_ISFIFO(mode) || S_ISCHR(mode); }

const char* const kNoLogKind = "it is not a file, a FIFO or a character device";

// Opens `path` for appending without waiting: a FIFO with no reader fails at
// once instead of holding up the start until a reader comes. -1 with the
// reason and errno's value in `error` when it cannot be opened.
int openForAppending(const std::string& path, int flags, mode_t mode, std::string& reason, int& error) {
    struct stat named {};
    const bool exists = ::stat(path.c_str(), &named) == 0;
    if (exists && !mayHoldALog(named.st_mode)) {
        reason = kNoLogKind;
        error = 0;
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
    error = 0;
    if (::fstat(descriptor, &opened) != 0 || !mayHoldALog(opened.st_mode)) {
        reason = kNoLogKind;
    } else if (const int status = ::fcntl(descriptor, F_GETFL);
               status == -1 || ::fcntl(descriptor, F_SETFL, status & ~O_NONBLOCK) == -1) {
        // Once open, a line waits for room like any write, and is never
        // given up half-way.
        error = errno;
        reason = std::strerror(error);
    } else {
        return descriptor;
    }
    ::close(descriptor);
    return -1;
}

}  // namespace

struct LogFile::Handle {
    int descriptor = -1;
    struct stat opened {};
    // The last write stopped inside a line: the next one starts a new line.
    bool torn = false;

    ~Handle() { closeFile(); }

    void closeFile() {
        if (descriptor >= 0) {
            ::close(descriptor);
        }
        descriptor = -1;
    }

    void adopt(int newDescriptor) {
        closeFile();
        descriptor = newDescriptor;
        ::fstat(descriptor, &opened);
        torn = false;
    }

    // Create-style rotation renames the log and may leave the new one to the
    // relay; a log that is deleted would swallow every later line. Either
    // way the name no longer leads to the open file, and is opened again,
    // created if need be with the old file's mode (not narrowed by umask).
    // Copying and truncating needs nothing: every write goes to the end.
    // A name that now leads to the frequency file (a link put there) is not
    // opened: the relay would read its own lines.
    bool followRotation(const std::string& path, const std::string& frequencyFile, std::string& reason) {
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
        int reopened = -1;
        if (pathsLeadToOneFile(path, frequencyFile)) {
            why = kLogIsTheFrequencyFile;
        } else {
            reopened = openForAppending(path, 0, 0, why, error);
        }
        if (reopened < 0 && error == ENOENT) {
            const mode_t mode = opened.st_mode & 07777;
            reopened = openForAppending(path, O_CREAT | O_EXCL, mode, why, error);
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

bool LogFile::open(const std::string& path, const std::string& frequencyFile, std::string& reason) {
    if (pathsLeadToOneFile(path, frequencyFile)) {
        reason = kLogIsTheFrequencyFile;
        return false;
    }
    int error = 0;
    const int descriptor = openForAppending(path, O_CREAT, 0666, reason, error);
    if (descriptor < 0) {
        return false;
    }
    handle_->adopt(descriptor);
    path_ = path;
    frequencyFile_ = frequencyFile;
    return true;
}

bool LogFile::append(const std::string& line, std::string& reason) {
    if (S_ISREG(handle_->opened.st_mode) && !handle_->followRotation(path_, frequencyFile_, reason)) {
        return false;
    }
    // One write for the whole line. Only a write cut short (a disk filling
    // up) is finished by another, which also tells why it stopped.
    const std::string whole = handle_->torn ? '\n' + line : line;
    std::size_t done = 0;
    while (done < whole.size()) {
        const ssize_t written = ::write(handle_->descriptor, whole.data() + done, whole.size() - done);
        if (written > 0) {
            done += static_cast<std::size_t>(written);
        } else if (written == 0 || errno != EINTR) {
            reason = written == 0 ? "nothing could be written" : std::strerror(errno);
            handle_->torn = handle_->torn || done > 0;
            return false;
        }
    }
    handle_->torn = false;
    return true;
}

}  // namespace freqrelay
