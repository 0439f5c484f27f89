#include "EncodedState.h"
#include "RecordingDisplay.h"
#include "Utf16.h"
#include "core/Encoder.h"
#include "core/RelayFailure.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

using namespace freqrelay;

namespace {

std::vector<int> bytesOf(const std::string& command) {
    std::vector<int> bytes;
    for (const char c : command) {
        bytes.push_back(static_cast<unsigned char>(c));
    }
    return bytes;
}

struct Encoded {
    RelayState state;
    RecordingDisplay display;
    std::vector<int> bytes;
};

Encoded encodeText(const std::string& fileText) {
    Encoded result;
    result.state.h = "&H";
    result.state.freq = Variant(fileText);
    encodeAll(result.state, result.display);
    result.bytes = bytesOf(Encoder::buildCommand(result.state));
    return result;
}

struct WorkedExample {
    std::string fileText;
    std::int32_t freqlon;
    std::string freq1;
    std::string outText;
    std::vector<int> bytes;
};

// Readable test names: the file text with unprintable bytes shown as hex.
void PrintTo(const WorkedExample& example, std::ostream* out) { *out << testing::PrintToString(example.fileText); }

class EncoderWorkedExample : public testing::TestWithParam<WorkedExample> {};

}  // namespace

TEST_P(EncoderWorkedExample, GivesTheListedFieldsAndBytes) {
    const WorkedExample& example = GetParam();
    const Encoded encoded = encodeText(example.fileText);
    EXPECT_EQ(encoded.state.freqlon, example.freqlon);
    EXPECT_EQ(encoded.state.freq1, example.freq1);
    ASSERT_EQ(encoded.display.out.size(), 1u);
    EXPECT_EQ(encoded.display.out[0], example.outText);
    EXPECT_EQ(encoded.bytes, example.bytes);
}

INSTANTIATE_TEST_SUITE_P(
    Table, EncoderWorkedExample,
    testing::Values(WorkedExample{"14250000", 14250000, "14250000", "1425000", {0x00, 0x50, 0x42, 0x01, 0x0A}},
                    WorkedExample{"7050000", 7050000, "7050000", "7050000", {0x00, 0x00, 0x05, 0x07, 0x0A}},
                    WorkedExample{"705000", 705000, "0705000", "0705000", {0x00, 0x50, 0x70, 0x00, 0x0A}},
                    WorkedExample{"28500.5", 28500, "028500", "028500", {0x00, 0x50, 0x28, 0x00, 0x0A}},
                    WorkedExample{"\r\n", 0, "00", "00", {0x00, 0x00, 0x00, 0x00, 0x0A}},
                    WorkedExample{"-1234567", -1234567, "0-1234567", "0-12345", {0x45, 0x23, 0x00, 0x00, 0x0A}},
                    // Edge cases around the one-zero rule and the short groups.
                    WorkedExample{"1000000", 1000000, "1000000", "1000000", {0x00, 0x00, 0x00, 0x01, 0x0A}},
                    WorkedExample{"999999", 999999, "0999999", "0999999", {0x99, 0x99, 0x99, 0x00, 0x0A}},
                    WorkedExample{"99999", 99999, "099999", "099999", {0x09, 0x99, 0x99, 0x00, 0x0A}},
                    WorkedExample{"7050 12", 705012, "0705012", "0705012", {0x12, 0x50, 0x70, 0x00, 0x0A}},
                    WorkedExample{"  7050000", 705000, "0705000", "0705000", {0x00, 0x50, 0x70, 0x00, 0x0A}},
                    WorkedExample{"&H1F", 31, "031", "031", {0x00, 0x00, 0x31, 0x00, 0x0A}},
                    WorkedExample{"14250000\r\n", 14250000, "14250000", "1425000", {0x00, 0x50, 0x42, 0x01, 0x0A}},
                    WorkedExample{"7050000MHz", 7050000, "7050000", "7050000", {0x00, 0x00, 0x05, 0x07, 0x0A}},
                    WorkedExample{"no radio", 0, "00", "00", {0x00, 0x00, 0x00, 0x00, 0x0A}},
                    // As Notepad saves it: with a UTF-8 or a UTF-16 mark.
                    WorkedExample{"\xEF\xBB\xBF"
                                  "7050000\r\n",
                                  7050000,
                                  "7050000",
                                  "7050000",
                                  {0x00, 0x00, 0x05, 0x07, 0x0A}},
                    WorkedExample{
                        utf16le("7050000\r\n"), 7050000, "7050000", "7050000", {0x00, 0x00, 0x05, 0x07, 0x0A}},
                    WorkedExample{"", 0, "00", "00", {0x00, 0x00, 0x00, 0x00, 0x0A}}));

