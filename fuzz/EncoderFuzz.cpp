// libFuzzer target: any file text through the encoder to the In text, the
// Out text and the five command bytes, or one of the documented overflows.
#include "core/Encoder.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

[[noreturn]] void broken(const char* property, const std::string& text) {
    std::fprintf(stderr, "property broken: %s (file text of %zu bytes)\n", property, text.size());
    std::abort();
}

bool isBcd(std::uint8_t byte) { return (byte >> 4) <= 9 && (byte & 0x0F) <= 9; }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    const freqrelay::Encoding encoding = freqrelay::encode(text);
    if (!encoding.out) {
        // Only a number beyond a double (no In) or beyond 32 bits (In shown)
        // may fail, and it says why.
        if (encoding.overflow.empty() || encoding.command != freqrelay::Command{}) {
            broken("an overflow says why and leaves no command", text);
        }
        return 0;
    }
    if (!encoding.in || !encoding.overflow.empty()) {
        broken("a command comes with In and without an overflow", text);
    }
    const freqrelay::Command& command = encoding.command;
    if (command[4] != 0x0A) {
        broken("byte 5 is 0x0A", text);
    }
    for (int i = 0; i < 4; ++i) {
        if (!isBcd(command[static_cast<std::size_t>(i)])) {
            broken("bytes 1 to 4 hold two BCD digits or a single digit", text);
        }
    }
    if (command[3] > 9) {
        broken("byte 4 holds a single digit", text);
    }
    if (encoding.out->size() > 7) {
        broken("Out holds at most seven characters", text);
    }
    return 0;
}
