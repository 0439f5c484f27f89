// The POSIX part of QtSerialControl.
#include "core/RelayFailure.h"
#include "links/QtSerialControl.h"

#include <poll.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>
#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string_view>
#include <utility>
#include <vector>

namespace freqrelay {

namespace {

// Where programs put a port's lock file, after the old UUCP custom: the
// device's name after "LCK..", holding the owner's process number as text.
constexpr std::string_view kLockFolders[] = {
    "/run/lock",  "/var/lock", "/var/lock/lockdev", "/var/spool/locks", "/var/spool/uucp",
    "/etc/locks", "/tmp",      "/var/tmp"};

// Whether process `pid` runs `program` (a file name, as Qt's lock files name
// their program). True when the system does not tell: the lock is then
// taken at its word.
bool runs(pid_t pid, std::string program) {
    // A program whose file was replaced (an upgrade) while it runs.
    constexpr std::string_view kReplaced = " (deleted)";
    const auto plain = [&](std::string name) {
        if (name.ends_with(kReplaced)) {
            name.resize(name.size() - kReplaced.size());
        }
        return name;
    };
    program = plain(program);
    const std::string process = "/proc/" + std::to_string(pid);
    std::error_code error;
    const auto executable = std::filesystem::read_symlink(process + "/exe", error);
    if (!error) {
        return plain(executable.filename().string()) == program;
    }
    // Another user's process: its name, cut to 15 characters, is open to all.
    std::ifstream nameFile(process + "/comm");
    std::string name;
    if (!std::getline(nameFile, name) || name.empty()) {
        return true;
    }
    constexpr std::size_t kNameLength = 15;
    return name == program.substr(0, kNameLength);
}

std::string hostName() {
    char name[256] = {};
    return ::gethostname(name, sizeof name - 1) == 0 ? std::string(name) : std::string();
}

// The living process, other than this one, that the lock file at `path`
// names; 0 when none. The older form holds the number alone; Qt's adds the
// program's and host's names. A process of that number on this host that runs
// another program got the number when it was free again: the lock is stale,
// as Qt itself judges it.
pid_t livingOwner(const std::string& path) {
    std::ifstream file(path);
    long owner = 0;
    if (!(file >> owner) || owner <= 0 || owner > INT_MAX || owner == ::getpid()) {
        return 0;
    }
    const auto pid = static_cast<pid_t>(owner);
    if (::kill(pid, 0) != 0 && errno != EPERM) {
        return 0;
    }
    std::string rest;
    std::string program;
    std::string host;
    std::getline(file, rest);
    if (rest.empty() && std::getline(file, program) && std::getline(file, host) && !program.empty() &&
        (host.empty() || host == hostName()) && !runs(pid, program)) {
        return 0;
    }
    return pid;
}

}  // namespace

std::string QtSerialControl::lockHolder() const {
    // A lock is named after the device below /dev ("ttyUSB0", "pts_3"), by
    // some programs after the link the user gave; both are looked for.
    std::vector<std::string> devices{openDevice_};
    if (std::string resolved = resolvedPath(openDevice_); !resolved.empty() && resolved != openDevice_) {
        devices.push_back(std::move(resolved));
    }
    for (const std::string& device : devices) {
        std::string name = device.starts_with("/dev/") ? device.substr(5) : device;
        std::replace(name.begin(), name.end(), '/', '_');
        for (const std::string_view folder : kLockFolders) {
            const std::string path = std::string(folder) + "/LCK.." + name;
            if (const pid_t owner = livingOwner(path); owner != 0) {
                return "process " + std::to_string(owner) + " holds " + path;
            }
        }
    }
    return {};
}

std::string QtSerialControl::resolvedPath(const std::string& path) {
    std::error_code error;
    const std::filesystem::path resolved = std::filesystem::canonical(path, error);
    return error ? std::string() : resolved.string();
}

void QtSerialControl::checkSettingsSupported() const {
    // termios has no 1.5 stop bits, and QSerialPort would quietly send 1.
    if (settings_.stopBits == SerialSettings::StopBits::OneAndHalf) {
        fail("1.5 stop bits are not supported on this system");
    }
}

void QtSerialControl::applyRts() {
    // A device without modem lines (a pseudo-terminal) has no RTS to set;
    // that is no reason to refuse the port.
    if (port_.setRequestToSend(rtsEnable_)) {
        return;
    }
    if (port_.error() == QSerialPort::UnsupportedOperationError) {
        port_.clearError();
        return;
    }
    fail("cannot set RTS: " + reasonOf(port_));
}

bool QtSerialControl::hungUp(LineHandle handle) {
    pollfd line{static_cast<int>(handle), POLLOUT, 0};
    return ::poll(&line, 1, 0) == 1 && (line.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0;
}

bool QtSerialControl::refusesLineCalls(const QString& reason) { return reason == qt_error_string(ENOTTY); }

long QtSerialControl::queuedOutput() const {
    int queued = 0;
    return ::ioctl(static_cast<int>(port_.handle()), TIOCOUTQ, &queued) == 0 ? queued : -1;
}

void QtSerialControl::systemDrain() {
    const int fd = static_cast<int>(port_.handle());
    while (::tcdrain(fd) != 0) {
        if (errno != EINTR) {
            letGoAndFail(std::string("drain failed: ") + std::strerror(errno));
        }
    }
}

}  // namespace freqrelay
