#include "RelayRig.h"

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
#include <thread>

// The real program: its command line, and its log on standard error.

using namespace std::chrono_literals;

namespace {

// The relay's own log lines on standard error so far.
class LogLines {
public:
    explicit LogLines(QProcess& program) : program_(program) {}

    const QStringList& now() {
        for (const QString& line : QString::fromLocal8Bit(program_.readAllStandardError()).split('\n')) {
            if (line.startsWith("freqrelay.relay: ")) {
                lines_ << line.mid(17);
            }
        }
        return lines_;
    }
    // Waits up to `wait` for a line containing every one of `parts`.
    bool waitFor(const QStringList& parts, std::chrono::milliseconds wait) {
        const auto deadline = std::chrono::steady_clock::now() + wait;
        do {
            program_.waitForReadyRead(20);
            for (const QString& line : now()) {
                if (std::all_of(parts.begin(), parts.end(), [&](const QString& part) { return line.contains(part); })) {
                    return true;
                }
            }
        } while (std::chrono::steady_clock::now() < deadline);
        return false;
    }
    QString all() { return now().join(" | "); }

private:
    QProcess& program_;
    QStringList lines_;
};

}  // namespace

TEST(CommandLine, EveryEarlyExitEndsAtOnceWithItsStatusAndOpensNeitherTheFileNorThePort) {
    struct Case {
        QStringList arguments;
        int status;
        const char* startsWith;  // on standard output for 0, standard error otherwise
    };
    PseudoTerminal pty;
    RelayRig rig;
    rig.writeFile("14250000");
    const int watcher = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    ASSERT_GE(watcher, 0);
    ASSERT_GE(::inotify_add_watch(watcher, rig.file().c_str(), IN_OPEN), 0);
    ASSERT_GE(::inotify_add_watch(watcher, pty.slavePath().c_str(), IN_OPEN), 0);
    // An empty value, as an unset shell variable gives, must not fall back
    // to the default port (a live console, maybe) or file.
    for (const Case& call :
         {Case{{"--help"}, 0, "Usage: freqrelay"}, Case{{"--version"}, 0, "freqrelay 1."},
          Case{{"--bogus"}, 2, "freqrelay: Unknown option 'bogus'"},
          Case{{"--help-all"}, 2, "freqrelay: Unknown option 'help-all'"},
          Case{{"--port"}, 2, "freqrelay: Missing value after '--port'"},
          Case{{"--port="}, 2, "freqrelay: --port needs a value"},
          Case{{"--port", ""}, 2, "freqrelay: --port needs a value"},
          Case{{"--file="}, 2, "freqrelay: --file needs a value"},
          Case{{"--log", "no-such-folder/relay.log"},
               2,
               "freqrelay: cannot open the log no-such-folder/relay.log: No such file or directory"}}) {
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
        if (call.status != 0 && call.arguments.first() != "--log") {
            EXPECT_TRUE(told.contains("Usage: freqrelay")) << told.toStdString();
        }
    }
    char events[4096];
    EXPECT_LT(::read(watcher, events, sizeof events), 0) << "the file or the port was opened";
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
    // Through the shell, since QProcess passes arguments as UTF-8 text.
    startRelayProgram(
        program, rig.folder(), mapped.slavePath(),
        {"-c",
         R"sh(exec "$0" --port "$(printf './radio\377')" --file "$(printf 'elsewhere\377.txt')" --log relay.log)sh",
         FREQRELAY_PROGRAM},
        "/bin/sh");
    EXPECT_EQ(hexBytes(chosen.read(5, 5s)), "00 00 05 07 0A");
    EXPECT_EQ(mapped.read(1, 300ms), "");
    LogLines log(program);
    EXPECT_TRUE(log.waitFor({R"(elsewhere\xFF.txt)", R"(./radio\xFF (--port))"}, 1s)) << log.all().toStdString();
    program.terminate();
    program.waitForFinished(5000);
    // --log has the same lines.
    std::ifstream copy(rig.folder() / "relay.log");
    const std::string logged((std::istreambuf_iterator<char>(copy)), std::istreambuf_iterator<char>());
    EXPECT_NE(logged.find("sent 00 00 05 07 0A (Out 7050000) to ./radio\\xFF"), std::string::npos) << logged;
}

