// The display probe where the system's own window system is always there.
#include "system/DisplayProbe.h"

namespace freqrelay {

void DisplayProbe::useOffscreenWithoutDisplay() {}

std::string DisplayProbe::unreachableDisplay() { return {}; }

}  // namespace freqrelay
