#pragma once

#include <cstdint>
#include <string>

namespace freqrelay {

// The serial control the relay drives, property by property. Every setter
// either takes effect or raises a RelayFailure that names the port and the
// reason.
class SerialControl {
public:
    virtual ~SerialControl() = default;

    virtual void setCommPort(std::int16_t port) = 0;
    virtual void setInputMode(std::int32_t mode) = 0;
    // "speed,parity,data bits,stop bits", for example "4800,N,8,2".
    virtual void setSettings(const std::string& settings) = 0;
    virtual void setRTSEnable(bool enable) = 0;
    virtual void setRThreshold(std::int16_t threshold) = 0;
    virtual void setInputLen(std::int16_t length) = 0;
    virtual void setInBufferCount(std::int16_t count) = 0;
    virtual void setPortOpen(bool open) = 0;
    virtual bool portOpen() const = 0;
    // Each character leaves the port as one byte equal to its code.
    virtual void setOutput(const std::string& data) = 0;
    // Closes the port at once, dropping anything unsent; never fails. For
    // giving up on a port that a failed step left open.
    virtual void forceClose() noexcept = 0;
};

}  // namespace freqrelay
