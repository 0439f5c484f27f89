#include "ui/Relay.h"

#include "core/Encoder.h"
#include "core/PollLoop.h"
#include "core/RelayFailure.h"
#include "ui/QuitSignals.h"

#include <QCoreApplication>
#include <QTime>

#include <thread>

namespace freqrelay {

Relay::Relay(const std::string& frequencyFile)
    : file_(frequencyFile), watch_(frequencyFile), log_([this] { return MSComm1.device(); }), sender_(MSComm1, state) {
    // A signal arrives while the loop may be waiting for a stalled line; that
    // wait must not hold up the stop.
    MSComm1.setQuitCheck([this] { return quitRequested(); });
}

Relay::~Relay() = default;

void Relay::run() {
    PollLoop(state, *this, file_, *view_, sender_, this).run();
    // A signal ends the loop without the button; leave nothing open either way.
    releaseFileAndPort();
}

void Relay::quit() {
    // Raised first, so that closing a port on a stalled line gives up at once.
    quit_ = true;
    releaseFileAndPort();
}

void Relay::releaseFileAndPort() noexcept {
    file_.close();
    if (MSComm1.portOpen()) {
        try {
            MSComm1.setPortOpen(false);
        } catch (const RelayFailure&) {
            // Ending regardless: the last command could not drain.
            MSComm1.forceClose();
        }
    }
}

void Relay::reSend() {
    // The poll loop may be holding the port open while it waits to repeat a
    // step; that port is the loop's to close, not ours.
    const bool openBefore = MSComm1.portOpen();
    try {
        sender_.run();
    } catch (const RelayFailure& failure) {
        // A port left open here would make every later command fail at its
        // first step, so give it up; and tell the operator what went wrong.
        if (!openBefore) {
            MSComm1.forceClose();
        }
        const std::string line = std::string("ReSend failed: ") + failure.what();
        view_->print(line);
        log_.reSendFailed(failure.what());
        view_->showOutNotSent(line + '.');
        return;
    }
    // The digits the command carries, not whatever the operator typed in Out.
    commandSent(state.fr.toText(), Encoder::outText(state));
}

void Relay::stepFailed(const StepFailure& failure) {
    log_.stepFailed(failure);
    if (failure.quitting) {
        return;
    }
    if (failure.area == StepArea::File) {
        view_->showFileNote("Waiting for " + failure.reason + ".");
    } else if (failure.retrying) {
        view_->showOutNotSent("Not sent yet: " + failure.reason + ". Trying again every " +
                              std::to_string(kPollPause.count()) + " ms.");
    } else {
        view_->showOutNotSent("Not sent: " + failure.reason + ".");
    }
}

void Relay::failureCleared(const StepFailure& failure, std::chrono::steady_clock::duration lasted, int tries) {
    log_.failureCleared(failure, lasted, tries);
    if (failure.quitting) {
        return;
    }
    if (failure.area == StepArea::File) {
        view_->showFileNote({});
    }
    // Out turns normal only once its command is on the line.
}

void Relay::commandSent(const std::string& command, const std::string& digits) {
    log_.commandSent(command, digits);
    lastCommandEnd_ = std::chrono::steady_clock::now();
    view_->showOutSent("Sent to " + MSComm1.device() + " at " +
                       QTime::currentTime().toString(QStringLiteral("HH:mm:ss")).toStdString() + ".");
}

// Out stays drawn as not sent: the new text's command is not on the line
// either.
void Relay::commandDropped(const std::string& digits, const std::string& start) { log_.commandDropped(digits, start); }

void Relay::textHasNoNumber(const std::string& file, const std::string& start) { log_.textHasNoNumber(file, start); }

bool Relay::quitRequested() const { return quit_ || QuitSignals::received(); }

void Relay::pump() { QCoreApplication::processEvents(); }

void Relay::pause(std::chrono::milliseconds duration) {
    // The radio follows as soon as the file is written, not at the next
    // poll, but keeps its pace.
    if (watch_.waitForWrite(std::chrono::steady_clock::now() + duration)) {
        std::this_thread::sleep_until(pacedWake(std::chrono::steady_clock::now(), lastCommandEnd_));
    }
}

}  // namespace freqrelay
