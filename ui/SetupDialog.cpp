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
    const auto label = [this](const char* caption, QWidget* buddy) {
        auto* made = new QLabel(QString::fromUtf8(caption), this);
        made->setBuddy(buddy);
        return made;
    };
    const auto reason = [this](const char* name) {
        auto* made = named(new QLabel(this), name);
        made->setStyleSheet(QStringLiteral("color: #c00000"));
        return made;
    };
    const auto lock = [this, grid](const char* name, const std::string& from, int row) {
        auto* made = named(new QLabel(this), name);
        grid->addWidget(made, row, 3);
        if (locked(from)) {
            made->setText(QStringLiteral("set by %1").arg(text(from)));
        }
    };

    file_ = named(new QLineEdit(text(current.file), this), "file");
    auto* browse = named(new QPushButton(QStringLiteral("&Browse…"), this), "browseFile");
    fullPath_ = named(new QLabel(this), "fullPath");
    fileReason_ = reason("fileReason");
    grid->addWidget(label("Frequency &file:", file_), 0, 0);
    grid->addWidget(file_, 0, 1);
    grid->addWidget(browse, 0, 2);
    lock("fileLock", current.fileFrom, 0);
    grid->addWidget(fullPath_, 1, 1, 1, 2);
    grid->addWidget(fileReason_, 2, 1, 1, 3);
    file_->setEnabled(!locked(current.fileFrom));
    browse->setEnabled(file_->isEnabled());
    const auto showFullPath = [this] {
        fullPath_->setText(readable(absolutePath(file_->text().toStdString())));
    };
    connect(file_, &QLineEdit::textChanged, this, showFullPath);
    showFullPath();
    connect(browse, &QPushButton::clicked, this, [this] {
        // The file need not exist yet: the relay waits for it.
        const QString path = QFileDialog::getSaveFileName(this, QStringLiteral("Frequency file"), fullPath_->text(), {},
                                                          nullptr, QFileDialog::DontConfirmOverwrite);
        if (!path.isEmpty()) {
            file_->setText(QDir::toNativeSeparators(path));
        }
    });

    serialPort_ = named(new QRadioButton(QStringLiteral("Serial &port:"), this), "serialPort");
    port_ = named(new QComboBox(this), "port");
    port_->setEditable(true);
    port_->setInsertPolicy(QComboBox::NoInsert);
    rigctldChoice_ = named(new QRadioButton(QStringLiteral("&rigctld:"), this), "rigctldChoice");
    rigctld_ = named(new QLineEdit(current.rigctld ? text(current.rigctld->text()) : QString(), this), "rigctld");
    rigctld_->setPlaceholderText(text(RigctldAddress().text()));
    linkReason_ = reason("linkReason");
    grid->addWidget(serialPort_, 3, 0);
    grid->addWidget(port_, 3, 1, 1, 2);
    lock("linkLock", current.linkFrom, 3);
    grid->addWidget(rigctldChoice_, 4, 0);
    grid->addWidget(rigctld_, 4, 1, 1, 2);
    grid->addWidget(linkReason_, 5, 1, 1, 3);
    auto* links = new QButtonGroup(this);
    links->addButton(serialPort_);
    links->addButton(rigctldChoice_);
    (current.rigctld ? rigctldChoice_ : serialPort_)->setChecked(true);
    const auto choose = [this, linkLocked = locked(current.linkFrom)] {
        serialPort_->setEnabled(!linkLocked);
        rigctldChoice_->setEnabled(!linkLocked);
        port_->setEnabled(!linkLocked && serialPort_->isChecked());
        rigctld_->setEnabled(!linkLocked && rigctldChoice_->isChecked());
    };
    connect(links, &QButtonGroup::idToggled, this, choose);
    choose();
    // The choice's key goes on to its field, selected to be typed over.
    connect(serialPort_, &QRadioButton::clicked, port_, [this] { port_->setFocus(Qt::ShortcutFocusReason); });
    connect(rigctldChoice_, &QRadioButton::clicked, rigctld_, [this] { rigctld_->setFocus(Qt::ShortcutFocusReason); });
    listPorts();
    const int listed = port_->findData(text(current.port));
    port_->setCurrentIndex(listed);
    if (listed < 0) {
        port_->setEditText(text(current.port));  // a pseudo-terminal, a link: not listed, still the port
    }
    auto* relist = new QTimer(this);
    connect(relist, &QTimer::timeout, this, &SetupDialog::listPorts);
    relist->start(kPortListPause);

    log_ = named(new QLineEdit(text(current.log), this), "log");
    log_->setPlaceholderText(QStringLiteral("none"));
    log_->setEnabled(!locked(current.logFrom));
    logReason_ = reason("logReason");
    grid->addWidget(label("&Log file:", log_), 6, 0);
    grid->addWidget(log_, 6, 1, 1, 2);
    lock("logLock", current.logFrom, 6);
    grid->addWidget(logReason_, 7, 1, 1, 3);

    auto* test = named(new QPushButton(QStringLiteral("&Test"), this), "test");
    testResult_ = named(new QLabel(this), "testResult");
    grid->addWidget(test, 8, 0);
    grid->addWidget(testResult_, 8, 1, 1, 3);
    connect(test, &QPushButton::clicked, this, &SetupDialog::test);

    // Enter anywhere is OK, never Browse or Test.
    browse->setAutoDefault(false);
    test->setAutoDefault(false);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setDefault(true);
    grid->addWidget(buttons, 9, 0, 1, 4);
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
    if (!applied.linkRefused.isEmpty()) {
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
    QString fileWhy, linkWhy, logWhy;
    if (!locked(current_.fileFrom)) {
        settings.file = file_->text().toStdString();
        settings.fileFrom = kByStore;
        fileWhy = settings.file.empty()         ? QStringLiteral("a file is needed")
                  : namesADevice(settings.file) ? QStringLiteral("names a device, not a file")
                                                : missingFolder(settings.file);
    }
    if (!locked(current_.linkFrom)) {
        settings.linkFrom = kByStore;
        settings.port.clear();
        settings.rigctld.reset();
        if (rigctldChoice_->isChecked()) {
            std::string why;
            settings.rigctld = RigctldAddress::parse(rigctld_->text().trimmed().toStdString(), why);
            linkWhy = text(why);
        } else {
            settings.port = chosenPort();
            linkWhy = settings.port.empty() ? QStringLiteral("a port is needed")
                      : PortList::exists(settings.port)
                          ? QString()
                          : QStringLiteral("%1: no such port").arg(readable(settings.port));
        }
    }
    if (!locked(current_.logFrom)) {
        settings.log = log_->text().toStdString();
        settings.logFrom = kByStore;
    }
    // A log set by an option is checked too: the file or the port may have changed under it.
    if (!settings.log.empty()) {
        logWhy = locked(current_.logFrom) ? QString() : missingFolder(settings.log);
        if (logWhy.isEmpty()) {
            logWhy =
                readable(refusedLog(settings.log, settings.file, settings.rigctld ? std::string() : settings.port));
        }
    }
    fileReason_->setText(fileWhy);
    linkReason_->setText(linkWhy);
    logReason_->setText(logWhy);
    if (!fileWhy.isEmpty() || !linkWhy.isEmpty() || !logWhy.isEmpty()) {
        return std::nullopt;
    }
    return settings;
}

