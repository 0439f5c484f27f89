#include "core/CLocaleNumber.h"

#include <clocale>
#include <cstdlib>

namespace freqrelay {

double strtodInCLocale(const std::string& text) {
    static const _locale_t cLocale = _create_locale(LC_NUMERIC, "C");
    return _strtod_l(text.c_str(), nullptr, cLocale);
}

}  // namespace freqrelay
