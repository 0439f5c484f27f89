// The display probe where Qt draws through X or Wayland.
#include "system/DisplayProbe.h"

#include <QByteArray>
#include <QtGlobal>

#include <dlfcn.h>
#include <cstdio>

namespace freqrelay {

void DisplayProbe::useOffscreenWithoutDisplay() {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY") &&
        qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        std::fputs("freqrelay: no display found; running offscreen\n", stderr);
    }
}

std::string DisplayProbe::unreachableDisplay() {
    const QByteArray platform = qgetenv("QT_QPA_PLATFORM");
    const QByteArray display = qgetenv("DISPLAY");
    const bool mayChooseWayland = platform.isEmpty() && !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
    if ((!platform.isEmpty() && !platform.startsWith("xcb")) || mayChooseWayland || display.isEmpty()) {
        return {};
    }
    void* xcb = ::dlopen("libxcb.so.1", RTLD_NOW | RTLD_LOCAL);
    if (xcb == nullptr) {
        return {};  // Qt cannot use X either, and says why itself
    }
    const auto connect = reinterpret_cast<void* (*)(const char*, int*)>(::dlsym(xcb, "xcb_connect"));
    const auto hasError = reinterpret_cast<int (*)(void*)>(::dlsym(xcb, "xcb_connection_has_error"));
    const auto disconnect = reinterpret_cast<void (*)(void*)>(::dlsym(xcb, "xcb_disconnect"));
    bool reached = true;
    if (connect != nullptr && hasError != nullptr && disconnect != nullptr) {
        void* connection = connect(display.constData(), nullptr);
        reached = hasError(connection) == 0;
        disconnect(connection);
    }
    ::dlclose(xcb);
    return reached ? std::string() : display.toStdString();
}

}  // namespace freqrelay
