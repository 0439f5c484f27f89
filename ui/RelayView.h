#pragma once

#include "core/Display.h"

#include <string>

namespace freqrelay {

// What the relay shows the operator: In and Out (as Display), and beside
// them why the file cannot be read, whether Out's command is on the line,
// and lines printed on the window.
class RelayView : public Display {
public:
    // In's note on the file: why it cannot be read, or "" once it can.
    virtual void showFileNote(const std::string& note) = 0;
    // Out's command is not on the line, and why.
    virtual void showOutNotSent(const std::string& why) = 0;
    // Out's command is on the line; `note` says where and when.
    virtual void showOutSent(const std::string& note) = 0;
    virtual void print(const std::string& line) = 0;
};

}  // namespace freqrelay
