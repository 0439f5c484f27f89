// The POSIX part of QtSerialControl.
#include "core/RelayFailure.h"
#include "serial/QtSerialControl.h"

#include <poll.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>
#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
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

// The living process, other than this one, that the lock file at `path`
// names; 0 when there is none.
pid_t livingOwner(const std::string& path) {
    std::ifstream file(path);
    long owner = 0;
    if (!(file >> owner) || owner <= 0 || owner > INT_MAX || owner == ::getpid()) {
        return 0;
    }
    const auto pid = static_cast<pid_t>(owner);
    return ::kill(pid, 0) == 0 || errno == EPERM ? pid : 0;
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
        std::string name = device.rfind("/dev/", 0) == 0 ? device.substr(5) : device;
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
    char* real = ::realpath(path.c_str(), nullptr);
    if (real == nullptr) {
        return {};
    }
    std::string resolved = real;
    std::free(real);
    return resolved;
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

bool QtSerialControl::hungUp(qintptr handle) {
    pollfd line{static_cast<int>(handle), POLLOUT, 0};
    return ::poll(&line, 1, 0) == 1 && (line.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0;
}

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
