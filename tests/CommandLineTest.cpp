#include "LogLines.h"
#include "RelayRig.h"
#include "core/Encoder.h"

#include <QDir>
#include <QProcess>

#include <gtest/gtest.h>

#include <grp.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>
#include <algorithm>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <thread>

// The real program's command line.

using namespace std::chrono_literals;
using freqrelay::hexBytes;

TEST(CommandLine, EveryEarlyExitEndsAtOnceWithItsStatusAndOpensNeitherTheFileNorThePort) {
    struct Case {
        QStringList arguments;
        int status;
        const char* startsWith;  // on standard output for 0, standard error otherwise
    };
    PseudoTerminal pty;
    PseudoTerminal other;
    RelayRig rig;
    rig.writeFile("14250000");
    std::filesystem::create_symlink(pty.slavePath(), rig.folder() / "radio");
    std::filesystem::create_symlink(other.slavePath(), rig.folder() / "other");
    const int watcher = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    ASSERT_GE(watcher, 0);
    ASSERT_GE(::inotify_add_watch(watcher, rig.file().c_str(), IN_OPEN), 0);
    ASSERT_GE(::inotify_add_watch(watcher, pty.slavePath().c_str(), IN_OPEN), 0);
    ASSERT_GE(::inotify_add_watch(watcher, other.slavePath().c_str(), IN_OPEN), 0);
    ASSERT_EQ(::mkfifo((rig.folder() / "relay.fifo").c_str(), 0600), 0);
    std::filesystem::create_hard_link(rig.file(), rig.folder() / "linked");
    // Links to files that do not exist yet: a log there would make them.
    std::filesystem::create_symlink("absent", rig.folder() / "dangling");
    std::filesystem::create_symlink("w.log", rig.folder() / "fl");
    // An empty value, as an unset shell variable gives, must not fall back
    // to the default port (a live console, maybe) or file.
    for (const Case& call :
         {Case{{"--help"}, 0, "Usage: freqrelay"}, Case{{"--version"}, 0, "freqrelay 1."},
          Case{{"--bogus"}, 2, "freqrelay: Unknown option 'bogus'"},
          Case{{"--help-all"}, 2, "freqrelay: Unknown option 'help-all'"},
          // Windows' "/?" is a path here, as any other.
          Case{{"/?"}, 2, "freqrelay: unexpected argument: /?"},
          Case{{"--port"}, 2, "freqrelay: Missing value after '--port'"},
          Case{{"--port="}, 2, "freqrelay: --port needs a value"},
          Case{{"--port", ""}, 2, "freqrelay: --port needs a value"},
          Case{{"--file="}, 2, "freqrelay: --file needs a value"},
          Case{{"--log", "no-such-folder/relay.log"},
               2,
               "freqrelay: cannot open the log no-such-folder/relay.log: No such file or directory"},
          // Opening a FIFO would wait for a reader, with no window and no stop.
          Case{{"--log", "relay.fifo"}, 2, "freqrelay: cannot open the log relay.fifo: no program is reading the FIFO"},
          // A log in the frequency file would feed the relay its own lines.
          Case{{"--log", "linked"}, 2, "freqrelay: cannot open the log linked: it is the frequency file"},
          Case{{"--file", "later", "--log", "./later"},
               2,
               "freqrelay: cannot open the log ./later: it is the frequency"},
          Case{{"--file", "absent", "--log", "dangling"},
               2,
               "freqrelay: cannot open the log dangling: it is the frequency file, which the relay reads\n"},
          Case{{"--file", "fl", "--log", "w.log"},
               2,
               "freqrelay: cannot open the log w.log: it is the frequency file, which the relay reads\n"},
          // A log on a serial port would reach the radio as commands: one
          // found through a link, with rigctld too.
          Case{{"--log", "radio"}, 2, "freqrelay: cannot open the log radio: it is port 1, the radio's port\n"},
          Case{{"--log", "other"}, 2, "freqrelay: cannot open the log other: it is a serial port\n"},
          Case{{"--rigctld", ":4599", "--log", "radio"},
               2,
               "freqrelay: cannot open the log radio: it is a serial port\n"},
          // Two ways to the radio at once cannot both be meant.
          Case{{"--rigctld", "--port", "/dev/null"}, 2, "freqrelay: --rigctld and --port cannot be used together"},
          Case{{"--rigctld="}, 2, "freqrelay: --rigctld needs a value"},
          Case{{"--rigctld", "::1"}, 2, "freqrelay: --rigctld ::1: an IPv6 address goes in brackets"},
          Case{{"--rigctld", "localhost:0"}, 2, "freqrelay: --rigctld localhost:0: the port must be a number"}}) {
        SCOPED_TRACE(call.arguments.join(' ').toStdString());
        QProcess program;
        const auto started = std::chrono::steady_clock::now();
        startRelayProgram(program, rig.folder(), pty.slavePath(), call.arguments);
        ASSERT_TRUE(program.waitForFinished(5000));
        EXPECT_LT(std::chrono::steady_clock::now() - started, 1s);
        EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(program.exitCode(), call.status);
        const QByteArray told = call.status == 0 ? program.readAllStandardOutput() : program.readAllStandardError();
        EXPECT_TRUE(told.startsWith(call.startsWith)) << told.toStdString();
        if (call.status != 0 && !call.arguments.contains("--log")) {
            EXPECT_TRUE(told.contains("Usage: freqrelay")) << told.toStdString();
        }
    }
    char events[4096];
    EXPECT_LT(::read(watcher, events, sizeof events), 0) << "the file or a port was opened";
    EXPECT_FALSE(std::filesystem::exists(rig.folder() / "absent"));
    EXPECT_FALSE(std::filesystem::exists(rig.folder() / "w.log"));
    ::close(watcher);
}