TEST(Encoder, ShowsTheNumberReadAsTheInText) {
    EXPECT_EQ(encodeText("14250000").display.in, std::vector<std::string>{"14250000"});
    EXPECT_EQ(encodeText("28500.5").display.in, std::vector<std::string>{"28500.5"});
    EXPECT_EQ(encodeText("&H1F").display.in, std::vector<std::string>{"31"});
    EXPECT_EQ(encodeText("x").display.in, std::vector<std::string>{"0"});
}

TEST(Encoder, OnlyTheFirstEightCharactersAreInterpreted) {
    const Encoded encoded = encodeText("1425000099");
    EXPECT_EQ(encoded.state.freqlon, 14250000);
    EXPECT_EQ(encoded.state.freq.toText(), "14250000");
}

TEST(Encoder, OverflowFailsAtTheRoundingStepWithTheInTextShown) {
    RelayState state;
    RecordingDisplay display;
    state.h = "&H";
    state.freq = Variant("1E10");
    auto step = EncodeStep::CutToInterpretedLength;
    try {
        for (; step <= EncodeStep::SetOpcode; step = static_cast<EncodeStep>(static_cast<int>(step) + 1)) {
            Encoder::runStep(step, state, display);
        }
        FAIL() << "1E10 must overflow";
    } catch (const RelayFailure& failure) {
        EXPECT_EQ(failure.kind(), FailureKind::Overflow);
    }
    EXPECT_EQ(step, EncodeStep::RoundToWhole);
    EXPECT_EQ(display.in, std::vector<std::string>{"10000000000"});
    EXPECT_TRUE(display.out.empty());
    EXPECT_EQ(state.freqflo, 1e10);
    EXPECT_EQ(state.freqlon, 0);
    EXPECT_EQ(state.freq.toText(), "1E10");
    EXPECT_TRUE(state.freq1.empty());
    EXPECT_TRUE(state.c1.isEmpty());
    EXPECT_TRUE(state.c5.isEmpty());
}

TEST(Encoder, ANumberBeyondADoubleFailsAtTheParse) {
    RelayState state;
    RecordingDisplay display;
    state.freq = Variant("1E999");
    Encoder::runStep(EncodeStep::CutToInterpretedLength, state, display);
    EXPECT_THROW(Encoder::runStep(EncodeStep::ReadNumber, state, display), RelayFailure);
    EXPECT_TRUE(display.in.empty());
}

TEST(Encoder, FieldTypesAfterAnEncoding) {
    const Encoded encoded = encodeText("14250000");
    // Equal only in kind and value: c1 to c4 are doubles, c5 a 16-bit integer.
    EXPECT_EQ(encoded.state.c1, Variant(0.0));
    EXPECT_EQ(encoded.state.c4, Variant(1.0));
    EXPECT_EQ(encoded.state.c5, Variant(std::int16_t{10}));
    EXPECT_NE(encoded.state.c5, Variant(10.0));
    EXPECT_EQ(encoded.state.b2.toText(), "&H50");
    EXPECT_EQ(encoded.state.f4, "1");
}

TEST(BuildCommand, BeforeAnyEncodingGivesFiveZeroBytes) {
    RelayState state;
    EXPECT_EQ(bytesOf(Encoder::buildCommand(state)), (std::vector<int>{0, 0, 0, 0, 0}));
    EXPECT_EQ(state.fr.toText().size(), 5u);
}

TEST(BuildCommand, EveryByteIsTakenAsItsCode) {
    RelayState state;
    state.c1 = Variant(255.0);
    state.c2 = Variant(153.0);
    state.c5 = Variant(static_cast<std::int16_t>(10));
    EXPECT_EQ(bytesOf(Encoder::buildCommand(state)), (std::vector<int>{0xFF, 0x99, 0, 0, 0x0A}));
}
