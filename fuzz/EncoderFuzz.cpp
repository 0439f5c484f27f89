// libFuzzer target: any file text through the encoder to the In text, the
// Out text and the five command bytes, or one of the documented overflows.
#include "core/Display.h"
#include "core/Encoder.h"
#include "core/RelayFailure.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

class CountingDisplay final : public freqrelay::Display {
public:
    void showIn(const std::string& text) override {
        in = text;
        ++shown;
    }
    void showOut(const std::string& text) override {
        out = text;
        ++shown;
    }
    std::string in;
    std::string out;
    int shown = 0;
};

[[noreturn]] void broken(const char* property, const std::string& text) {
    std::fprintf(stderr, "property broken: %s (file text of %zu bytes)\n", property, text.size());
    std::abort();
}

bool isBcd(unsigned char byte) { return (byte >> 4) <= 9 && (byte & 0x0F) <= 9; }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    freqrelay::RelayState state;
    state.h = "&H";
    state.freq = freqrelay::Variant(text);
    CountingDisplay display;

    using freqrelay::EncodeStep;
    auto step = EncodeStep::CutToInterpretedLength;
    try {
        for (; step <= EncodeStep::SetOpcode; step = static_cast<EncodeStep>(static_cast<int>(step) + 1)) {
            freqrelay::Encoder::runStep(step, state, display);
        }
    } catch (const freqrelay::RelayFailure& failure) {
        // Only the parse (beyond a double) and the rounding (beyond 32 bits)
        // may fail, and only as an overflow.
        if (failure.kind() != freqrelay::FailureKind::Overflow ||
            (step != EncodeStep::ReadNumber && step != EncodeStep::RoundToWhole)) {
            broken("only the documented overflows are raised", text);
        }
        return 0;
    }

    const std::string& command = freqrelay::Encoder::buildCommand(state);
    if (command.size() != 5) {
        broken("exactly five bytes", text);
    }
    if (static_cast<unsigned char>(command[4]) != 0x0A) {
        broken("byte 5 is 0x0A", text);
    }
    for (int i = 0; i < 4; ++i) {
        if (!isBcd(static_cast<unsigned char>(command[static_cast<std::size_t>(i)]))) {
            broken("bytes 1 to 4 hold two BCD digits or a single digit", text);
        }
    }
    if (static_cast<unsigned char>(command[3]) > 9) {
        broken("byte 4 holds a single digit", text);
    }
    if (display.out != state.freq1.substr(0, 7)) {
        broken("the Out text is the first seven characters of freq1", text);
    }
    if (display.shown != 2) {
        broken("In and Out are each shown once", text);
    }
    return 0;
}