TEST(CommandLine, AnUnreachableDisplayEndsWithStatusOneAndSaysHowToRunWithoutAWindow) {
    QProcess program;
    auto environment = QProcessEnvironment::systemEnvironment();
    environment.remove("QT_QPA_PLATFORM");
    environment.remove("WAYLAND_DISPLAY");
    environment.insert("DISPLAY", ":55");
    program.setProcessEnvironment(environment);
    program.start(FREQRELAY_PROGRAM, {});
    ASSERT_TRUE(program.waitForFinished(5000));
    EXPECT_EQ(program.exitStatus(), QProcess::NormalExit) << "no abort, no core dump";
    EXPECT_EQ(program.exitCode(), 1);
    EXPECT_EQ(program.readAllStandardError(),
              "freqrelay: cannot open display :55 (set QT_QPA_PLATFORM=offscreen to run without a window)\n");
}

TEST(CommandLine, PortAndFileOptionsWinOverTheEnvironmentAndTheDefaultFileByteForByte) {
    PseudoTerminal mapped;  // where FREQRELAY_PORT1 points
    PseudoTerminal chosen;
    RelayRig rig;
    rig.writeFile("14250000");
    // Names that are no valid UTF-8; the file that a decoded name would
    // become holds another frequency.
    std::ofstream(rig.folder() / "elsewhere\xff.txt") << "7050000";
    std::ofstream(rig.folder() / "elsewhere\xef\xbf\xbd.txt") << "3500000";
    std::filesystem::create_symlink(chosen.slavePath(), rig.folder() / "radio\xff");
    QProcess program;
    // Through the shell, since QProcess passes arguments as UTF-8 text. Qt's
    // platform plugin tells of its loading too, on standard error only.
    startRelayProgram(program, rig.folder(), mapped.slavePath(),
                      {"-c",
                       R"sh(QT_LOGGING_RULES='qt.qpa.plugin=true' exec "$0" --port "$(printf './radio\377')" \
                            --file "$(printf 'elsewhere\377.txt')" --log relay.log)sh",
                       FREQRELAY_PROGRAM},
                      "/bin/sh");
    EXPECT_EQ(hexBytes(chosen.read(5, 5s)), "00 00 05 07 0A");
    EXPECT_EQ(mapped.read(1, 300ms), "");
    LogLines log(program);
    EXPECT_TRUE(log.waitFor({R"(elsewhere\xFF.txt)", R"(./radio\xFF (--port))"}, 1s)) << log.all().toStdString();
    program.terminate();
    program.waitForFinished(5000);
    // --log has the same lines, but only the relay's own.
    std::ifstream copy(rig.folder() / "relay.log");
    const std::string logged((std::istreambuf_iterator<char>(copy)), std::istreambuf_iterator<char>());
    EXPECT_NE(logged.find("sent 00 00 05 07 0A (Out 7050000) to ./radio\\xFF"), std::string::npos) << logged;
    EXPECT_EQ(logged.find("qt.qpa.plugin"), std::string::npos) << logged;
}

