#include "core/RelayFailure.h"

namespace freqrelay {

std::string systemReasonText(std::string text) {
    text.erase(text.find_last_not_of(" \r\n") + 1);
    if (text.ends_with('.')) {
        text.pop_back();
    }
    return text;
}

}  // namespace freqrelay
