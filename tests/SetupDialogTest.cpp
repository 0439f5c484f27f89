#include "FakeRigctld.h"
#include "PseudoTerminal.h"
#include "core/Paths.h"
#include "system/LogFile.h"
#include "ui/SetupDialog.h"

#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <vector>

using namespace freqrelay;

// Failures show a text as text.
void PrintTo(const QString& text, std::ostream* out) { *out << testing::PrintToString(text.toStdString()); }

namespace {

// A device name no system has.
const QString kNoSuchPort = QStringLiteral("/dev/freqrelay-no-such-port");

// The dialog, open and active as the operator sees it, over settings whose
// file is in a folder of the test's own and whose port is a pseudo-terminal.
// It records what it was told to apply and answers `answer`.
class DialogRig {
public:
    explicit DialogRig(const std::function<void(Settings&)>& change = {}) {
        current.file = folder.filePath(QStringLiteral("ft1000file")).toStdString();
        current.port = pty.slavePath();
        if (change) {
            change(current);
        }
        dialog = std::make_unique<SetupDialog>(current, [this](const Settings& chosen) {
            applied.push_back(chosen);
            return answer;
        });
        dialog->show();
        dialog->activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(dialog.get()));
    }

    template <typename Widget = QWidget>
    Widget* find(const char* name) const {
        auto* widget = dialog->findChild<Widget*>(QLatin1String(name));
        EXPECT_NE(widget, nullptr) << name;
        return widget;
    }
    QString text(const char* label) const { return find<QLabel>(label)->text(); }
    // Keys as the operator presses them, to whatever has the focus.
    QWidget* focus() const { return QApplication::focusWidget() ? QApplication::focusWidget() : dialog.get(); }
    void press(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) const {
        QTest::keyClick(focus(), key, modifiers);
    }
    void type(const QString& text) const { QTest::keyClicks(focus(), text); }
    // A choice's key, which goes on to its field once the button is clicked.
    bool goTo(Qt::Key key, const char* field) const {
        press(key, Qt::AltModifier);
        return QTest::qWaitFor([&] { return QApplication::focusWidget() == find(field); }, 5000);
    }
    // Waits for a Test's result.
    QString testResult() const {
        EXPECT_TRUE(QTest::qWaitFor(
            [&] {
                const QString shown = text("testResult");
                return !shown.isEmpty() && !shown.startsWith(QLatin1String("asking"));
            },
            10000));
        return text("testResult");
    }

    QTemporaryDir folder;
    PseudoTerminal pty;
    Settings current;
    Applied answer;
    std::vector<Settings> applied;
    std::unique_ptr<SetupDialog> dialog;
};

std::string path(const QString& text) { return text.toStdString(); }

}  // namespace

TEST(SetupDialog, TheKeysOfTheFieldsGoToThem) {
    const struct {
        Qt::Key key;
        const char* field;
    } cases[] = {{Qt::Key_F, "file"}, {Qt::Key_L, "log"}, {Qt::Key_R, "rigctld"}, {Qt::Key_P, "port"}};
    DialogRig rig;
    EXPECT_TRUE(rig.dialog->windowTitle().contains(QLatin1String("Setup")));
    for (const auto& each : cases) {
        SCOPED_TRACE(each.field);
        EXPECT_TRUE(rig.goTo(each.key, each.field));
    }
}

TEST(SetupDialog, ChoosingAPortByTheKeyboardAppliesItOnEnter) {
    DialogRig rig([](Settings& current) {
        current.port = path(kNoSuchPort);  // typed over
        current.rigctld = RigctldAddress{};
        current.linkFrom = kByStore;
    });
    ASSERT_TRUE(rig.goTo(Qt::Key_P, "port"));
    EXPECT_FALSE(rig.find("rigctld")->isEnabled());
    rig.type(QString::fromStdString(rig.pty.slavePath()));
    rig.press(Qt::Key_Return);
    ASSERT_EQ(rig.applied.size(), 1u);
    EXPECT_EQ(rig.applied[0].port, rig.pty.slavePath());
    EXPECT_FALSE(rig.applied[0].rigctld);
    EXPECT_EQ(rig.applied[0].linkFrom, kByStore);
    // Left as it was: not stored.
    EXPECT_EQ(rig.applied[0].fileFrom, rig.current.fileFrom);
    EXPECT_EQ(rig.applied[0].file, rig.current.file);
    EXPECT_EQ(rig.dialog->result(), QDialog::Accepted);
    EXPECT_FALSE(rig.dialog->isVisible());
}

