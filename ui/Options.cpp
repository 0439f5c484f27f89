#include "ui/Options.h"

#include "core/PathIdentity.h"
#include "links/PortDevice.h"
#include "system/CommandLine.h"
#include "system/Console.h"
#include "system/DisplayProbe.h"
#include "system/LogOutput.h"
#include "system/LogText.h"
#include "system/QuitSignals.h"
#include "system/RunningMark.h"
#include "ui/PortList.h"
#include "ui/SettingsStore.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QIcon>
#include <QLoggingCategory>

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

Environment Environment::read() {
    return {CommandLine::variable(kPortVariable), CommandLine::variable(kRigctldVariable)};
}

Parsed Options::parse(QStringList arguments, const Environment& environment, const StoredSettings& stored) {
    // --rigctld may stand alone, for the variable's address, the stored one
    // or the default.
    const QString standing = !environment.rigctld.isEmpty()
                                 ? environment.rigctld
                                 : QString::fromStdString(stored.rigctld.value_or(RigctldAddress()).text());
    for (qsizetype at = 1; at < arguments.size(); ++at) {
        if (arguments[at] == QLatin1String("--rigctld") &&
            (at + 1 == arguments.size() || arguments[at + 1].startsWith(QLatin1Char('-')))) {
            arguments[at] += QLatin1Char('=') + standing;
        }
    }
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Relays the frequency in a text file to a radio on serial port 1, at 4800 baud, 8N2, or to "
                       "Hamlib's rigctld, which drives any radio it knows. A second relay for the same port or "
                       "rigctld ends at once with status 3. The port, rigctld, the file and the log chosen in the "
                       "window's Setup dialog are stored and used at the next start; an option or FREQRELAY_PORT1 "
                       "or FREQRELAY_RIGCTLD wins over what is stored, and leaves it as it is."));
    // Not addHelpOption: its --help-all of Qt's options needs an application,
    // which is made only after parsing.
    const QCommandLineOption helpOption({QStringLiteral("h"), QStringLiteral("help")},
                                        QStringLiteral("Displays help on commandline options."));
    parser.addOption(helpOption);
    const QCommandLineOption versionOption({QStringLiteral("v"), QStringLiteral("version")},
                                           QStringLiteral("Displays version information."));
    parser.addOption(versionOption);
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
    Parsed result;
    Settings& settings = result.settings;
    // The link: an option, then a variable (rigctld's before the port's),
    // then the store (rigctld's before the port's), then port 1's default.
    if (!error.isEmpty()) {
    } else if (parser.isSet(portOption)) {
        settings.port = portDevice(CommandLine::pathOf(parser.value(portOption)));
        settings.linkFrom = "--port";
    } else if (parser.isSet(rigctldOption) || !environment.rigctld.isEmpty()) {
        const bool given = parser.isSet(rigctldOption);
        const QString text = given ? parser.value(rigctldOption) : environment.rigctld;
        std::string why;
        settings.rigctld = RigctldAddress::parse(text.toStdString(), why);
        settings.linkFrom = given ? "--rigctld" : kRigctldVariable;
        if (!settings.rigctld) {
            error = QStringLiteral("%1 %2: %3")
                        .arg(QString::fromStdString(settings.linkFrom), text, QString::fromStdString(why));
        }
    } else if (!environment.port1.isEmpty()) {
        settings.port = portDevice(CommandLine::pathOf(environment.port1));
        settings.linkFrom = kPortVariable;
    } else if (stored.rigctld || !stored.port.empty()) {
        settings.rigctld = stored.rigctld;
        settings.port = stored.rigctld ? std::string() : portDevice(stored.port);
        settings.linkFrom = kByStore;
    } else {
        settings.port = defaultDevice(1);
    }
    const auto take = [&](const QCommandLineOption& option, const std::string& storedValue, std::string& value,
                          std::string& from) {
        if (parser.isSet(option)) {
            value = CommandLine::pathOf(parser.value(option));
            from = "--" + option.names().last().toStdString();
        } else if (!storedValue.empty()) {
            value = storedValue;
            from = kByStore;
        }
    };
    take(fileOption, stored.file, settings.file, settings.fileFrom);
    take(logOption, stored.log, settings.log, settings.logFrom);
    result.quiet = parser.isSet(quietOption);
    if (!error.isEmpty()) {
        result.action = Parsed::Action::Refused;
        result.text = QStringLiteral("freqrelay: %1\n\n%2").arg(readable(CommandLine::pathOf(error)), usage(parser));
    } else if (helpAsked) {
        result.action = Parsed::Action::Help;
        result.text = usage(parser);
    } else if (parser.isSet(versionOption)) {
        result.action = Parsed::Action::Version;
    } else if (parser.isSet(listOption)) {
        result.action = Parsed::Action::ListPorts;
    }
    return result;
}

