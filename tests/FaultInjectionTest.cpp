#include "RelayRig.h"
#include "core/Encoder.h"

#include <QLineEdit>
#include <QProcess>

#include <gtest/gtest.h>

#include <unistd.h>
#include <atomic>
#include <filesystem>
#include <fstream>
#include <memory>
#include <thread>

// Faults around a running relay. Each scenario ends with the right command
// last on the line and the relay still polling until the test's own QUIT.
// (The missing file, absent port, non-regular files and the 40 MB file are
// in the Form1Relay suite.)

using namespace std::chrono_literals;
using freqrelay::hexBytes;

namespace {

std::string lastCommand(const std::string& hex) { return hex.size() >= 14 ? hex.substr(hex.size() - 14) : hex; }

// Every descriptor this process holds that points at `path`.
int descriptorsOn(const std::filesystem::path& path) {
    int count = 0;
    for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) {
        std::error_code error;
        const auto target = std::filesystem::read_symlink(entry.path(), error);
        if (!error && target == path) {
            ++count;
        }
    }
    return count;
}

}  // namespace

TEST(FaultInjection, ThePortVanishingAndANewOneAppearing) {
    RelayRig rig{true};
    const auto link = rig.radioLink();
    std::filesystem::create_symlink(rig.pty.slavePath(), link);
    rig.writeFile("14250000");
    std::unique_ptr<PseudoTerminal> replacement;
    std::string onReplacement;
    ASSERT_TRUE(rig.run({rig.waitForBytes(5), rig.then([&] {
                             EXPECT_EQ(rig.lineHex(), "00 50 42 01 0A");
                             // The adapter is pulled: its device and its name go.
                             // (A name left behind could meet a new terminal that
                             // reuses the number, another test's among them.)
                             rig.pty.closeMaster();
                             std::filesystem::remove(link);
                         }),
                         // The file moves on twice while the port is gone:
                         // only where it ends is sent, and shown meanwhile.
                         rig.write("7050000"), rig.idle(700ms), rig.write("3500000"), rig.idle(700ms), rig.then([&] {
                             EXPECT_EQ(Text1(rig.form)->text(), "3500000");
                             EXPECT_TRUE(outDrawnNotSent(rig.form));
                             replacement = std::make_unique<PseudoTerminal>();
                             std::filesystem::remove(link);
                             std::filesystem::create_symlink(replacement->slavePath(), link);
                         }),
                         [&] {
                             onReplacement += replacement->read(SIZE_MAX, 0ms);
                             return onReplacement.size() >= 5;
                         },
                         rig.idle(600ms)}));
    onReplacement += replacement->read(SIZE_MAX, 0ms);
    EXPECT_EQ(hexBytes(onReplacement), "00 00 50 03 0A");
}

TEST(FaultInjection, ThePortBusyInAnotherProgramThenFreed) {
    RelayRig rig;
    QProcess holder;
    ASSERT_TRUE(startPortHolder(holder, rig.pty.slavePath()));

    rig.writeFile("7050000");
    ASSERT_TRUE(rig.run({rig.idle(1s), rig.then([&] {
                             EXPECT_EQ(rig.lineHex(), "");
                             EXPECT_EQ(Text2(rig.form)->text(), "7050000");
                             holder.closeWriteChannel();
                             holder.waitForFinished(2000);
                         }),
                         rig.waitForBytes(5), rig.idle(600ms)}));
    EXPECT_EQ(holder.exitCode(), 0);
    EXPECT_EQ(rig.lineHex(), "00 00 05 07 0A");
}

TEST(FaultInjection, AnInPlaceWriterAt100HzNeverSendsTheEmptyFileAndEndsWithItsLastFrequency) {
    RelayRig rig;
    rig.writeFile("7000000");
    std::atomic<bool> done{false};
    std::thread writer;
    ASSERT_TRUE(rig.run(
        {rig.waitForBytes(5), rig.then([&] {
             writer = std::thread([&] {
                 // Rewritten in place for 10 s, as many writers do: the file is
                 // empty between the truncation and the write.
                 for (int i = 1; i <= 1000; ++i) {
                     std::ofstream out(rig.file(), std::ios::trunc);
                     std::this_thread::sleep_for(2ms);
                     out << (i == 1000 ? 7010000 : 7001000 + (i % 50) * 1000) << "\r\n";
                     out.close();
                     std::this_thread::sleep_for(8ms);
                 }
                 done = true;
             });
         }),
         [&] { return done.load(); }, [&] { return lastCommand(rig.lineHex()) == "00 00 01 07 0A"; }, rig.idle(600ms)},
        60s));
    writer.join();
    const std::string line = rig.lineHex();
    EXPECT_EQ(lastCommand(line), "00 00 01 07 0A");  // 7010000
    EXPECT_GT(line.size(), 20 * 15u);
    // Whole commands only, each with its opcode, and never the empty text's.
    for (std::size_t at = 0; at + 14 <= line.size(); at += 15) {
        EXPECT_EQ(line.substr(at + 12, 2), "0A") << line;
        EXPECT_NE(line.substr(at, 14), "00 00 00 00 0A") << "at " << at / 15;
    }
}

