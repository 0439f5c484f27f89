#include "Form1.h"
#include "PortDevice.h"
#include "QuitSignals.h"
#include "RelayLog.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QFileInfo>
#include <QIcon>
#include <QLoggingCategory>
#include <QSerialPortInfo>

#include <cstdio>
#include <filesystem>

namespace {

// With no display at all, run offscreen rather than fail to start: the
// relay's work is the serial line, not the window.
void useOffscreenWithoutDisplay() {
#if defined(Q_OS_LINUX) || defined(Q_OS_FREEBSD)
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY") &&
        qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        std::fputs("freqrelay: no display found; running offscreen\n", stderr);
    }
#endif
}

void print(FILE* stream, const QString& text) { std::fputs(text.toLocal8Bit().constData(), stream); }

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
        QString text = port.systemLocation() + QLatin1Char('\n');
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
    // First of all, so that a stop in the first milliseconds is a clean one.
    freqrelay::QuitSignals::install();

    QCoreApplication::setApplicationName(QStringLiteral("freqrelay"));
    QCoreApplication::setApplicationVersion(QStringLiteral(FREQRELAY_VERSION));
    QStringList arguments;
    for (int i = 0; i < argc; ++i) {
        arguments << QString::fromLocal8Bit(argv[i]);
    }
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Relays the frequency in a text file to a radio on serial port 1, at 4800 baud, 8N2."));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption portOption(
        {QStringLiteral("p"), QStringLiteral("port")},
        QStringLiteral("Map serial port 1 to DEVICE; wins over FREQRELAY_PORT1."), QStringLiteral("DEVICE"));
    const QCommandLineOption fileOption(
        {QStringLiteral("f"), QStringLiteral("file")},
        QStringLiteral("Poll PATH instead of ft1000file in the working directory."), QStringLiteral("PATH"));
    const QCommandLineOption listOption(QStringLiteral("list-ports"),
                                        QStringLiteral("List the serial ports this system has, then exit."));
    const QCommandLineOption quietOption({QStringLiteral("q"), QStringLiteral("quiet")},
                                         QStringLiteral("Log only failures and their clearing."));
    parser.addOptions({portOption, fileOption, listOption, quietOption});
    if (!parser.parse(arguments) || !parser.positionalArguments().isEmpty()) {
        const QString error = parser.errorText().isEmpty()
                                  ? QStringLiteral("unexpected argument: %1").arg(parser.positionalArguments().first())
                                  : parser.errorText();
        print(stderr, QStringLiteral("freqrelay: %1\n\n%2").arg(error, usage(parser)));
        return 2;
    }
    if (parser.isSet(QStringLiteral("help")) || parser.isSet(QStringLiteral("help-all"))) {
        print(stdout, usage(parser));
        return 0;
    }
    if (parser.isSet(QStringLiteral("version"))) {
        parser.showVersion();
    }
    if (parser.isSet(listOption)) {
        listPorts();
        return 0;
    }
    if (parser.isSet(quietOption)) {
        QLoggingCategory::setFilterRules(QStringLiteral("freqrelay.relay.info=false"));
    }
    std::string mappedBy = freqrelay::portMappingSource(1);
    if (parser.isSet(portOption)) {
        qputenv("FREQRELAY_PORT1", parser.value(portOption).toLocal8Bit());
        mappedBy = "--port";
    }
    const std::string file =
        parser.isSet(fileOption) ? parser.value(fileOption).toStdString() : std::string(freqrelay::kFrequencyFile);

    useOffscreenWithoutDisplay();
    QApplication app(argc, argv);
    // The window only repaints at the poll's pumps, so a blinking caret would
    // stutter at the poll rate; its repaints also cost more than the polling.
    QApplication::setCursorFlashTime(0);
    // The installed icon, and the desktop entry that goes with the window.
    QApplication::setWindowIcon(QIcon::fromTheme(QStringLiteral(FREQRELAY_APP_ID)));
    QGuiApplication::setDesktopFileName(QStringLiteral(FREQRELAY_APP_ID));
    freqrelay::Form1 form(file);
    std::error_code error;
    const auto absolute = std::filesystem::absolute(file, error);
    freqrelay::RelayLog::started(error ? file : absolute.string(), freqrelay::devicePathForPort(1), mappedBy);
    form.Form_Load();
    return 0;
}
