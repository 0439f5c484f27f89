#pragma once

#include <string>
#include <string_view>

namespace freqrelay {

// UTF-16 text, such as the system's messages and names, as UTF-8.
std::string utf8Text(std::wstring_view text);
// Why a call of the system failed, from its error code, as an operator reads
// it: the common reasons worded as on every other system.
std::string systemReason(unsigned long error);

}  // namespace freqrelay
