#include "Utf16.h"
#include "core/Encoder.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>

using namespace freqrelay;

namespace {

struct WorkedExample {
    std::string fileText;
    std::string in;
    std::string out;
    std::string bytes;
    std::int64_t hz;  // what the bytes mean to the radio
};

// Readable test names: the file text with unprintable bytes shown as hex.
void PrintTo(const WorkedExample& example, std::ostream* out) { *out << testing::PrintToString(example.fileText); }

class EncoderWorkedExample : public testing::TestWithParam<WorkedExample> {};

}  // namespace

TEST_P(EncoderWorkedExample, GivesTheListedInOutAndBytes) {
    const WorkedExample& example = GetParam();
    const Encoding encoding = encode(example.fileText);
    EXPECT_EQ(encoding.in, example.in);
    EXPECT_EQ(encoding.out, example.out);
    EXPECT_EQ(hexBytes(encoding.command), example.bytes);
    EXPECT_EQ(frequencyHz(encoding.command), example.hz);
    EXPECT_EQ(encoding.overflow, "");
}

INSTANTIATE_TEST_SUITE_P(
    Table, EncoderWorkedExample,
    testing::Values(WorkedExample{"14250000", "14250000", "1425000", "00 50 42 01 0A", 14250000},
                    WorkedExample{"7050000", "7050000", "7050000", "00 00 05 07 0A", 70500000},
                    WorkedExample{"705000", "705000", "0705000", "00 50 70 00 0A", 7050000},
                    WorkedExample{"28500.5", "28500.5", "028500", "00 50 28 00 0A", 2850000},
                    WorkedExample{"\r\n", "0", "00", "00 00 00 00 0A", 0},
                    WorkedExample{"-1234567", "-1234567", "0-12345", "45 23 00 00 0A", 23450},
                    // Edge cases around the one-zero rule and the short groups.
                    WorkedExample{"1000000", "1000000", "1000000", "00 00 00 01 0A", 10000000},
                    WorkedExample{"999999", "999999", "0999999", "99 99 99 00 0A", 9999990},
                    WorkedExample{"99999", "99999", "099999", "09 99 99 00 0A", 9999090},
                    WorkedExample{"7050 12", "705012", "0705012", "12 50 70 00 0A", 7050120},
                    WorkedExample{"  7050000", "705000", "0705000", "00 50 70 00 0A", 7050000},
                    // Only the first eight characters count: the ninth is cut, not rounded.
                    WorkedExample{"1425000099", "14250000", "1425000", "00 50 42 01 0A", 14250000},
                    WorkedExample{"&H1F", "31", "031", "00 00 31 00 0A", 3100000},
                    WorkedExample{"14250000\r\n", "14250000", "1425000", "00 50 42 01 0A", 14250000},
                    WorkedExample{"7050000MHz", "7050000", "7050000", "00 00 05 07 0A", 70500000},
                    WorkedExample{"no radio", "0", "00", "00 00 00 00 0A", 0},
                    // As Notepad saves it: with a UTF-8 or a UTF-16 mark.
                    WorkedExample{"\xEF\xBB\xBF"
                                  "7050000\r\n",
                                  "7050000", "7050000", "00 00 05 07 0A", 70500000},
                    WorkedExample{utf16le("7050000\r\n"), "7050000", "7050000", "00 00 05 07 0A", 70500000},
                    WorkedExample{"", "0", "00", "00 00 00 00 0A", 0}));

TEST(Encoder, ANumberBeyond32BitsShowsInButNoOutAndNoCommand) {
    const Encoding encoding = encode("1E10");
    EXPECT_EQ(encoding.in, "10000000000");
    EXPECT_EQ(encoding.out, std::nullopt);
    EXPECT_EQ(encoding.command, Command{});
    EXPECT_NE(encoding.overflow.find("10000000000"), std::string::npos) << encoding.overflow;
}

TEST(Encoder, ANumberBeyondADoubleShowsNothing) {
    const Encoding encoding = encode("1E999");
    EXPECT_EQ(encoding.in, std::nullopt);
    EXPECT_EQ(encoding.out, std::nullopt);
    EXPECT_NE(encoding.overflow.find("1E999"), std::string::npos) << encoding.overflow;
}

TEST(Encoder, BeforeAnyEncodingTheCommandIsFiveZeroBytes) { EXPECT_EQ(hexBytes(Command{}), "00 00 00 00 00"); }