TEST(SetupDialog, ChoosingRigctldByTheKeyboardAppliesItOnEnter) {
    DialogRig rig;
    ASSERT_TRUE(rig.goTo(Qt::Key_R, "rigctld"));
    EXPECT_FALSE(rig.find("port")->isEnabled());
    rig.type(QStringLiteral(":4599"));
    rig.press(Qt::Key_Return);
    ASSERT_EQ(rig.applied.size(), 1u);
    ASSERT_TRUE(rig.applied[0].rigctld);
    EXPECT_EQ(rig.applied[0].rigctld->text(), "127.0.0.1:4599");
    EXPECT_EQ(rig.applied[0].port, "");
    EXPECT_EQ(rig.applied[0].linkFrom, kByStore);
    EXPECT_EQ(rig.dialog->result(), QDialog::Accepted);
}

TEST(SetupDialog, EscapeAppliesNothing) {
    DialogRig rig;
    ASSERT_TRUE(rig.goTo(Qt::Key_R, "rigctld"));
    rig.type(QStringLiteral(":4599"));
    rig.press(Qt::Key_Escape);
    EXPECT_TRUE(rig.applied.empty());
    EXPECT_EQ(rig.dialog->result(), QDialog::Rejected);
    EXPECT_FALSE(rig.dialog->isVisible());
}

// A part an option or a variable set is shown, cannot be changed, and is
// applied as it was, with where it came from; it is not checked again.
TEST(SetupDialog, APartSetByAnOptionOrAVariableStaysAsItWas) {
    const struct {
        const char* from;
        std::string Settings::*part;
        std::string Settings::*value;
        std::string given;
        std::vector<const char*> disabled;
        const char* lock;
    } cases[] = {
        {"--port",
         &Settings::linkFrom,
         &Settings::port,
         path(kNoSuchPort),
         {"serialPort", "rigctldChoice", "port", "rigctld"},
         "linkLock"},
        {"FREQRELAY_PORT1",
         &Settings::linkFrom,
         &Settings::port,
         "/dev/freqrelay-other-port",
         {"serialPort", "rigctldChoice", "port", "rigctld"},
         "linkLock"},
        {"--file",
         &Settings::fileFrom,
         &Settings::file,
         "/no/such/folder/ft1000file",
         {"file", "browseFile"},
         "fileLock"},
        {"--log", &Settings::logFrom, &Settings::log, "/no/such/folder/log", {"log"}, "logLock"},
    };
    for (const auto& each : cases) {
        SCOPED_TRACE(each.from);
        DialogRig rig([&](Settings& current) {
            current.*each.part = each.from;
            current.*each.value = each.given;
        });
        for (const char* field : each.disabled) {
            EXPECT_FALSE(rig.find(field)->isEnabled()) << field;
        }
        for (const char* lock : {"fileLock", "linkLock", "logLock"}) {
            EXPECT_EQ(rig.text(lock),
                      lock == std::string(each.lock) ? QStringLiteral("set by %1").arg(each.from) : QString());
        }
        rig.press(Qt::Key_Return);
        EXPECT_EQ(rig.applied.size(), 1u);
        if (rig.applied.size() != 1) {
            continue;
        }
        EXPECT_EQ(rig.applied[0].*each.part, each.from);
        EXPECT_EQ(rig.applied[0].*each.value, each.given);
        for (const auto from : {&Settings::fileFrom, &Settings::linkFrom, &Settings::logFrom}) {
            EXPECT_EQ(rig.applied[0].*from, from == each.part ? each.from : rig.current.*from);
        }
    }
}

