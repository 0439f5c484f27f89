#include "system/RunningMark.h"

#include <windows.h>

namespace freqrelay {

// Never closed: the system releases it when the process ends, however it
// ends. A second relay opens the same mutex, which is right: it runs too.
void RunningMark::hold() { ::CreateMutexW(nullptr, FALSE, L"Local\\freqrelay-running"); }

}  // namespace freqrelay
