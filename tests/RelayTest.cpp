#include "FakeRigctld.h"
#include "RecordingSerialControl.h"
#include "links/RigctldLink.h"
#include "links/SerialLink.h"
#include "relay/Relay.h"

#include <QEventLoop>
#include <QTimer>

#include <gtest/gtest.h>

#include <unistd.h>
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>

using namespace freqrelay;
using namespace std::chrono_literals;
using namespace std::string_literals;

namespace {

// The relay on a file in a folder of its own and a recorded port, with what
// its signals told, in order.
class RelayOnFakePort {
public:
    // Relays through `other` instead of the recorded port.
    explicit RelayOnFakePort(Link* other = nullptr) : relay((folder / "ft1000file").string(), other ? *other : link) {
        QObject::connect(&relay, &Relay::shown, [this](const std::string& in, const std::optional<std::string>& out) {
            events.push_back("shown " + in + (out ? " " + *out : ""));
        });
        QObject::connect(&relay, &Relay::sent,
                         [this](const Command& command, const std::string& out, const std::string&) {
                             events.push_back("sent " + hexBytes(command) + " " + out);
                         });
        QObject::connect(&relay, &Relay::failed, [this](const StepFailure& failure) {
            events.push_back("failed " + failure.step + (failure.retrying ? "" : ", not retrying") + ": " +
                             failure.reason.substr(failure.reason.find(": ") + 2));
        });
        QObject::connect(&relay, &Relay::cleared, [this](const Episodes::Ended& ended) {
            events.push_back("cleared " + ended.failure.step + " after " + std::to_string(ended.tries) + " tries");
        });
        QObject::connect(&relay, &Relay::dropped, [this](const std::string& out, const std::string& start) {
            events.push_back("dropped " + out + ", the file holds " + start);
        });
        QObject::connect(&relay, &Relay::noted, [this](const std::string& what) { events.push_back("noted " + what); });
        QObject::connect(&relay, &Relay::abandoned, [this](const Episodes::Ended& ended, const std::string& change) {
            events.push_back("abandoned " + ended.failure.step + ", " + change + ", after " +
                             std::to_string(ended.tries) + " tries");
        });
        QObject::connect(&relay, &Relay::textWarning,
                         [this](const std::string&, const std::string& start, const std::string& why) {
                             events.push_back(start + ": " + why);
                         });
    }
    ~RelayOnFakePort() { std::filesystem::remove_all(folder); }

    // Put in place whole, as a writer that renames its new file does.
    void write(const std::string& text) const {
        std::ofstream(folder / "new", std::ios::binary) << text;
        std::filesystem::rename(folder / "new", file());
    }
    std::filesystem::path file() const { return folder / "ft1000file"; }

    // Runs the relay for `duration`, calling each of `script`'s steps at its
    // time from now.
    void run(std::chrono::milliseconds duration,
             std::vector<std::pair<std::chrono::milliseconds, std::function<void()>>> script = {}) {
        if (!started) {
            relay.start();
            started = true;
        }
        QEventLoop loop;
        for (auto& [at, step] : script) {
            QTimer::singleShot(at, &loop, step);
        }
        QTimer::singleShot(duration, &loop, &QEventLoop::quit);
        loop.exec();
    }
    long count(const std::string& call) const { return std::count(port.calls.begin(), port.calls.end(), call); }

    std::filesystem::path folder = [] {
        std::string pattern = (std::filesystem::temp_directory_path() / "freqrelay-relay-XXXXXX").string();
        return std::filesystem::path(::mkdtemp(pattern.data()));
    }();
    RecordingSerialControl port;
    SerialLink link{port};
    Relay relay;
    std::vector<std::string> events;
    bool started = false;
};

}  // namespace

TEST(Relay, AChangeIsShownAndSentOnceAndNotAgainWhileTheTextStays) {
    RelayOnFakePort rig;
    rig.write("14250000\r\n");
    rig.run(900ms);
    EXPECT_EQ(rig.events, (std::vector<std::string>{"shown 14250000 1425000", "sent 00 50 42 01 0A 1425000"}));
    EXPECT_EQ(rig.relay.freqold(), "14250000\r\n");
    EXPECT_FALSE(rig.port.isOpen);
}

