#include "system/RunningMark.h"

namespace freqrelay {

void RunningMark::hold() {}

}  // namespace freqrelay
