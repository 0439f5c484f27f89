#pragma once

#include "core/Link.h"
#include "serial/RigctldAddress.h"

#include <QObject>
#include <QTcpSocket>
#include <QTimer>

#include <chrono>
#include <optional>
#include <string>

namespace freqrelay {

// A set takes the dummy rig about 20 ms and a real radio a few round trips
// of its own line; an answer that has not come by then will not come.
inline constexpr std::chrono::milliseconds kAnswerTimeout{1000};

// The frequency to a rig control server (Hamlib's rigctld), which holds any
// of its many radios, or one another program shares: "F <Hz>" on one TCP
// connection kept open, answered by "RPRT 0". The sending ends from the event
// loop. A refused or lost connection, another answer or none within
// kAnswerTimeout fails it; the connection is then made again at the next try.
class RigctldLink final : public QObject, public Link {
public:
    explicit RigctldLink(RigctldAddress address, std::chrono::milliseconds answerTimeout = kAnswerTimeout);
    ~RigctldLink() override;

    void send(const Command& command, Done done) override;
    // A server holds nothing for a failed sending: the whole is the same.
    void sendWhole(const Command& command, Done done) override { send(command, std::move(done)); }
    void abandon() noexcept override;
    bool commandIsOnTheLine() const override { return false; }
    std::string destination(const Command& command) const override;
    // "rigctld 127.0.0.1:4532", as failures name it.
    std::string name() const { return "rigctld " + address_.text(); }

private:
    void writeFrequency();
    void takeAnswer();
    // Ends the sending: sent, or failed for `reason`.
    void end(const std::optional<std::string>& reason);

    RigctldAddress address_;
    std::chrono::milliseconds answerTimeout_;
    QTcpSocket socket_;
    QTimer deadline_;
    QByteArray answer_;
    Done done_;
    std::int64_t hz_ = 0;
};

}  // namespace freqrelay
