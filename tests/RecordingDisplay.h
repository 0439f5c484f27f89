#pragma once

#include "core/Display.h"

#include <string>
#include <vector>

// Keeps every In and Out text shown, in order.
class RecordingDisplay : public freqrelay::Display {
public:
    void showIn(const std::string& text) override { in.push_back(text); }
    void showOut(const std::string& text) override { out.push_back(text); }

    std::vector<std::string> in;
    std::vector<std::string> out;
};
