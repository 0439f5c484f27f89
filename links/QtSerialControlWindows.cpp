// The Windows part of QtSerialControl.
#include "core/RelayFailure.h"
#include "links/QtSerialControl.h"

#include <windows.h>

namespace freqrelay {

// COM ports have plain names; there is no link to follow.
std::string QtSerialControl::resolvedPath(const std::string&) { return {}; }

// Windows sets every stop-bit count the settings can name.
void QtSerialControl::checkSettingsSupported() const {}

// Windows opens a port for one program only, and there are no lock files.
std::string QtSerialControl::lockHolder() const { return {}; }

void QtSerialControl::applyRts() {
    // Qt reports the system's refusal as an unknown error, so RTS is set
    // here directly, where the system's own code tells the two apart. A
    // device without modem lines (a virtual COM port) has no RTS to set;
    // that is no reason to refuse the port.
    if (::EscapeCommFunction(reinterpret_cast<HANDLE>(port_.handle()), rtsEnable_ ? SETRTS : CLRRTS)) {
        return;
    }
    const DWORD error = ::GetLastError();
    if (error == ERROR_NOT_SUPPORTED || error == ERROR_INVALID_FUNCTION) {
        return;
    }
    fail("cannot set RTS: " + systemReasonText(qt_error_string(static_cast<int>(error)).toStdString()));
}

// A lost device fails the write itself here.
bool QtSerialControl::hungUp(LineHandle) { return false; }

// Not told apart from other failures here: the system's reason is given.
bool QtSerialControl::refusesLineCalls(const QString&) { return false; }

long QtSerialControl::queuedOutput() const {
    COMSTAT status{};
    DWORD errors = 0;
    return ::ClearCommError(reinterpret_cast<HANDLE>(port_.handle()), &errors, &status)
               ? static_cast<long>(status.cbOutQue)
               : -1;
}

void QtSerialControl::systemDrain() {
    if (!::FlushFileBuffers(reinterpret_cast<HANDLE>(port_.handle()))) {
        letGoAndFail("drain failed: " + systemReasonText(qt_error_string().toStdString()));
    }
}

}  // namespace freqrelay
