#pragma once

#include "core/RelayFailure.h"
#include "links/SerialControl.h"

#include <set>
#include <string>
#include <vector>

// Logs every property the relay sets, and can fail chosen calls.
class RecordingSerialControl final : public freqrelay::SerialControl {
public:
    void setCommPort(std::int16_t port) override { record("CommPort=" + std::to_string(port)); }
    void setSettings(const std::string& settings) override { record("Settings=" + settings); }
    void setRTSEnable(bool enable) override { record(std::string("RTSEnable=") + (enable ? "1" : "0")); }
    void setPortOpen(bool open) override {
        record(std::string("PortOpen=") + (open ? "1" : "0"));
        isOpen = open;
    }
    bool portOpen() const override { return isOpen; }
    void setOutput(const std::string& data) override {
        record("Output");
        written.push_back(data);
    }

    void forceClose() noexcept override {
        calls.push_back("forceClose");
        isOpen = false;
    }
    std::string device() const override { return "/dev/fake"; }

    std::vector<std::string> calls;
    std::vector<std::string> written;
    bool isOpen = false;
    // Calls (by their logged text) that fail, each as many times as listed.
    std::multiset<std::string> failing;

private:
    void record(const std::string& call) {
        if (const auto found = failing.find(call); found != failing.end()) {
            failing.erase(found);
            throw freqrelay::RelayFailure("fake: " + call + " failed");
        }
        calls.push_back(call);
    }
};