namespace {

// A second relay for a link that is held ends at once with status 3 and
// names the holder's process.
void expectRefused(const std::filesystem::path& folder, const std::string& port, const QStringList& arguments,
                   const QProcess& holder, const char* link) {
    QProcess second;
    startRelayProgram(second, folder, port, arguments);
    ASSERT_TRUE(second.waitForFinished(5000));
    EXPECT_EQ(second.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(second.exitCode(), 3);
    EXPECT_EQ(second.readAllStandardError().toStdString(), "freqrelay: another relay (process " +
                                                               std::to_string(holder.processId()) +
                                                               ") already relays to " + link + "\n");
}

}  // namespace

// One relay per serial device, whatever name leads to it; another device is
// free, and a lock left by a relay that was killed does not stand in the way.
TEST(CommandLine, ASecondRelayForTheSamePortEndsWithStatusThreeNamingTheHolder) {
    PseudoTerminal pty;
    PseudoTerminal other;
    RelayRig rig;
    rig.writeFile("14250000");
    const std::string radio = (rig.folder() / "radio").string();
    std::filesystem::create_symlink(pty.slavePath(), radio);
    QProcess first;
    startRelayProgram(first, rig.folder(), pty.slavePath());
    ASSERT_EQ(hexBytes(pty.read(5, 10s)), "00 50 42 01 0A");
    expectRefused(rig.folder(), pty.slavePath(), {}, first, ("port 1 (" + pty.slavePath() + ")").c_str());
    // A relay holds its link for weeks: an old lock is no stale one.
    const QStringList locks = QDir(QString::fromStdString(rig.folder().string()), "freqrelay-port-*").entryList();
    ASSERT_EQ(locks.size(), 1);
    const auto lock = rig.folder() / locks.first().toStdString();
    std::filesystem::last_write_time(lock, std::filesystem::last_write_time(lock) - std::chrono::hours(1));
    expectRefused(rig.folder(), radio, {}, first, ("port 1 (" + radio + ")").c_str());

    QProcess beside;
    startRelayProgram(beside, rig.folder(), other.slavePath());
    EXPECT_EQ(hexBytes(other.read(5, 10s)), "00 50 42 01 0A");

    ::kill(static_cast<pid_t>(first.processId()), SIGKILL);
    ASSERT_TRUE(first.waitForFinished(5000));
    ASSERT_TRUE(std::filesystem::exists(lock)) << "the killed relay left its lock";
    ASSERT_TRUE(pty.waitForHangUp(5s));
    QProcess after;
    startRelayProgram(after, rig.folder(), radio);
    EXPECT_EQ(hexBytes(pty.read(5, 10s)), "00 50 42 01 0A");
    for (QProcess* program : {&beside, &after}) {
        EXPECT_NE(program->state(), QProcess::NotRunning);
        program->terminate();
        EXPECT_TRUE(program->waitForFinished(5000));
        EXPECT_EQ(program->exitCode(), 0);
    }
}

// One relay per rigctld address; another address is free. No rigctld need
// answer: the relay holds its link while it tries.
TEST(CommandLine, ASecondRelayForTheSameRigctldEndsWithStatusThree) {
    RelayRig rig;
    rig.writeFile("14250000");
    QProcess first;
    startRelayProgram(first, rig.folder(), "", {"--rigctld", ":4598"});
    LogLines log(first);
    ASSERT_TRUE(log.waitFor({"rigctld 127.0.0.1:4598"}, 10s)) << log.all().toStdString();
    expectRefused(rig.folder(), "", {"--rigctld", ":4598"}, first, "rigctld 127.0.0.1:4598");
    QProcess beside;
    startRelayProgram(beside, rig.folder(), "", {"--rigctld", ":4597"});
    LogLines besideLog(beside);
    EXPECT_TRUE(besideLog.waitFor({"rigctld 127.0.0.1:4597"}, 10s)) << besideLog.all().toStdString();
    for (QProcess* program : {&first, &beside}) {
        EXPECT_NE(program->state(), QProcess::NotRunning);
        program->terminate();
        EXPECT_TRUE(program->waitForFinished(5000));
    }
}

// The stored port is used when nothing else names one; --port wins and
// leaves the store as it was; a store that cannot be read is told, not
// used, and left as it is; so is a stored log that cannot be opened (its
// folder gone): the relay still starts, where the dialog can mend it.
TEST(CommandLine, AStoredPortIsUsedWithoutOptionsAndAnOptionOrAGarbledStoreLeavesItAsItIs) {
    PseudoTerminal stored;
    PseudoTerminal chosen;
    RelayRig rig;
    rig.writeFile("14250000");
    const auto store = rig.folder() / "config" / "freqrelay" / "freqrelay.conf";
    std::filesystem::create_directories(store.parent_path());
    const std::string storeText = "[General]\nport=" + stored.slavePath() + "\n";
    std::ofstream(store) << storeText;
    const auto storeNow = [&store] {
        std::ostringstream text;
        text << std::ifstream(store).rdbuf();
        return text.str();
    };
    const struct {
        QStringList arguments;
        std::string environment;  // FREQRELAY_PORT1
        std::string garbage;      // written over the store first, unless empty
        PseudoTerminal* reached;
        const char* told;
    } cases[] = {
        {{}, "", "", &stored, "(the stored settings)"},
        {{"--port", QString::fromStdString(chosen.slavePath())}, "", "", &chosen, "(--port)"},
        {{}, chosen.slavePath(), "[General\nport=", &chosen, "cannot be read; it is not used"},
        {{}, "", storeText + "log=no-such-folder/relay.log\n", &stored, "no-such-folder/relay.log"},
    };
    for (const auto& named : cases) {
        SCOPED_TRACE(named.told);
        if (!named.garbage.empty()) {
            std::ofstream(store) << named.garbage;
        }
        const std::string before = storeNow();
        QProcess program;
        startRelayProgram(program, rig.folder(), named.environment, named.arguments);
        EXPECT_EQ(hexBytes(named.reached->read(5, 10s)), "00 50 42 01 0A");
        LogLines log(program);
        EXPECT_TRUE(log.waitFor({named.told}, 5s)) << log.all().toStdString();
        program.terminate();
        EXPECT_TRUE(program.waitForFinished(5000));
        EXPECT_EQ(storeNow(), before);
    }
    EXPECT_EQ(stored.read(1, 0ms) + chosen.read(1, 0ms), "");
}
