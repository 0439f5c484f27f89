#include "RelayFailure.h"

namespace freqrelay {

RelayFailure::RelayFailure(FailureKind kind, const std::string& message)
    : std::runtime_error(message), kind_(kind) {}

}  // namespace freqrelay
