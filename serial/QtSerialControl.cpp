#include "serial/QtSerialControl.h"

#include "core/RelayFailure.h"
#include "serial/PortDevice.h"
#include "serial/StepWait.h"

#include <QByteArray>

#include <thread>

#ifdef Q_OS_UNIX
#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#endif
#ifdef Q_OS_WIN
#include <windows.h>
#endif

namespace freqrelay {

namespace {

constexpr const char* kQuitting = "given up: the relay is quitting";
// What QSerialPort says when another program holds the port's lock file.
constexpr const char* kQtLockRefused = "Permission error while locking the device";

// The serial library takes a port's name as text. A path that is no valid
// UTF-8 cannot be given to it as it stands, but the device it leads to
// usually has a plain name. Empty when there is none.
QString portNameFor(const std::string& path) {
    const QString name = QString::fromStdString(path);
    if (name.toStdString() == path) {
        return name;
    }
#ifdef Q_OS_UNIX
    if (char* real = ::realpath(path.c_str(), nullptr)) {
        const std::string resolved = real;
        std::free(real);
        if (QString::fromStdString(resolved).toStdString() == resolved) {
            return QString::fromStdString(resolved);
        }
    }
#endif
    return {};
}

QSerialPort::Parity toQt(SerialSettings::Parity parity) {
    switch (parity) {
    case SerialSettings::Parity::None: return QSerialPort::NoParity;
    case SerialSettings::Parity::Even: return QSerialPort::EvenParity;
    case SerialSettings::Parity::Odd: return QSerialPort::OddParity;
    case SerialSettings::Parity::Mark: return QSerialPort::MarkParity;
    case SerialSettings::Parity::Space: return QSerialPort::SpaceParity;
    }
    return QSerialPort::NoParity;
}

QSerialPort::StopBits toQt(SerialSettings::StopBits stopBits) {
    switch (stopBits) {
    case SerialSettings::StopBits::One: return QSerialPort::OneStop;
    case SerialSettings::StopBits::OneAndHalf: return QSerialPort::OneAndHalfStop;
    case SerialSettings::StopBits::Two: return QSerialPort::TwoStop;
    }
    return QSerialPort::OneStop;
}

std::string reasonOf(const QSerialPort& port) { return systemReasonText(port.errorString().toStdString()); }

}  // namespace

QtSerialControl::QtSerialControl(std::chrono::milliseconds writeTimeout) : writeTimeout_(writeTimeout) {}

QtSerialControl::~QtSerialControl() { forceClose(); }

void QtSerialControl::forceClose() noexcept {
    if (port_.isOpen()) {
        port_.clear(QSerialPort::Output);
        port_.close();
    }
}

std::string QtSerialControl::device() const { return port_.isOpen() ? openDevice_ : devicePathForPort(commPort_); }

void QtSerialControl::fail(const std::string& reason) const {
    throw RelayFailure(FailureKind::Port, device() + ": " + reason);
}

void QtSerialControl::letGoAndFail(const std::string& reason) {
    // The device is gone (an adapter pulled): this handle can never write
    // again, so the next opening must start afresh.
    forceClose();
    fail(reason);
}

void QtSerialControl::setCommPort(std::int16_t port) {
    if (port_.isOpen()) {
        fail("port already open");
    }
    if (port < 1) {
        throw RelayFailure(FailureKind::Port, "invalid port number " + std::to_string(port));
    }
    commPort_ = port;
}

void QtSerialControl::setSettings(const std::string& settings) {
    settings_ = SerialSettings::parse(settings);
    if (port_.isOpen()) {
        applySettings();
    }
}

void QtSerialControl::setRTSEnable(bool enable) {
    rtsEnable_ = enable;
    if (port_.isOpen()) {
        applyRts();
    }
}

void QtSerialControl::setInBufferCount(std::int16_t count) {
    // Only emptying the buffer means anything; received data is never read.
    if (count == 0 && port_.isOpen()) {
        port_.clear(QSerialPort::Input);
    }
}

void QtSerialControl::checkSettingsSupported() const {
#ifndef Q_OS_WIN
    // termios has no 1.5 stop bits, and QSerialPort would quietly send 1.
    if (settings_.stopBits == SerialSettings::StopBits::OneAndHalf) {
        fail("1.5 stop bits are not supported on this system");
    }
#endif
}

void QtSerialControl::applySettings() {
    checkSettingsSupported();
    const bool applied = port_.setBaudRate(settings_.baudRate) &&
                         port_.setDataBits(static_cast<QSerialPort::DataBits>(settings_.dataBits)) &&
                         port_.setParity(toQt(settings_.parity)) && port_.setStopBits(toQt(settings_.stopBits));
    if (!applied) {
        fail("cannot apply the line settings: " + reasonOf(port_));
    }
}

void QtSerialControl::applyRts() {
    // A device without modem lines (a pseudo-terminal, a virtual COM port)
    // has no RTS to set; that is no reason to refuse the port.
#ifdef Q_OS_WIN
    // Qt reports the system's refusal as an unknown error, so RTS is set
    // here directly, where the system's own code tells the two apart.
    if (::EscapeCommFunction(reinterpret_cast<HANDLE>(port_.handle()), rtsEnable_ ? SETRTS : CLRRTS)) {
        return;
    }
    const DWORD error = ::GetLastError();
    if (error == ERROR_NOT_SUPPORTED || error == ERROR_INVALID_FUNCTION) {
        return;
    }
    fail("cannot set RTS: " + systemReasonText(qt_error_string(static_cast<int>(error)).toStdString()));
#else
    if (port_.setRequestToSend(rtsEnable_)) {
        return;
    }
    if (port_.error() == QSerialPort::UnsupportedOperationError) {
        port_.clearError();
        return;
    }
    fail("cannot set RTS: " + reasonOf(port_));
#endif
}

void QtSerialControl::setPortOpen(bool open) {
    if (open) {
        this->open();
    } else {
        close();
    }
}

void QtSerialControl::open() {
    if (port_.isOpen()) {
        fail("port already open");
    }
    openDevice_ = devicePathForPort(commPort_);
    if (openDevice_.empty()) {
        const std::string port = std::to_string(commPort_);
        throw RelayFailure(FailureKind::Port,
                           "port " + port + " is not mapped: set FREQRELAY_PORT" + port + " or use --port");
    }
    const QString portName = portNameFor(openDevice_);
    if (portName.isEmpty()) {
        fail("the name is not valid UTF-8 and leads to no device with a name that is");
    }
    port_.setPortName(portName);
    port_.clearError();
    checkSettingsSupported();
    if (!port_.open(QIODevice::ReadWrite)) {
        const QString reason = port_.errorString();
        fail(reason == QLatin1String(kQtLockRefused) ? "in use by another program"
                                                     : systemReasonText(reason.toStdString()));
    }
    // The system raises RTS when the device opens; an interface that keys
    // the transmitter on RTS must see it lowered before anything else.
    try {
        applyRts();
        applySettings();
    } catch (const RelayFailure&) {
        port_.close();
        throw;
    }
}

void QtSerialControl::setOutput(const std::string& data) {
    if (!port_.isOpen()) {
        fail("port is not open");
    }
    const QByteArray bytes(data.data(), static_cast<qsizetype>(data.size()));
    if (port_.write(bytes) != bytes.size()) {
        // Newer Qt versions report a lost device here at once, where older
        // ones buffered the bytes and failed while waiting for them below.
        // Either way a handle that cannot write is let go of, so that the
        // repeated step opens the port afresh.
        const std::string reason = "write failed: " + reasonOf(port_);
        if (port_.error() == QSerialPort::TimeoutError) {
            fail(reason);
        }
        letGoAndFail(reason);
    }
    // Hand every byte to the system now, within a bounded time, so that a
    // stalled line is a failure and not a hang.
    const WaitEnd end = waitInSlices(writeTimeout_, quitCheck_, [this](std::chrono::milliseconds slice) {
        if (port_.bytesToWrite() == 0 || port_.waitForBytesWritten(static_cast<int>(slice.count()))) {
            return port_.bytesToWrite() == 0;
        }
        if (port_.error() != QSerialPort::NoError && port_.error() != QSerialPort::TimeoutError) {
            letGoAndFail("write failed: " + reasonOf(port_));
        }
        // Newer Qt versions wait on a device that has gone without telling
        // of it; the system's hang-up says so at once.
        if (hungUp()) {
            letGoAndFail("write failed: the device hung up");
        }
        port_.clearError();
        return false;
    });
    if (end != WaitEnd::Done) {
        // Drop what is left, so that a repeated write starts a whole command
        // and does not follow a stale part of this one.
        port_.clear(QSerialPort::Output);
        fail(end == WaitEnd::Quit ? kQuitting : "write timed out");
    }
}

void QtSerialControl::close() {
    if (!port_.isOpen()) {
        return;
    }
    drain();
    port_.close();
}

bool QtSerialControl::hungUp() const {
#ifdef Q_OS_UNIX
    pollfd line{static_cast<int>(port_.handle()), POLLOUT, 0};
    return ::poll(&line, 1, 0) == 1 && (line.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0;
#else
    return false;
#endif
}

long QtSerialControl::queuedOutput() const {
#ifdef Q_OS_UNIX
    int queued = 0;
    return ::ioctl(static_cast<int>(port_.handle()), TIOCOUTQ, &queued) == 0 ? queued : -1;
#elif defined(Q_OS_WIN)
    COMSTAT status{};
    DWORD errors = 0;
    return ::ClearCommError(reinterpret_cast<HANDLE>(port_.handle()), &errors, &status)
               ? static_cast<long>(status.cbOutQue)
               : -1;
#else
    return 0;
#endif
}

void QtSerialControl::drain() {
    // Wait for the driver's queue with a deadline, so that a line held by
    // flow control fails instead of freezing the relay (on Windows the
    // flush below alone could wait for ever); then the system's own drain
    // for the last bytes in the hardware.
    const WaitEnd end = waitInSlices(writeTimeout_, quitCheck_, [this](std::chrono::milliseconds slice) {
        const auto until = std::chrono::steady_clock::now() + slice;
        while (queuedOutput() > 0) {
            if (std::chrono::steady_clock::now() >= until) {
                return false;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        return true;
    });
    if (end != WaitEnd::Done) {
        fail(end == WaitEnd::Quit ? kQuitting : "output did not drain");
    }
#ifdef Q_OS_UNIX
    const int fd = static_cast<int>(port_.handle());
    while (::tcdrain(fd) != 0) {
        if (errno != EINTR) {
            letGoAndFail(std::string("drain failed: ") + std::strerror(errno));
        }
    }
#elif defined(Q_OS_WIN)
    if (!::FlushFileBuffers(reinterpret_cast<HANDLE>(port_.handle()))) {
        letGoAndFail("drain failed: " + systemReasonText(qt_error_string().toStdString()));
    }
#endif
}

}  // namespace freqrelay
