#include "RecordingSerialControl.h"
#include "RelayRig.h"
#include "core/Encoder.h"
#include "links/SerialLink.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <atomic>
#include <filesystem>
#include <fstream>
#include <thread>

using namespace std::chrono_literals;
using freqrelay::Form1;
using freqrelay::hexBytes;

namespace {

std::string text1(Form1& form) { return Text1(form)->text().toStdString(); }
std::string text2(Form1& form) { return Text2(form)->text().toStdString(); }

// Out as the operator and a screen reader see it: whether it is drawn as not
// sent, and why.
struct OutState {
    bool notSent;
    std::string tooltip;
};
OutState outState(Form1& form) {
    const bool red = outDrawnNotSent(form);
    EXPECT_EQ(Text2(form)->toolTip(), Text2(form)->accessibleDescription());
    return {red, Text2(form)->toolTip().toStdString()};
}

// A relay for a window that is only looked at.
struct IdleRelay {
    RecordingSerialControl port;
    freqrelay::SerialLink link{port};
    freqrelay::Relay relay{freqrelay::kFrequencyFile, link};
};

}  // namespace

TEST(Form1Window, HasTheControlsWhereTheOperatorExpectsThem) {
    IdleRelay idle;
    Form1 form(idle.relay);
    EXPECT_EQ(form.windowTitle(), "Form1");
    EXPECT_EQ(form.size(), QSize(282, 146));
    EXPECT_EQ(Text1(form)->geometry(), QRect(80, 48, 185, 41));
    EXPECT_EQ(Text2(form)->geometry(), QRect(80, 96, 185, 41));
    EXPECT_EQ(Command1(form)->geometry(), QRect(208, 8, 49, 33));
    EXPECT_EQ(Command2(form)->geometry(), QRect(80, 8, 65, 33));
    EXPECT_EQ(Command3(form)->geometry(), QRect(8, 8, 65, 33));
    EXPECT_EQ(Label1(form)->geometry(), QRect(32, 56, 33, 25));
    EXPECT_EQ(Label2(form)->geometry(), QRect(32, 104, 41, 25));
    EXPECT_EQ(Command1(form)->text(), "QUIT");
    EXPECT_EQ(Command2(form)->text(), "ReSend");
    EXPECT_EQ(Command3(form)->text(), "&Setup\u2026");
    EXPECT_EQ(Label1(form)->text(), "In");
    EXPECT_EQ(Label2(form)->text(), "Out");
    EXPECT_EQ(Label1(form)->buddy(), Text1(form));
    EXPECT_EQ(Label2(form)->buddy(), Text2(form));
    EXPECT_EQ(Text1(form)->font().pointSize(), 18);
    EXPECT_TRUE(Text1(form)->font().bold());
    EXPECT_EQ(Label2(form)->font().pointSize(), 12);
    EXPECT_TRUE(Text1(form)->text().isEmpty());
    EXPECT_EQ(static_cast<int>(form.printedLines().size()), 0);
}

TEST(Form1Window, TabOrderRunsFromInToQuitToOutToReSendToSetup) {
    IdleRelay idle;
    Form1 form(idle.relay);
    EXPECT_EQ(Text1(form)->nextInFocusChain(), Command1(form));
    EXPECT_EQ(Command1(form)->nextInFocusChain(), Text2(form));
    QWidget* afterOut = Text2(form)->nextInFocusChain();
    while (afterOut->focusPolicy() == Qt::NoFocus) {
        afterOut = afterOut->nextInFocusChain();
    }
    EXPECT_EQ(afterOut, Command2(form));
    EXPECT_EQ(Command2(form)->nextInFocusChain(), Command3(form));
}

// Alt+S, as a click does, opens the Setup dialog; not once the relay has
// ended.
TEST(Form1Window, AltSOpensTheSetupAsAClickDoes) {
    IdleRelay idle;
    Form1 form(idle.relay);
    int opened = 0;
    form.setSetUp([&opened] { ++opened; });
    form.show();
    QApplication::setActiveWindow(&form);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&form));
    QTest::keyClick(&form, Qt::Key_S, Qt::AltModifier);
    EXPECT_TRUE(QTest::qWaitFor([&opened] { return opened == 1; }, 2000));
    QTest::mouseClick(Command3(form), Qt::LeftButton);
    EXPECT_EQ(opened, 2);
    idle.relay.quit();
    QTest::mouseClick(Command3(form), Qt::LeftButton);
    EXPECT_EQ(opened, 2);
}

