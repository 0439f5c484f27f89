#include "RelayRig.h"
#include "core/Encoder.h"

#include <QProcess>

#include <gtest/gtest.h>

#include <unistd.h>
#include <algorithm>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <optional>
#include <thread>

// The real program and the signals that end it.

using namespace std::chrono_literals;
using freqrelay::hexBytes;

namespace {

// The serial layer's lock file for a device, as /var/lock/LCK..pts_3.
std::filesystem::path lockFileFor(std::string device) {
    device.erase(0, std::string("/dev/").size());
    std::replace(device.begin(), device.end(), '/', '_');
    return std::filesystem::path("/var/lock") / ("LCK.." + device);
}

}  // namespace

// A quit signal ends the relay with status 0 within half a second, the
// port's lock file removed, in every state: also while a write waits on a
// stalled line, and while the log is a FIFO whose reader stopped reading and
// left it full.
TEST(QuitSignals, TheProgramEndsCleanlyAndPromptlyWhileTheLineOrTheLogIsStalled) {
    for (const bool stalledLine : {true, false}) {
        for (const int signal : {SIGTERM, SIGINT, SIGHUP}) {
            SCOPED_TRACE(stalledLine ? "a write to a stalled line" : "a full log FIFO");
            SCOPED_TRACE(::strsignal(signal));
            PseudoTerminal pty;
            RelayRig rig;  // for its working folder
            rig.writeFile("14250000");
            const LogFifo fifo(rig.folder() / "relay.fifo");
            QProcess program;
            // As a shell starts a job in the foreground.
            program.setChildProcessModifier([] { ::signal(SIGINT, SIG_DFL); });
            startRelayProgram(program, rig.folder(), pty.slavePath(), {"--log", "relay.fifo"});
            ASSERT_TRUE(program.waitForStarted());
            EXPECT_EQ(hexBytes(pty.read(5, 5s)), "00 50 42 01 0A");
            const auto lock = lockFileFor(pty.slavePath());
            std::optional<StoppedLine> line;
            if (stalledLine) {
                line.emplace(pty.slavePath());
                ASSERT_TRUE(line->holding());
                rig.writeFile("7050000");
                std::this_thread::sleep_for(1500ms);  // the write stalls, gives up and is tried again
                if (::access("/var/lock", W_OK) == 0) {
                    EXPECT_TRUE(std::filesystem::exists(lock)) << lock;
                }
            } else {
                ASSERT_TRUE(fifo.fill());
                // Lines that find no room in it, and the relay goes on.
                rig.writeFile("7050000");
                EXPECT_EQ(hexBytes(pty.read(5, 5s)), "00 00 05 07 0A");
                rig.writeFile("3500000");
                EXPECT_EQ(hexBytes(pty.read(5, 5s)), "00 00 50 03 0A");
            }
            const auto signalled = std::chrono::steady_clock::now();
            ::kill(static_cast<pid_t>(program.processId()), signal);
            ASSERT_TRUE(program.waitForFinished(5000));
            EXPECT_LT(std::chrono::steady_clock::now() - signalled, 500ms);
            EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
            EXPECT_EQ(program.exitCode(), 0);
            EXPECT_FALSE(std::filesystem::exists(lock)) << lock;
        }
    }
}

TEST(QuitSignals, ASignalIgnoredAtTheStartStaysIgnored) {
    PseudoTerminal pty;
    RelayRig rig;
    rig.writeFile("14250000");
    QProcess program;
    // As nohup leaves SIGHUP, and a shell a background job's SIGINT.
    program.setChildProcessModifier([] {
        ::signal(SIGHUP, SIG_IGN);
        ::signal(SIGINT, SIG_IGN);
    });
    startRelayProgram(program, rig.folder(), pty.slavePath());
    EXPECT_EQ(hexBytes(pty.read(5, 5s)), "00 50 42 01 0A");
    ::kill(static_cast<pid_t>(program.processId()), SIGHUP);
    ::kill(static_cast<pid_t>(program.processId()), SIGINT);
    EXPECT_FALSE(program.waitForFinished(700)) << "ended by an ignored signal";
    program.terminate();
    ASSERT_TRUE(program.waitForFinished(5000));
    EXPECT_EQ(program.exitCode(), 0);
}

// Standard error a pipe whose reader has gone, as with `2>&1 | head -1`:
// every log line fails to be written, and the relay goes on relaying.
TEST(QuitSignals, ALogReaderThatHasGoneDoesNotEndTheRelay) {
    PseudoTerminal pty;
    RelayRig rig;
    rig.writeFile("14250000");
    int ends[2];
    ASSERT_EQ(::pipe(ends), 0);
    ::close(ends[0]);
    const int readerless = ends[1];
    QProcess program;
    program.setChildProcessModifier([readerless] {
        ::signal(SIGPIPE, SIG_DFL);  // as a shell starts it
        ::dup2(readerless, STDERR_FILENO);
    });
    startRelayProgram(program, rig.folder(), pty.slavePath());
    EXPECT_EQ(hexBytes(pty.read(5, 5s)), "00 50 42 01 0A");
    rig.writeFile("7050000");
    EXPECT_EQ(hexBytes(pty.read(5, 5s)), "00 00 05 07 0A");
    ::close(readerless);
    program.terminate();
    ASSERT_TRUE(program.waitForFinished(5000));
    EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(program.exitCode(), 0);
}
