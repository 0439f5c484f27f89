#pragma once

#include <string>

namespace freqrelay {

// Where an encoding shows what it read and what it sends: the window's
// "In" and "Out" fields, or a recorder in tests.
class Display {
public:
    virtual ~Display() = default;
    virtual void showIn(const std::string& text) = 0;
    virtual void showOut(const std::string& text) = 0;
};

}  // namespace freqrelay
