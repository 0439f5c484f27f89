#pragma once

#include <cstdint>
#include <string>

namespace freqrelay {

// The serial control the relay drives, property by property: the seam where
// a test stands in for a real port. Every setter takes effect or raises a
// RelayFailure that names the port and the reason.
class SerialControl {
public:
    virtual ~SerialControl() = default;

    virtual void setCommPort(std::int16_t port) = 0;
    // "speed,parity,data bits,stop bits", for example "4800,N,8,2".
    virtual void setSettings(const std::string& settings) = 0;
    virtual void setRTSEnable(bool enable) = 0;
    virtual void setPortOpen(bool open) = 0;
    virtual bool portOpen() const = 0;
    // Each character leaves the port as one byte equal to its code; closing
    // the port waits until they have left for the wire.
    virtual void setOutput(const std::string& data) = 0;
    // Closes the port at once, dropping anything unsent; never fails.
    virtual void forceClose() noexcept = 0;
    // The device the next opening uses, or the open port uses.
    virtual std::string device() const = 0;
};

}  // namespace freqrelay
