#include "core/RelayFailure.h"

namespace freqrelay {

std::string systemReasonText(std::string text) {
    while (!text.empty() && (text.back() == ' ' || text.back() == '\r' || text.back() == '\n')) {
        text.pop_back();
    }
    if (!text.empty() && text.back() == '.') {
        text.pop_back();
    }
    return text;
}

RelayFailure::RelayFailure(FailureKind kind, const std::string& message) : std::runtime_error(message), kind_(kind) {}

}  // namespace freqrelay
