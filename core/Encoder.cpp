#include "core/Encoder.h"

#include "core/Conversions.h"

namespace freqrelay {

namespace {

constexpr double kSevenDigits = 1000000.0;  // below this one zero goes in front
constexpr std::int16_t kOpcode = 0x0A;

std::string hexLiteral(const RelayState& state, const Variant& group) { return state.h + group.toText(); }

}  // namespace

void Encoder::runStep(EncodeStep step, RelayState& state, Display& display) {
    switch (step) {
    case EncodeStep::CutToInterpretedLength: {
        std::string& text = state.freq.text();  // no copy of a large file's text
        text = LeftPartAfterMark(text, kInterpretedLength);
        break;
    }
    case EncodeStep::ReadNumber: state.freqflo = NumericValue(state.freq.toText()); break;
    // Written, read back and written again, so that In shows the number as
    // it reads back from its own text.
    case EncodeStep::ShowIn: display.showIn(DoubleText(NumericValue(DoubleText(state.freqflo)))); break;
    case EncodeStep::RoundToWhole: state.freqlon = RoundToLong(state.freqflo); break;
    case EncodeStep::WholeAsDigits: state.freq = Variant(LongText(state.freqlon)); break;
    case EncodeStep::PadToSevenDigits: {
        const std::string digits = state.freq.toText();
        state.freq1 = NumericValue(digits) < kSevenDigits ? "0" + digits : digits;
        break;
    }
    case EncodeStep::TakeDigits67: state.f1 = Variant(Middle(state.freq1, 6, 2)); break;
    case EncodeStep::TakeDigits45: state.f2 = Variant(Middle(state.freq1, 4, 2)); break;
    case EncodeStep::TakeDigits23: state.f3 = Variant(Middle(state.freq1, 2, 2)); break;
    case EncodeStep::TakeDigit1: state.f4 = LeftPart(state.freq1, 1); break;
    case EncodeStep::ShowOut: display.showOut(outText(state)); break;
    case EncodeStep::MakeLiteral1: state.b1 = Variant(hexLiteral(state, state.f1)); break;
    case EncodeStep::MakeLiteral2: state.b2 = Variant(hexLiteral(state, state.f2)); break;
    case EncodeStep::MakeLiteral3: state.b3 = Variant(hexLiteral(state, state.f3)); break;
    case EncodeStep::MakeLiteral4: state.b4 = Variant(state.h + state.f4); break;
    case EncodeStep::ReadByte1: state.c1 = Variant(NumericValue(state.b1.toText())); break;
    case EncodeStep::ReadByte2: state.c2 = Variant(NumericValue(state.b2.toText())); break;
    case EncodeStep::ReadByte3: state.c3 = Variant(NumericValue(state.b3.toText())); break;
    case EncodeStep::ReadByte4: state.c4 = Variant(NumericValue(state.b4.toText())); break;
    case EncodeStep::SetOpcode: state.c5 = Variant(kOpcode); break;
    }
}

std::string Encoder::outText(const RelayState& state) {
    return state.f4 + state.f3.toText() + state.f2.toText() + state.f1.toText();
}

std::string hexBytes(const std::string& bytes) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string text;
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        if (!text.empty()) {
            text += ' ';
        }
        text += kDigits[byte >> 4];
        text += kDigits[byte & 15];
    }
    return text;
}

const std::string& Encoder::buildCommand(RelayState& state) {
    std::string command;
    for (const Variant* byte : {&state.c1, &state.c2, &state.c3, &state.c4, &state.c5}) {
        command += CodeChar(RoundToLong(byte->toNumber()));
    }
    state.fr = Variant(std::move(command));
    return state.fr.text();
}

}  // namespace freqrelay
