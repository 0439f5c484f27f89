#include "LogLines.h"
#include "RelayRig.h"
#include "core/Encoder.h"

#include <QProcess>

#include <gtest/gtest.h>

#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>
#include <filesystem>
#include <functional>
#include <thread>

// The real program's log on standard error.

using namespace std::chrono_literals;
using freqrelay::hexBytes;

// A port that cannot be opened is told once, names the device and the
// system's reason, and is not told again at every retry, nor when the reason
// changes back and forth (an adapter coming and going); once it opens, the
// command's line and the clearing follow.
TEST(RelayLog, APortFailureIsToldOnceThenItsClearingAndTheCommand) {
    struct Case {
        const char* name;
        const char* reason;
        std::chrono::milliseconds quietFor;
    };
    for (const Case& scenario :
         {Case{"absent, then coming and going", "No such file or directory", 5s},
          Case{"busy", "in use by another program", 1500ms}, Case{"refused", "Permission denied", 1500ms}}) {
        SCOPED_TRACE(scenario.name);
        PseudoTerminal pty;
        RelayRig rig;
        rig.writeFile("14250000");
        std::string device = pty.slavePath();
        std::function<void()> makeAvailable;
        QProcess holder;
        QProcess program;
        QString starter = FREQRELAY_PROGRAM;
        std::function<void()> duringQuiet;
        if (std::string(scenario.name).starts_with("absent")) {
            device = (rig.folder() / "radio").string();
            // Missing, then a device that is no serial port, and so on.
            duringQuiet = [&] {
                for (auto until = std::chrono::steady_clock::now() + scenario.quietFor;
                     std::chrono::steady_clock::now() < until;) {
                    std::filesystem::create_symlink("/dev/null", device);
                    std::this_thread::sleep_for(100ms);
                    std::filesystem::remove(device);
                    std::this_thread::sleep_for(100ms);
                }
            };
            makeAvailable = [&] {
                std::filesystem::create_symlink(pty.slavePath(), device);
            };
        } else if (std::string(scenario.name) == "busy") {
            ASSERT_TRUE(startPortHolder(holder, device));
            makeAvailable = [&] {
                holder.closeWriteChannel();
                holder.waitForFinished(2000);
            };
        } else {
            // Refused by its mode: root is never refused, so the relay runs
            // as nobody then.
            ::chmod(device.c_str(), 0);
            if (::geteuid() == 0) {
                ::chmod(rig.folder().c_str(), 0755);
                // nobody may not reach the build (a clone in root's own
                // home), so it runs a copy of the program from here.
                const auto copy = rig.folder() / "freqrelay";
                std::filesystem::copy_file(FREQRELAY_PROGRAM, copy);
                starter = QString::fromStdString(copy.string());
                program.setChildProcessModifier([] {
                    const gid_t nobody = 65534;
                    if (::setgroups(1, &nobody) != 0 || ::setgid(nobody) != 0 || ::setuid(nobody) != 0) {
                        ::_exit(99);
                    }
                });
            }
            makeAvailable = [&] {
                ::chmod(device.c_str(), 0666);
            };
        }
        startRelayProgram(program, rig.folder(), device, {}, starter);
        LogLines log(program);
        ASSERT_TRUE(log.waitFor({QString::fromStdString(device), scenario.reason, "trying again every 250 ms"}, 1s))
            << log.all().toStdString();
        const auto told = log.now().size();
        if (duringQuiet) {
            duringQuiet();
        } else {
            std::this_thread::sleep_for(scenario.quietFor);
        }
        EXPECT_EQ(log.now().size(), told) << log.all().toStdString();

        makeAvailable();
        EXPECT_EQ(hexBytes(pty.read(5, 1s)), "00 50 42 01 0A");
        EXPECT_TRUE(log.waitFor({"sent 00 50 42 01 0A (Out 1425000)", QString::fromStdString(device)}, 1s))
            << log.all().toStdString();
        EXPECT_TRUE(log.waitFor({"works again", "tries"}, 1s)) << log.all().toStdString();
        program.terminate();
        EXPECT_TRUE(program.waitForFinished(5000));
        EXPECT_EQ(program.exitCode(), 0);
    }
}
