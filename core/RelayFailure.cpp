#include "RelayFailure.h"

namespace freqrelay {

RelayFailure::RelayFailure(FailureKind kind, const std::string& message)
    : std::runtime_error(message), kind_(kind) {}

const char* failureKindName(FailureKind kind) noexcept {
    switch (kind) {
    case FailureKind::Overflow: return "overflow";
    case FailureKind::File: return "file";
    case FailureKind::Port: return "port";
    case FailureKind::Settings: return "settings";
    case FailureKind::Memory: return "memory";
    }
    return "unknown";
}

}  // namespace freqrelay
