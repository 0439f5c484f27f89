#pragma once

#include "PseudoTerminal.h"
#include "links/QtSerialControl.h"
#include "links/SerialLink.h"
#include "ui/Form1.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include <QProcess>
#include <QStringList>

#include <chrono>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

// The real window, relaying a file in a temporary working directory to a
// pseudo-terminal on port 1, or to radioLink() in that directory, a link to
// the pseudo-terminal that a test makes and removes. A scenario is a list of actions run from the
// event loop between the relay's steps, as the operator's clicks are; each
// action returns true when it is done, and the relay is QUIT after the last
// one.
class RelayRig {
public:
    using Action = std::function<bool()>;

    explicit RelayRig(bool portThroughLink = false);
    ~RelayRig();
    RelayRig(const RelayRig&) = delete;
    RelayRig& operator=(const RelayRig&) = delete;

    // Runs Form_Load and the event loop until the scenario ends or `limit`
    // passes; false on the limit. With `quitAtEnd` false the scenario itself must end the relay.
    bool run(std::vector<Action> scenario, std::chrono::milliseconds limit = std::chrono::seconds(10),
             bool quitAtEnd = true);

    void writeFile(const std::string& text) const;
    std::filesystem::path file() const { return folder_ / freqrelay::kFrequencyFile; }
    const std::filesystem::path& folder() const { return folder_; }
    std::filesystem::path radioLink() const { return folder_ / "radio"; }

    // Bytes that reached the line so far, as hex.
    std::string lineHex();
    // Actions for scenarios.
    Action write(const std::string& text);
    Action waitForBytes(std::size_t total);
    Action idle(std::chrono::milliseconds duration);
    Action then(std::function<void()> step);

private:
    std::filesystem::path folder_;
    std::filesystem::path previousFolder_;

public:
    PseudoTerminal pty;
    freqrelay::QtSerialControl MSComm1;
    freqrelay::SerialLink link{MSComm1};
    freqrelay::Relay relay{freqrelay::kFrequencyFile, link};
    freqrelay::Form1 form{relay};

private:
    std::string line_;
};

// The window's parts, found by their object names as the operator's tools
// find them.
inline QLineEdit* Text1(freqrelay::Form1& form) { return form.findChild<QLineEdit*>("Text1"); }
inline QLineEdit* Text2(freqrelay::Form1& form) { return form.findChild<QLineEdit*>("Text2"); }
inline QLabel* Label1(freqrelay::Form1& form) { return form.findChild<QLabel*>("Label1"); }
inline QLabel* Label2(freqrelay::Form1& form) { return form.findChild<QLabel*>("Label2"); }
inline QPushButton* Command1(freqrelay::Form1& form) { return form.findChild<QPushButton*>("Command1"); }
inline QPushButton* Command2(freqrelay::Form1& form) { return form.findChild<QPushButton*>("Command2"); }
inline QPushButton* Command3(freqrelay::Form1& form) { return form.findChild<QPushButton*>("Command3"); }
// Whether Out is drawn as not sent (in red).
inline bool outDrawnNotSent(freqrelay::Form1& form) {
    return Text2(form)->palette().color(QPalette::Text) != form.palette().color(QPalette::Text);
}

// A FIFO for --log, with a reader of the test's own that reads only when
// told to: it may stop reading with the FIFO full (its pipe shrunk to one
// page, as small as the system allows, and filled), or go away.
class LogFifo {
public:
    explicit LogFifo(const std::filesystem::path& path);
    ~LogFifo();
    LogFifo(const LogFifo&) = delete;
    LogFifo& operator=(const LogFifo&) = delete;

    // Shrinks the pipe to one page and fills it; false when it could not.
    bool fill() const;
    // Everything in the pipe now; the filler too.
    std::string drain() const;
    void closeReader();
    void openReader();

private:
    std::filesystem::path path_;
    int reader_ = -1;
};

// Starts the real program (or `starter`, which starts it) offscreen in
// `folder`, with port 1 mapped to `port` through the environment (unless it
// is ""), and its
// temporary files (its lock on the link) and its stored settings (in
// `folder`/config) in `folder` too.
void startRelayProgram(QProcess& program, const std::filesystem::path& folder, const std::string& port,
                       const QStringList& arguments = {}, const QString& starter = FREQRELAY_PROGRAM);

// Relays through the real program to Hamlib's rigctld, stopped while the file
// changes twice, `apart` between the changes, and then resumed: the radio
// must hold the file's last frequency, and the log tell it sent last, with
// no command dropped. Skips where rigctld is not installed.
void relayThroughAStoppedRigctld(int runs);

// Starts the port holder, which holds `device` open until its input closes;
// true once it says it holds it.
bool startPortHolder(QProcess& holder, const std::string& device);

// This process's resident memory, from /proc/self/status.
long residentKilobytes();

// AddressSanitizer keeps freed memory in quarantine and adds shadow memory,
// so resident memory says nothing about the relay under it.
#ifdef __SANITIZE_ADDRESS__
inline constexpr bool kResidentMemoryIsMeaningful = false;
#else
inline constexpr bool kResidentMemoryIsMeaningful = true;
#endif