TEST(FaultInjection, AWriterThatWritesATextInTwoPiecesIsNeverReadBetweenThem) {
    RelayRig rig;
    rig.writeFile("7000000");
    std::string expected = "00 00 00 07 0A";
    std::atomic<bool> done{false};
    std::thread writer;
    ASSERT_TRUE(rig.run({rig.waitForBytes(5), rig.then([&] {
                             writer = std::thread([&] {
                                 for (int i = 1; i <= 8; ++i) {
                                     std::this_thread::sleep_for(400ms);
                                     const std::string text = std::to_string(14000000 + i * 10000);
                                     std::ofstream out(rig.file(), std::ios::trunc);
                                     // The file kept open between the pieces: it is
                                     // read at the close, well within a poll pause
                                     // of the first piece, also on a busy machine.
                                     out << text.substr(0, 4) << std::flush;
                                     std::this_thread::sleep_for(100ms);
                                     out << text.substr(4);
                                 }
                                 done = true;
                             });
                         }),
                         [&] { return done.load(); }, rig.waitForBytes(45), rig.idle(600ms)},
                        30s));
    writer.join();
    for (int i = 1; i <= 8; ++i) {
        expected += " 00 " + std::to_string(i) + "0 40 01 0A";
    }
    EXPECT_EQ(rig.lineHex(), expected);
}

TEST(FaultInjection, AWriterThatKeepsTheFileOpenAndRewritesItEvery10MsIsNeverStarved) {
    RelayRig rig;
    rig.writeFile("7000000");
    std::atomic<bool> done{false};
    std::vector<std::chrono::steady_clock::time_point> arrivals;
    std::string line;
    std::thread writer;
    ASSERT_TRUE(rig.run({rig.waitForBytes(5), rig.then([&] {
                             writer = std::thread([&] {
                                 std::fstream out(rig.file(), std::ios::in | std::ios::out);
                                 for (int i = 0; i < 300; ++i) {
                                     out.seekp(0);
                                     out << 7001000 + (i % 9) * 1000 << std::flush;
                                     std::this_thread::sleep_for(10ms);
                                 }
                                 done = true;
                             });
                         }),
                         [&] {
                             const std::string more = rig.pty.read(SIZE_MAX, 0ms);
                             for (std::size_t i = 0; i < more.size() / 5; ++i) {
                                 arrivals.push_back(std::chrono::steady_clock::now());
                             }
                             line += more;
                             return done.load();
                         }},
                        30s));
    writer.join();
    // Three seconds of writing: without starving, a command at least every
    // poll pause or so; a hang or a starved read shows as a gap of seconds.
    ASSERT_GE(arrivals.size(), 5u);
    for (std::size_t i = 1; i < arrivals.size(); ++i) {
        EXPECT_LT(arrivals[i] - arrivals[i - 1], 1500ms) << "command " << i;
    }
}

TEST(FaultInjection, NulBytesHighBytesCarriageReturnsAndTabs) {
    RelayRig rig;
    using namespace std::string_literals;
    rig.writeFile("14250000\0\xff\r\t"s);
    ASSERT_TRUE(rig.run({rig.waitForBytes(5),
                         rig.write("14250000\0\xfe\r\t"s),  // a change only after the NUL
                         rig.waitForBytes(10), rig.write("\t7\t05\0"s + "00"), rig.waitForBytes(15),
                         rig.then([&] { EXPECT_EQ(Text1(rig.form)->text(), "705"); }), rig.write("\r7050000"),
                         rig.waitForBytes(20), rig.idle(600ms)}));
    EXPECT_EQ(rig.lineHex(), "00 50 42 01 0A 00 50 42 01 0A 00 05 70 00 0A 00 00 00 00 0A");
    EXPECT_EQ(Text2(rig.form)->text(), "00");
}

TEST(FaultInjection, NoFileOrPortDescriptorStaysOpenBetweenIterations) {
    RelayRig rig;
    rig.writeFile("14250000");
    int openAtPumps = 0;
    const auto countOpen = [&] {
        openAtPumps += descriptorsOn(rig.file()) + descriptorsOn(rig.pty.slavePath());
        return true;
    };
    ASSERT_TRUE(rig.run({rig.waitForBytes(5), countOpen, rig.write("7050000"), rig.waitForBytes(10), countOpen,
                         rig.idle(300ms), countOpen}));
    EXPECT_EQ(openAtPumps, 0);
    EXPECT_EQ(rig.lineHex(), "00 50 42 01 0A 00 00 05 07 0A");
}

// A 64 GiB sparse file would take all memory if read; a file whose reads
// fail (EIO here, ESTALE on NFS) would wedge a descriptor that is kept. Both
// are waited out, and a good file then relays at once.
TEST(FaultInjection, AFileThatCannotBeReadWholeIsWaitedOut) {
    const std::vector<std::pair<const char*, std::function<void(const std::filesystem::path&)>>> cases = {
        {"64 GiB sparse",
         [](const std::filesystem::path& file) {
             std::ofstream{file};
             std::filesystem::resize_file(file, std::uintmax_t{64} << 30);
         }},
        {"reads fail with EIO",
         [](const std::filesystem::path& file) {
             std::filesystem::create_symlink("/proc/self/mem", file);
         }},
    };
    for (const auto& [name, makeBadFile] : cases) {
        SCOPED_TRACE(name);
        RelayRig rig;
        makeBadFile(rig.file());
        std::chrono::steady_clock::time_point replaced;
        ASSERT_TRUE(rig.run({rig.idle(1s), rig.then([&] {
                                 EXPECT_EQ(rig.lineHex(), "");
                                 if (kResidentMemoryIsMeaningful) {
                                     EXPECT_LT(residentKilobytes(), 100 * 1024);
                                 }
                                 replaced = std::chrono::steady_clock::now();
                                 rig.writeFile("14250000");
                             }),
                             rig.waitForBytes(5)}));
        EXPECT_LT(std::chrono::steady_clock::now() - replaced, 1s);
        EXPECT_EQ(rig.lineHex(), "00 50 42 01 0A");
    }
}
