#include "RelayRig.h"
#include "core/Encoder.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <random>

using freqrelay::hexBytes;

// Thousands of changes relayed back to back through the real window to a
// pseudo-terminal, every command checked byte for byte, and nothing (memory,
// descriptors) piling up along the way.

namespace {

// The command for a frequency of seven or eight digits, worked out here
// from the digits directly: pairs 6-7, 4-5, 2-3 as packed BCD, then digit 1.
std::string expectedCommand(long frequency) {
    const std::string d = std::to_string(frequency).substr(0, 7);
    const auto digit = [&d](std::size_t i) {
        return static_cast<unsigned char>(d[i] - '0');
    };
    return {static_cast<char>(digit(5) << 4 | digit(6)), static_cast<char>(digit(3) << 4 | digit(4)),
            static_cast<char>(digit(1) << 4 | digit(2)), static_cast<char>(digit(0)), '\x0A'};
}

long openDescriptors() { return std::distance(std::filesystem::directory_iterator("/proc/self/fd"), {}); }

int changeCount() {
    const char* configured = std::getenv("FREQRELAY_SOAK_CHANGES");
    return configured ? std::atoi(configured) : 2000;
}

}  // namespace

TEST(Soak, ThousandsOfChangesRelayedByteExact) {
    const int changes = changeCount();
    ASSERT_GT(changes, 100);
    RelayRig rig;
    std::mt19937 random(20261207);
    std::uniform_int_distribution<long> frequencies(1000000, 99999999);

    std::string expected;
    std::string line;
    long previous = 0;
    int written = 0;
    long rssAt100 = 0;
    long descriptorsAt100 = 0;
    const auto writeNext = [&] {
        long frequency = frequencies(random);
        while (frequency == previous) {
            frequency = frequencies(random);
        }
        previous = frequency;
        rig.writeFile(std::to_string(frequency) + (written % 2 ? "\r\n" : "\n"));
        expected += expectedCommand(frequency);
        ++written;
    };

    writeNext();
    const bool finished =
        rig.run({[&] {
                    line += rig.pty.read(SIZE_MAX, std::chrono::milliseconds(0));
                    if (line.size() < expected.size()) {
                        return false;
                    }
                    if (line != expected) {
                        ADD_FAILURE() << "command " << written << " differs: " << hexBytes(line.substr(line.size() - 5))
                                      << " instead of " << hexBytes(expected.substr(expected.size() - 5));
                        return true;
                    }
                    if (written == 100) {
                        rssAt100 = residentKilobytes();
                        descriptorsAt100 = openDescriptors();
                    }
                    if (written == changes) {
                        return true;
                    }
                    writeNext();
                    return false;
                }},
                std::chrono::minutes(20));
    ASSERT_TRUE(finished) << "relayed " << line.size() / 5 << " of " << changes;

    [[maybe_unused]] const long rssAtEnd = residentKilobytes();
    const long descriptorsAtEnd = openDescriptors();
    std::cout << "soak: " << changes << " changes relayed byte-exact; RSS " << rssAt100 << " KiB after 100, "
              << rssAtEnd << " KiB at the end; descriptors " << descriptorsAt100 << " after 100, " << descriptorsAtEnd
              << " at the end\n";
    EXPECT_EQ(line, expected);
    EXPECT_EQ(descriptorsAtEnd, descriptorsAt100);
#ifndef __SANITIZE_ADDRESS__  // AddressSanitizer keeps freed memory in quarantine
    EXPECT_LT(rssAtEnd - rssAt100, 2048) << "RSS grew by more than 2 MiB";
#endif
}

TEST(Soak, ARigctldStoppedTwentyTimesEndsOnTheFilesLastFrequencyEachTime) { relayThroughAStoppedRigctld(20); }
