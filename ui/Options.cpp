#include "ui/Options.h"

#include "core/PathIdentity.h"
#include "links/PortDevice.h"
#include "links/QtSerialControl.h"
#include "links/RigctldLink.h"
#include "links/SerialLink.h"
#include "relay/Relay.h"
#include "relay/RelayLog.h"
#include "system/CommandLine.h"
#include "system/Console.h"
#include "system/DisplayProbe.h"
#include "system/LogOutput.h"
#include "system/QuitSignals.h"
#include "system/RunningMark.h"
#include "ui/PortList.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QIcon>
#include <QLoggingCategory>
#include <QUrl>

namespace freqrelay {

namespace {

void print(FILE* stream, const QString& text) { Console::write(stream, text); }

// The parser names the program only once an application object exists, and
// --help must work before one (without a display).
QString usage(const QCommandLineParser& parser) {
    QString text = parser.helpText();
    return text.replace(QStringLiteral("<executable_name>"), QStringLiteral("freqrelay"));
}

}  // namespace

std::optional<int> Options::take(int argc, char** argv) {
    Console::claimStandardStreams();
    // Next, so that a stop in the first milliseconds is a clean one.
    QuitSignals::install();

    QCoreApplication::setApplicationName(QStringLiteral("freqrelay"));
    QCoreApplication::setApplicationVersion(QStringLiteral(FREQRELAY_VERSION));
    QStringList arguments = CommandLine::arguments(argc, argv);
    // --rigctld may stand alone, for the variable's address or the default.
    const QString rigctldVariable = qEnvironmentVariable(kRigctldVariable);
    for (qsizetype at = 1; at < arguments.size(); ++at) {
        if (arguments[at] == QLatin1String("--rigctld") &&
            (at + 1 == arguments.size() || arguments[at + 1].startsWith(QLatin1Char('-')))) {
            arguments[at] +=
                QLatin1Char('=') +
                (rigctldVariable.isEmpty() ? QString::fromStdString(RigctldAddress().text()) : rigctldVariable);
        }
    }
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Relays the frequency in a text file to a radio on serial port 1, at 4800 baud, 8N2, or to "
                       "Hamlib's rigctld, which drives any radio it knows. A second relay for the same port or "
                       "rigctld ends at once with status 3."));
    // Not addHelpOption: its --help-all of Qt's options needs an application,
    // which is made only after parsing.
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
    const QCommandLineOption rigctldOption(
        QStringLiteral("rigctld"),
        QStringLiteral("Relay to rigctld at [HOST][:PORT] (127.0.0.1:4532, IPv6 in brackets) instead of port 1; "
                       "FREQRELAY_RIGCTLD sets it too."),
        QStringLiteral("ADDRESS"));
    parser.addOptions({portOption, fileOption, listOption, quietOption, logOption, rigctldOption});
    QString error;
    const bool parsed = parser.parse(arguments);
    QStringList positional = parser.positionalArguments();
    // Windows' own way to ask for the help, beside --help.
    const bool helpAsked = positional.removeIf(CommandLine::asksForHelp) > 0 || parser.isSet(helpOption);
    if (!parsed) {
        error = parser.errorText();
    } else if (!positional.isEmpty()) {
        error = QStringLiteral("unexpected argument: %1").arg(positional.first());
    } else {
        // An empty value (an unset shell variable) must not quietly fall
        // back to the default port or file.
        for (const QCommandLineOption* option : {&portOption, &fileOption, &logOption, &rigctldOption}) {
            if (parser.isSet(*option) && parser.value(*option).isEmpty()) {
                error = QStringLiteral("--%1 needs a value that is not empty").arg(option->names().last());
            }
        }
        // CON, NUL or COM1 would be read as the device, never as a file.
        if (parser.isSet(fileOption) && namesADevice(CommandLine::pathOf(parser.value(fileOption)))) {
            error = QStringLiteral("--file %1 names a device, not a file").arg(parser.value(fileOption));
        }
        if (parser.isSet(rigctldOption) && parser.isSet(portOption)) {
            error = QStringLiteral("--rigctld and --port cannot be used together");
        }
    }
    // The variable relays to rigctld as the option does, unless --port is given.
    if (error.isEmpty() && (parser.isSet(rigctldOption) || (!rigctldVariable.isEmpty() && !parser.isSet(portOption)))) {
        const bool given = parser.isSet(rigctldOption);
        const QString text = given ? parser.value(rigctldOption) : rigctldVariable;
        std::string why;
        rigctld = RigctldAddress::parse(text.toStdString(), why);
        if (!rigctld) {
            error = QStringLiteral("%1 %2: %3")
                        .arg(given ? QStringLiteral("--rigctld") : QLatin1String(kRigctldVariable), text,
                             QString::fromStdString(why));
        }
    }
    if (!error.isEmpty()) {
        print(stderr, QStringLiteral("freqrelay: %1\n\n%2").arg(readable(CommandLine::pathOf(error)), usage(parser)));
        return 2;
    }
    if (helpAsked) {
        print(stdout, usage(parser));
        return 0;
    }
    if (parser.isSet(QStringLiteral("version"))) {
        print(stdout, QStringLiteral("freqrelay %1\n").arg(QStringLiteral(FREQRELAY_VERSION)));
        return 0;
    }
    if (parser.isSet(listOption)) {
        PortList::print();
        return 0;
    }
    file = parser.isSet(fileOption) ? CommandLine::pathOf(parser.value(fileOption)) : std::string(kFrequencyFile);
    RunningMark::hold();
    LogOutput::install();
    mappedBy = rigctld ? (parser.isSet(rigctldOption) ? "--rigctld" : kRigctldVariable) : portMappingSource(1);
    if (parser.isSet(portOption)) {
        CommandLine::setVariable("FREQRELAY_PORT1", parser.value(portOption));
        mappedBy = "--port";
    }
    if (parser.isSet(logOption)) {
        const std::string logFile = CommandLine::pathOf(parser.value(logOption));
        std::string reason;
        if (!LogOutput::appendTo(logFile, file, rigctld ? std::string() : devicePathForPort(1), reason)) {
            Console::write(
                stderr,
                QStringLiteral("freqrelay: cannot open the log %1: %2\n").arg(readable(logFile), readable(reason)));
            return 2;
        }
    }
    if (parser.isSet(quietOption)) {
        QLoggingCategory::setFilterRules(QStringLiteral("freqrelay.relay.info=false"));
    }

    DisplayProbe::useOffscreenWithoutDisplay();
    if (const std::string display = DisplayProbe::unreachableDisplay(); !display.empty()) {
        print(stderr, QStringLiteral("freqrelay: cannot open display %1 (set QT_QPA_PLATFORM=offscreen to run "
                                     "without a window)\n")
                          .arg(readable(display)));
        return 1;
    }
    if (!holdLink()) {
        return 3;
    }
    return std::nullopt;
}

