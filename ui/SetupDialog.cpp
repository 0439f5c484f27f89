#include "ui/SetupDialog.h"

#include "core/PathIdentity.h"
#include "core/Paths.h"
#include "core/RelayFailure.h"
#include "links/PortDevice.h"
#include "links/QtSerialControl.h"
#include "links/SerialLink.h"
#include "system/LogFile.h"
#include "system/LogText.h"
#include "ui/PortList.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QSerialPortInfo>
#include <QTcpSocket>
#include <QTimer>

#include <chrono>
#include <filesystem>

namespace freqrelay {

namespace {

// Adapters come and go while the dialog is open.
constexpr std::chrono::milliseconds kPortListPause{1000};
// Long enough for a radio that is slow to answer, short enough to wait for.
constexpr std::chrono::milliseconds kTestWait{3000};

// A part an option or a variable sets stays as it was set.
bool locked(const std::string& from) { return from != kByStore && from != kByDefault; }

QString text(const std::string& utf8) { return QString::fromStdString(utf8); }

template <typename Widget>
Widget* named(Widget* widget, const char* name) {
    widget->setObjectName(QLatin1String(name));
    return widget;
}

// Why no file can be made at `path`, "" when its folder exists.
QString missingFolder(const std::string& path) {
    const std::filesystem::path folder = systemPath(absolutePath(path)).parent_path();
    std::error_code error;
    return std::filesystem::is_directory(folder, error)
               ? QString()
               : QStringLiteral("the folder %1 does not exist").arg(readable(pathText(folder)));
}

}  // namespace

SetupDialog::SetupDialog(const Settings& current, Apply apply, QWidget* parent)
    : QDialog(parent), current_(current), apply_(std::move(apply)) {
    setWindowTitle(QStringLiteral("freqrelay Setup"));
    auto* grid = new QGridLayout(this);
    // A row of cells from the left, the last one reaching the right edge.
    auto put = [grid, row = 0](std::initializer_list<QWidget*> cells) mutable {
        int column = 0;
        for (QWidget* cell : cells) {
            if (cell) {
                grid->addWidget(cell, row, column, 1, column + 1 == int(cells.size()) ? 4 - column : 1);
            }
            ++column;
        }
        ++row;
    };
    const auto caption = [this](const QString& text, QWidget* buddy) {
        auto* label = new QLabel(text, this);
        label->setBuddy(buddy);
        return label;
    };
    const auto lock = [this](const char* name, const std::string& from) {
        return named(new QLabel(locked(from) ? QStringLiteral("set by %1").arg(text(from)) : QString(), this), name);
    };

    file_ = named(new QLineEdit(text(current.file), this), "file");
    auto* browse = named(new QPushButton(QStringLiteral("&Browse…"), this), "browseFile");
    auto* fullPath = named(new QLabel(this), "fullPath");
    fileReason_ = named(new QLabel(this), "fileReason");
    put({caption(QStringLiteral("Frequency &file:"), file_), file_, browse, lock("fileLock", current.fileFrom)});
    put({nullptr, fullPath});
    put({nullptr, fileReason_});
    file_->setEnabled(!locked(current.fileFrom));
    browse->setEnabled(file_->isEnabled());
    const auto showFullPath = [fullPath](const QString& path) {
        fullPath->setText(readable(absolutePath(path.toStdString())));
    };
    connect(file_, &QLineEdit::textChanged, fullPath, showFullPath);
    showFullPath(file_->text());
    connect(browse, &QPushButton::clicked, this, [this, fullPath] {
        // The file need not exist yet: the relay waits for it.
        const QString path = QFileDialog::getSaveFileName(this, QStringLiteral("Frequency file"), fullPath->text(), {},
                                                          nullptr, QFileDialog::DontConfirmOverwrite);
        if (!path.isEmpty()) {
            file_->setText(QDir::toNativeSeparators(path));
        }
    });

    auto* serialPort = named(new QRadioButton(QStringLiteral("Serial &port:"), this), "serialPort");
    port_ = named(new QComboBox(this), "port");
    port_->setEditable(true);
    port_->setInsertPolicy(QComboBox::NoInsert);
    rigctldChoice_ = named(new QRadioButton(QStringLiteral("&rigctld:"), this), "rigctldChoice");
    rigctld_ = named(new QLineEdit(current.rigctld ? text(current.rigctld->text()) : QString(), this), "rigctld");
    rigctld_->setPlaceholderText(text(RigctldAddress().text()));
    linkReason_ = named(new QLabel(this), "linkReason");
    put({serialPort, port_, nullptr, lock("linkLock", current.linkFrom)});
    put({rigctldChoice_, rigctld_});
    put({nullptr, linkReason_});
    auto* links = new QButtonGroup(this);
    links->addButton(serialPort);
    links->addButton(rigctldChoice_);
    (current.rigctld ? rigctldChoice_ : serialPort)->setChecked(true);
    const auto choose = [this, serialPort, linkLocked = locked(current.linkFrom)] {
        serialPort->setEnabled(!linkLocked);
        rigctldChoice_->setEnabled(!linkLocked);
        port_->setEnabled(!linkLocked && serialPort->isChecked());
        rigctld_->setEnabled(!linkLocked && rigctldChoice_->isChecked());
    };
    connect(links, &QButtonGroup::idToggled, this, choose);
    choose();
    // The choice's key goes on to its field, selected to be typed over.
    connect(serialPort, &QRadioButton::clicked, port_, [this] { port_->setFocus(Qt::ShortcutFocusReason); });
    connect(rigctldChoice_, &QRadioButton::clicked, rigctld_, [this] { rigctld_->setFocus(Qt::ShortcutFocusReason); });
    listPorts();
    port_->setCurrentIndex(port_->findData(text(current.port)));
    if (port_->currentIndex() < 0) {
        port_->setEditText(text(current.port));  // a pseudo-terminal, a link: not listed, still the port
    }
    auto* relist = new QTimer(this);
    connect(relist, &QTimer::timeout, this, &SetupDialog::listPorts);
    relist->start(kPortListPause);

    log_ = named(new QLineEdit(text(current.log), this), "log");
    log_->setPlaceholderText(QStringLiteral("none"));
    log_->setEnabled(!locked(current.logFrom));
    logReason_ = named(new QLabel(this), "logReason");
    put({caption(QStringLiteral("&Log file:"), log_), log_, nullptr, lock("logLock", current.logFrom)});
    put({nullptr, logReason_});

    auto* test = named(new QPushButton(QStringLiteral("&Test"), this), "test");
    testResult_ = named(new QLabel(this), "testResult");
    put({test, testResult_});
    connect(test, &QPushButton::clicked, this, &SetupDialog::test);

    // Enter anywhere is OK, never Browse or Test.
    browse->setAutoDefault(false);
    test->setAutoDefault(false);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setDefault(true);
    put({buttons});
    connect(buttons, &QDialogButtonBox::accepted, this, &SetupDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &SetupDialog::reject);
}

void SetupDialog::accept() {
    const std::optional<Settings> settings = chosen();
    if (!settings) {
        return;
    }
    const Applied applied = apply_(*settings);
    linkReason_->setText(applied.linkRefused);
    logReason_->setText(applied.logRefused);
    if (!applied.linkRefused.isEmpty() || !applied.logRefused.isEmpty()) {
        return;
    }
    if (!applied.notStored.isEmpty()) {
        QMessageBox::warning(this, windowTitle(),
                             QStringLiteral("The relay uses the new settings, but they could not be stored: %1. "
                                            "They hold until the relay ends.")
                                 .arg(applied.notStored));
    }
    QDialog::accept();
}

std::optional<Settings> SetupDialog::chosen() {
    Settings settings = current_;
    QString fileWhy;
    // A part left as it was keeps where it came from, and is not stored; a
    // part changed is stored as the full path the dialog shows, which does
    // not depend on the folder the relay starts in.
    if (!locked(current_.fileFrom) && file_->text().toStdString() != current_.file) {
        settings.file = file_->text().toStdString();
        settings.fileFrom = kByStore;
        fileWhy = settings.file.empty()         ? QStringLiteral("a file is needed")
                  : namesADevice(settings.file) ? QStringLiteral("names a device, not a file")
                                                : missingFolder(settings.file);
        settings.file = absolutePath(settings.file);
    }
    const QString linkWhy = chooseLink(settings);
    const bool logChanged = !locked(current_.logFrom) && log_->text().toStdString() != current_.log;
    if (logChanged) {
        settings.log = log_->text().toStdString();
        settings.logFrom = kByStore;
    }
    // A log an option set is checked too: the file or the port may have moved onto it.
    QString logWhy;
    if (!settings.log.empty()) {
        logWhy = logChanged ? missingFolder(settings.log) : QString();
        if (logWhy.isEmpty()) {
            logWhy = readable(refusedLog(settings.log, settings.file, settings.rigctld ? "" : settings.port));
        }
        if (logChanged) {
            settings.log = absolutePath(settings.log);
        }
    }
    fileReason_->setText(fileWhy);
    linkReason_->setText(linkWhy);
    logReason_->setText(logWhy);
    return fileWhy.isEmpty() && linkWhy.isEmpty() && logWhy.isEmpty() ? std::optional(settings) : std::nullopt;
}

QString SetupDialog::chooseLink(Settings& settings) const {
    if (locked(current_.linkFrom)) {
        return {};
    }
    settings.linkFrom = kByStore;
    settings.port.clear();
    std::string why;
    settings.rigctld = rigctldChoice_->isChecked()
                           ? RigctldAddress::parse(rigctld_->text().trimmed().toStdString(), why)
                           : std::nullopt;
    if (rigctldChoice_->isChecked()) {
        if (settings.rigctld && current_.rigctld && settings.rigctld->text() == current_.rigctld->text()) {
            settings.linkFrom = current_.linkFrom;
        }
        return text(why);
    }
    // A listed port's text tells more than its name: the name is stored.
    const int listed = port_->findText(port_->currentText());
    const QString name = listed >= 0 ? port_->itemData(listed).toString() : port_->currentText().trimmed();
    settings.port = name.isEmpty() ? std::string() : portDevice(name.toStdString());
    if (!current_.rigctld && settings.port == current_.port) {
        // The port in use, even an adapter unplugged now, is no new choice.
        settings.linkFrom = current_.linkFrom;
        return name.isEmpty() ? QStringLiteral("a port is needed") : QString();
    }
    return name.isEmpty()                    ? QStringLiteral("a port is needed")
           : PortList::exists(settings.port) ? QString()
                                             : QStringLiteral("%1: no such port").arg(readable(settings.port));
}

void SetupDialog::listPorts() {
    QStringList names;
    QStringList texts;
    for (const QSerialPortInfo& info : QSerialPortInfo::availablePorts()) {
        const QString stable = PortList::stableNameOf(info);
        names << (stable.isEmpty() ? PortList::nameOf(info) : stable);
        QStringList about{info.description(), info.manufacturer(), info.serialNumber()};
        about.removeAll(QString());
        texts << (about.isEmpty() ? names.last()
                                  : QStringLiteral("%1 (%2)").arg(names.last(), about.join(QStringLiteral(", "))));
    }
    QStringList listed;
    for (int at = 0; at < port_->count(); ++at) {
        listed << port_->itemText(at);
    }
    if (listed == texts) {
        return;
    }
    const QString typed = port_->currentText();
    port_->clear();
    for (qsizetype at = 0; at < names.size(); ++at) {
        port_->addItem(texts[at], names[at]);
    }
    port_->setCurrentIndex(port_->findText(typed));
    port_->setEditText(typed);
}

void SetupDialog::test() {
    qDeleteAll(findChildren<QTcpSocket*>(Qt::FindDirectChildrenOnly));  // an earlier test's answer is not awaited
    Settings link = current_;
    if (const QString why = chooseLink(link); !why.isEmpty()) {
        testResult_->setText(why);
    } else if (link.rigctld) {
        ask(*link.rigctld);
    } else {
        try {
            QtSerialControl control(link.port);
            control.setSettings(SerialLink::kLineSettings);
            control.setPortOpen(true);
            control.setPortOpen(false);
            testResult_->setText(QStringLiteral("opened"));
        } catch (const RelayFailure& failure) {
            testResult_->setText(readable(failure.what()));
        }
    }
}

// Asks rigctld for the radio's frequency, from the event loop, giving up after a while.
void SetupDialog::ask(const RigctldAddress& address) {
    testResult_->setText(QStringLiteral("asking rigctld %1…").arg(text(address.text())));
    auto* socket = new QTcpSocket(this);
    const auto finish = [this, socket, name = text(address.text())](const QString& result) {
        testResult_->setText(QStringLiteral("rigctld %1: %2").arg(name, result));
        socket->disconnect();
        socket->abort();
        socket->deleteLater();
    };
    connect(socket, &QTcpSocket::connected, socket, [socket] { socket->write("f\n"); });
    connect(socket, &QTcpSocket::readyRead, socket, [socket, finish] {
        if (socket->canReadLine()) {
            const QString line = QString::fromLatin1(socket->readLine()).trimmed();
            bool number = false;
            line.toLongLong(&number);
            finish(number ? QStringLiteral("the radio holds %1 Hz").arg(line)
                          : QStringLiteral("answered %1").arg(line));
        }
    });
    connect(socket, &QTcpSocket::errorOccurred, socket, [socket, finish] { finish(socket->errorString()); });
    QTimer::singleShot(kTestWait, socket,
                       [finish] { finish(QStringLiteral("no answer within %1 ms").arg(kTestWait.count())); });
    socket->connectToHost(text(address.host), address.port);
}

}  // namespace freqrelay
