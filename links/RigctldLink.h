#pragma once

#include "core/Link.h"
#include "links/RigctldAddress.h"

#include <QObject>
#include <QTcpSocket>
#include <QTimer>

#include <chrono>
#include <optional>
#include <string>

namespace freqrelay {

// A set takes the dummy rig about 20 ms and a real radio a few round trips
// of its own line: an answer that has not come by then is told as slow.
inline constexpr std::chrono::milliseconds kAnswerTimeout{1000};
// A server that has not answered by then is taken for gone: its connection
// is given up and made again.
inline constexpr std::chrono::milliseconds kGiveUpTimeout{30000};

// The frequency to a rig control server (Hamlib's rigctld), which holds any
// of its many radios, or one another program shares: "F <Hz>" on one TCP
// connection kept open, answered by "RPRT 0". The sending ends from the event
// loop. A refused or lost connection, or another answer, fails it; the
// connection is then made again at the next try.
//
// The server carries out every line it has read, also one whose connection
// has been closed since, and one thread of it per connection may do so in
// any order: so one "F" at most is ever unanswered, across sendings and
// connections. An answer that has not come within the answer timeout fails
// the sending as slow, but the line is waited for, never written again; a
// connection is given up only when it is lost, or has not answered for
// the give-up timeout. Once a connection has been given up with its line
// unanswered, that line may still be carried out late: the next frequency
// acknowledged is read back ("f") a poll pause later; a radio a late line
// has moved fails the sending, so that the relay sets it again only while
// the file still asks for it, a few times at most.
class RigctldLink final : public QObject, public Link {
public:
    explicit RigctldLink(RigctldAddress address, std::chrono::milliseconds answerTimeout = kAnswerTimeout,
                         std::chrono::milliseconds giveUpTimeout = kGiveUpTimeout);
    ~RigctldLink() override;

    void send(const Command& command, Done done) override;
    // A server holds nothing for a failed sending: the whole is the same.
    void sendWhole(const Command& command, Done done) override { send(command, std::move(done)); }
    // Keeps a connection whose line is unanswered, so that its answer is read.
    void abandon() noexcept override;
    // Once its line is written, the server carries it out, however late.
    bool commandIsOnTheLine() const override;
    std::string destination(const Command& command) const override;
    // "rigctld 127.0.0.1:4532", as failures name it.
    std::string name() const { return "rigctld " + address_.text(); }
    // Whether a line of this link may yet be carried out late: one still
    // unanswered, or one on a connection given up.
    bool mayLeaveALateLine() const { return asked_ == Asked::Set || mayBeLate_; }
    // A line another link left with the server may yet be carried out: the
    // next frequency acknowledged is read back.
    void expectALateLine() { mayBeLate_ = true; }

private:
    // The line written on this connection and not yet answered.
    enum class Asked { Nothing, Set, Read };

    // Writes what the sending needs next, once nothing is outstanding.
    void proceed();
    void ask(Asked asked, const QByteArray& line);
    void takeAnswer();
    void answered(Asked asked, const QByteArray& line);
    void held(std::int64_t hz);
    // Closes the connection, which the server may still read from.
    void dropConnection();
    // Drops the connection and fails the sending for `reason`.
    void lose(const std::string& reason);
    // Ends the sending: sent, or failed for `reason`.
    void end(const std::optional<std::string>& reason);

    RigctldAddress address_;
    std::chrono::milliseconds answerTimeout_;
    std::chrono::milliseconds giveUpTimeout_;
    QTcpSocket socket_;
    QTimer deadline_;
    QTimer giveUp_;
    QTimer readBack_;
    QByteArray answer_;
    Done done_;
    std::int64_t hz_ = 0;  // what the sending sets
    Asked asked_ = Asked::Nothing;
    std::int64_t askedHz_ = 0;           // set, or read back after setting
    std::optional<std::int64_t> acked_;  // acknowledged, not yet read back
    std::optional<std::int64_t> holds_;  // sure to be held, not yet told to a sending
    bool mayBeLate_ = false;             // a connection was given up with its "F" unanswered
    int setsAgain_ = 0;                  // read-back checks failed in this episode
    std::vector<std::string> notes_;
};

}  // namespace freqrelay
