#include "core/CLocaleNumber.h"

#include <clocale>
#include <cstdlib>

#ifdef __APPLE__
#include <xlocale.h>
#endif

namespace freqrelay {

double strtodInCLocale(const std::string& text) {
    static const locale_t cLocale = newlocale(LC_NUMERIC_MASK, "C", static_cast<locale_t>(0));
    return strtod_l(text.c_str(), nullptr, cLocale);
}

}  // namespace freqrelay
