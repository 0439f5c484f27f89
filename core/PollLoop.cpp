#include "core/PollLoop.h"

#include "core/Conversions.h"
#include "core/Encoder.h"
#include "core/RelayFailure.h"

#include <new>
#include <utility>

namespace freqrelay {

PollLoop::PollLoop(RelayState& state, LoopHost& host, TextFile& file, Display& display, CommandSteps& sender,
                   RelayObserver* observer)
    : state_(state), host_(host), file_(file), display_(display), sender_(sender), observer_(observer) {}

void PollLoop::start() {
    state_.h = "&H";
    state_.freqold = Variant("");
    at_ = Position{};
}

bool PollLoop::readsFileNext() const {
    // A repeated sending step reads the file first, to see whether its
    // command is still wanted.
    return at_.step == Step::Arm || at_.step == Step::Open || at_.step == Step::Send;
}

std::chrono::milliseconds PollLoop::runUntilPause() {
    if (at_.step == Step::Send) {
        // A sending step failed and has waited.
        at_ = afreshIfStale(at_);
    }
    for (;;) {
        const Position running = at_;
        try {
            at_ = runStepOrFail(at_);
            noteSuccess(running);
        } catch (const RelayFailure& failure) {
            if (!armed_) {
                throw;
            }
            noteFailure(running, failure);
            if (failure.repeatingCannotCure()) {
                // The same number would overflow again on every retry and the
                // file would never be read again. freqold already holds this
                // text, so nothing is sent until the text changes.
                file_.close();
                at_ = Position{};
                continue;
            }
            if (at_.step == Step::Read) {
                // A descriptor that gave EIO or ESTALE never reads again, so
                // the retry opens the file afresh and reads it from the start.
                file_.close();
                releaseText(state_.freq);
                at_ = Position{Step::Open};
            }
            // The window is served meanwhile; otherwise `at_` is unchanged:
            // the failed step runs again.
            return kPollPause;
        }
        if (running.step == Step::Pause) {
            return kPollPause;
        }
    }
}

PollLoop::Position PollLoop::runStepOrFail(Position at) {
    try {
        return runStep(at);
    } catch (const std::bad_alloc&) {
        // Memory may be free again by the next try; it is a failed step like
        // any other, never the end of the program.
        const bool onFile = areaOf(at.step) == StepArea::File;
        throw RelayFailure(FailureKind::Memory, (onFile ? file_.name() + ": " : "") + "out of memory");
    }
}

StepArea PollLoop::areaOf(Step step) {
    switch (step) {
    case Step::Encode: return StepArea::Encoding;
    case Step::Send: return StepArea::Port;
    case Step::ClearText:
    case Step::Pause:
    case Step::Arm:
    case Step::Open:
    case Step::TestEnd:
    case Step::Read:
    case Step::Close:
    case Step::Compare:
    case Step::Store: return StepArea::File;
    }
    return StepArea::File;
}

StepFailure PollLoop::describe(Position at, const RelayFailure& failure) const {
    StepFailure report;
    report.reason = failure.what();
    report.retrying = !failure.repeatingCannotCure();
    report.area = areaOf(at.step);
    report.quitting = host_.quitRequested();
    switch (at.step) {
    case Step::Open: report.step = "opening the file"; break;
    case Step::Read: report.step = "reading the file"; break;
    case Step::Encode: report.step = "reading the number"; break;
    case Step::Send: report.step = sender_.stepName(at.index); break;
    case Step::ClearText:
    case Step::Pause:
    case Step::Arm:
    case Step::TestEnd:
    case Step::Close:
    case Step::Compare:
    case Step::Store: report.step = "polling the file"; break;
    }
    return report;
}

void PollLoop::noteFailure(Position at, const RelayFailure& failure) {
    const StepFailure report = describe(at, failure);
    const auto now = std::chrono::steady_clock::now();
    if (failing_ && failing_->at == at) {
        // The same step again: one episode, counted. A reason that changes
        // (a device that comes and goes) is told again only now and then.
        ++failing_->failedTries;
        failing_->report = report;
        if (report.reason == failing_->toldReason || now - failing_->told < kRetellAfter) {
            return;
        }
        failing_->toldReason = report.reason;
        failing_->told = now;
    } else if (report.retrying && !report.quitting) {
        failing_ = Failing{at, report, report.reason, now, now, 1};
    }
    if (observer_ != nullptr) {
        observer_->stepFailed(report);
    }
}

void PollLoop::noteSuccess(Position at) {
    if (failing_ && failing_->at == at) {
        const Failing cleared = *failing_;
        failing_.reset();
        if (observer_ != nullptr) {
            observer_->failureCleared(cleared.report, std::chrono::steady_clock::now() - cleared.since,
                                      cleared.failedTries + 1);
        }
    }
    if (at.step == Step::Send && at.index + 1 == sender_.stepCount() && observer_ != nullptr) {
        observer_->commandSent(state_.fr.toText(), Encoder::outText(state_));
    }
}

PollLoop::Position PollLoop::afreshIfStale(Position failed) {
    if (failed.index + 1 >= sender_.stepCount()) {
        return failed;  // the command is on the line; only the port is left to let go of
    }
    // Read as the poll reads it. A file that cannot be read now, or is
    // caught empty by its writer, tells nothing: the step is repeated.
    std::string now;
    try {
        file_.open();
        while (!file_.atEnd()) {
            file_.readInto(now);
        }
        file_.close();
    } catch (const RelayFailure&) {
        file_.close();
        return failed;
    } catch (const std::bad_alloc&) {
        file_.close();
        return failed;
    }
    if (now.empty() || now == state_.freqold.text()) {
        return failed;
    }
    // The radio would be sent to a frequency nothing asks for any more, and
    // then to the new one: the stale command goes, and the new text is
    // taken as if the poll had just read it.
    if (observer_ != nullptr) {
        observer_->commandDropped(Encoder::outText(state_), LeftPartAfterMark(now, Encoder::kInterpretedLength));
    }
    sender_.abandon();
    std::swap(state_.freq.text(), now);
    return {Step::Store};
}

void PollLoop::warnIfNoNumber() const {
    const std::string start = LeftPartAfterMark(state_.freq.text(), Encoder::kInterpretedLength);
    if (observer_ != nullptr && !StartsWithNumber(start)) {
        observer_->textHasNoNumber(file_.name(), start);
    }
}

void PollLoop::releaseText(Variant& field) {
    // Swapped out rather than cleared, so that one large text does not keep
    // its buffer for the rest of the run.
    std::string().swap(field.text());
}

PollLoop::Position PollLoop::runStep(Position at) {
    switch (at.step) {
    case Step::ClearText: releaseText(state_.freq); return {Step::Pause};
    case Step::Pause: return {Step::Arm};  // the host serves the window until the next poll
    case Step::Arm:
        // A failure before this point is no failure of the poll's and is not
        // waited out. From here on every step's failure is retried.
        armed_ = true;
        return {Step::Open};
    case Step::Open: file_.open(); return {Step::TestEnd};
    case Step::TestEnd: return {file_.atEnd() ? Step::Close : Step::Read};
    case Step::Read: file_.readInto(state_.freq.text()); return {Step::TestEnd};
    case Step::Close: file_.close(); return {Step::Compare};
    case Step::Compare:
        // An empty text is a writer caught between emptying the file and
        // filling it, never a frequency: it is passed over like an unchanged
        // one, so the next real text is compared with the last one sent.
        return {state_.freq.text().empty() || state_.freq == state_.freqold ? Step::ClearText : Step::Store};
    case Step::Store: {
        // The whole text, before it is cut to eight characters. Swapped in,
        // not assigned: a string assigned a short text keeps its own large
        // buffer, so freqold would keep a large earlier text's memory.
        Variant text(state_.freq.toText());
        std::swap(state_.freqold, text);
        warnIfNoNumber();
        return {Step::Encode};
    }
    case Step::Encode:
        Encoder::runStep(static_cast<EncodeStep>(at.index), state_, display_);
        return at.index + 1 < Encoder::kStepCount ? Position{Step::Encode, at.index + 1} : Position{Step::Send};
    case Step::Send:
        sender_.runStep(at.index);
        return at.index + 1 < sender_.stepCount() ? Position{Step::Send, at.index + 1} : Position{Step::ClearText};
    }
    return {};
}

}  // namespace freqrelay