// Nothing is applied while a field is refused; the reason is beside it.
TEST(SetupDialog, ARefusedValueIsToldBesideItsFieldAndNothingIsApplied) {
    const auto setText = [](DialogRig& rig, const char* field, const QString& text) {
        rig.find<QLineEdit>(field)->setText(text);
    };
    const auto setPort = [](DialogRig& rig, const QString& text) {
        rig.find<QComboBox>("port")->setEditText(text);
    };
    const struct {
        const char* name;
        std::function<QString(DialogRig&)> enter;  // the expected reason
        const char* reason;
        std::function<void(Settings&)> before = {};
    } cases[] = {
        {"a port that does not exist",
         [&](DialogRig& rig) {
             setPort(rig, kNoSuchPort);
             return kNoSuchPort + QStringLiteral(": no such port");
         },
         "linkReason"},
        {"a bare name of a port that does not exist",
         [&](DialogRig& rig) {
             setPort(rig, QStringLiteral("freqrelay-no-such-port"));
             return kNoSuchPort + QStringLiteral(": no such port");
         },
         "linkReason"},
        {"no port",
         [&](DialogRig& rig) {
             setPort(rig, {});
             return QStringLiteral("a port is needed");
         },
         "linkReason"},
        {"an address that cannot be read",
         [&](DialogRig& rig) {
             rig.find<QRadioButton>("rigctldChoice")->click();
             setText(rig, "rigctld", QStringLiteral("[::1"));
             std::string why;
             RigctldAddress::parse("[::1", why);
             return QString::fromStdString(why);
         },
         "linkReason"},
        {"no file",
         [&](DialogRig& rig) {
             setText(rig, "file", {});
             return QStringLiteral("a file is needed");
         },
         "fileReason"},
        {"a file in a folder that does not exist",
         [&](DialogRig& rig) {
             setText(rig, "file", rig.folder.filePath(QStringLiteral("missing/ft1000file")));
             return QStringLiteral("the folder %1 does not exist").arg(rig.folder.filePath(QStringLiteral("missing")));
         },
         "fileReason"},
        {"a log in a folder that does not exist",
         [&](DialogRig& rig) {
             setText(rig, "log", rig.folder.filePath(QStringLiteral("missing/log")));
             return QStringLiteral("the folder %1 does not exist").arg(rig.folder.filePath(QStringLiteral("missing")));
         },
         "logReason"},
        {"a log on the frequency file",
         [&](DialogRig& rig) {
             setText(rig, "log", QString::fromStdString(rig.current.file));
             return QString::fromLatin1(refusedLog(rig.current.file, rig.current.file, {}));
         },
         "logReason"},
        {"a log on port 1",
         [&](DialogRig& rig) {
             setText(rig, "log", QString::fromStdString(rig.pty.slavePath()));
             return QString::fromLatin1(kLogIsPort1);
         },
         "logReason"},
        {"the frequency file moved onto the log an option set",
         [&](DialogRig& rig) {
             setText(rig, "file", QString::fromStdString(rig.current.log));
             return QString::fromLatin1(refusedLog(rig.current.log, rig.current.log, {}));
         },
         "logReason",
         [](Settings& current) {
             current.log = current.file + ".log";
             current.logFrom = "--log";
         }},
    };
    for (const auto& each : cases) {
        SCOPED_TRACE(each.name);
        DialogRig rig(each.before);
        const QString expected = each.enter(rig);
        rig.press(Qt::Key_Return);
        EXPECT_TRUE(rig.applied.empty());
        EXPECT_TRUE(rig.dialog->isVisible());
        for (const char* reason : {"fileReason", "linkReason", "logReason"}) {
            EXPECT_EQ(rig.text(reason), reason == std::string(each.reason) ? expected : QString()) << reason;
        }
    }
}

// What the applying refuses (another relay's link, a log it cannot open) is
// told beside its field, and the dialog stays open to choose again.
TEST(SetupDialog, WhatTheApplyingRefusesIsToldBesideItsFieldAndTheDialogStaysOpen) {
    const struct {
        QString Applied::*refused;
        const char* reason;
    } cases[] = {{&Applied::linkRefused, "linkReason"}, {&Applied::logRefused, "logReason"}};
    for (const auto& each : cases) {
        SCOPED_TRACE(each.reason);
        DialogRig rig;
        rig.answer.*each.refused = QStringLiteral("refused as the applying tells");
        rig.press(Qt::Key_Return);
        EXPECT_EQ(rig.applied.size(), 1u);
        for (const char* reason : {"fileReason", "linkReason", "logReason"}) {
            EXPECT_EQ(rig.text(reason), reason == std::string(each.reason) ? rig.answer.*each.refused : QString())
                << reason;
        }
        EXPECT_TRUE(rig.dialog->isVisible());
    }
}

TEST(SetupDialog, SettingsThatCouldNotBeStoredAreToldBeforeTheDialogCloses) {
    DialogRig rig;
    rig.answer.notStored = QStringLiteral("cannot write /nowhere/freqrelay.conf");
    QString told;
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, [&] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            told = box->text();
            box->accept();
        }
    });
    watch.start(20);
    rig.press(Qt::Key_Return);
    EXPECT_TRUE(told.contains(rig.answer.notStored)) << told.toStdString();
    EXPECT_EQ(rig.applied.size(), 1u);
    EXPECT_EQ(rig.dialog->result(), QDialog::Accepted);
}

