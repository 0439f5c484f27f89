// The POSIX part of QtSerialControl.
#include "core/RelayFailure.h"
#include "serial/QtSerialControl.h"

#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace freqrelay {

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

bool QtSerialControl::hungUp() const {
    pollfd line{static_cast<int>(port_.handle()), POLLOUT, 0};
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