TEST(Relay, AnEmptiedFileOrAMarkAloneIsNoChangeAndATextWithoutANumberSendsZerosWithAWarning) {
    RelayOnFakePort rig;
    rig.write("7050000");
    rig.run(2400ms, {{300ms,
                      [&] {
                          rig.write("");
                      }},  // a writer between truncating and writing
                     {600ms,
                      [&] {
                          rig.write("\xEF\xBB\xBF");
                      }},
                     {900ms,
                      [&] {
                          rig.write("\xFF\xFE");
                      }},
                     {1200ms,
                      [&] {
                          rig.write("7050000");
                      }},  // the text last sent: no change
                     {1500ms, [&] {
                          rig.write("\xEF\xBB\xBF  kHz 7050000");
                      }}});
    EXPECT_EQ(rig.events, (std::vector<std::string>{"shown 7050000 7050000", "sent 00 00 05 07 0A 7050000",
                                                    "  kHz 70: has no number at its start; sending 0", "shown 0 00",
                                                    "sent 00 00 00 00 0A 00"}));
}

TEST(Relay, ANulThatEndsTheNumberIsToldAndTheNumberBeforeItSent) {
    using namespace std::string_literals;
    RelayOnFakePort rig;
    rig.write(
        "7050\0"s
        "000"s);
    rig.run(900ms);
    EXPECT_EQ(rig.events, (std::vector<std::string>{"7050\0"s
                                                    "000: holds a NUL byte at character 5; the number ends there"s,
                                                    "shown 7050 07050", "sent 00 50 70 00 0A 07050"}));
}

TEST(Relay, ChangesAnywhereInTheTextCountAndAnOldTextIsSentAgain) {
    RelayOnFakePort rig;
    rig.write("14250000");
    rig.run(1500ms, {{300ms,
                      [&] {
                          rig.write("14250000 ");
                      }},  // after the eighth character
                     {600ms,
                      [&] {
                          rig.write("7050000");
                      }},
                     {900ms, [&] {
                          rig.write("14250000 ");
                      }}});  // back to an earlier text
    std::vector<std::string> sent;
    for (const std::string& written : rig.port.written) {
        sent.push_back(hexBytes(written));
    }
    EXPECT_EQ(sent, (std::vector<std::string>{"00 50 42 01 0A", "00 50 42 01 0A", "00 00 05 07 0A", "00 50 42 01 0A"}));
}

TEST(Relay, AMissingFileIsWaitedForAndToldOnceThenItsClearing) {
    RelayOnFakePort rig;
    rig.run(1300ms, {{800ms, [&] {
                          rig.write("705000");
                      }}});
    ASSERT_EQ(rig.events.size(), 4u);
    EXPECT_EQ(rig.events[0], "failed opening the file: No such file or directory");
    EXPECT_TRUE(rig.events[1].starts_with("cleared opening the file after ")) << rig.events[1];
    EXPECT_EQ(rig.events[3], "sent 00 50 70 00 0A 0705000");
}

TEST(Relay, AFailedSendStepIsRepeatedFromItselfAndTheCommandGoesOutOnce) {
    RelayOnFakePort rig;
    rig.port.failing.insert({"PortOpen=1", "PortOpen=1", "PortOpen=1"});
    rig.write("14250000");
    rig.run(1800ms);
    EXPECT_EQ(rig.count("CommPort=1"), 1);
    EXPECT_EQ(rig.count("Output"), 1);
    // Told once when it starts and once when it clears, not at every try.
    EXPECT_EQ(rig.events,
              (std::vector<std::string>{"shown 14250000 1425000", "failed opening the port: PortOpen=1 failed",
                                        "cleared opening the port after 4 tries", "sent 00 50 42 01 0A 1425000"}));
}

