#include "PseudoTerminal.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <stdexcept>

PseudoTerminal::PseudoTerminal() {
    master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master_ < 0 || ::grantpt(master_) != 0 || ::unlockpt(master_) != 0) {
        throw std::runtime_error("cannot create a pseudo-terminal");
    }
    slavePath_ = ::ptsname(master_);
    // Raw on the slave side, so that bytes pass unchanged to the master. The
    // slave is opened once and closed, so the master reports the hang-up from
    // the start, as it will after every command.
    const int slave = ::open(slavePath_.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    termios raw{};
    ::tcgetattr(slave, &raw);
    ::cfmakeraw(&raw);
    ::tcsetattr(slave, TCSANOW, &raw);
    ::close(slave);
    ::fcntl(master_, F_SETFL, ::fcntl(master_, F_GETFL) | O_NONBLOCK);
}

PseudoTerminal::~PseudoTerminal() { closeMaster(); }

void PseudoTerminal::closeMaster() {
    if (master_ >= 0) {
        ::close(master_);
        master_ = -1;
    }
}

std::string PseudoTerminal::read(std::size_t count, std::chrono::milliseconds wait) {
    std::string bytes;
    const auto deadline = std::chrono::steady_clock::now() + wait;
    while (bytes.size() < count) {
        char buffer[256];
        const ssize_t got = ::read(master_, buffer, sizeof buffer);
        if (got > 0) {
            bytes.append(buffer, static_cast<std::size_t>(got));
            continue;
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            break;
        }
        // EAGAIN while the slave is open, EIO while it is closed: wait a little.
        pollfd poller{master_, POLLIN, 0};
        ::poll(&poller, 1, 5);
        if (got < 0 && errno == EIO) {
            ::usleep(2000);
        }
    }
    return bytes;
}

bool PseudoTerminal::hungUp() const {
    pollfd poller{master_, 0, 0};
    return ::poll(&poller, 1, 0) >= 0 && (poller.revents & POLLHUP) != 0;
}

bool PseudoTerminal::waitForHangUp(std::chrono::milliseconds wait) const {
    const auto deadline = std::chrono::steady_clock::now() + wait;
    while (!hungUp()) {
        if (std::chrono::steady_clock::now() >= deadline) {
            return false;
        }
        ::usleep(2000);
    }
    return true;
}

termios PseudoTerminal::lineSettings() const {
    termios settings{};
    ::tcgetattr(master_, &settings);
    return settings;
}

StoppedLine::StoppedLine(const std::string& slavePath)
    : slave_(::open(slavePath.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC)) {
    if (slave_ >= 0) {
        ::tcflow(slave_, TCOOFF);
    }
}

StoppedLine::~StoppedLine() { release(); }

void StoppedLine::resume() const {
    if (slave_ >= 0) {
        ::tcflow(slave_, TCOON);
    }
}

void StoppedLine::release() {
    resume();
    if (slave_ >= 0) {
        ::close(slave_);
        slave_ = -1;
    }
}
