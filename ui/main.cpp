#include "core/FileReader.h"
#include "serial/PortDevice.h"
#include "ui/CommandLine.h"
#include "ui/Console.h"
#include "ui/Form1.h"
#include "ui/LogOutput.h"
#include "ui/QuitSignals.h"
#include "ui/RelayLog.h"
#include "ui/RunningMark.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QFileInfo>
#include <QIcon>
#include <QLoggingCategory>
#include <QSerialPortInfo>

#include <cstdio>
#include <cstdlib>

#if defined(__linux__) || defined(__FreeBSD__)
#include <dlfcn.h>
#endif

namespace {

// With no display at all, run offscreen rather than fail to start: the
// relay's work is the serial line, not the window.
void useOffscreenWithoutDisplay() {
#if defined(__linux__) || defined(__FreeBSD__)
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY") &&
        qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        std::fputs("freqrelay: no display found; running offscreen\n", stderr);
    }
#endif
}

// Qt aborts with a core dump when the X server it is told of cannot be
// reached, so the relay tries the connection first, through the same
// library Qt would use, and ends with a plain message instead. The name of
// an unreachable display, or "" when it was reached or cannot be tried.
std::string unreachableDisplay() {
#if defined(__linux__) || defined(__FreeBSD__)
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
    using Connect = void* (*)(const char*, int*);
    using HasError = int (*)(void*);
    using Disconnect = void (*)(void*);
    const auto connect = reinterpret_cast<Connect>(::dlsym(xcb, "xcb_connect"));
    const auto hasError = reinterpret_cast<HasError>(::dlsym(xcb, "xcb_connection_has_error"));
    const auto disconnect = reinterpret_cast<Disconnect>(::dlsym(xcb, "xcb_disconnect"));
    bool reached = true;
    if (connect != nullptr && hasError != nullptr && disconnect != nullptr) {
        void* connection = connect(display.constData(), nullptr);
        reached = hasError(connection) == 0;
        disconnect(connection);
    }
    ::dlclose(xcb);
    return reached ? std::string() : display.toStdString();
#else
    return {};
#endif
}

void print(FILE* stream, const QString& text) { freqrelay::Console::write(stream, text); }

// The parser names the program only once an application object exists, and
// --help must work before one (without a display).
QString usage(const QCommandLineParser& parser) {
    QString text = parser.helpText();
    return text.replace(QStringLiteral("<executable_name>"), QStringLiteral("freqrelay"));
}

// The stable name udev gives a USB adapter, which survives replugging.
QString byIdName(const QString& device) {
    const QDir byId(QStringLiteral("/dev/serial/by-id"));
    for (const QFileInfo& link : byId.entryInfoList(QDir::System | QDir::Files)) {
        if (link.canonicalFilePath() == device) {
            return link.absoluteFilePath();
        }
    }
    return {};
}

void listPorts() {
    const auto ports = QSerialPortInfo::availablePorts();
    if (ports.isEmpty()) {
        print(stdout, QStringLiteral("No serial ports found.\n"));
    }
    for (const QSerialPortInfo& port : ports) {
#ifdef _WIN32
        // The name a user types (COM3), not the device path (\\.\COM3).
        QString text = port.portName() + QLatin1Char('\n');
#else
        QString text = port.systemLocation() + QLatin1Char('\n');
#endif
        const auto add = [&text](const char* label, const QString& value) {
            if (!value.isEmpty()) {
                text += QStringLiteral("    %1: %2\n").arg(QLatin1String(label), value);
            }
        };
        add("description", port.description());
        add("manufacturer", port.manufacturer());
        add("serial number", port.serialNumber());
        add("by-id", byIdName(port.systemLocation()));
        print(stdout, text);
    }
}

}  // namespace

