#pragma once

#include "core/Link.h"
#include "links/RigctldAddress.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace freqrelay {

// The frequency file, in the working directory, unless told otherwise.
inline constexpr const char* kFrequencyFile = "ft1000file";
// Where a setting comes from when nothing sets it.
inline constexpr const char* kByDefault = "the default";
// Where a setting comes from when the stored settings hold it.
inline constexpr const char* kByStore = "the stored settings";

// What the relay reads, where it sends, and where its log goes, each with
// where it came from: an option ("--port"), a variable ("FREQRELAY_PORT1"),
// the stored settings or the default. Resolved once, and passed on whole.
struct Settings {
    std::string file = kFrequencyFile;
    std::string fileFrom = kByDefault;
    // Port 1's device, when not relaying to rigctld: "" where the system has
    // no device for port 1 and nothing names one.
    std::string port;
    std::optional<RigctldAddress> rigctld;  // relayed to instead of port 1
    std::string linkFrom = kByDefault;
    std::string log;  // "" for none
    std::string logFrom = kByDefault;

    // Where commands go, as the log's first line says it:
    // "port 1 is /dev/ttyS0 (the default)".
    std::string target() const;
    // The link as a lock and the operator name it: "port 1 (/dev/ttyS0)".
    std::string linkName() const;
    // A link to where commands go; a serial port's waits for the line give
    // up once `quitting` is true.
    std::unique_ptr<Link> makeLink(std::function<bool()> quitting) const;
};

}  // namespace freqrelay
