#include "LineSpy.h"
#include "PseudoTerminal.h"
#include "core/RelayFailure.h"
#include "links/QtSerialControl.h"
#include "links/SerialLink.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>
#include <stdexcept>

using namespace freqrelay;
using namespace std::chrono_literals;
using namespace std::string_literals;

class QtSerialControlOnPty : public testing::Test {
protected:
    // The whole sending of the command for `text`.
    void send(const char* text) { send(encode(text).command); }
    void send(const Command& command) {
        SerialLink(control).sendWhole(command, [](const Sending& sending) { EXPECT_FALSE(sending.failure); });
    }
    // The line set up and the port opened, as the sending does before it writes.
    void open() {
        control.setCommPort(1);
        control.setSettings(SerialLink::kLineSettings);
        control.setRTSEnable(false);
        control.setPortOpen(true);
    }

    PseudoTerminal pty;
    QtSerialControl control{pty.slavePath(), 200ms};
};

TEST_F(QtSerialControlOnPty, PutsExactlyTheFiveBytesOnTheLine) {
    send("14250000");
    EXPECT_FALSE(control.portOpen());
    EXPECT_EQ(hexBytes(pty.read(5, 1s)), "00 50 42 01 0A");
    EXPECT_EQ(pty.read(1, 100ms), "");
}

TEST_F(QtSerialControlOnPty, BeforeAnyEncodingSendsFiveZeroBytes) {
    send(Command{});
    EXPECT_EQ(hexBytes(pty.read(5, 1s)), "00 00 00 00 00");
}

