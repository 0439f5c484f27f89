#include "serial/RigctldLink.h"

#include "core/RelayFailure.h"

#include <charconv>
#include <utility>

namespace freqrelay {

namespace {

constexpr const char* kStep = "sending the frequency";
// An answer is "RPRT n": one that goes on longer is none, and so much of it
// is enough to tell what came instead.
constexpr qsizetype kLongestAnswer = 1024;
constexpr qsizetype kQuotedAnswer = 40;

// Hamlib's reasons for its error numbers, as rigctld gives them negated.
std::string hamlibReason(int code) {
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
    const int index = -code;
    return index > 0 && index < static_cast<int>(std::size(kReasons)) ? kReasons[index] : "";
}

}  // namespace

RigctldLink::RigctldLink(RigctldAddress address, std::chrono::milliseconds answerTimeout)
    : address_(std::move(address)), answerTimeout_(answerTimeout) {
    deadline_.setSingleShot(true);
    connect(&deadline_, &QTimer::timeout, this,
            [this] { end("no answer within " + std::to_string(answerTimeout_.count()) + " ms"); });
    connect(&socket_, &QTcpSocket::connected, this, &RigctldLink::writeFrequency);
    connect(&socket_, &QTcpSocket::readyRead, this, &RigctldLink::takeAnswer);
    connect(&socket_, &QTcpSocket::errorOccurred, this,
            [this] { end(systemReasonText(socket_.errorString().toStdString())); });
    connect(&socket_, &QTcpSocket::disconnected, this, [this] { end("the server closed the connection"); });
}

RigctldLink::~RigctldLink() { abandon(); }

void RigctldLink::send(const Command& command, Done done) {
    const bool connected = socket_.state() == QAbstractSocket::ConnectedState;
    if (!connected) {
        socket_.abort();  // before the sending is set up, so that it is not failed by it
    }
    hz_ = frequencyHz(command);
    done_ = std::move(done);
    answer_.clear();
    deadline_.start(answerTimeout_);
    if (connected) {
        writeFrequency();
    } else {
        socket_.connectToHost(QString::fromStdString(address_.host), address_.port);
    }
}

void RigctldLink::writeFrequency() {
    if (done_) {
        socket_.write(QByteArray("F ") + QByteArray::number(static_cast<qlonglong>(hz_)) + '\n');
    }
}

void RigctldLink::takeAnswer() {
    answer_ += socket_.readAll();
    for (qsizetype end = answer_.indexOf('\n'); end >= 0; end = answer_.indexOf('\n')) {
        const QByteArray line = answer_.left(end).trimmed();
        answer_.remove(0, end + 1);
        if (!done_) {
            continue;  // nothing asked for it
        }
        // Exactly "RPRT n": anything else is no answer the relay can trust.
        const std::string number = line.startsWith("RPRT ") ? line.mid(5).toStdString() : std::string();
        int code = 0;
        const auto [last, error] = std::from_chars(number.data(), number.data() + number.size(), code);
        if (number.empty() || error != std::errc() || last != number.data() + number.size()) {
            this->end("answered \"" + line.left(kQuotedAnswer).toStdString() + "\" where RPRT was due");
            return;
        }
        if (code == 0) {
            this->end(std::nullopt);
            return;
        }
        const std::string reason = hamlibReason(code);
        this->end("refused " + std::to_string(hz_) + " Hz: " + line.toStdString() +
                  (reason.empty() ? "" : " (" + reason + ")"));
        return;
    }
    if (done_ && answer_.size() > kLongestAnswer) {
        this->end("answered more than " + std::to_string(kLongestAnswer) + " bytes without a line end");
    }
}

void RigctldLink::end(const std::optional<std::string>& reason) {
    deadline_.stop();
    if (!done_) {
        return;
    }
    const Done done = std::exchange(done_, nullptr);
    Sending sending;
    if (reason) {
        // A connection that failed once is not trusted with the next
        // frequency: a late answer would be taken for that one's.
        socket_.abort();
        const bool refused = reason->starts_with("refused ");
        sending.failure = StepFailure{kStep, name() + (refused ? " " : ": ") + *reason, StepArea::Port};
    } else {
        sending.worked.emplace_back(kStep);
    }
    done(sending);
}

void RigctldLink::abandon() noexcept {
    done_ = nullptr;
    deadline_.stop();
    socket_.abort();
}

std::string RigctldLink::destination(const Command& command) const {
    return name() + " as " + std::to_string(frequencyHz(command)) + " Hz";
}

}  // namespace freqrelay
