#include "ui/Relay.h"

#include "core/Encoder.h"
#include "core/PollPacing.h"
#include "core/RelayFailure.h"
#include "ui/QuitSignals.h"

#include <QTime>

namespace freqrelay {

namespace {

// A QTimer's interval, rounded up so that the timer never fires before `at`.
int millisecondsUntil(std::chrono::steady_clock::time_point at) {
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(at - std::chrono::steady_clock::now());
    return static_cast<int>(std::max<std::chrono::milliseconds::rep>(left.count(), 0));
}

}  // namespace

Relay::Relay(const std::string& frequencyFile)
    : file_(frequencyFile), watch_(frequencyFile), log_([this] { return MSComm1.device(); }), sender_(MSComm1, state) {
    // A signal may arrive while a step waits for a stalled line, and the
    // event loop serves it only once the step is over: that wait (up to a
    // write timeout and a drain's) must not hold up the stop. A click cannot
    // arrive during a step, so only the signal is asked for.
    MSComm1.setQuitCheck([] { return QuitSignals::received(); });
    pollTimer_.setSingleShot(true);
    pollTimer_.setTimerType(Qt::PreciseTimer);
    QObject::connect(&pollTimer_, &QTimer::timeout, [this] { poll(); });
    reSendTimer_.setSingleShot(true);
    reSendTimer_.setTimerType(Qt::PreciseTimer);
    QObject::connect(&reSendTimer_, &QTimer::timeout, [this] { reSend(); });
}

Relay::~Relay() = default;

void Relay::start() {
    loop_.emplace(state, static_cast<LoopHost&>(*this), file_, *view_, sender_, static_cast<RelayObserver*>(this));
    loop_->start();
    // The radio follows as soon as the file is written, not at the next poll.
    watch_.start([this] { pollBy(watch_.readableAt(std::chrono::steady_clock::now())); });
    pollAt(std::chrono::steady_clock::now());
}

void Relay::poll() {
    if (quit_) {
        return;
    }
    const auto now = std::chrono::steady_clock::now();
    // Never a command sooner than a poll pause after the last one, whatever
    // woke the poll; and no read of a file its writer is still writing.
    auto due = pacedFrom(now);
    if (loop_->readsFileNext()) {
        due = std::max(due, watch_.readableAt(now));
    }
    if (due > now) {
        pollAt(due);
        return;
    }
    const auto pause = loop_->runUntilPause();
    if (!quit_) {
        pollAt(std::chrono::steady_clock::now() + pause);
    }
}

void Relay::pollBy(TimePoint at) {
    if (!quit_ && loop_ && at < pollDue_) {
        pollAt(at);
    }
}

void Relay::pollAt(TimePoint at) {
    pollDue_ = at;
    pollTimer_.start(millisecondsUntil(at));
}

Relay::TimePoint Relay::pacedFrom(TimePoint now) const { return pacedWake(now, lastCommandEnd_); }

void Relay::quit() {
    if (quit_) {
        return;
    }
    quit_ = true;
    pollTimer_.stop();
    reSendTimer_.stop();
    releaseFileAndPort();
}

void Relay::releaseFileAndPort() noexcept {
    file_.close();
    // Between steps the port is open only while a failed step waits to be
    // repeated, its command not on the line: there is nothing worth waiting
    // for, so it is let go of at once, even on a stalled line.
    MSComm1.forceClose();
}

void Relay::reSend() {
    if (quit_) {
        return;
    }
    // The radio gets its pause after every command, a repeated one too. A
    // click while one waits is merged into it: the same command goes once.
    const auto now = std::chrono::steady_clock::now();
    const auto due = pacedFrom(now);
    if (due > now) {
        if (!reSendTimer_.isActive()) {
            reSendTimer_.start(millisecondsUntil(due));
        }
        return;
    }
    reSendTimer_.stop();
    sendAgain();
}

void Relay::sendAgain() {
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

}  // namespace freqrelay