TEST_F(QtSerialControlOnPty, LineIsAt4800Baud8N2WithRtsLoweredFirst) {
    LineSpy spy;
    open();
    ASSERT_TRUE(control.portOpen());
    const termios line = pty.lineSettings();
    EXPECT_EQ(::cfgetospeed(&line), B4800);
    EXPECT_NE(line.c_cflag & CSTOPB, 0u);
    // A pty forces 8 bits and no parity, so check what was asked of the line.
    const auto& requests = spy.requests();
    ASSERT_FALSE(requests.empty());
    const termios& asked = requests.back().attributes;
    EXPECT_EQ(requests.back().kind, LineRequest::Kind::Attributes);
    EXPECT_EQ(asked.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
    EXPECT_EQ(asked.c_cflag & PARENB, 0u);
    EXPECT_NE(asked.c_cflag & CSTOPB, 0u);
    EXPECT_EQ(::cfgetospeed(&asked), B4800);
    // RTS goes low as soon as the device is open, before the relay's own
    // settings are applied (the opening itself applies the port's earlier ones).
    const auto isRelays = [](const LineRequest& r) {
        return r.kind == LineRequest::Kind::Attributes && ::cfgetospeed(&r.attributes) == B4800;
    };
    const auto rtsLow = std::find_if(requests.begin(), requests.end(),
                                     [](const LineRequest& r) { return r.kind == LineRequest::Kind::RtsLow; });
    ASSERT_NE(rtsLow, requests.end());
    EXPECT_TRUE(std::none_of(requests.begin(), rtsLow, isRelays));
    EXPECT_TRUE(std::none_of(requests.begin(), requests.end(),
                             [](const LineRequest& r) { return r.kind == LineRequest::Kind::RtsHigh; }));
    control.setOutput("\x00\x00\x05\x07\x0A"s);
    control.setPortOpen(false);
    EXPECT_EQ(hexBytes(pty.read(5, 1s)), "00 00 05 07 0A");
}

TEST_F(QtSerialControlOnPty, PortIsClosedAfterEveryCommand) {
    ASSERT_TRUE(pty.hungUp());
    send("14250000");
    EXPECT_TRUE(pty.waitForHangUp(1s));
    EXPECT_EQ(hexBytes(pty.read(5, 1s)), "00 50 42 01 0A");
    send("7050000");
    EXPECT_TRUE(pty.waitForHangUp(1s));
    EXPECT_EQ(hexBytes(pty.read(10, 300ms)), "00 00 05 07 0A");
}

TEST_F(QtSerialControlOnPty, AnAbsentDeviceFailsAtTheOpeningUntilItAppears) {
    const auto folder = std::filesystem::temp_directory_path() / ("freqrelay-port-" + std::to_string(::getpid()));
    std::filesystem::create_directories(folder);
    // A name that is no valid UTF-8 still leads to its device.
    const auto link = folder / "radio\xff";
    std::filesystem::remove(link);
    QtSerialControl absent{link.string()};

    SerialLink sending(absent);
    const Command command = encode("14250000").command;
    std::optional<StepFailure> failure;
    sending.send(command, [&](const Sending& ended) { failure = ended.failure; });
    ASSERT_TRUE(failure) << "opening an absent device must fail";
    EXPECT_EQ(failure->step, "opening the port");
    EXPECT_NE(failure->reason.find(link.string()), std::string::npos) << failure->reason;
    EXPECT_FALSE(absent.portOpen());

    std::filesystem::create_symlink(pty.slavePath(), link);
    sending.send(command, [](const Sending& ended) { EXPECT_FALSE(ended.failure); });
    EXPECT_EQ(hexBytes(pty.read(5, 1s)), "00 50 42 01 0A");
    std::filesystem::remove_all(folder);
}

// A file, or a device with no line, is said not to be a serial port.
TEST_F(QtSerialControlOnPty, APathThatIsNoSerialPortFailsToOpenSayingSo) {
    const auto file = std::filesystem::temp_directory_path() / ("freqrelay-not-a-port-" + std::to_string(::getpid()));
    std::ofstream{file};
    for (const std::string& path : {std::string("/dev/null"), file.string()}) {
        QtSerialControl port{path};
        try {
            port.setPortOpen(true);
            ADD_FAILURE() << path << " opened as a serial port";
            port.forceClose();
        } catch (const RelayFailure& failure) {
            EXPECT_EQ(failure.what(), path + ": not a serial port (" + std::strerror(ENOTTY) + ")");
        }
    }
    std::filesystem::remove(file);
}

TEST_F(QtSerialControlOnPty, SettingsThePlatformCannotApplyFailAtTheOpening) {
    control.setSettings("4800,N,8,1.5");
    EXPECT_THROW(control.setPortOpen(true), RelayFailure);
    EXPECT_FALSE(control.portOpen());
}

TEST_F(QtSerialControlOnPty, AStalledLineIsAFailureNotAHang) {
    control.setSettings(SerialLink::kLineSettings);
    control.setPortOpen(true);
    StoppedLine line(pty.slavePath());
    ASSERT_TRUE(line.holding());
    const auto started = std::chrono::steady_clock::now();
    try {
        control.setOutput(std::string(5, '\0'));
        control.setPortOpen(false);
        FAIL() << "a stopped line must fail";
    } catch (const RelayFailure& failure) {
        EXPECT_NE(std::string(failure.what()).find(pty.slavePath()), std::string::npos) << failure.what();
    }
    EXPECT_LT(std::chrono::steady_clock::now() - started, 2s);
}

TEST_F(QtSerialControlOnPty, APortLostDuringTheWriteIsLetGoOfSoThatItOpensAfresh) {
    open();
    pty.closeMaster();  // the adapter is pulled while the port is open
    EXPECT_THROW(control.setOutput("\x00\x50\x42\x01\x0A"s), RelayFailure);
    EXPECT_FALSE(control.portOpen());

    PseudoTerminal replacement;
    QtSerialControl remapped{replacement.slavePath()};
    SerialLink(remapped).sendWhole(encode("14250000").command,
                                   [](const Sending& sending) { EXPECT_FALSE(sending.failure); });
    EXPECT_EQ(hexBytes(replacement.read(5, 1s)), "00 50 42 01 0A");
}

// The check that lets go of a line the system has hung up (newer Qt
// versions wait on such a line without telling): each end of a
// pseudo-terminal is hung up once the other end is closed, and not before.
TEST_F(QtSerialControlOnPty, TheHangUpCheckSeesALineWhoseOtherEndIsClosed) {
    int slave = ::open(pty.slavePath().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    ASSERT_GE(slave, 0);
    EXPECT_FALSE(QtSerialControl::hungUp(slave));
    EXPECT_FALSE(QtSerialControl::hungUp(pty.master()));
    ::close(slave);
    EXPECT_TRUE(QtSerialControl::hungUp(pty.master()));  // the system says so by POLLHUP alone

    slave = ::open(pty.slavePath().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    ASSERT_GE(slave, 0);
    EXPECT_FALSE(QtSerialControl::hungUp(pty.master()));
    pty.closeMaster();  // the adapter is pulled
    EXPECT_TRUE(QtSerialControl::hungUp(slave));
    ::close(slave);
}

// A port given as a link is opened, and so locked, as the device it leads
// to (LCK..pts_3, where other programs look), yet named as given.
TEST_F(QtSerialControlOnPty, ABusyPortFailsToOpenAlsoWhenTheOtherWasGivenALinkToIt) {
    const auto folder = std::filesystem::temp_directory_path() / ("freqrelay-busy-" + std::to_string(::getpid()));
    std::filesystem::create_directories(folder);
    const auto link = folder / "radio";
    std::filesystem::create_symlink(pty.slavePath(), link);
    // The other was given the device, or the link.
    for (const std::string& given : {pty.slavePath(), link.string()}) {
        SCOPED_TRACE(given);
        QtSerialControl other{given};
        other.setPortOpen(true);
        EXPECT_EQ(other.device(), given);
        try {
            control.setPortOpen(true);
            ADD_FAILURE() << "a port another program holds must not open";
            control.forceClose();
        } catch (const RelayFailure& failure) {
            EXPECT_EQ(failure.what(), pty.slavePath() + ": in use by another program");
        }
        other.setPortOpen(false);
        EXPECT_NO_THROW(control.setPortOpen(true));
        control.forceClose();
    }
    std::filesystem::remove_all(folder);
}

namespace {

// Another program, running until the object goes: `cat` reading a pipe only
// this object holds, so that it ends with the test even when the test ends
// early. The lock files below name it; a number of a process that outlives
// the test (such as the test's parent) would be a lock that holds on after
// the test, for every test given the same pseudo-terminal number.
class OtherProgram {
public:
    OtherProgram() {
        int ends[2];
        if (::pipe(ends) != 0) {
            throw std::runtime_error("no pipe");
        }
        ::fcntl(ends[1], F_SETFD, FD_CLOEXEC);
        posix_spawn_file_actions_t actions;
        ::posix_spawn_file_actions_init(&actions);
        ::posix_spawn_file_actions_adddup2(&actions, ends[0], STDIN_FILENO);
        ::posix_spawn_file_actions_addclose(&actions, ends[0]);
        char name[] = "cat";
        char* arguments[] = {name, nullptr};
        char* noEnvironment[] = {nullptr};
        const int failed = ::posix_spawnp(&pid_, "cat", &actions, nullptr, arguments, noEnvironment);
        ::posix_spawn_file_actions_destroy(&actions);
        ::close(ends[0]);
        input_ = ends[1];
        if (failed != 0) {
            ::close(input_);
            throw std::runtime_error("cannot start cat");
        }
    }
    ~OtherProgram() {
        ::close(input_);
        ::waitpid(pid_, nullptr, 0);
    }
    OtherProgram(const OtherProgram&) = delete;
    OtherProgram& operator=(const OtherProgram&) = delete;

    pid_t pid() const { return pid_; }

private:
    pid_t pid_ = -1;
    int input_ = -1;
};

// A lock file that is removed when the object goes, however the test ends.
class LockFile {
public:
    LockFile(std::filesystem::path path, const std::string& text) : path_(std::move(path)) {
        std::ofstream(path_) << text;
    }
    ~LockFile() { std::filesystem::remove(path_); }
    LockFile(const LockFile&) = delete;
    LockFile& operator=(const LockFile&) = delete;

    const std::filesystem::path& path() const { return path_; }

private:
    std::filesystem::path path_;
};

std::string hostName() {
    char name[256] = {};
    return ::gethostname(name, sizeof name - 1) == 0 ? name : "";
}

}  // namespace

// Another program's lock file is the other program's, not a stale one: in
// the common older form (its process number, padded to ten places) or in
// Qt's (number, program and host, a line each), named after the device, and
// when the port is given as a link, after the device the link leads to. The
// port is left alone, the failure names the process and the file, and the
// file is left where it is. A lock whose number another program now has was
// left by a program that is gone, and holds nothing.
TEST_F(QtSerialControlOnPty, ALockFileOfAnotherLivingProgramIsLeftAndThePortFailsToOpen) {
    OtherProgram other;
    const std::string number = std::to_string(other.pid());
    const std::string olderForm = std::string(10 - number.size(), ' ') + number + '\n';
    const auto qtForm = [&](const std::string& program) {
        return number + '\n' + program + '\n' + hostName() + '\n';
    };
    std::string device = pty.slavePath().substr(5);
    std::replace(device.begin(), device.end(), '/', '_');
    const auto folder = std::filesystem::temp_directory_path() / ("freqrelay-lock-" + std::to_string(::getpid()));
    std::filesystem::create_directories(folder);
    const auto link = folder / "radio";
    std::filesystem::create_symlink(pty.slavePath(), link);
    // Where the system cannot tell which program a process runs, a lock is
    // taken at its word.
    const bool told = std::filesystem::exists("/proc/self/exe");
    const struct {
        const char* name;
        std::string text;
        bool throughLink;
        bool holds;
    } cases[] = {
        {"the older form", olderForm, false, true},
        {"Qt's form", qtForm("cat"), false, true},
        {"the older form, the port given as a link", olderForm, true, true},
        {"Qt's form, its number now another program's", qtForm("logbook"), false, !told},
    };
    for (const auto& lockCase : cases) {
        SCOPED_TRACE(lockCase.name);
        QtSerialControl control{lockCase.throughLink ? link.string() : pty.slavePath()};
        std::optional<LockFile> lock;
        lock.emplace("/tmp/LCK.." + device, lockCase.text);
        if (lockCase.holds) {
            try {
                control.setPortOpen(true);
                ADD_FAILURE() << "a port another program has locked must not open";
                control.forceClose();
            } catch (const RelayFailure& failure) {
                EXPECT_EQ(failure.what(), control.device() + ": in use by another program: process " + number +
                                              " holds " + lock->path().string());
            }
            EXPECT_TRUE(std::filesystem::exists(lock->path()));
            lock.reset();  // the other program lets go of the port
        }
        EXPECT_NO_THROW(control.setPortOpen(true));
        control.forceClose();
    }
    std::filesystem::remove_all(folder);
}

TEST_F(QtSerialControlOnPty, CommPortCannotChangeWhileOpen) {
    control.setPortOpen(true);
    EXPECT_THROW(control.setCommPort(1), RelayFailure);
    control.setPortOpen(false);
    EXPECT_NO_THROW(control.setCommPort(1));
}
