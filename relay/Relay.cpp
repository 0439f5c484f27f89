#include "relay/Relay.h"

#include "core/Conversions.h"
#include "core/PollPacing.h"
#include "system/QuitSignals.h"

#include <algorithm>
#include <utility>

namespace freqrelay {

namespace {

// A QTimer's interval, rounded up so that the timer never fires before `at`.
int millisecondsUntil(std::chrono::steady_clock::time_point at) {
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(at - std::chrono::steady_clock::now());
    return static_cast<int>(std::max<std::chrono::milliseconds::rep>(left.count(), 0));
}

// An empty file, or one that holds only a byte-order mark, is a writer
// caught between emptying the file and filling it, never a frequency.
bool holdsNoText(const std::string& text) { return LeftPartAfterMark(text, 1).empty(); }

}  // namespace

Relay::Relay(const std::string& frequencyFile, Link& link, QObject* parent)
    : QObject(parent),
      file_(std::make_unique<FileReader>(frequencyFile)),
      watch_(std::make_unique<FileWatch>(frequencyFile)),
      link_(&link) {
    pollTimer_.setSingleShot(true);
    pollTimer_.setTimerType(Qt::PreciseTimer);
    connect(&pollTimer_, &QTimer::timeout, this, &Relay::poll);
    reSendTimer_.setSingleShot(true);
    reSendTimer_.setTimerType(Qt::PreciseTimer);
    connect(&reSendTimer_, &QTimer::timeout, this, &Relay::reSend);
}

// A sending still on its way must not end in a relay that is gone.
Relay::~Relay() { link_->abandon(); }

void Relay::start() {
    started_ = true;
    watchFile();
    pollAt(Clock::now());
}

void Relay::watchFile() {
    // The radio follows as soon as the file is written, not at the next poll.
    watch_->start([this](Clock::time_point at) {
        if (!quit_ && at < pollDue_) {
            pollAt(at);
        }
    });
}

void Relay::reconfigure(const Settings& settings, Link& link) {
    if (quit_) {
        return;
    }
    link_->abandon();
    link_ = &link;
    sending_ = false;
    sendPending_ = false;
    reSendTimer_.stop();
    leave(StepArea::Port, "the link changed");
    if (settings.file != file_->path()) {
        leave(StepArea::File, "the file changed");
        file_ = std::make_unique<FileReader>(settings.file);
        watch_ = std::make_unique<FileWatch>(settings.file);
        if (started_) {
            watchFile();
        }
    }
    // The radio on the new link follows the file without waiting for a
    // change: the text is taken as new, and read at once.
    freqold_.clear();
    file_->forgetRead();
    if (started_) {
        pollAt(Clock::now());
    }
}

void Relay::leave(StepArea area, const std::string& change) {
    for (const Episodes::Ended& episode : episodes_.leave(area, Clock::now())) {
        emit abandoned(episode, change);
    }
}

void Relay::poll() {
    if (quit_) {
        return;
    }
    const auto now = Clock::now();
    // Never a command sooner than a poll pause after the last one, whatever
    // woke the poll; and no read of a file its writer is still writing.
    const auto due = std::max(pacedWake(now, lastCommandEnd_), watch_->readableAt(now));
    if (due > now || sending_) {
        // A command on its way is waited for: it is followed by a poll.
        pollAt(due > now ? due : now + kPollPause);
        return;
    }
    const std::optional<std::string> text = readFile();
    const bool changed = text && !holdsNoText(*text) && *text != freqold_;
    if (sendPending_ && changed && !link_->commandIsOnTheLine()) {
        // The radio would be sent to a frequency nothing asks for any more,
        // and then to the new one: the stale command goes.
        emit dropped(lastOut_, LeftPartAfterMark(*text, kInterpretedLength));
        link_->abandon();
        sendPending_ = false;
    }
    if (sendPending_) {
        if (changed) {
            // Taken only once the command on the line is out: read it again.
            file_->forgetRead();
        }
        send();
    } else if (changed) {
        take(*text);
    }
    if (!quit_) {
        pollAt(Clock::now() + kPollPause);
    }
}

void Relay::pollAt(Clock::time_point at) {
    pollDue_ = at;
    pollTimer_.start(millisecondsUntil(at));
}

std::optional<std::string> Relay::readFile() {
    const bool written = watch_->reading();
    // A large file that neither the watch nor its stamp shows changed still
    // holds the text last acted on: reading it four times a second would
    // cost a core and its size in memory for nothing.
    if (!written && file_->unchangedSinceRead()) {
        return std::nullopt;
    }
    try {
        std::string text = file_->readWhole();
        worked(FileReader::kOpening);
        worked(FileReader::kReading);
        return text;
    } catch (StepFailure& failure) {
        // While a command waits to be sent again, a file that cannot be read
        // tells nothing new: the command is tried again as it is.
        if (!sendPending_) {
            report(std::move(failure));
        }
        return std::nullopt;
    }
}

void Relay::take(std::string text) {
    // Swapped in, not assigned, so that one large text does not keep its
    // buffer for the rest of the run.
    std::swap(freqold_, text);
    std::string().swap(text);
    const std::string start = LeftPartAfterMark(freqold_, kInterpretedLength);
    if (!StartsWithNumber(start)) {
        emit textWarning(file_->name(), start, "has no number at its start; sending 0");
    } else if (const std::string nul = nulWarning(start); !nul.empty()) {
        emit textWarning(file_->name(), start, nul);
    }
    const Encoding encoding = encode(freqold_);
    if (encoding.in) {
        emit shown(*encoding.in, encoding.out);
    }
    if (!encoding.out) {
        // The same number would overflow again on every try: nothing is sent
        // until the text changes.
        report({"reading the number", encoding.overflow, StepArea::Encoding, false});
        return;
    }
    lastCommand_ = encoding.command;
    lastOut_ = *encoding.out;
    send();
}

void Relay::send() {
    sending_ = true;
    link_->send(lastCommand_, [this](const Sending& sending) {
        sendingEnded(sending);
        for (const std::string& step : sending.worked) {
            worked(step);
        }
        sendPending_ = sending.failure.has_value();
        if (sending.failure) {
            report(*sending.failure);
            return;
        }
        commandSent();
    });
}

void Relay::sendingEnded(const Sending& sending) {
    sending_ = false;
    for (const std::string& note : sending.notes) {
        emit noted(note);
    }
}

void Relay::commandSent() {
    lastCommandEnd_ = Clock::now();
    emit sent(lastCommand_, lastOut_, link_->destination(lastCommand_));
}

void Relay::report(StepFailure failure) {
    failure.quitting = quitRequested();
    if (episodes_.failed(failure, Clock::now())) {
        emit failed(failure);
    }
}

void Relay::worked(const std::string& step) {
    if (const auto ended = episodes_.worked(step, Clock::now())) {
        emit cleared(*ended);
    }
}

void Relay::quit() {
    if (quit_) {
        return;
    }
    quit_ = true;
    pollTimer_.stop();
    reSendTimer_.stop();
    sending_ = false;
    // Between polls the port is open only while a failed command waits to be
    // repeated: nothing worth waiting for, so it is let go of at once.
    link_->abandon();
}

void Relay::reSend() {
    if (quit_) {
        return;
    }
    // The radio gets its pause after every command, a repeated one too. A
    // click while one waits is merged into it: the same command goes once.
    const auto now = Clock::now();
    const auto due = sending_ ? now + kPollPause : pacedWake(now, lastCommandEnd_);
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
    // A port the poll holds while it waits to repeat a step is the poll's:
    // this whole sending fails at its first step then.
    sending_ = true;
    link_->sendWhole(lastCommand_, [this](const Sending& sending) {
        sendingEnded(sending);
        if (sending.failure) {
            emit reSendFailed(sending.failure->reason);
            return;
        }
        commandSent();
    });
}

bool Relay::quitRequested() const { return quit_ || QuitSignals::received(); }

}  // namespace freqrelay