// The port list is read again while the dialog is open, and what the
// operator typed stays; the current port shows though it is not listed.
TEST(SetupDialog, TheTypedPortOutlastsTheListingOfPorts) {
    DialogRig rig;
    auto* port = rig.find<QComboBox>("port");
    EXPECT_EQ(port->currentText(), QString::fromStdString(rig.pty.slavePath()));
    port->addItem(QStringLiteral("/dev/freqrelay-unplugged"), QStringLiteral("/dev/freqrelay-unplugged"));
    port->setEditText(QStringLiteral("/dev/pts/typed"));
    EXPECT_TRUE(QTest::qWaitFor([&] { return port->findText(QStringLiteral("/dev/freqrelay-unplugged")) < 0; }, 5000));
    EXPECT_EQ(port->currentText(), QStringLiteral("/dev/pts/typed"));
}

TEST(SetupDialog, TheFullPathFollowsTheFile) {
    DialogRig rig;
    ASSERT_TRUE(rig.goTo(Qt::Key_F, "file"));
    rig.press(Qt::Key_A, Qt::ControlModifier);
    rig.type(QStringLiteral("sub/ft"));
    EXPECT_EQ(rig.text("fullPath"), QString::fromStdString(absolutePath("sub/ft")));
}

TEST(SetupDialog, TestOpensThePortOrAsksRigctldForTheFrequency) {
    FakeRigctld server;
    server.frequency = 7050000;
    const quint16 listening = server.listen();
    FakeRigctld silent;
    silent.answer = FakeRigctld::Answer::Nothing;
    const quint16 silentPort = silent.listen();
    FakeRigctld closed;
    const quint16 closedPort = closed.listen();
    closed.server.close();
    const auto rigctld = [](quint16 port) {
        return [port](DialogRig& rig) {
            rig.find<QRadioButton>("rigctldChoice")->click();
            rig.find<QLineEdit>("rigctld")->setText(QStringLiteral(":%1").arg(port));
        };
    };
    const struct {
        const char* name;
        std::function<void(DialogRig&)> choose;
        QString shown;  // in the result
    } cases[] = {
        {"a pseudo-terminal", [](DialogRig&) {}, QStringLiteral("opened")},
        {"a port that does not exist", [](DialogRig& rig) { rig.find<QComboBox>("port")->setEditText(kNoSuchPort); },
         kNoSuchPort},
        {"a file, which is no port",
         [](DialogRig& rig) {
             QFile file(QString::fromStdString(rig.current.file));
             file.open(QIODevice::WriteOnly);
             rig.find<QComboBox>("port")->setEditText(file.fileName());
         },
         QStringLiteral("not a serial port")},
        {"rigctld", rigctld(listening),
         QStringLiteral("rigctld 127.0.0.1:%1: the radio holds 7050000 Hz").arg(listening)},
        {"rigctld silent", rigctld(silentPort), QStringLiteral("no answer within 3000 ms")},
        {"rigctld not listening", rigctld(closedPort), QStringLiteral("refused")},
    };
    for (const auto& each : cases) {
        SCOPED_TRACE(each.name);
        DialogRig rig;
        each.choose(rig);
        rig.find<QPushButton>("test")->click();
        EXPECT_TRUE(rig.testResult().contains(each.shown)) << rig.testResult().toStdString();
        EXPECT_TRUE(rig.applied.empty());
        EXPECT_TRUE(rig.dialog->isVisible());
    }
}

// The file and the log are stored as the full paths the dialog shows: a
// relative name would be read against another working directory at the
// next start (a desktop launch starts in the home folder).
TEST(SetupDialog, ATypedRelativeFileOrLogIsAppliedAsTheFullPathShown) {
    DialogRig rig;
    rig.find<QLineEdit>("file")->setText(QStringLiteral("myfreq"));
    rig.find<QLineEdit>("log")->setText(QStringLiteral("relay.log"));
    rig.press(Qt::Key_Return);
    ASSERT_EQ(rig.applied.size(), 1u);
    EXPECT_EQ(rig.applied[0].file, absolutePath("myfreq"));
    EXPECT_EQ(rig.applied[0].log, absolutePath("relay.log"));
}

// An adapter named by the store and unplugged now: the operator may still
// change the file or the log without choosing another port.
TEST(SetupDialog, AnUnchangedPortThatIsAbsentNowDoesNotHoldUpTheOtherChoices) {
    DialogRig rig([](Settings& current) {
        current.port = path(kNoSuchPort);
        current.linkFrom = kByStore;
    });
    rig.find<QLineEdit>("log")->setText(rig.folder.filePath(QStringLiteral("relay.log")));
    rig.press(Qt::Key_Return);
    EXPECT_EQ(rig.text("linkReason").toStdString(), "");
    ASSERT_EQ(rig.applied.size(), 1u);
    EXPECT_EQ(rig.applied[0].port, path(kNoSuchPort));
}
