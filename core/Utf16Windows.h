#pragma once

#include <string>
#include <string_view>

namespace freqrelay {

// UTF-16 text, such as the system's messages and names, as UTF-8.
std::string utf8Text(std::wstring_view text);

}  // namespace freqrelay