// A file over kAlwaysReadSize whose stamp is unchanged and that the watch
// has not seen written is not read again; one up to that size is read at
// every poll. A writer behind the watch writes it in place through a hard
// link in another folder, and puts its time back.
TEST(Relay, ALargeFileIsReadAgainOnlyWhenItsStampOrTheWatchSaysItMayHaveChanged) {
    struct Case {
        const char* name;
        std::size_t size;
        bool behindTheWatch;
        bool read;
    };
    for (const Case& scenario : {Case{"at the bound, behind the watch", kAlwaysReadSize, true, true},
                                 Case{"large, behind the watch", kAlwaysReadSize + 1, true, false},
                                 Case{"large, seen by the watch", kAlwaysReadSize + 1, false, true}}) {
        SCOPED_TRACE(scenario.name);
        RelayOnFakePort rig;
        const auto written = std::filesystem::file_time_type::clock::now() - std::chrono::hours(1);
        const auto elsewhere = rig.folder / "elsewhere" / "ft1000file";
        const auto put = [&](const char* number, const std::filesystem::path& through) {
            std::string text(scenario.size, ' ');
            text.replace(0, 7, number);
            std::ofstream(through, std::ios::binary | std::ios::in | std::ios::out) << text;
            std::filesystem::last_write_time(through, written);
        };
        rig.write(std::string(scenario.size, ' '));
        std::filesystem::create_directory(elsewhere.parent_path());
        std::filesystem::create_hard_link(rig.file(), elsewhere);
        put("7050000", rig.file());
        rig.run(600ms);
        put("3500000", scenario.behindTheWatch ? elsewhere : rig.file());
        rig.run(600ms);
        std::vector<std::string> sent;
        for (const std::string& command : rig.port.written) {
            sent.push_back(hexBytes(command));
        }
        std::vector<std::string> expected{"00 00 05 07 0A", "00 00 50 03 0A"};
        expected.resize(scenario.read ? 2 : 1);
        EXPECT_EQ(sent, expected);
    }
}

// While a command waits to be repeated, a file that cannot be read tells
// nothing new: the command is tried again as it is. Once it is out, the
// file's failure is told.
TEST(Relay, AFileThatCannotBeReadWhileACommandWaitsToBeRepeatedIsNotTold) {
    RelayOnFakePort rig;
    for (int i = 0; i < 50; ++i) {
        rig.port.failing.insert("PortOpen=1");
    }
    rig.write("7100000");
    rig.run(2600ms, {{400ms,
                      [&] {
                          std::filesystem::remove(rig.file());
                      }},
                     {1200ms, [&] {
                          rig.port.failing.clear();
                      }}});
    ASSERT_EQ(rig.events.size(), 5u) << testing::PrintToString(rig.events);
    EXPECT_EQ(rig.events[1], "failed opening the port: PortOpen=1 failed");
    EXPECT_TRUE(rig.events[2].starts_with("cleared opening the port after ")) << rig.events[2];
    EXPECT_EQ(rig.events[3], "sent 00 00 10 07 0A 7100000");
    EXPECT_EQ(rig.events[4], "failed opening the file: No such file or directory");
}

