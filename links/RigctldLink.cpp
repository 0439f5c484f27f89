#include "links/RigctldLink.h"

#include "core/PollPacing.h"
#include "core/RelayFailure.h"

#include <QSignalBlocker>

#include <charconv>
#include <utility>

namespace freqrelay {

namespace {

constexpr const char* kStep = "sending the frequency";
// An answer is "RPRT n": one that goes on longer is none, and so much of it
// is enough to tell what came instead.
constexpr qsizetype kLongestAnswer = 1024;
constexpr qsizetype kQuotedAnswer = 40;
// A radio that late lines keep moving is set again this many times at most.
constexpr int kMostSetsAgain = 3;

// Hamlib's reasons for its error numbers, as rigctld gives them negated.
std::string hamlibReason(std::int64_t code) {
    static constexpr const char* kReasons[] = {
        "",
        "invalid parameter",
        "invalid configuration",
        "memory shortage",
        "feature not implemented",
        "communication timed out",
        "IO error",
        "internal Hamlib error",
        "protocol error",
        "command rejected by the rig",
        "command performed, but its argument truncated",
        "feature not available",
        "VFO not targetable",
        "communication bus error",
        "communication bus collision",
        "NULL handle or invalid pointer",
        "invalid VFO",
        "argument out of domain",
        "function deprecated",
        "security error",
        "rig not powered on",
    };
    return code < 0 && code > -static_cast<std::int64_t>(std::size(kReasons)) ? kReasons[-code] : "";
}

// Whether `text` is a whole number, and which.
bool wholeNumber(const QByteArray& text, std::int64_t& number) {
    const auto [last, error] = std::from_chars(text.data(), text.data() + text.size(), number);
    return !text.isEmpty() && error == std::errc() && last == text.data() + text.size();
}

}  // namespace

RigctldLink::RigctldLink(RigctldAddress address, std::chrono::milliseconds answerTimeout,
                         std::chrono::milliseconds giveUpTimeout)
    : address_(std::move(address)), answerTimeout_(answerTimeout), giveUpTimeout_(giveUpTimeout) {
    deadline_.setSingleShot(true);
    connect(&deadline_, &QTimer::timeout, this, [this] {
        const std::string late = "no answer within " + std::to_string(answerTimeout_.count()) + " ms";
        if (asked_ == Asked::Nothing && !readBack_.isActive()) {
            lose(late);  // still connecting
        } else {
            end(late + "; still waiting for it, without sending it again");
        }
    });
    giveUp_.setSingleShot(true);
    connect(&giveUp_, &QTimer::timeout, this, [this] {
        const std::string silent = "no answer within " + std::to_string(giveUpTimeout_.count()) + " ms";
        // Said, so that a command the log then calls dropped is not taken
        // for one the radio can no longer get.
        lose(asked_ != Asked::Set ? silent
                                  : silent + "; given up, though the server may still set " + std::to_string(askedHz_) +
                                        " Hz: the next frequency is read back");
    });
    readBack_.setSingleShot(true);
    connect(&readBack_, &QTimer::timeout, this, [this] { ask(Asked::Read, "f\n"); });
    connect(&socket_, &QTcpSocket::connected, this, &RigctldLink::proceed);
    connect(&socket_, &QTcpSocket::readyRead, this, &RigctldLink::takeAnswer);
    connect(&socket_, &QTcpSocket::errorOccurred, this,
            [this] { lose(systemReasonText(socket_.errorString().toStdString())); });
    connect(&socket_, &QTcpSocket::disconnected, this, [this] { lose("the server closed the connection"); });
}

RigctldLink::~RigctldLink() { dropConnection(); }

void RigctldLink::send(const Command& command, Done done) {
    const bool connected = socket_.state() == QAbstractSocket::ConnectedState;
    if (!connected) {
        dropConnection();
    }
    hz_ = frequencyHz(command);
    done_ = std::move(done);
    notes_.clear();
    deadline_.start(answerTimeout_);
    if (connected) {
        proceed();
    } else {
        socket_.connectToHost(QString::fromStdString(address_.host), address_.port);
    }
}

void RigctldLink::proceed() {
    if (!done_ || asked_ != Asked::Nothing || readBack_.isActive() ||
        socket_.state() != QAbstractSocket::ConnectedState) {
        return;
    }
    if (holds_ == hz_) {
        holds_.reset();  // told once: ReSend sets it again
        end(std::nullopt);
    } else if (acked_ == hz_) {
        // A late line from a connection given up would come by then.
        deadline_.stop();
        readBack_.start(kPollPause);
    } else {
        ask(Asked::Set, QByteArray("F ") + QByteArray::number(static_cast<qlonglong>(hz_)) + '\n');
    }
}

void RigctldLink::ask(Asked asked, const QByteArray& line) {
    if (asked == Asked::Set) {
        askedHz_ = hz_;
        holds_.reset();
        acked_.reset();
    }
    asked_ = asked;
    socket_.write(line);
    giveUp_.start(giveUpTimeout_);
    if (done_) {
        deadline_.start(answerTimeout_);
    }
}

void RigctldLink::takeAnswer() {
    answer_ += socket_.readAll();
    for (qsizetype end = answer_.indexOf('\n'); end >= 0; end = answer_.indexOf('\n')) {
        const QByteArray line = answer_.left(end).trimmed();
        answer_.remove(0, end + 1);
        giveUp_.stop();
        answered(std::exchange(asked_, Asked::Nothing), line);
        if (socket_.state() != QAbstractSocket::ConnectedState) {
            return;  // dropped for what it said
        }
    }
    // Also while no sending waits: an endless line is never kept whole.
    if (answer_.size() > kLongestAnswer) {
        asked_ = Asked::Nothing;
        lose("answered more than " + std::to_string(kLongestAnswer) + " bytes without a line end");
    }
}

void RigctldLink::answered(Asked asked, const QByteArray& line) {
    if (asked == Asked::Nothing) {
        return;  // nothing asked for it
    }
    // Exactly "RPRT n": anything else is no answer the relay can trust.
    std::int64_t code = 0;
    std::int64_t hz = 0;
    const bool report = line.startsWith("RPRT ") && wholeNumber(line.mid(5), code);
    if (asked == Asked::Read && (report || wholeNumber(line, hz))) {
        if (report) {
            // A radio that cannot tell its frequency is taken at its word.
            notes_.push_back(name() + " could not read back " + std::to_string(askedHz_) + " Hz (" +
                             line.toStdString() + "): not checked for a late command");
            hz = askedHz_;
        }
        held(hz);
    } else if (asked == Asked::Set && report && code == 0) {
        (mayBeLate_ ? acked_ : holds_) = askedHz_;
        proceed();
    } else if (asked == Asked::Set && report) {
        const std::string reason = hamlibReason(code);
        lose("refused " + std::to_string(askedHz_) + " Hz: " + line.toStdString() +
             (reason.empty() ? "" : " (" + reason + ")"));
    } else {
        lose("answered \"" + line.left(kQuotedAnswer).toStdString() + "\" where " +
             (asked == Asked::Set ? "RPRT" : "a frequency") + " was due");
    }
}

void RigctldLink::held(std::int64_t hz) {
    acked_.reset();
    if (hz == askedHz_) {
        mayBeLate_ = false;
        setsAgain_ = 0;
        holds_ = hz;
        proceed();
        return;
    }
    // The sending fails, so that the relay sets the radio again only while
    // the file still asks for this frequency, and drops it for the file's
    // new one otherwise. The note is logged even while the failure's
    // episode is already told.
    const std::string moved = "held " + std::to_string(hz) + " Hz after " + std::to_string(askedHz_) + " Hz was set";
    if (++setsAgain_ <= kMostSetsAgain) {
        notes_.push_back(name() + " " + moved + ": a late command moved it");
        end(moved + ": a late command moved it; setting it again");
        return;
    }
    // Moved at every check: the knob is the operator's, not a late line.
    mayBeLate_ = false;
    setsAgain_ = 0;
    const std::string knob =
        moved + " at each of " + std::to_string(kMostSetsAgain + 1) + " checks; no longer read back";
    notes_.push_back(name() + " " + knob);
    end(knob);
}

void RigctldLink::dropConnection() {
    if (asked_ == Asked::Set) {
        mayBeLate_ = true;  // the server may read it yet, and carry it out
    }
    asked_ = Asked::Nothing;
    giveUp_.stop();
    readBack_.stop();
    answer_.clear();
    const QSignalBlocker quiet(socket_);  // the caller tells why
    socket_.abort();
}

void RigctldLink::lose(const std::string& reason) {
    dropConnection();
    end(reason);
}

void RigctldLink::end(const std::optional<std::string>& reason) {
    deadline_.stop();
    if (!done_) {
        return;
    }
    const Done done = std::exchange(done_, nullptr);
    Sending sending;
    sending.notes = std::exchange(notes_, {});
    if (reason) {
        const bool refused = reason->starts_with("refused ");
        sending.failure = StepFailure{kStep, name() + (refused ? " " : ": ") + *reason, StepArea::Port};
    } else {
        sending.worked.emplace_back(kStep);
    }
    done(sending);
}

void RigctldLink::abandon() noexcept {
    done_ = nullptr;
    notes_.clear();
    deadline_.stop();
    if (asked_ != Asked::Set) {
        dropConnection();
    }
}

bool RigctldLink::commandIsOnTheLine() const {
    return (asked_ != Asked::Nothing && askedHz_ == hz_) || holds_ == hz_ || acked_ == hz_;
}

std::string RigctldLink::destination(const Command& command) const {
    return name() + " as " + std::to_string(frequencyHz(command)) + " Hz";
}

}  // namespace freqrelay