TEST(CommandLine, ASignalIgnoredAtTheStartStaysIgnored) {
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

// A port that cannot be opened is told once, names the device and the
// system's reason, and is not told again at every retry, nor when the reason
// changes back and forth (an adapter coming and going); once it opens, the
// command's line and the clearing follow.
TEST(RelayLog, APortFailureIsToldOnceThenItsClearingAndTheCommand) {
    struct Case {
        const char* name;
        const char* reason;
        std::chrono::milliseconds quietFor;
    };
    for (const Case& scenario :
         {Case{"absent, then coming and going", "No such file or directory", 5s},
          Case{"busy", "in use by another program", 1500ms}, Case{"refused", "Permission denied", 1500ms}}) {
        SCOPED_TRACE(scenario.name);
        PseudoTerminal pty;
        RelayRig rig;
        rig.writeFile("14250000");
        std::string device = pty.slavePath();
        std::function<void()> makeAvailable;
        QProcess holder;
        QProcess program;
        std::function<void()> duringQuiet;
        if (std::string(scenario.name).starts_with("absent")) {
            device = (rig.folder() / "radio").string();
            // Missing, then a device that is no serial port, and so on.
            duringQuiet = [&] {
                for (auto until = std::chrono::steady_clock::now() + scenario.quietFor;
                     std::chrono::steady_clock::now() < until;) {
                    std::filesystem::create_symlink("/dev/null", device);
                    std::this_thread::sleep_for(100ms);
                    std::filesystem::remove(device);
                    std::this_thread::sleep_for(100ms);
                }
            };
            makeAvailable = [&] {
                std::filesystem::create_symlink(pty.slavePath(), device);
            };
        } else if (std::string(scenario.name) == "busy") {
            auto environment = QProcessEnvironment::systemEnvironment();
            environment.insert("FREQRELAY_PORT1", QString::fromStdString(device));
            holder.setProcessEnvironment(environment);
            holder.start(FREQRELAY_PORT_HOLDER, {});
            ASSERT_TRUE(holder.waitForReadyRead(5000));
            makeAvailable = [&] {
                holder.closeWriteChannel();
                holder.waitForFinished(2000);
            };
        } else {
            // Refused by its mode: root is never refused, so the relay runs
            // as nobody then.
            ::chmod(device.c_str(), 0);
            if (::geteuid() == 0) {
                ::chmod(rig.folder().c_str(), 0755);
                program.setChildProcessModifier([] {
                    const gid_t nobody = 65534;
                    if (::setgroups(1, &nobody) != 0 || ::setgid(nobody) != 0 || ::setuid(nobody) != 0) {
                        ::_exit(99);
                    }
                });
            }
            makeAvailable = [&] {
                ::chmod(device.c_str(), 0666);
            };
        }
        startRelayProgram(program, rig.folder(), device);
        LogLines log(program);
        ASSERT_TRUE(log.waitFor({QString::fromStdString(device), scenario.reason, "trying again every 250 ms"}, 1s))
            << log.all().toStdString();
        const auto told = log.now().size();
        if (duringQuiet) {
            duringQuiet();
        } else {
            std::this_thread::sleep_for(scenario.quietFor);
        }
        EXPECT_EQ(log.now().size(), told) << log.all().toStdString();

        makeAvailable();
        EXPECT_EQ(hexBytes(pty.read(5, 1s)), "00 50 42 01 0A");
        EXPECT_TRUE(log.waitFor({"sent 00 50 42 01 0A (Out 1425000)", QString::fromStdString(device)}, 1s))
            << log.all().toStdString();
        EXPECT_TRUE(log.waitFor({"works again", "tries"}, 1s)) << log.all().toStdString();
        program.terminate();
        EXPECT_TRUE(program.waitForFinished(5000));
        EXPECT_EQ(program.exitCode(), 0);
    }
}
