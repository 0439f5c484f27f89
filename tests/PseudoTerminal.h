#pragma once

#include <termios.h>
#include <chrono>
#include <string>

// A pseudo-terminal pair standing in for a serial line. The test keeps only
// the master; the relay opens the slave by its path, so when the relay
// closes it, the master sees a hang-up.
class PseudoTerminal {
public:
    PseudoTerminal();
    ~PseudoTerminal();
    PseudoTerminal(const PseudoTerminal&) = delete;
    PseudoTerminal& operator=(const PseudoTerminal&) = delete;

    const std::string& slavePath() const { return slavePath_; }
    // The master's descriptor, -1 once it is closed.
    int master() const { return master_; }

    // Bytes that arrive within `wait`, stopping early once `count` are in.
    std::string read(std::size_t count, std::chrono::milliseconds wait);
    // True while nobody holds the slave open.
    bool hungUp() const;
    // Waits up to `wait` for the hang-up.
    bool waitForHangUp(std::chrono::milliseconds wait) const;
    // The slave's line settings, read through the master.
    termios lineSettings() const;
    // Ends the pair, as when a USB adapter is pulled.
    void closeMaster();

private:
    int master_ = -1;
    std::string slavePath_;
};

// Holds the line's output stopped (as flow control would) through a slave
// descriptor of its own, until resumed or released.
class StoppedLine {
public:
    explicit StoppedLine(const std::string& slavePath);
    ~StoppedLine();
    StoppedLine(const StoppedLine&) = delete;
    StoppedLine& operator=(const StoppedLine&) = delete;

    bool holding() const { return slave_ >= 0; }
    void resume() const;
    // Resumes and gives the slave up, so the master can see a hang-up again.
    void release();

private:
    int slave_ = -1;
};