std::string SetupDialog::chosenPort() const {
    // A listed port's text tells more than its name: the name is stored.
    const int listed = port_->findText(port_->currentText());
    const QString name = listed >= 0 ? port_->itemData(listed).toString() : port_->currentText().trimmed();
    return name.isEmpty() ? std::string() : portDevice(name.toStdString());
}

void SetupDialog::listPorts() {
    QStringList names;
    QStringList texts;
    for (const QSerialPortInfo& info : QSerialPortInfo::availablePorts()) {
        const QString stable = PortList::stableNameOf(info);
        names << (stable.isEmpty() ? PortList::nameOf(info) : stable);
        QStringList about;
        for (const QString& part : {info.description(), info.manufacturer(), info.serialNumber()}) {
            if (!part.isEmpty()) {
                about << part;
            }
        }
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
    qDeleteAll(findChildren<QTcpSocket*>(Qt::FindDirectChildrenOnly));  // an earlier test's answer is no longer asked
    if (rigctldChoice_->isChecked()) {
        std::string why;
        const auto address = RigctldAddress::parse(rigctld_->text().trimmed().toStdString(), why);
        if (address) {
            testRigctld(*address);
        } else {
            testResult_->setText(text(why));
        }
        return;
    }
    try {
        QtSerialControl control(chosenPort());
        control.setSettings(SerialLink::kLineSettings);
        control.setPortOpen(true);
        control.setPortOpen(false);
        testResult_->setText(QStringLiteral("opened"));
    } catch (const RelayFailure& failure) {
        testResult_->setText(readable(failure.what()));
    }
}

void SetupDialog::testRigctld(const RigctldAddress& address) {
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
