#include "links/QtSerialControl.h"

#include "core/RelayFailure.h"
#include "links/PortDevice.h"
#include "links/StepWait.h"

#include <QByteArray>

#include <thread>

namespace freqrelay {

namespace {

constexpr const char* kQuitting = "given up: the relay is quitting";
// What QSerialPort says when another program holds the port's lock file.
constexpr const char* kQtLockRefused = "Permission error while locking the device";

// The name the serial library opens: the device a link leads to
// (/dev/serial/by-id/… to /dev/ttyUSB0), so that its lock file names the
// device, as other programs look for it. The library takes the name as
// text: a path that is no valid UTF-8 is given as its device, usually a
// plain name, and a device with no such name as the path; else "".
QString portNameFor(const std::string& path) {
    const auto asText = [](const std::string& name) {
        const QString text = QString::fromStdString(name);
        return text.toStdString() == name ? text : QString();
    };
    const QString device = asText(QtSerialControl::resolvedPath(path));
    return device.isEmpty() ? asText(path) : device;
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

}  // namespace

std::string QtSerialControl::reasonOf(const QSerialPort& port) {
    return systemReasonText(port.errorString().toStdString());
}

QtSerialControl::QtSerialControl(std::string port1, std::chrono::milliseconds writeTimeout)
    : writeTimeout_(writeTimeout), port1_(std::move(port1)) {}

QtSerialControl::~QtSerialControl() { forceClose(); }

void QtSerialControl::forceClose() noexcept {
    if (port_.isOpen()) {
        port_.clear(QSerialPort::Output);
        port_.close();
    }
}

std::string QtSerialControl::device() const { return port_.isOpen() ? openDevice_ : chosenDevice(); }

std::string QtSerialControl::chosenDevice() const { return commPort_ == 1 ? port1_ : defaultDevice(commPort_); }

void QtSerialControl::fail(const std::string& reason) const { throw RelayFailure(device() + ": " + reason); }

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
        throw RelayFailure("invalid port number " + std::to_string(port));
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

void QtSerialControl::applySettings() {
    checkSettingsSupported();
    const bool applied = port_.setBaudRate(settings_.baudRate) &&
                         port_.setDataBits(static_cast<QSerialPort::DataBits>(settings_.dataBits)) &&
                         port_.setParity(toQt(settings_.parity)) && port_.setStopBits(toQt(settings_.stopBits));
    if (!applied) {
        fail("cannot apply the line settings: " + reasonOf(port_));
    }
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
    openDevice_ = chosenDevice();
    if (openDevice_.empty()) {
        const std::string port = std::to_string(commPort_);
        throw RelayFailure("port " + port + " is not mapped: set FREQRELAY_PORT" + port + " or use --port");
    }
    const QString portName = portNameFor(openDevice_);
    if (portName.isEmpty()) {
        fail("the name is not valid UTF-8 and leads to no device with a name that is");
    }
    port_.setPortName(portName);
    port_.clearError();
    checkSettingsSupported();
    if (const std::string holder = lockHolder(); !holder.empty()) {
        fail("in use by another program: " + holder);
    }
    if (!port_.open(QIODevice::ReadWrite)) {
        const QString reason = port_.errorString();
        if (reason == QLatin1String(kQtLockRefused)) {
            fail("in use by another program");
        }
        const std::string said = systemReasonText(reason.toStdString());
        fail(refusesLineCalls(reason) ? "not a serial port (" + said + ")" : said);
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
        // Newer Qt versions report a lost device here, older ones while
        // waiting below: a handle that cannot write is let go of.
        const std::string reason = "write failed: " + reasonOf(port_);
        if (port_.error() == QSerialPort::TimeoutError) {
            fail(reason);
        }
        letGoAndFail(reason);
    }
    // Every byte goes to the system within a bounded time: a stalled line is
    // a failure, not a hang.
    const WaitEnd end = waitInSlices(writeTimeout_, quitCheck_, [this](std::chrono::milliseconds slice) {
        if (port_.bytesToWrite() == 0 || port_.waitForBytesWritten(static_cast<int>(slice.count()))) {
            return port_.bytesToWrite() == 0;
        }
        if (port_.error() != QSerialPort::NoError && port_.error() != QSerialPort::TimeoutError) {
            letGoAndFail("write failed: " + reasonOf(port_));
        }
        // Newer Qt versions wait on a device that has gone without telling
        // of it; the system's hang-up says so at once.
        if (hungUp(port_.handle())) {
            letGoAndFail("write failed: the device hung up");
        }
        port_.clearError();
        return false;
    });
    if (end != WaitEnd::Done) {
        // A repeated write must start a whole command, not follow a stale
        // part of this one.
        port_.clear(QSerialPort::Output);
        fail(end == WaitEnd::Quit ? kQuitting : "write timed out");
    }
}

void QtSerialControl::close() {
    if (!port_.isOpen()) {
        return;
    }
    // The driver's queue is waited for with a deadline, so that a line held
    // by flow control fails instead of freezing the relay (on Windows the
    // system's drain alone could wait for ever).
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
    systemDrain();
    port_.close();
}

}  // namespace freqrelay