TEST(Form1Window, PrintedLinesMoveThePrintPositionAndSurviveARepaint) {
    IdleRelay idle;
    Form1 form(idle.relay);
    form.Print("first");
    form.Print("");
    EXPECT_EQ(static_cast<int>(form.printedLines().size()), 2);
    IdleRelay other;
    const QImage blank = Form1(other.relay).grab().toImage();
    const QImage printed = form.grab().toImage();
    EXPECT_NE(printed, blank);  // "first" is drawn at the top left
    EXPECT_EQ(form.grab().toImage(), printed);
}

TEST(Form1Relay, AChangeIsShownAndSent) {
    RelayRig rig;
    rig.writeFile("14250000\r\n");
    ASSERT_TRUE(rig.run({rig.waitForBytes(5)}));
    EXPECT_EQ(rig.lineHex(), "00 50 42 01 0A");
    EXPECT_EQ(text1(rig.form), "14250000");
    EXPECT_EQ(text2(rig.form), "1425000");
}

TEST(Form1Relay, AFinishedWriteIsFollowedAtOnceAndCommandsKeepThePollsPace) {
    using Clock = std::chrono::steady_clock;
    RelayRig rig;
    rig.writeFile("14250000");
    Clock::time_point written;
    Clock::time_point arrived[2];
    std::string commands[2];
    std::atomic<bool> done{false};
    std::thread reader;
    ASSERT_TRUE(rig.run({rig.waitForBytes(5), rig.idle(600ms), rig.then([&] {
                             reader = std::thread([&] {
                                 for (int i = 0; i < 2; ++i) {
                                     commands[i] = hexBytes(rig.pty.read(5, 2s));
                                     arrived[i] = Clock::now();
                                     // A second change 20 ms after the first command at most.
                                     if (i == 0)
                                         rig.writeFile("3500000");
                                 }
                                 done = true;
                             });
                             written = Clock::now();
                             rig.writeFile("7050000");
                         }),
                         [&] {
                             return done.load();
                         }}));
    reader.join();
    EXPECT_EQ(commands[0], "00 00 05 07 0A");
    EXPECT_EQ(commands[1], "00 00 50 03 0A");
    // Well within the poll's 250 ms, with room for a slow machine.
    EXPECT_LT(arrived[0] - written, 100ms);
    EXPECT_GE(arrived[1] - arrived[0], 245ms);
}

TEST(Form1Relay, AMissingFileSendsNothingUntilItAppears) {
    RelayRig rig;
    std::chrono::steady_clock::time_point written;
    ASSERT_TRUE(rig.run({rig.idle(600ms), rig.then([&] {
                             EXPECT_EQ(rig.lineHex(), "");
                             EXPECT_EQ(Text1(rig.form)->toolTip().toStdString(),
                                       "Waiting for " + rig.file().string() + ": No such file or directory.");
                             rig.writeFile("7050000");
                             written = std::chrono::steady_clock::now();
                         }),
                         rig.waitForBytes(5)}));
    EXPECT_EQ(rig.lineHex(), "00 00 05 07 0A");
    EXPECT_EQ(Text1(rig.form)->toolTip(), "");
    // Acted on within about half a second (plus the scenario's own steps).
    EXPECT_LT(std::chrono::steady_clock::now() - written, 800ms);
}

TEST(Form1Relay, AfterAnOverflowTheNextChangeIsRelayed) {
    RelayRig rig;
    rig.writeFile("1E10");
    ASSERT_TRUE(rig.run({rig.idle(700ms), rig.then([&] {
                             EXPECT_EQ(text1(rig.form), "10000000000");
                             EXPECT_EQ(rig.lineHex(), "");
                             const OutState out = outState(rig.form);
                             EXPECT_TRUE(out.notSent);
                             EXPECT_EQ(out.tooltip,
                                       "Not sent: overflow: 10000000000 does not fit in a 32-bit whole number.");
                         }),
                         rig.write("1E999"), rig.idle(600ms), rig.write("7050000"), rig.waitForBytes(5)}));
    EXPECT_EQ(rig.lineHex(), "00 00 05 07 0A");
    EXPECT_EQ(text2(rig.form), "7050000");
}