// The port is gone while the file changes twice (and is caught empty once
// by its writer): only the frequency the file holds when the port is back
// reaches the radio, and In and Out show each new text meanwhile. A command
// already on the line when only letting go of the port fails is not dropped,
// and the new text waits for it, also one too large to be read at every poll.
TEST(Relay, ACommandTheFileHasLeftWhileItsSendingIsRepeatedIsDroppedForTheNewText) {
    struct Case {
        const char* failing;
        std::vector<std::string> sent;
        long dropped;
        std::size_t size;
    };
    for (const Case& scenario :
         {Case{"PortOpen=1", {"00 00 30 07 0A"}, 2, 0}, Case{"PortOpen=0", {"00 00 10 07 0A", "00 00 30 07 0A"}, 0, 0},
          Case{"PortOpen=0", {"00 00 10 07 0A", "00 00 30 07 0A"}, 0, kAlwaysReadSize + 1}}) {
        SCOPED_TRACE(std::string(scenario.failing) + ", " + std::to_string(scenario.size) + " bytes");
        RelayOnFakePort rig;
        for (int i = 0; i < 50; ++i) {
            rig.port.failing.insert(scenario.failing);
        }
        const auto sized = [&](std::string text) {
            text.resize(std::max(text.size(), scenario.size), ' ');
            return text;
        };
        rig.write("7100000");
        rig.run(3000ms, {{600ms,
                          [&] {
                              rig.write(sized("7200000\r\n"));
                          }},
                         {900ms,
                          [&] {
                              rig.write("");
                          }},
                         {1200ms,
                          [&] {
                              rig.write(sized(std::string("\xEF\xBB\xBF") + "7300000\r\n"));
                          }},
                         {2000ms, [&] {
                              rig.port.failing.clear();
                          }}});
        std::vector<std::string> sent;
        for (const std::string& written : rig.port.written) {
            sent.push_back(hexBytes(written));
        }
        EXPECT_EQ(sent, scenario.sent);
        const auto dropped = std::count_if(rig.events.begin(), rig.events.end(),
                                           [](const std::string& e) { return e.starts_with("dropped"); });
        EXPECT_EQ(dropped, scenario.dropped);
        if (scenario.dropped > 0) {
            // Told without the mark.
            EXPECT_NE(std::find(rig.events.begin(), rig.events.end(), "dropped 7200000, the file holds 7300000\r"),
                      rig.events.end());
        }
        EXPECT_EQ(rig.count("forceClose"), scenario.dropped);
        EXPECT_FALSE(rig.port.isOpen);
    }
}

TEST(Relay, AnOverflowSendsNothingUntilTheTextChanges) {
    RelayOnFakePort rig;
    rig.write("1E10");
    rig.run(1300ms, {{800ms, [&] {
                          rig.write("7050000");
                      }}});
    EXPECT_EQ(rig.events, (std::vector<std::string>{"shown 10000000000",
                                                    "failed reading the number, not retrying: 10000000000 does not fit "
                                                    "in a 32-bit whole number",
                                                    "shown 7050000 7050000", "sent 00 00 05 07 0A 7050000"}));
}

// rigctld is down while the file changes twice: when it is back, only the
// frequency the file holds then goes out.
TEST(Relay, AfterAnOutageOfRigctldOnlyTheCurrentFrequencyGoesOut) {
    FakeRigctld fake;
    const quint16 port = fake.listen();
    fake.server.close();
    RigctldLink rigctld{RigctldAddress{"127.0.0.1", port}};
    RelayOnFakePort rig(&rigctld);
    rig.write("7100000");
    rig.run(2500ms, {{600ms,
                      [&] {
                          rig.write("7200000");
                      }},
                     {1000ms,
                      [&] {
                          rig.write("7300000");
                      }},
                     {1500ms, [&] {
                          fake.listen(port);
                      }}});
    EXPECT_EQ(fake.lines, std::vector<std::string>{"F 73000000"});
    EXPECT_EQ(std::count_if(rig.events.begin(), rig.events.end(),
                            [](const std::string& e) { return e.starts_with("dropped"); }),
              2);
    ASSERT_FALSE(rig.events.empty());
    EXPECT_EQ(rig.events.back(), "sent 00 00 30 07 0A 7300000");
    EXPECT_EQ(std::count_if(rig.events.begin(), rig.events.end(),
                            [](const std::string& e) { return e.starts_with("failed sending the frequency"); }),
              1);
}

// A radio that takes 1.3 s over each set, beyond the answer timeout: each
// change is set once, told sent once, and its slowness told once and cleared.
TEST(Relay, ASlowRigctldSetsEachChangeOnceAndItsSlownessIsToldOnceAndCleared) {
    FakeRigctld fake;
    fake.setTakes = 1300ms;
    RigctldLink rigctld{RigctldAddress{"127.0.0.1", fake.listen()}};
    RelayOnFakePort rig(&rigctld);
    rig.write("7100000");
    rig.run(4500ms, {{2000ms, [&] {
                          rig.write("7200000");
                      }}});
    EXPECT_EQ(fake.lines, (std::vector<std::string>{"F 71000000", "F 72000000"}));
    const std::string slow =
        "failed sending the frequency: no answer within 1000 ms; still waiting for it, without "
        "sending it again";
    EXPECT_EQ(rig.events,
              (std::vector<std::string>{"shown 7100000 7100000", slow, "cleared sending the frequency after 2 tries",
                                        "sent 00 00 10 07 0A 7100000", "shown 7200000 7200000", slow,
                                        "cleared sending the frequency after 2 tries", "sent 00 00 20 07 0A 7200000"}));
}

