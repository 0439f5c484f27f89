#include "RelayRig.h"
#include "core/Encoder.h"

#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

#include <unistd.h>
#include <algorithm>
#include <atomic>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <thread>

using namespace std::chrono_literals;

namespace {

RelayRig::Action click(QPushButton* button) {
    return [button] {
        QTest::mouseClick(button, Qt::LeftButton);
        return true;
    };
}

}  // namespace

TEST(Form1Actions, ReSendBeforeAnyChangeSendsFiveZeroBytes) {
    RelayRig rig;
    ASSERT_TRUE(rig.run({rig.idle(300ms), click(Command2(rig.form)), rig.waitForBytes(5)}));
    EXPECT_EQ(rig.lineHex(), "00 00 00 00 00");
    EXPECT_EQ(static_cast<int>(rig.form.printedLines().size()), 1);
}

TEST(Form1Actions, ReSendRepeatsTheLastCommandAndTouchesNothingElse) {
    RelayRig rig;
    rig.writeFile("7050000\r\n");
    ASSERT_TRUE(
        rig.run({rig.waitForBytes(5), rig.then([&] { Text1(rig.form)->setText("typed"); }), click(Command2(rig.form)),
                 rig.waitForBytes(10), click(Command2(rig.form)), rig.waitForBytes(15), rig.idle(300ms)}));
    EXPECT_EQ(rig.lineHex(), "00 00 05 07 0A 00 00 05 07 0A 00 00 05 07 0A");
    EXPECT_EQ(static_cast<int>(rig.form.printedLines().size()), 2);
    EXPECT_EQ(rig.form.printedLines(), QStringList({"", ""}));
    EXPECT_EQ(Text1(rig.form)->text(), "typed");
    EXPECT_EQ(Text2(rig.form)->text(), "7050000");
    EXPECT_EQ(rig.relay.freqold(), "7050000\r\n");
}

TEST(Form1Actions, ReSendSoonAfterACommandKeepsThePaceAndClicksMeanwhileAreMerged) {
    using Clock = std::chrono::steady_clock;
    RelayRig rig;
    rig.writeFile("7050000");
    // Each command's arrival, taken by a reader of its own, so that the
    // scenario's steps do not blur the times.
    Clock::time_point arrived[2];
    std::atomic<int> commands{0};
    std::string line;
    std::thread reader([&] {
        for (int number = 0; number < 2; ++number) {
            line += rig.pty.read(5, 10s);
            arrived[number] = Clock::now();
            ++commands;
        }
    });
    // Three clicks at once, right after the change's command.
    const bool ran =
        rig.run({[&] { return commands.load() >= 1; }, click(Command2(rig.form)), click(Command2(rig.form)),
                 click(Command2(rig.form)), [&] { return commands.load() >= 2; }, rig.idle(600ms)});
    reader.join();
    ASSERT_TRUE(ran);
    line += rig.pty.read(SIZE_MAX, 0ms);
    EXPECT_EQ(freqrelay::hexBytes(line), "00 00 05 07 0A 00 00 05 07 0A");
    EXPECT_GE(arrived[1] - arrived[0], 240ms);  // the reader's own 5 ms steps aside
    EXPECT_EQ(static_cast<int>(rig.form.printedLines().size()), 3);
}

TEST(Form1Actions, ReSendWithThePortAbsentReportsItAndRelayingGoesOn) {
    RelayRig rig{true};
    const auto link = rig.radioLink();
    ASSERT_TRUE(rig.run({rig.idle(300ms), click(Command2(rig.form)), rig.then([&] {
                             EXPECT_FALSE(rig.MSComm1.portOpen());
                             // Out is drawn as not sent, with the line's reason.
                             EXPECT_TRUE(outDrawnNotSent(rig.form));
                             EXPECT_EQ(Text2(rig.form)->toolTip(), rig.form.printedLines()[1] + ".");
                             std::filesystem::create_symlink(rig.pty.slavePath(), link);
                         }),
                         rig.write("14250000"), rig.waitForBytes(5), rig.idle(100ms)}));
    EXPECT_FALSE(outDrawnNotSent(rig.form));
    ASSERT_EQ(static_cast<int>(rig.form.printedLines().size()), 2);
    EXPECT_EQ(rig.form.printedLines()[0], "");
    EXPECT_TRUE(rig.form.printedLines()[1].startsWith("ReSend failed: " + QString::fromStdString(link.string())))
        << rig.form.printedLines()[1].toStdString();
    EXPECT_EQ(rig.lineHex(), "00 50 42 01 0A");
}

TEST(Form1Actions, ReSendLeavesAPortTheLoopHoldsToTheLoop) {
    RelayRig rig;
    // A stopped line makes the loop's write time out, so the loop holds the
    // port open while it waits to repeat the write.
    StoppedLine line(rig.pty.slavePath());
    ASSERT_TRUE(line.holding());
    rig.writeFile("14250000");
    ASSERT_TRUE(rig.run({rig.idle(2500ms), click(Command2(rig.form)), rig.then([&] {
                             EXPECT_TRUE(rig.MSComm1.portOpen());
                             line.resume();
                         }),
                         rig.waitForBytes(5), rig.idle(300ms)}));
    ASSERT_EQ(static_cast<int>(rig.form.printedLines().size()), 2);
    EXPECT_TRUE(rig.form.printedLines()[1].endsWith("port already open")) << rig.form.printedLines()[1].toStdString();
    // The loop's own command went out once the line moved again.
    EXPECT_EQ(rig.lineHex(), "00 50 42 01 0A");
    EXPECT_FALSE(rig.MSComm1.portOpen());
}

TEST(Form1Actions, QuitWhileWaitingForAMissingFileEndsAtOnce) {
    RelayRig rig;
    std::chrono::steady_clock::time_point clicked;
    ASSERT_TRUE(rig.run(
        {rig.idle(600ms), rig.then([&] { clicked = std::chrono::steady_clock::now(); }), click(Command1(rig.form))}));
    EXPECT_LT(std::chrono::steady_clock::now() - clicked, 1s);  // a hang would take the whole limit
    EXPECT_FALSE(rig.form.isVisible());
    EXPECT_EQ(rig.lineHex(), "");
}

TEST(Form1Actions, QuitClosesAPortThatAFailureLeftOpen) {
    RelayRig rig;
    // Hold the line stopped so the write times out and the loop keeps the
    // port open while it waits to repeat the write.
    StoppedLine line(rig.pty.slavePath());
    ASSERT_TRUE(line.holding());
    rig.writeFile("14250000");
    bool openBeforeQuit = false;
    ASSERT_TRUE(
        rig.run({rig.idle(3s), rig.then([&] { openBeforeQuit = rig.MSComm1.portOpen(); }), click(Command1(rig.form))}));
    EXPECT_TRUE(openBeforeQuit);
    EXPECT_FALSE(rig.MSComm1.portOpen());
    line.release();
    EXPECT_TRUE(rig.pty.waitForHangUp(1s));
}

TEST(Form1Actions, ClosingTheWindowEndsTheRelayAsQuitDoes) {
    RelayRig rig;
    rig.writeFile("7050000");
    std::chrono::steady_clock::time_point closed;
    ASSERT_TRUE(rig.run({rig.waitForBytes(5), rig.then([&] {
                             closed = std::chrono::steady_clock::now();
                             rig.form.close();
                         })},
                        5s, false));
    EXPECT_LT(std::chrono::steady_clock::now() - closed, 1s);
    EXPECT_TRUE(rig.relay.quitRequested());
    EXPECT_FALSE(rig.MSComm1.portOpen());
}