int main(int argc, char** argv) {
    freqrelay::Console::claimStandardStreams();
    // Next, so that a stop in the first milliseconds is a clean one.
    freqrelay::QuitSignals::install();

    QCoreApplication::setApplicationName(QStringLiteral("freqrelay"));
    QCoreApplication::setApplicationVersion(QStringLiteral(FREQRELAY_VERSION));
    const QStringList arguments = freqrelay::CommandLine::arguments(argc, argv);
    const auto bytesOf = &freqrelay::CommandLine::pathOf;
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Relays the frequency in a text file to a radio on serial port 1, at 4800 baud, 8N2."));
    // Not addHelpOption: it promises a --help-all with Qt's own options,
    // which a relay that starts no application before parsing cannot show.
    const QCommandLineOption helpOption({QStringLiteral("h"), QStringLiteral("help")},
                                        QStringLiteral("Displays help on commandline options."));
    parser.addOption(helpOption);
    parser.addVersionOption();
    const QCommandLineOption portOption({QStringLiteral("p"), QStringLiteral("port")},
                                        QStringLiteral("Map serial port 1 to DEVICE; wins over FREQRELAY_PORT1."),
                                        QStringLiteral("DEVICE"));
    const QCommandLineOption fileOption({QStringLiteral("f"), QStringLiteral("file")},
                                        QStringLiteral("Poll PATH instead of ft1000file in the working directory."),
                                        QStringLiteral("PATH"));
    const QCommandLineOption listOption(QStringLiteral("list-ports"),
                                        QStringLiteral("List the serial ports this system has, then exit."));
    const QCommandLineOption quietOption({QStringLiteral("q"), QStringLiteral("quiet")},
                                         QStringLiteral("Log only failures and their clearing."));
    const QCommandLineOption logOption(QStringLiteral("log"), QStringLiteral("Append the log to FILE too."),
                                       QStringLiteral("FILE"));
    parser.addOptions({portOption, fileOption, listOption, quietOption, logOption});
    QString error;
    if (!parser.parse(arguments)) {
        error = parser.errorText();
    } else if (!parser.positionalArguments().isEmpty()) {
        error = QStringLiteral("unexpected argument: %1").arg(parser.positionalArguments().first());
    } else {
        // An empty value (an unset shell variable) must not quietly fall
        // back to the default port or file.
        for (const QCommandLineOption* option : {&portOption, &fileOption, &logOption}) {
            if (parser.isSet(*option) && parser.value(*option).isEmpty()) {
                error = QStringLiteral("--%1 needs a value that is not empty").arg(option->names().last());
            }
        }
    }
    if (!error.isEmpty()) {
        print(stderr, QStringLiteral("freqrelay: %1\n\n%2").arg(freqrelay::readable(bytesOf(error)), usage(parser)));
        return 2;
    }
    if (parser.isSet(helpOption)) {
        print(stdout, usage(parser));
        return 0;
    }
    if (parser.isSet(QStringLiteral("version"))) {
        print(stdout, QStringLiteral("freqrelay %1\n").arg(QStringLiteral(FREQRELAY_VERSION)));
        return 0;
    }
    if (parser.isSet(listOption)) {
        listPorts();
        return 0;
    }
    const std::string file =
        parser.isSet(fileOption) ? bytesOf(parser.value(fileOption)) : std::string(freqrelay::kFrequencyFile);
    freqrelay::RunningMark::hold();
    freqrelay::LogOutput::install();
    if (parser.isSet(logOption)) {
        const std::string logFile = bytesOf(parser.value(logOption));
        std::string reason;
        if (!freqrelay::LogOutput::appendTo(logFile, file, reason)) {
            print(stderr, QStringLiteral("freqrelay: cannot open the log %1: %2\n")
                              .arg(freqrelay::readable(logFile), freqrelay::readable(reason)));
            return 2;
        }
    }
    if (parser.isSet(quietOption)) {
        QLoggingCategory::setFilterRules(QStringLiteral("freqrelay.relay.info=false"));
    }
    std::string mappedBy = freqrelay::portMappingSource(1);
    if (parser.isSet(portOption)) {
        freqrelay::CommandLine::setVariable("FREQRELAY_PORT1", parser.value(portOption));
        mappedBy = "--port";
    }

    useOffscreenWithoutDisplay();
    if (const std::string display = unreachableDisplay(); !display.empty()) {
        print(stderr, QStringLiteral("freqrelay: cannot open display %1 (set QT_QPA_PLATFORM=offscreen to run "
                                     "without a window)\n")
                          .arg(freqrelay::readable(display)));
        return 1;
    }
    QApplication app(argc, argv);
    // A steady caret: a blinking one repaints a field twice a second for as
    // long as the window is active, which costs the idle relay twice what
    // its polling does.
    QApplication::setCursorFlashTime(0);
    // The installed icon, and the desktop entry that goes with the window.
    QApplication::setWindowIcon(QIcon::fromTheme(QStringLiteral(FREQRELAY_APP_ID)));
    QGuiApplication::setDesktopFileName(QStringLiteral(FREQRELAY_APP_ID));
    freqrelay::Relay relay(file);
    freqrelay::Form1 form(relay);
    // Qt tells of the end of the Windows session only this way, and the
    // system ends the process right after: the port is closed at once.
    QObject::connect(&app, &QCoreApplication::aboutToQuit, &form, [&form] { form.Command1_Click(); });
    // A stop asked for by a signal or the console ends the relay as QUIT does.
    freqrelay::QuitSignals::whenReceived(&form, [&form] { form.Command1_Click(); });
    freqrelay::RelayLog::started(freqrelay::absolutePath(file), freqrelay::devicePathForPort(1), mappedBy);
    form.Form_Load();
    return QApplication::exec();
}
