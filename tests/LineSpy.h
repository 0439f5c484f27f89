#pragma once

#include <termios.h>

#include <vector>

// What the serial layer asked of the line, seen by interposing tcsetattr and
// the modem-line ioctls in the test program itself. A pseudo-terminal drops
// data bits and parity and has no RTS, so only the request shows them.
struct LineRequest {
    enum class Kind { Attributes, RtsLow, RtsHigh };
    Kind kind;
    termios attributes{};  // for Attributes
};

class LineSpy {
public:
    LineSpy();   // starts recording
    ~LineSpy();  // stops
    LineSpy(const LineSpy&) = delete;
    LineSpy& operator=(const LineSpy&) = delete;

    const std::vector<LineRequest>& requests() const;
};
