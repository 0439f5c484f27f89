#pragma once

#include <string>

namespace freqrelay {

// strtod in the C locale, whatever the process locale says: Qt sets the
// locale from the environment, and a reader that followed it would take a
// German comma for the decimal point. (std::from_chars for double would do,
// but libc++ lacks it before LLVM 20.) Each system has its own part.
double strtodInCLocale(const std::string& text);

}  // namespace freqrelay
