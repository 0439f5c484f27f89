#include "core/Variant.h"

#include "core/Conversions.h"

namespace freqrelay {

double Variant::toNumber() const {
    if (const auto* number = std::get_if<double>(&value_)) {
        return *number;
    }
    if (const auto* integer = std::get_if<std::int16_t>(&value_)) {
        return *integer;
    }
    if (const auto* string = std::get_if<std::string>(&value_)) {
        return NumericValue(*string);
    }
    return 0.0;
}

std::string Variant::toText() const {
    if (const auto* string = std::get_if<std::string>(&value_)) {
        return *string;
    }
    if (isEmpty()) {
        return {};
    }
    return DoubleText(toNumber());
}

std::string& Variant::text() {
    if (!isText()) {
        value_ = std::string();
    }
    return std::get<std::string>(value_);
}

}  // namespace freqrelay
