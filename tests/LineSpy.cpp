#include "LineSpy.h"

#include <dlfcn.h>
#include <sys/ioctl.h>
#include <cstdarg>

namespace {

bool recording = false;
std::vector<LineRequest>& recorded() {
    static std::vector<LineRequest> requests;
    return requests;
}

template <typename Function>
Function next(const char* name) {
    return reinterpret_cast<Function>(::dlsym(RTLD_NEXT, name));
}

}  // namespace

LineSpy::LineSpy() {
    recorded().clear();
    recording = true;
}

LineSpy::~LineSpy() { recording = false; }

const std::vector<LineRequest>& LineSpy::requests() const { return recorded(); }

// Defined in the program, these take the place of the C library's for every
// library it loads, Qt's serial port among them.
extern "C" int tcsetattr(int fd, int action, const termios* attributes) {
    if (recording) {
        recorded().push_back({LineRequest::Kind::Attributes, *attributes});
    }
    static const auto real = next<int (*)(int, int, const termios*)>("tcsetattr");
    return real(fd, action, attributes);
}

extern "C" int ioctl(int fd, unsigned long request, ...) noexcept {
    va_list arguments;
    va_start(arguments, request);
    void* argument = va_arg(arguments, void*);
    va_end(arguments);
    if (recording && (request == TIOCMBIC || request == TIOCMBIS) &&
        (*static_cast<const int*>(argument) & TIOCM_RTS) != 0) {
        recorded().push_back({request == TIOCMBIC ? LineRequest::Kind::RtsLow : LineRequest::Kind::RtsHigh, {}});
    }
    static const auto real = next<int (*)(int, unsigned long, ...)>("ioctl");
    return real(fd, request, argument);
}
