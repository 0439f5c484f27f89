#include "LogLines.h"
#include "RelayRig.h"
#include "core/Encoder.h"
#include "system/LogFile.h"

#include <QProcess>
#include <QRegularExpression>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <regex>
#include <sstream>
#include <thread>

// The real program's log on standard error and in the --log file.

using namespace std::chrono_literals;
using freqrelay::hexBytes;

namespace {

std::string contentsOf(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Waits up to `wait` for the file at `path` to hold `text`.
bool waitForText(const std::filesystem::path& path, const std::string& text, std::chrono::milliseconds wait) {
    const auto deadline = std::chrono::steady_clock::now() + wait;
    while (contentsOf(path).find(text) == std::string::npos) {
        if (std::chrono::steady_clock::now() > deadline) {
            return false;
        }
        std::this_thread::sleep_for(20ms);
    }
    return true;
}

// The write calls this thread has made so far.
long writeCalls() {
    std::ifstream io("/proc/thread-self/io");
    std::string field;
    long count = -1;
    while (io >> field && field != "syscw:") {
    }
    io >> count;
    return count;
}

}  // namespace

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
        QString starter = FREQRELAY_PROGRAM;
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
            ASSERT_TRUE(startPortHolder(holder, device));
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
                // nobody may not reach the build (a clone in root's own
                // home), so it runs a copy of the program from here.
                const auto copy = rig.folder() / "freqrelay";
                std::filesystem::copy_file(FREQRELAY_PROGRAM, copy);
                starter = QString::fromStdString(copy.string());
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
        startRelayProgram(program, rig.folder(), device, {}, starter);
        LogLines log(program);
        // A start as another user on a busy machine may take its time: the
        // wait ends as soon as the line is there.
        ASSERT_TRUE(log.waitFor({QString::fromStdString(device), scenario.reason, "trying again every 250 ms"}, 10s))
            << log.all().toStdString() << "\n(the relay "
            << (program.state() == QProcess::NotRunning ? "ended" : "runs") << ", status " << program.exitCode() << ", "
            << program.errorString().toStdString() << ")";
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

// A rigctld stopped while the file changes (a machine that swaps, a debugger)
// leaves the radio on the file's last frequency once it runs again; the
// long suite repeats it twenty times.
TEST(RelayLog, ARigctldStoppedWhileTheFileChangesEndsOnTheLastFrequencyToldSentLast) { relayThroughAStoppedRigctld(3); }

// The log file spans weeks and is rotated under the running relay: each of
// its lines is dated (standard error keeps its form), and after a rename
// (also one with another file made at the name before the next line), a
// deletion or a truncation, the next lines go to the file its name leads to
// then, created with the mode the old file has at the rotation. A link to the frequency file put
// at the name is never written: that is a failure of the log, told once, and
// the relay goes on relaying what the file holds.
TEST(RelayLog, TheLogFileIsDatedAndFollowsItsRotation) {
    PseudoTerminal pty;
    RelayRig rig;
    rig.writeFile("14250000");
    const auto log = rig.folder() / "relay.log";
    std::ofstream{log};
    // Wider than the umask lets a new file be.
    const auto mode = std::filesystem::perms::owner_read | std::filesystem::perms::owner_write |
                      std::filesystem::perms::group_read | std::filesystem::perms::group_write;
    std::filesystem::permissions(log, mode);
    const std::regex dated(R"(\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3}[+-]\d\d:\d\d .+)");
    QProcess program;
    startRelayProgram(program, rig.folder(), pty.slavePath(), {"--log", "relay.log"});
    EXPECT_EQ(hexBytes(pty.read(5, 5s)), "00 50 42 01 0A");
    LogLines standardError(program);
    EXPECT_TRUE(standardError.waitFor({"sent 00 50 42 01 0A"}, 2s)) << standardError.all().toStdString();
    ASSERT_TRUE(waitForText(log, "sent 00 50 42 01 0A", 2s)) << contentsOf(log);
    std::istringstream lines(contentsOf(log));
    for (std::string line; std::getline(lines, line);) {
        EXPECT_TRUE(std::regex_match(line, dated)) << line;
    }

    // The mode a new log takes is the old one's at the rotation, narrower
    // or wider than when the relay opened it.
    using std::filesystem::perms;
    const auto ownerOnly = perms::owner_read | perms::owner_write;
    const auto groupReads = ownerOnly | perms::group_read;
    struct Rotation {
        const char* name;
        std::function<void()> rotate;
        const char* frequency;
        const char* sent;
        perms mode;
    };
    for (const Rotation& rotation : {
             Rotation{"made private and renamed",
                      [&] {
                          std::filesystem::permissions(log, ownerOnly);
                          std::filesystem::rename(log, rig.folder() / "relay.log.1");
                      },
                      "7050000", "sent 00 00 05 07 0A", ownerOnly},
             // On the same file system, so that only the inode tells them apart.
             Rotation{"renamed, and another file made at its name",
                      [&] {
                          std::filesystem::rename(log, rig.folder() / "relay.log.2");
                          std::ofstream{log};
                          std::filesystem::permissions(log, ownerOnly);
                      },
                      "28400000", "sent 00 00 84 02 0A", ownerOnly},
             Rotation{"opened to the group and deleted",
                      [&] {
                          std::filesystem::permissions(log, groupReads);
                          std::filesystem::remove(log);
                      },
                      "3500000", "sent 00 00 50 03 0A", groupReads},
             // A log runs nothing: its mode's special bits are never taken on.
             Rotation{"given the set-user-ID bit and renamed",
                      [&] {
                          std::filesystem::permissions(log, groupReads | perms::set_uid);
                          std::filesystem::rename(log, rig.folder() / "relay.log.4");
                      },
                      "7050000", "sent 00 00 05 07 0A", groupReads},
             Rotation{"copied and truncated", [&] { std::filesystem::resize_file(log, 0); }, "14250000",
                      "sent 00 50 42 01 0A", groupReads},
         }) {
        SCOPED_TRACE(rotation.name);
        rotation.rotate();
        rig.writeFile(rotation.frequency);
        EXPECT_EQ(pty.read(5, 5s).size(), 5u);
        EXPECT_TRUE(waitForText(log, rotation.sent, 2s)) << contentsOf(log);
        EXPECT_EQ(std::filesystem::status(log).permissions(), rotation.mode);
        // From its first byte on: no gap where the old end was.
        const std::string text = contentsOf(log);
        EXPECT_TRUE(std::regex_match(text.substr(0, text.find('\n')), dated)) << text;
    }
    EXPECT_EQ(contentsOf(rig.folder() / "relay.log.1").find("sent 00 00 05 07 0A"), std::string::npos);
    EXPECT_EQ(contentsOf(rig.folder() / "relay.log.2").find("sent 00 00 84 02 0A"), std::string::npos);

    // Renamed, and a link to the frequency file put at its name.
    std::filesystem::rename(log, rig.folder() / "relay.log.3");
    std::filesystem::create_symlink("ft1000file", log);
    for (const auto& [frequency, command] : {std::pair{"7050000", "00 00 05 07 0A"}, {"3500000", "00 00 50 03 0A"}}) {
        rig.writeFile(frequency);
        EXPECT_EQ(hexBytes(pty.read(5, 5s)), command);
    }
    // Time for the line that tells of the last command to have gone out.
    EXPECT_EQ(hexBytes(pty.read(5, 1s)), "") << "the relay read its own log";
    EXPECT_EQ(contentsOf(rig.file()), "3500000");
    const QString onTheFrequencyFile =
        "relay.log failed: it cannot be opened again after its rotation: it is the frequency file, which the relay "
        "reads; its lines are lost until it works again";
    EXPECT_TRUE(standardError.waitFor({onTheFrequencyFile}, 2s)) << standardError.all().toStdString();
    std::filesystem::remove(log);
    rig.writeFile("7050000");
    EXPECT_EQ(hexBytes(pty.read(5, 5s)), "00 00 05 07 0A");
    EXPECT_TRUE(waitForText(log, "relay.log works again", 2s)) << contentsOf(log);
    EXPECT_TRUE(standardError.waitFor({"relay.log works again", "2 lines were lost"}, 2s))
        << standardError.all().toStdString();
    EXPECT_EQ(standardError.now().filter(onTheFrequencyFile).size(), 1) << standardError.all().toStdString();
    program.terminate();
    EXPECT_TRUE(program.waitForFinished(5000));
    EXPECT_EQ(program.exitCode(), 0);
}

// Each dated line carries the offset of the relay's time zone, with its sign:
// "+" east of Greenwich, "-" west of it.
TEST(RelayLog, TheLogFilesDatesCarryTheZonesOffsetWithItsSign) {
    const struct {
        const char* zone;
        const char* offset;
    } zones[] = {{"Asia/Kolkata", R"(\+05:30)"}, {"America/New_York", R"(-0[45]:00)"}};
    for (const auto& [zone, offset] : zones) {
        SCOPED_TRACE(zone);
        if (!std::filesystem::exists(std::filesystem::path("/usr/share/zoneinfo") / zone)) {
            GTEST_SKIP() << "the time zone " << zone << " is not in /usr/share/zoneinfo: install tzdata";
        }
        PseudoTerminal pty;
        RelayRig rig;
        rig.writeFile("14250000");
        const char* const inherited = std::getenv("TZ");
        const std::string previous = inherited != nullptr ? inherited : "";
        ::setenv("TZ", zone, 1);
        QProcess program;
        startRelayProgram(program, rig.folder(), pty.slavePath(), {"--log", "relay.log"});
        if (inherited != nullptr) {
            ::setenv("TZ", previous.c_str(), 1);
        } else {
            ::unsetenv("TZ");
        }
        EXPECT_EQ(hexBytes(pty.read(5, 5s)), "00 50 42 01 0A");
        const auto log = rig.folder() / "relay.log";
        EXPECT_TRUE(waitForText(log, "sent 00 50 42 01 0A", 2s)) << contentsOf(log);
        const std::regex dated(std::string(R"(\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3})") + offset +
                               " freqrelay\\.relay: .+");
        std::istringstream lines(contentsOf(log));
        for (std::string line; std::getline(lines, line);) {
            EXPECT_TRUE(std::regex_match(line, dated)) << line;
        }
        program.terminate();
        EXPECT_TRUE(program.waitForFinished(5000));
        EXPECT_EQ(program.exitCode(), 0);
    }
}

// Standard error (here a pipe) and /dev/null are logs like a file. A
// standard stream the relay was started without leads nowhere: no file the
// relay opens itself takes its place and its lines.
TEST(RelayLog, TheStandardStreamsAndDevNullMayBeTheLogFile) {
    const struct {
        const char* log;
        bool startedWithoutStandardOutput;
    } cases[] = {{"/dev/stderr", false}, {"/dev/null", false}, {"/dev/stdout", true}};
    for (const auto& [log, startedWithoutStandardOutput] : cases) {
        SCOPED_TRACE(log);
        PseudoTerminal pty;
        RelayRig rig;
        rig.writeFile("14250000");
        QProcess program;
        if (startedWithoutStandardOutput) {
            program.setChildProcessModifier([] { ::close(STDOUT_FILENO); });
        }
        startRelayProgram(program, rig.folder(), pty.slavePath(), {"--log", log});
        EXPECT_EQ(hexBytes(pty.read(5, 5s)), "00 50 42 01 0A");
        rig.writeFile("7050000");
        EXPECT_EQ(hexBytes(pty.read(5, 5s)), "00 00 05 07 0A");
        program.terminate();
        ASSERT_TRUE(program.waitForFinished(5000));
        EXPECT_EQ(program.exitCode(), 0);
        const QRegularExpression datedSent(R"(^\d{4}-\d\d-\d\dT\S+ freqrelay\.relay: .* sent )",
                                           QRegularExpression::MultilineOption);
        const bool datedOnStandardError = QString::fromUtf8(program.readAllStandardError()).contains(datedSent);
        EXPECT_EQ(datedOnStandardError, std::string(log) == "/dev/stderr");
    }
}

// A log that cannot take its lines (here a FIFO whose reader has gone, or
// one whose reader stopped reading and left it full; a full disk alike) is
// told once on standard error with the reason, and the relay relays on
// without waiting for it: those lines are lost, none written in part. When
// writing works again one line says how many were lost.
TEST(RelayLog, ALogThatCannotBeWrittenIsToldOnceAndItsEndWithTheLinesLost) {
    struct Case {
        const char* name;
        const char* reason;
        std::function<void(LogFifo&)> stop;
        std::function<void(LogFifo&)> resume;
    };
    for (const Case& scenario : {
             Case{"its reader gone", "Broken pipe", [](LogFifo& fifo) { fifo.closeReader(); },
                  [](LogFifo& fifo) {
                      fifo.openReader();
                  }},
             Case{"its reader not reading", "the FIFO is full: its reader is not keeping up",
                  [](LogFifo& fifo) { ASSERT_TRUE(fifo.fill()); },
                  [](LogFifo& fifo) {
                      fifo.drain();
                  }},
         }) {
        SCOPED_TRACE(scenario.name);
        PseudoTerminal pty;
        RelayRig rig;
        rig.writeFile("14250000");
        LogFifo fifo(rig.folder() / "relay.fifo");
        QProcess program;
        startRelayProgram(program, rig.folder(), pty.slavePath(), {"--log", "relay.fifo"});
        EXPECT_EQ(hexBytes(pty.read(5, 5s)), "00 50 42 01 0A");
        LogLines log(program);
        ASSERT_TRUE(log.waitFor({"sent 00 50 42 01 0A"}, 2s));
        std::string read = fifo.drain();

        scenario.stop(fifo);
        rig.writeFile("7050000");
        EXPECT_EQ(hexBytes(pty.read(5, 5s)), "00 00 05 07 0A");
        rig.writeFile("3500000");
        EXPECT_EQ(hexBytes(pty.read(5, 5s)), "00 00 50 03 0A");
        EXPECT_TRUE(log.waitFor({"sent 00 00 50 03 0A"}, 2s));
        const QString failed =
            QString("relay.fifo failed: %1; its lines are lost until it works again").arg(scenario.reason);
        EXPECT_EQ(log.now().filter(failed).size(), 1) << log.all().toStdString();

        // Said once, however many lines follow.
        scenario.resume(fifo);
        for (const auto& [frequency, command] :
             {std::pair{"14250000", "00 50 42 01 0A"}, {"7050000", "00 00 05 07 0A"}, {"3500000", "00 00 50 03 0A"}}) {
            rig.writeFile(frequency);
            EXPECT_EQ(hexBytes(pty.read(5, 5s)), command);
        }
        EXPECT_TRUE(log.waitFor({"relay.fifo works again", "2 lines were lost", scenario.reason}, 2s))
            << log.all().toStdString();
        read += fifo.drain();
        const auto worksAgain = read.find("relay.fifo works again");
        EXPECT_NE(worksAgain, std::string::npos) << read;
        EXPECT_NE(read.find("sent 00 00 50 03 0A", worksAgain), std::string::npos) << read;
        EXPECT_EQ(read.find("relay.fifo works again", worksAgain + 1), std::string::npos) << read;
        EXPECT_EQ(log.now().filter("relay.fifo works again").size(), 1) << log.all().toStdString();
        // Whole lines only.
        EXPECT_TRUE(read.ends_with('\n')) << read;
        std::istringstream lines(read);
        for (std::string line; std::getline(lines, line);) {
            EXPECT_TRUE(std::regex_match(line, std::regex(R"(\d{4}-\d\d-\d\dT\S+ freqrelay\.relay: .+)"))) << line;
        }
        program.terminate();
        EXPECT_TRUE(program.waitForFinished(5000));
        EXPECT_EQ(program.exitCode(), 0);
    }
}

// Two relays may share one log: a long line goes out in one write, so that
// it cannot tear into the other's lines. A FIFO that has no room for all of
// a line longer than PIPE_BUF now (the system would take part of it) gets
// none of it, at once; once it has room, all of it.
TEST(RelayLog, ALongLineGoesToTheLogFileInOneWrite) {
    RelayRig rig;  // for its folder
    const auto path = rig.folder() / "relay.log";
    freqrelay::LogFile file;
    std::string reason;
    ASSERT_TRUE(file.open(path.string(), rig.file().string(), "", reason)) << reason;
    const std::string line = std::string(10000, 'x') + '\n';
    const long before = writeCalls();
    ASSERT_TRUE(file.append(line, reason)) << reason;
    const long writes = writeCalls() - before;
    EXPECT_EQ(contentsOf(path), line);

    const auto fifoPath = rig.folder() / "relay.fifo";
    const LogFifo fifo(fifoPath);
    freqrelay::LogFile toFifo;
    ASSERT_TRUE(toFifo.open(fifoPath.string(), rig.file().string(), "", reason)) << reason;
    const int writer = ::open(fifoPath.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
    ASSERT_GE(writer, 0);
    // Room for half the line.
    const std::string almostFull(static_cast<std::size_t>(::fcntl(writer, F_GETPIPE_SZ)) - line.size() / 2, '-');
    ASSERT_EQ(::write(writer, almostFull.data(), almostFull.size()), static_cast<ssize_t>(almostFull.size()));
    ::close(writer);
    EXPECT_FALSE(toFifo.append(line, reason));
    EXPECT_EQ(reason, "the FIFO is full: its reader is not keeping up");
    EXPECT_EQ(fifo.drain(), almostFull);
    ASSERT_TRUE(toFifo.append(line, reason)) << reason;
    EXPECT_EQ(fifo.drain(), line);
#if defined(__SANITIZE_ADDRESS__)
    // AddressSanitizer probes memory by writing to a pipe of its own on this
    // thread, so its count of write calls says nothing here.
    GTEST_SKIP() << "write calls are not counted under AddressSanitizer";
#endif
    EXPECT_EQ(writes, 1);
}
