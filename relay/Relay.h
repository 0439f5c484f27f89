#pragma once

#include "core/Encoder.h"
#include "core/Episodes.h"
#include "core/FileReader.h"
#include "core/Link.h"
#include "relay/Settings.h"
#include "system/FileWatch.h"

#include <QObject>
#include <QTimer>

#include <chrono>
#include <memory>
#include <optional>
#include <string>

namespace freqrelay {

// Polls the frequency file four times a second, and at once when the watch
// sees the writer finish; when the whole text has changed it encodes it and
// sends the command, and tells what it did through its signals. A failed
// step is tried again every poll pause: reading from the start, sending from
// the step that failed. A command not yet on the line is dropped once the
// file holds another text.
class Relay final : public QObject {
    Q_OBJECT

public:
    // `frequencyFile` is read against the working directory of each poll.
    Relay(const std::string& frequencyFile, Link& link, QObject* parent = nullptr);
    ~Relay() override;

    // Starts polling; the event loop runs the polls.
    void start();
    // Set up again while it runs: a command on its way to the old link is
    // abandoned and the old link let go of (the caller may then destroy it),
    // the watch follows settings.file at once, and the file's current text
    // goes to `link` as a change would, paced as any command.
    void reconfigure(const Settings& settings, Link& link);
    // QUIT: stops polling and lets go of the port at once.
    void quit();
    // ReSend: the last command again, once the pace allows; clicks
    // meanwhile are merged into it.
    void reSend();
    bool ended() const { return quit_; }
    // QUIT has been asked for, by the window or by a signal.
    bool quitRequested() const;
    // The whole text last acted on.
    const std::string& freqold() const { return freqold_; }

signals:
    // A changed text's In and, unless its number does not fit, Out.
    void shown(const std::string& in, const std::optional<std::string>& out);
    // `command` (Out `out`) has reached `to`: the port, or the server and Hz.
    void sent(const freqrelay::Command& command, const std::string& out, const std::string& to);
    // A step failed; told when its episode starts, not at every try.
    void failed(const freqrelay::StepFailure& failure);
    // A failing step works again.
    void cleared(const freqrelay::Episodes::Ended& episode);
    // The command for `out`, not yet on the line, was given up: the file
    // now holds another text, whose interpreted start is `start`.
    void dropped(const std::string& out, const std::string& start);
    // A changed text's start is not what it seems; `why` says how (no
    // number, so zeros go out; a NUL that ends the number).
    void textWarning(const std::string& file, const std::string& start, const std::string& why);
    void reSendFailed(const std::string& reason);
    // How a sending went, as its link tells it: a radio set again after a
    // late command moved it.
    void noted(const std::string& what);
    // A failing step is tried no more: `change` ("the link changed") made it moot.
    void abandoned(const freqrelay::Episodes::Ended& episode, const std::string& change);

private:
    using Clock = std::chrono::steady_clock;

    void watchFile();
    void leave(StepArea area, const std::string& change);
    void poll();
    void pollAt(Clock::time_point at);
    // The file's whole text; none when it cannot be read, or when it is a
    // large file known to be unchanged.
    std::optional<std::string> readFile();
    void take(std::string text);
    void send();
    void sendAgain();
    void sendingEnded(const Sending& sending);
    void commandSent();
    void report(StepFailure failure);
    void worked(const std::string& step);

    std::unique_ptr<FileReader> file_;
    std::unique_ptr<FileWatch> watch_;
    Link* link_;
    bool started_ = false;
    Episodes episodes_;
    std::string freqold_;
    Command lastCommand_{};
    std::string lastOut_;
    bool sending_ = false;      // the link sends one command at a time
    bool sendPending_ = false;  // the last sending failed and waits to be repeated
    QTimer pollTimer_;
    Clock::time_point pollDue_;
    QTimer reSendTimer_;
    std::optional<Clock::time_point> lastCommandEnd_;
    bool quit_ = false;
};

}  // namespace freqrelay
