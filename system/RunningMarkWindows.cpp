#include "system/RunningMark.h"

#include <windows.h>

namespace freqrelay {

// The handle is never closed: the system releases the mutex when the
// process ends, however it ends. A second relay opens the same mutex, which
// is just as well: it too is running.
void RunningMark::hold() { ::CreateMutexW(nullptr, FALSE, L"Local\\freqrelay-running"); }

}  // namespace freqrelay