TEST(Form1Relay, SomethingOtherThanARegularFileIsWaitedOut) {
    RelayRig rig;
    const auto file = rig.file();
    ASSERT_EQ(::mkfifo(file.c_str(), 0600), 0);
    ASSERT_TRUE(rig.run({rig.idle(600ms), rig.then([&] {
                             std::filesystem::remove(file);
                             std::filesystem::create_directory(file);
                         }),
                         rig.idle(600ms), rig.then([&] {
                             std::filesystem::remove(file);
                             std::filesystem::create_symlink("/dev/zero", file);
                         }),
                         rig.idle(600ms), rig.then([&] {
                             EXPECT_EQ(rig.lineHex(), "");
                             std::filesystem::remove(file);
                         }),
                         rig.write("705000"), rig.waitForBytes(5)}));
    EXPECT_EQ(rig.lineHex(), "00 50 70 00 0A");
}

TEST(Form1Relay, APortAbsentWhenAChangeArrivesIsRetriedAndSendsOnce) {
    RelayRig rig{true};
    const auto link = rig.radioLink();
    rig.writeFile("14250000");
    ASSERT_TRUE(rig.run({rig.idle(800ms), rig.then([&] {
                             EXPECT_EQ(text2(rig.form), "1425000");
                             const OutState out = outState(rig.form);
                             EXPECT_TRUE(out.notSent);
                             EXPECT_EQ(out.tooltip, "Not sent yet: " + link.string() +
                                                        ": No such file or directory. Trying again every 250 ms.");
                             std::filesystem::create_symlink(rig.pty.slavePath(), link);
                         }),
                         rig.waitForBytes(5), rig.idle(600ms)}));
    EXPECT_EQ(rig.lineHex(), "00 50 42 01 0A");
    const OutState out = outState(rig.form);
    EXPECT_FALSE(out.notSent);
    EXPECT_EQ(out.tooltip.rfind("Sent to " + link.string() + " at ", 0), 0u) << out.tooltip;
}

TEST(Form1Relay, ALargeFileIsRelayedWithoutGrowingMemoryAndGivenBackAfter) {
    RelayRig rig;
    rig.writeFile("7050000");
    constexpr std::size_t kSize = 48u << 20;
    long idle = 0;
    long afterFirst = 0;
    ASSERT_TRUE(
        rig.run({rig.waitForBytes(5), rig.idle(500ms), rig.then([&] { idle = residentKilobytes(); }), rig.then([&] {
                     // Made after the idle reading, and gone before the last one.
                     std::string big(kSize, 'x');
                     big.replace(0, 9, "14250000\n");
                     rig.writeFile(big);
                 }),
                 rig.waitForBytes(10), rig.then([&] {
                     afterFirst = residentKilobytes();
                     EXPECT_EQ(rig.relay.freqold().size(), kSize);
                 }),
                 rig.idle(2500ms), rig.then([&] {
                     if (!kResidentMemoryIsMeaningful) {
                         return;
                     }
                     // Ten polls more, which leave the unchanged large file unread.
                     EXPECT_LT(residentKilobytes() - afterFirst, 8 * 1024) << "RSS grew while polling";
                     // The text and its remembered copy: two copies and not many more.
                     constexpr long kTwoAndAHalfCopiesKiB = 5 * 48 * 1024 / 2;
                     EXPECT_LT(residentKilobytes() - idle, kTwoAndAHalfCopiesKiB);
                 }),
                 rig.write("7050000"), rig.waitForBytes(15), rig.idle(600ms)},
                30s));
    EXPECT_EQ(rig.lineHex(), "00 00 05 07 0A 00 50 42 01 0A 00 00 05 07 0A");
    if (kResidentMemoryIsMeaningful) {
        // Once the text is small again, its large buffers are given back.
        EXPECT_LT(residentKilobytes(), idle * 115 / 100) << "idle " << idle << " KiB";
    }
}
