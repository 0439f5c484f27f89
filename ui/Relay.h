#pragma once

#include "core/FileReader.h"
#include "core/LoopHost.h"
#include "core/PollLoop.h"
#include "core/RelayObserver.h"
#include "core/RelayState.h"
#include "serial/QtSerialControl.h"
#include "serial/SendCommand.h"
#include "ui/FileWatch.h"
#include "ui/RelayLog.h"
#include "ui/RelayView.h"

#include <QTimer>

#include <chrono>
#include <optional>
#include <string>

namespace freqrelay {

// The frequency file, in the working directory, unless told otherwise.
inline constexpr const char* kFrequencyFile = "ft1000file";

// The relay at work: it owns the state, the frequency file, the serial
// control and the log, drives the poll loop from the application's event
// loop, and carries out the operator's ReSend and QUIT. It tells its view
// what to show: Out is shown as not sent, with the reason, while the command
// it shows is not on the line, and In's note tells why the file cannot be
// read.
class Relay final : private LoopHost, private RelayObserver {
public:
    // `frequencyFile` is read against the working directory of each poll.
    explicit Relay(const std::string& frequencyFile = kFrequencyFile);
    ~Relay() override;
    Relay(const Relay&) = delete;
    Relay& operator=(const Relay&) = delete;

    void setView(RelayView& view) { view_ = &view; }
    // Starts polling the frequency file and returns; the event loop runs the
    // polls from here on.
    void start();
    // QUIT: stops polling and closes the file and the port.
    void quit();
    // ReSend: sends the last command again, as soon as the radio's pace
    // allows.
    void reSend();
    // QUIT has been carried out.
    bool ended() const { return quit_; }
    bool quitRequested() const override;

    RelayState state;
    QtSerialControl MSComm1;

private:
    using TimePoint = std::chrono::steady_clock::time_point;

    // Runs the loop until its next pause, unless the radio's pace or a
    // writer at work puts the poll off.
    void poll();
    // The next poll at `at`, or sooner if one is due sooner already.
    void pollBy(TimePoint at);
    void pollAt(TimePoint at);
    // The earliest a command may follow the last one.
    TimePoint pacedFrom(TimePoint now) const;
    void sendAgain();
    void stepFailed(const StepFailure& failure) override;
    void failureCleared(const StepFailure& failure, std::chrono::steady_clock::duration lasted, int tries) override;
    void commandSent(const std::string& command, const std::string& digits) override;
    void commandDropped(const std::string& digits, const std::string& start) override;
    void textHasNoNumber(const std::string& file, const std::string& start) override;
    void releaseFileAndPort() noexcept;

    RelayView* view_ = nullptr;
    FileReader file_;
    FileWatch watch_;
    RelayLog log_;
    SendCommand sender_;
    std::optional<PollLoop> loop_;
    QTimer pollTimer_;
    TimePoint pollDue_;
    QTimer reSendTimer_;
    std::optional<TimePoint> lastCommandEnd_;
    bool quit_ = false;
};

}  // namespace freqrelay