// A relay to a stalled server whose first line, 3500000's, is given up
// after 600 ms and carried out when the server is resumed.
struct RelayWithAGivenUpLine {
    RelayWithAGivenUpLine() {
        fake.stalled = true;
        rig.write("3500000");
    }
    FakeRigctld fake;
    RigctldLink rigctld{RigctldAddress{"127.0.0.1", fake.listen()}, 300ms, 600ms};
    RelayOnFakePort rig{&rigctld};
};

// A line left on a connection given up is carried out after the next one:
// the relay tells that the radio was moved, sets it again, and only then
// tells it sent.
TEST(Relay, ARadioMovedByALateLineIsSetAgainAndToldSo) {
    RelayWithAGivenUpLine late;
    auto& [fake, rigctld, rig] = late;
    // Written before the connection is given up, so that the next try is
    // the new frequency's.
    rig.run(3000ms, {{400ms,
                      [&] {
                          rig.write("7050000");
                      }},
                     {1200ms, [&] {
                          fake.resume();
                      }}});
    EXPECT_EQ(fake.frequency, 70500000);
    const std::string moved =
        "noted " + rigctld.name() + " held 35000000 Hz after 70500000 Hz was set: a late command moved it";
    const auto told = std::find(rig.events.begin(), rig.events.end(), moved);
    ASSERT_NE(told, rig.events.end()) << testing::PrintToString(rig.events);
    EXPECT_EQ(rig.events.end() - told, 3) << testing::PrintToString(rig.events);  // then cleared, then sent
    EXPECT_EQ(rig.events.back(), "sent 00 00 05 07 0A 7050000");
}

// While a late line's radio is set again, a new text in the file is the
// frequency to set: the one the file has left is dropped, never set again.
TEST(Relay, ARadioMovedByALateLineIsNotSetAgainToAFrequencyTheFileHasLeft) {
    RelayWithAGivenUpLine late;
    auto& [fake, rigctld, rig] = late;
    std::size_t linesBeforeTheChange = 0;
    rig.run(3500ms, {{400ms,
                      [&] {
                          rig.write("7050000");
                      }},
                     {1200ms,
                      [&] {
                          fake.knob = 10000000;  // every set moved at once, as if by late lines
                          fake.resume();
                      }},
                     {1500ms,
                      [&] {
                          linesBeforeTheChange = fake.lines.size();
                          rig.write("14250000");
                      }},
                     {2000ms, [&] {
                          fake.knob = 0;
                      }}});
    const std::vector<std::string> after(fake.lines.begin() + static_cast<std::ptrdiff_t>(linesBeforeTheChange),
                                         fake.lines.end());
    EXPECT_EQ(std::count(after.begin(), after.end(), "F 70500000"), 0) << testing::PrintToString(fake.lines);
    EXPECT_EQ(fake.frequency, 14250000);
    EXPECT_EQ(rig.events.back(), "sent 00 50 42 01 0A 1425000") << testing::PrintToString(rig.events);
}

// Set up again with another port while a failed opening waits to be
// repeated: that command goes, the old port is let go of and never used
// again, its failure ends with its own line, and the file's text, unchanged,
// goes to the new port at once.
TEST(Relay, SetUpAgainTheCurrentTextGoesToTheNewLinkAndTheOldOneIsLetGoOf) {
    // Made before the relay, which holds the link it was set up with to its end.
    RecordingSerialControl newPort;
    SerialLink newLink{newPort};
    RelayOnFakePort rig;
    rig.port.failing.insert({"PortOpen=1", "PortOpen=1", "PortOpen=1", "PortOpen=1", "PortOpen=1"});
    rig.write("14250000");
    Settings settings;
    settings.file = rig.file().string();
    std::size_t oldCalls = 0;
    rig.run(1000ms, {{600ms, [&] {
                          rig.relay.reconfigure(settings, newLink);
                          oldCalls = rig.port.calls.size();
                      }}});
    EXPECT_EQ(rig.port.calls.size(), oldCalls) << "the old port was used after the change";
    EXPECT_EQ(rig.port.calls.back(), "forceClose");
    EXPECT_EQ(rig.count("Output"), 0);
    EXPECT_EQ(newPort.written, std::vector<std::string>{"\x00\x50\x42\x01\x0A"s});
    ASSERT_EQ(rig.events.size(), 5u);
    rig.events[2].resize(rig.events[2].find(", after "));  // as many tries as the timing gave
    EXPECT_EQ(rig.events,
              (std::vector<std::string>{"shown 14250000 1425000", "failed opening the port: PortOpen=1 failed",
                                        "abandoned opening the port, the link changed", "shown 14250000 1425000",
                                        "sent 00 50 42 01 0A 1425000"}));
}

