#pragma once

#include <cstdint>
#include <string>
#include <variant>

namespace freqrelay {

// A working field that holds nothing, a text, a double or a 16-bit integer.
// Read as a number, nothing is 0; read as text, nothing is "".
class Variant {
public:
    Variant() = default;
    explicit Variant(std::string text) : value_(std::move(text)) {}
    explicit Variant(const char* text) : value_(std::string(text)) {}
    explicit Variant(double number) : value_(number) {}
    explicit Variant(std::int16_t integer) : value_(integer) {}

    bool isEmpty() const noexcept { return std::holds_alternative<std::monostate>(value_); }
    bool isText() const noexcept { return std::holds_alternative<std::string>(value_); }

    // The numeric value; empty is 0. A text is read as its number.
    double toNumber() const;
    // The text; empty is "". A number is written in its decimal form.
    std::string toText() const;

    // The held text, for reading and appending without a copy. An empty or
    // numeric variant becomes the empty text first.
    std::string& text();

    friend bool operator==(const Variant&, const Variant&) = default;

private:
    std::variant<std::monostate, std::string, double, std::int16_t> value_;
};

}  // namespace freqrelay