std::optional<int> Options::take(int argc, char** argv) {
    Console::claimStandardStreams();
    // Next, so that a stop in the first milliseconds is a clean one.
    QuitSignals::install();

    QCoreApplication::setApplicationName(QStringLiteral("freqrelay"));
    QCoreApplication::setApplicationVersion(QStringLiteral(FREQRELAY_VERSION));
    std::string storeProblem;
    const StoredSettings stored = SettingsStore::read(storeProblem);
    const Parsed parsed = parse(CommandLine::arguments(argc, argv), Environment::read(), stored);
    switch (parsed.action) {
    case Parsed::Action::Refused: print(stderr, parsed.text); return 2;
    case Parsed::Action::Help: print(stdout, parsed.text); return 0;
    case Parsed::Action::Version:
        print(stdout, QStringLiteral("freqrelay %1\n").arg(QStringLiteral(FREQRELAY_VERSION)));
        return 0;
    case Parsed::Action::ListPorts: PortList::print(); return 0;
    case Parsed::Action::Run: break;
    }
    settings = parsed.settings;
    RunningMark::hold();
    LogOutput::install();
    std::string reason;
    if (!settings.log.empty() &&
        !LogOutput::appendTo(settings.log, settings.file, settings.rigctld ? std::string() : settings.port, reason)) {
        const QString refused =
            QStringLiteral("cannot open the log %1: %2").arg(readable(settings.log), readable(reason));
        if (settings.logFrom != kByStore) {
            print(stderr, QStringLiteral("freqrelay: %1\n").arg(refused));
            return 2;
        }
        // A stored log must not keep the relay, and the dialog that can
        // mend it, from starting.
        qCWarning(relayLog).noquote() << refused + QStringLiteral("; the relay runs without it");
        settings.log.clear();
        settings.logFrom = kByDefault;
    }
    if (!storeProblem.empty()) {
        qCWarning(relayLog).noquote() << readable(storeProblem) + QStringLiteral("; it is not used");
    }
    if (parsed.quiet) {
        QLoggingCategory::setFilterRules(QStringLiteral("freqrelay.relay.info=false"));
    }

    DisplayProbe::useOffscreenWithoutDisplay();
    if (const std::string display = DisplayProbe::unreachableDisplay(); !display.empty()) {
        print(stderr, QStringLiteral("freqrelay: cannot open display %1 (set QT_QPA_PLATFORM=offscreen to run "
                                     "without a window)\n")
                          .arg(readable(display)));
        return 1;
    }
    lock = std::make_unique<LinkLock>(settings);
    QString warning;
    if (const QString holder = lock->take(warning); !holder.isEmpty()) {
        print(stderr, QStringLiteral("freqrelay: %1\n").arg(holder));
        return 3;
    }
    if (!warning.isEmpty()) {
        print(stderr, QStringLiteral("freqrelay: %1\n").arg(warning));
    }
    return std::nullopt;
}

void Options::setUpApplication() {
    // A blinking caret repaints a field twice a second, which costs the idle
    // relay twice what its polling does.
    QApplication::setCursorFlashTime(0);
    QApplication::setWindowIcon(QIcon::fromTheme(QStringLiteral(FREQRELAY_APP_ID)));
    QGuiApplication::setDesktopFileName(QStringLiteral(FREQRELAY_APP_ID));
}

}  // namespace freqrelay