// From the port to rigctld and back: each link gets the text of the moment
// once, and nothing goes to a link the relay has left.
TEST(Relay, SetUpAgainFromThePortToRigctldAndBack) {
    FakeRigctld fake;
    RigctldLink rigctld{RigctldAddress{"127.0.0.1", fake.listen()}};
    RelayOnFakePort rig;
    Settings settings;
    settings.file = rig.file().string();
    rig.write("7050000");
    rig.run(1800ms, {{400ms,
                      [&] {
                          rig.relay.reconfigure(settings, rigctld);
                      }},
                     {900ms,
                      [&] {
                          rig.write("3500000");
                      }},
                     {1300ms, [&] {
                          rig.relay.reconfigure(settings, rig.link);
                      }}});
    EXPECT_EQ(fake.lines, (std::vector<std::string>{"F 70500000", "F 35000000"}));
    EXPECT_EQ(rig.port.written, (std::vector<std::string>{"\x00\x00\x05\x07\x0A"s, "\x00\x00\x50\x03\x0A"s}));
}

// Set up again with another file: the watch follows it at once, and the old
// one is no longer read.
TEST(Relay, SetUpAgainWithAnotherFileFollowsItAtOnce) {
    RelayOnFakePort rig;
    rig.write("7050000");
    const auto other = rig.folder / "other";
    std::ofstream(other) << "3500000";
    Settings settings;
    settings.file = other.string();
    rig.run(1500ms, {{400ms,
                      [&] {
                          rig.relay.reconfigure(settings, rig.link);
                      }},
                     {800ms,
                      [&] {
                          rig.write("14250000");
                      }},
                     {1000ms, [&] {
                          std::ofstream(other) << "1825000";
                      }}});
    EXPECT_EQ(rig.port.written,
              (std::vector<std::string>{"\x00\x00\x05\x07\x0A"s, "\x00\x00\x50\x03\x0A"s, "\x00\x50\x82\x01\x0A"s}));
}

// Set up again while a stalled rigctld holds an unanswered F: the old
// connection goes, but the server may still carry its F out, after the new
// link's. The radio must end on the file's frequency, as it does when one link
// gives up a connection.
TEST(Relay, SetUpAgainWhileRigctldIsStalledTheRadioEndsOnTheFilesFrequency) {
    FakeRigctld fake;
    const RigctldAddress address{"127.0.0.1", fake.listen()};
    auto oldLink = std::make_unique<RigctldLink>(address);
    RigctldLink newLink{address};
    RelayOnFakePort rig(oldLink.get());
    Settings settings;
    settings.file = rig.file().string();
    fake.stalled = true;
    rig.write("14250000");
    rig.run(3500ms, {{500ms,
                      [&] {
                          rig.write("7050000");
                      }},
                     {900ms,
                      [&] {
                          rig.relay.reconfigure(settings, newLink);
                          // As the setup does when it lets go of the old link.
                          if (oldLink->mayLeaveALateLine()) {
                              newLink.expectALateLine();
                          }
                          oldLink.reset();
                      }},
                     {1400ms, [&] {
                          fake.resume();
                      }}});
    EXPECT_EQ(fake.frequency, 70500000) << testing::PrintToString(fake.lines) << testing::PrintToString(rig.events);
}
