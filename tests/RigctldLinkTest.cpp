#include "FakeRigctld.h"
#include "serial/RigctldLink.h"

#include <QCoreApplication>
#include <QProcess>
#include <QStandardPaths>

#include <gtest/gtest.h>

#include <chrono>
#include <optional>

using namespace freqrelay;
using namespace std::chrono_literals;

namespace {

const Command k14250000 = encode("14250000").command;
const Command k7050000 = encode("7050000").command;

// Serves the event loop until `done` holds or `limit` has passed.
bool serveUntil(const std::function<bool()>& done, std::chrono::milliseconds limit = 5s) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!done() && std::chrono::steady_clock::now() < deadline) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    return done();
}

// The sending's end, from the event loop; none if it never came.
std::optional<Sending> sent(RigctldLink& link, const Command& command) {
    std::optional<Sending> ended;
    link.send(command, [&](const Sending& sending) { ended = sending; });
    serveUntil([&] { return ended.has_value(); });
    return ended;
}

class RigctldLinkOnLoopback : public testing::Test {
protected:
    FakeRigctld fake;
    quint16 port = fake.listen();
    RigctldLink link{RigctldAddress{"127.0.0.1", port}, 300ms};
    std::string name = "rigctld 127.0.0.1:" + std::to_string(port);
};

}  // namespace

TEST_F(RigctldLinkOnLoopback, SendsTheFrequencyTheBytesMeanOnOneKeptConnection) {
    const auto first = sent(link, k14250000);
    ASSERT_TRUE(first);
    EXPECT_FALSE(first->failure);
    EXPECT_EQ(first->worked, std::vector<std::string>{"sending the frequency"});
    ASSERT_TRUE(sent(link, k7050000));
    EXPECT_EQ(fake.lines, (std::vector<std::string>{"F 14250000", "F 70500000"}));
    EXPECT_EQ(fake.connections, 1);
    EXPECT_EQ(link.destination(k7050000), name + " as 70500000 Hz");
}

TEST_F(RigctldLinkOnLoopback, EachFailureNamesTheServerAndTheNextTryConnectsAfresh) {
    struct Case {
        FakeRigctld::Answer answer;
        std::string reason;
    };
    for (const Case& c : {Case{FakeRigctld::Answer::Refused, " refused 70500000 Hz: RPRT -1 (invalid parameter)"},
                          Case{FakeRigctld::Answer::Nothing, ": no answer within 300 ms"},
                          Case{FakeRigctld::Answer::HangsUp, ": The remote host closed the connection"},
                          Case{FakeRigctld::Answer::Garbage, ": answered \"hello\" where RPRT was due"},
                          Case{FakeRigctld::Answer::AlmostSent, ": answered \"RPRT 0x\" where RPRT was due"}}) {
        SCOPED_TRACE(c.reason);
        fake.answer = c.answer;
        const auto failed = sent(link, k7050000);
        ASSERT_TRUE(failed && failed->failure);
        EXPECT_EQ(failed->failure->step, "sending the frequency");
        EXPECT_EQ(failed->failure->reason, name + c.reason);
        EXPECT_FALSE(link.commandIsOnTheLine());
        // The connection is dropped, and made again for the next frequency.
        EXPECT_TRUE(serveUntil([&] { return fake.disconnections == fake.connections; }));
        const int connectionsBefore = fake.connections;
        fake.answer = FakeRigctld::Answer::Sent;
        const auto again = sent(link, k14250000);
        ASSERT_TRUE(again);
        EXPECT_FALSE(again->failure);
        EXPECT_EQ(fake.connections, connectionsBefore + 1);
    }
}

TEST_F(RigctldLinkOnLoopback, NoServerIsARefusedConnection) {
    fake.server.close();
    const auto failed = sent(link, k14250000);
    ASSERT_TRUE(failed && failed->failure);
    EXPECT_EQ(failed->failure->reason, name + ": Connection refused");
}

TEST_F(RigctldLinkOnLoopback, AnAbandonedSendingNeverEnds) {
    fake.answer = FakeRigctld::Answer::Nothing;
    bool ended = false;
    link.send(k14250000, [&](const Sending&) { ended = true; });
    serveUntil([&] { return !fake.lines.empty(); });
    link.abandon();
    serveUntil([] { return false; }, 500ms);
    EXPECT_FALSE(ended);
}

// Hamlib's own server with its dummy radio, where it is installed.
TEST(RigctldLink, TheRealRigctldHoldsTheFrequencySent) {
    const QString rigctld = QStandardPaths::findExecutable(QStringLiteral("rigctld"));
    const QString rigctl = QStandardPaths::findExecutable(QStringLiteral("rigctl"));
    if (rigctld.isEmpty() || rigctl.isEmpty()) {
        GTEST_SKIP() << "rigctld is not installed (Debian: libhamlib-utils)";
    }
    FakeRigctld free;
    const quint16 port = free.listen();
    free.server.close();
    QProcess server;
    server.start(rigctld, {"-m", "1", "-T", "127.0.0.1", "-t", QString::number(port)});
    ASSERT_TRUE(server.waitForStarted());
    RigctldLink link{RigctldAddress{"127.0.0.1", port}};
    std::optional<Sending> ended;
    // The server takes a moment to listen: refused tries until it does.
    ASSERT_TRUE(serveUntil([&] {
        ended = sent(link, k14250000);
        return ended && !ended->failure;
    }));
    QProcess query;
    query.start(rigctl, {"-m", "2", "-r", QStringLiteral("127.0.0.1:%1").arg(port), "f"});
    ASSERT_TRUE(query.waitForFinished(10000));
    // Newer rigctl prints its version first: the frequency is the last line.
    EXPECT_EQ(query.readAllStandardOutput().trimmed().split('\n').last().trimmed(), "14250000");
    server.terminate();
    if (!server.waitForFinished(5000)) {
        server.kill();
        server.waitForFinished(5000);
    }
}
