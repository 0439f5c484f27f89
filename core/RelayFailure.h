#pragma once

#include <stdexcept>
#include <string>

namespace freqrelay {

// A reason as the system words it, made to end a sentence of the relay's
// own: without trailing blanks or line ends, and without its own full stop
// (Windows' texts end in one, and "..." would follow).
std::string systemReasonText(std::string text);

// The one run-time failure a relay step raises. Its message names the file,
// port or value that failed.
class RelayFailure : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

}  // namespace freqrelay