bool Options::holdLink() {
    // Named after the link itself, so that every name of one device, as
    // links and spellings give it, leads to one lock.
    const std::string link = rigctld ? "rigctld " + rigctld->text() : "port 1 (" + devicePathForPort(1) + ")";
    const QString identity =
        QString::fromStdString(rigctld ? "rigctld-" + rigctld->text() : "port-" + deviceIdentity(devicePathForPort(1)));
    const QString name =
        QStringLiteral("freqrelay-%1.lock").arg(QString::fromLatin1(QUrl::toPercentEncoding(identity)));
    linkLock_ = std::make_unique<QLockFile>(QDir(QDir::tempPath()).filePath(name));
    // Held for weeks: only a holder that is gone makes the lock stale, never
    // its age (a live holder's own lock on the file guards it too, where
    // the file system has such locks).
    linkLock_->setStaleLockTime(0);
    if (linkLock_->tryLock()) {
        return true;
    }
    if (linkLock_->error() != QLockFile::LockFailedError) {
        print(stderr, QStringLiteral("freqrelay: cannot make the lock %1: a second relay to %2 would not be stopped\n")
                          .arg(QDir::toNativeSeparators(linkLock_->fileName()), readable(link)));
        return true;
    }
    qint64 holder = 0;
    linkLock_->getLockInfo(&holder, nullptr, nullptr);
    print(stderr, QStringLiteral("freqrelay: another relay (process %1) already relays to %2\n")
                      .arg(QString::number(holder), readable(link)));
    return false;
}

std::unique_ptr<Link> Options::link(QtSerialControl& port) const {
    if (rigctld) {
        return std::make_unique<RigctldLink>(*rigctld);
    }
    return std::make_unique<SerialLink>(port);
}

std::string Options::target() const {
    const std::string to = rigctld ? "relaying to rigctld " + rigctld->text() : "port 1 is " + devicePathForPort(1);
    return to + " (" + mappedBy + ")";
}

void Options::setUpApplication() {
    // A blinking caret repaints a field twice a second, which costs the idle
    // relay twice what its polling does.
    QApplication::setCursorFlashTime(0);
    QApplication::setWindowIcon(QIcon::fromTheme(QStringLiteral(FREQRELAY_APP_ID)));
    QGuiApplication::setDesktopFileName(QStringLiteral(FREQRELAY_APP_ID));
}

}  // namespace freqrelay
