#include "EncodedState.h"
#include "LineSpy.h"
#include "PseudoTerminal.h"
#include "ScopedPort1.h"
#include "core/RelayFailure.h"
#include "serial/QtSerialControl.h"
#include "serial/SendCommand.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>
#include <algorithm>
#include <filesystem>
#include <fstream>

using namespace freqrelay;
using namespace std::chrono_literals;

class QtSerialControlOnPty : public testing::Test {
protected:
    PseudoTerminal pty;
    ScopedPort1 port1{pty.slavePath()};
    QtSerialControl control{200ms};
};

TEST_F(QtSerialControlOnPty, PutsExactlyTheFiveBytesOnTheLine) {
    RelayState state = encodedState("14250000");
    SendCommand(control, state).run();
    EXPECT_FALSE(control.portOpen());
    EXPECT_EQ(hexBytes(pty.read(5, 1s)), "00 50 42 01 0A");
    EXPECT_EQ(pty.read(1, 100ms), "");
}

TEST_F(QtSerialControlOnPty, BeforeAnyEncodingSendsFiveZeroBytes) {
    RelayState state;
    SendCommand(control, state).run();
    EXPECT_EQ(hexBytes(pty.read(5, 1s)), "00 00 00 00 00");
}

TEST_F(QtSerialControlOnPty, LineIsAt4800Baud8N2WithRtsLoweredFirst) {
    RelayState state = encodedState("7050000");
    SendCommand sender(control, state);
    LineSpy spy;
    sender.run(SendStep::ChoosePort, SendStep::Open);
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
    sender.run(SendStep::BuildCommand, SendStep::Close);
    EXPECT_EQ(hexBytes(pty.read(5, 1s)), "00 00 05 07 0A");
}

TEST_F(QtSerialControlOnPty, PortIsClosedAfterEveryCommand) {
    RelayState first = encodedState("14250000");
    RelayState second = encodedState("7050000");
    ASSERT_TRUE(pty.hungUp());
    SendCommand(control, first).run();
    EXPECT_TRUE(pty.waitForHangUp(1s));
    EXPECT_EQ(hexBytes(pty.read(5, 1s)), "00 50 42 01 0A");
    SendCommand(control, second).run();
    EXPECT_TRUE(pty.waitForHangUp(1s));
    EXPECT_EQ(hexBytes(pty.read(10, 300ms)), "00 00 05 07 0A");
}

TEST_F(QtSerialControlOnPty, AnAbsentDeviceFailsAtTheOpeningUntilItAppears) {
    const auto folder = std::filesystem::temp_directory_path() / ("freqrelay-port-" + std::to_string(::getpid()));
    std::filesystem::create_directories(folder);
    // A name that is no valid UTF-8 still leads to its device.
    const auto link = folder / "radio\xff";
    std::filesystem::remove(link);
    ScopedPort1 absent(link.string());

    RelayState state = encodedState("14250000");
    SendCommand sender(control, state);
    sender.run(SendStep::ChoosePort, SendStep::EmptyInput);
    try {
        sender.run(SendStep::Open);
        FAIL() << "opening an absent device must fail";
    } catch (const RelayFailure& failure) {
        EXPECT_EQ(failure.kind(), FailureKind::Port);
        EXPECT_NE(std::string(failure.what()).find(link.string()), std::string::npos) << failure.what();
    }
    EXPECT_FALSE(control.portOpen());

    std::filesystem::create_symlink(pty.slavePath(), link);
    sender.run(SendStep::Open, SendStep::Close);
    EXPECT_EQ(hexBytes(pty.read(5, 1s)), "00 50 42 01 0A");
    std::filesystem::remove_all(folder);
}

TEST_F(QtSerialControlOnPty, SettingsThePlatformCannotApplyFailAtTheOpening) {
    control.setSettings("4800,N,8,1.5");
    EXPECT_THROW(control.setPortOpen(true), RelayFailure);
    EXPECT_FALSE(control.portOpen());
}

TEST_F(QtSerialControlOnPty, AStalledLineIsAFailureNotAHang) {
    control.setSettings(SendCommand::kLineSettings);
    control.setPortOpen(true);
    StoppedLine line(pty.slavePath());
    ASSERT_TRUE(line.holding());
    const auto started = std::chrono::steady_clock::now();
    try {
        control.setOutput(std::string(5, '\0'));
        control.setPortOpen(false);
        FAIL() << "a stopped line must fail";
    } catch (const RelayFailure& failure) {
        EXPECT_EQ(failure.kind(), FailureKind::Port);
        EXPECT_NE(std::string(failure.what()).find(pty.slavePath()), std::string::npos) << failure.what();
    }
    EXPECT_LT(std::chrono::steady_clock::now() - started, 2s);
}

TEST_F(QtSerialControlOnPty, APortLostDuringTheWriteIsOpenedAgainWhenTheWriteIsRepeated) {
    RelayState state = encodedState("14250000");
    SendCommand sender(control, state);
    sender.run(SendStep::ChoosePort, SendStep::BuildCommand);
    pty.closeMaster();  // the adapter is pulled while the port is open
    EXPECT_THROW(sender.run(SendStep::Write), RelayFailure);
    EXPECT_FALSE(control.portOpen());

    PseudoTerminal replacement;
    ScopedPort1 remapped(replacement.slavePath());
    sender.run(SendStep::Write, SendStep::Close);
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

TEST_F(QtSerialControlOnPty, ABusyPortFailsToOpen) {
    QtSerialControl other;
    other.setPortOpen(true);
    try {
        control.setPortOpen(true);
        FAIL() << "a port another program holds must not open";
    } catch (const RelayFailure& failure) {
        EXPECT_EQ(failure.what(), pty.slavePath() + ": in use by another program");
    }
    other.setPortOpen(false);
    EXPECT_NO_THROW(control.setPortOpen(true));
}

// Another program's lock file in the common older format (its process
// number, padded to ten places) is the other program's, not a stale one.
TEST_F(QtSerialControlOnPty, ALockFileOfAnotherLivingProgramIsLeftAndThePortFailsToOpen) {
    std::string name = pty.slavePath().substr(5);
    std::replace(name.begin(), name.end(), '/', '_');
    const std::filesystem::path lock = "/tmp/LCK.." + name;
    {
        std::ofstream file(lock);
        file << std::string(10 - std::to_string(::getppid()).size(), ' ') << ::getppid() << '\n';
    }
    try {
        control.setPortOpen(true);
        ADD_FAILURE() << "a port another program has locked must not open";
    } catch (const RelayFailure& failure) {
        EXPECT_EQ(failure.what(), pty.slavePath() + ": in use by another program: process " +
                                      std::to_string(::getppid()) + " holds " + lock.string());
    }
    EXPECT_TRUE(std::filesystem::exists(lock));
    std::filesystem::remove(lock);
    EXPECT_NO_THROW(control.setPortOpen(true));
}

TEST_F(QtSerialControlOnPty, CommPortCannotChangeWhileOpen) {
    control.setPortOpen(true);
    EXPECT_THROW(control.setCommPort(1), RelayFailure);
    control.setPortOpen(false);
    EXPECT_NO_THROW(control.setCommPort(1));
}
