#include "core/RelayFailure.h"

namespace freqrelay {

std::string systemReasonText(std::string text) {
    text.erase(text.find_last_not_of(" \r\n") + 1);
    if (text.ends_with('.')) {
        text.pop_back();
    }
    return text;
}

RelayFailure::RelayFailure(FailureKind kind, const std::string& message) : std::runtime_error(message), kind_(kind) {}

}  // namespace freqrelay
