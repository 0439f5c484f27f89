#pragma once

#include "links/SerialControl.h"
#include "links/SerialSettings.h"

#include <QSerialPort>

#include <chrono>
#include <functional>
#include <string>
#include <utility>

namespace freqrelay {

// Long enough for five bytes at any speed, short enough that a click during
// a stalled write (served once the step is over) is not kept waiting long.
inline constexpr std::chrono::milliseconds kWriteTimeout{1000};

// The serial control over QSerialPort. Port 1 is the device it is given;
// another port is the system's own for its number. Closing waits until every byte has left for the wire:
// QSerialPort::close() restores the earlier line settings and drops whatever
// is still buffered.
class QtSerialControl final : public SerialControl {
public:
    // `port1`: the device port 1 stands for, "" where the system has none.
    explicit QtSerialControl(std::string port1, std::chrono::milliseconds writeTimeout = kWriteTimeout);
    ~QtSerialControl() override;
    QtSerialControl(const QtSerialControl&) = delete;
    QtSerialControl& operator=(const QtSerialControl&) = delete;

    void setCommPort(std::int16_t port) override;
    void setSettings(const std::string& settings) override;
    void setRTSEnable(bool enable) override;
    void setPortOpen(bool open) override;
    bool portOpen() const override { return port_.isOpen(); }
    void setOutput(const std::string& data) override;
    void forceClose() noexcept override;

    std::string device() const override;
    // Asked during every wait for the line: when the relay is quitting, the
    // wait gives up at once and the step fails.
    void setQuitCheck(std::function<bool()> quit) { quitCheck_ = std::move(quit); }
    // Where `path` leads once every link is followed; "" when nowhere, or where ports have no links.
    static std::string resolvedPath(const std::string& path);
    using LineHandle = decltype(std::declval<QSerialPort&>().handle());
    // Whether the system has hung up the line (an adapter pulled, the other
    // end of a pseudo-terminal closed): nothing written will ever leave.
    static bool hungUp(LineHandle handle);
    // Whether an opening failed for `reason` because the path has no line
    // (a file, /dev/null): the system's words for it are for programmers.
    static bool refusesLineCalls(const QString& reason);

private:
    static std::string reasonOf(const QSerialPort& port);
    [[noreturn]] void fail(const std::string& reason) const;
    [[noreturn]] void letGoAndFail(const std::string& reason);
    std::string chosenDevice() const;
    void applySettings();
    void open();
    void close();
    // Each system's part: the living program, other than this one, that
    // holds the port's lock file ("" when none; Qt's own check takes a lock
    // in another format for a stale one and removes it), the line settings it
    // cannot give, RTS, the driver's output queue (-1 when it cannot tell),
    // and the system's own wait for the last bytes to leave.
    std::string lockHolder() const;
    void checkSettingsSupported() const;
    void applyRts();
    long queuedOutput() const;
    void systemDrain();

    QSerialPort port_;
    std::chrono::milliseconds writeTimeout_;
    std::string port1_;
    std::int16_t commPort_ = 1;
    std::string openDevice_;
    SerialSettings settings_;
    bool rtsEnable_ = false;
    std::function<bool()> quitCheck_;
};

}  // namespace freqrelay
