#include "core/PathIdentity.h"
#include "core/Paths.h"

#include <gtest/gtest.h>

#ifndef _WIN32
#include "PseudoTerminal.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

using namespace freqrelay;

namespace {

#ifdef _WIN32
constexpr bool kWindows = true;
#else
constexpr bool kWindows = false;
#endif

// A fresh folder, the working directory while it lives, holding
// ft1000file and the folder sub. Its name carries the test's own: CTest runs
// these tests side by side.
class Folder {
public:
    Folder()
        : top_(std::filesystem::temp_directory_path() /
               (std::string("freqrelay-") + testing::UnitTest::GetInstance()->current_test_info()->name())) {
        std::filesystem::remove_all(top_);
        std::filesystem::create_directories(top_ / "sub");
        std::ofstream{top_ / "ft1000file"} << "14250000";
        std::filesystem::current_path(top_);
    }
    ~Folder() {
        std::filesystem::current_path(previous_);
        std::filesystem::remove_all(top_);
    }
    Folder(const Folder&) = delete;
    Folder& operator=(const Folder&) = delete;

    std::string path(const std::filesystem::path& name) const { return pathText(top_ / name); }

private:
    std::filesystem::path previous_ = std::filesystem::current_path();
    std::filesystem::path top_;
};

struct Case {
    const char* log;
    const char* frequencyFile;
    bool sameOnUnix;
    bool sameOnWindows;
};

void expectCases(std::initializer_list<Case> cases) {
    for (const Case& named : cases) {
        SCOPED_TRACE(std::string(named.log) + " and " + named.frequencyFile);
        EXPECT_EQ(pathsLeadToOneFile(named.log, named.frequencyFile),
                  kWindows ? named.sameOnWindows : named.sameOnUnix);
        EXPECT_EQ(pathsLeadToOneFile(named.frequencyFile, named.log),
                  kWindows ? named.sameOnWindows : named.sameOnUnix);
    }
}

}  // namespace

// Names that lead to one file, whether it exists or not, as each system
// names files: Windows without regard to case, also in its \\?\ and UNC
// forms, and with the dots and spaces at the end of a name that it drops.
TEST(PathIdentity, NamesLeadToOneFileAsTheSystemNamesFiles) {
    const Folder folder;
    const std::string full = folder.path("absent");
    const std::string fullUpper = folder.path("ABSENT");
    expectCases({
        Case{"ft1000file", "ft1000file", true, true},
        Case{"./sub/../ft1000file", "ft1000file", true, true},
        Case{"relay.log", "ft1000file", false, false},
        Case{"relay.log", "absent", false, false},
        Case{"sub/absent", "absent", false, false},
        Case{"absent", full.c_str(), true, true},
        Case{"FT1000FILE", "ft1000file", false, true},
        Case{"ABSENT", "absent", false, true},
        Case{"ABSENT. ", "absent", false, true},
        Case{"\u0141UKASZ", "\u0142ukasz", false, true},
        Case{("\\\\?\\" + fullUpper).c_str(), "absent", false, true},
        Case{("\\\\.\\" + fullUpper).c_str(), full.c_str(), false, true},
        Case{R"(\\?\UNC\server\share\logs\FT1000FILE)", R"(\\server\share\logs\ft1000file)", false, true},
        Case{R"(\\?\UNC\server\share\logs\relay.log)", R"(\\server\share\logs\ft1000file)", false, false},
        Case{R"(//server/share/logs/FT1000FILE)", R"(\\server\share\logs\ft1000file)", false, true},
    });
}

// Windows' devices, which a read would reach instead of a file, under every
// name Windows takes for them; on Unix each of these names a file.
TEST(PathIdentity, WindowsDeviceNamesAreKnownInEveryFormWindowsTakes) {
    struct Named {
        const char* path;
        bool deviceOnWindows;
    };
    for (const Named& named : {
             Named{"CON", true},
             Named{"nul", true},
             Named{"Prn", true},
             Named{"aUx", true},
             Named{"COM1", true},
             Named{"com9", true},
             Named{"LPT1", true},
             Named{"lpt9", true},
             Named{"COM\u00b9", true},
             Named{"NUL.txt", true},
             Named{"nul.tar.gz", true},
             Named{"nul .txt", true},
             Named{"CON.", true},
             Named{"COM1:", true},
             Named{"con:stream", true},
             Named{R"(C:\x\nul.txt)", true},
             Named{"C:/x/Com3", true},
             Named{"sub\\LPT2.log", true},
             Named{"C:aux", true},
             Named{R"(\\.\COM1)", true},
             Named{R"(\\.\com12)", true},
             Named{R"(\\.\NUL\ft1000file)", true},
             Named{R"(\\?\nul)", true},
             Named{R"(\??\CON)", true},
             Named{"//./lpt1", true},
             Named{"ft1000file", false},
             Named{"", false},
             Named{"NULL", false},
             Named{"console.txt", false},
             Named{"COM", false},
             Named{"COM0", false},
             Named{"COM10", false},
             Named{"LPT0", false},
             Named{"COMA", false},
             Named{"x.nul", false},
             Named{"nul\\ft1000file", false},
             Named{R"(C:\x\nul-file)", false},
             Named{R"(\\server\share\nul)", false},
             Named{R"(\\?\C:\x\nul.txt)", false},
             Named{R"(\\.\C:\ft1000file)", false},
             Named{R"(\\.\COM0)", false},
             Named{R"(\\.\NUL.txt)", false},
         }) {
        SCOPED_TRACE(named.path);
        EXPECT_EQ(namesADevice(named.path), kWindows && named.deviceOnWindows);
    }
}

#ifndef _WIN32
// A link leads where the system would take it: its target taken from the
// link's own folder, also a link to a link, and one whose target does not
// exist yet (which opening the log would create); ".." after a link leaves
// the folder the link leads to. A loop of links leads nowhere, at once.
TEST(PathIdentity, LinksAreFollowedAsTheSystemFollowsThemAlsoToNoFileYet) {
    const Folder folder;
    std::filesystem::create_hard_link("ft1000file", "hard");
    std::filesystem::create_symlink("absent", "dangling");
    std::filesystem::create_symlink("dangling", "twice");
    std::filesystem::create_symlink("../absent", "sub/up");
    std::filesystem::create_symlink("absent", "sub/here");
    std::filesystem::create_symlink(folder.path("absent"), "absolute");
    std::filesystem::create_directories("sub/deeper");
    std::filesystem::create_symlink("sub/deeper", "deep");
    std::filesystem::create_symlink("loop2", "loop1");
    std::filesystem::create_symlink("loop1", "loop2");
    std::filesystem::create_symlink("w.log", "fl");
    expectCases({
        Case{"hard", "ft1000file", true, true},
        Case{"dangling", "absent", true, true},
        Case{"twice", "absent", true, true},
        Case{"sub/up", "absent", true, true},
        Case{"sub/here", "absent", false, false},
        Case{"sub/here", "sub/absent", true, true},
        Case{"absolute", "absent", true, true},
        Case{"deep/../absent", "absent", false, false},
        Case{"deep/../absent", "sub/absent", true, true},
        Case{"loop1", "absent", false, false},
        Case{"w.log", "fl", true, true},
    });
    EXPECT_FALSE(std::filesystem::exists("absent"));
}
#endif

namespace {

struct LogCase {
    std::string log;
    std::string port1;  // "" when relaying to rigctld
    const char* reason;
};

void expectLogCases(const std::vector<LogCase>& cases) {
    for (const LogCase& named : cases) {
        SCOPED_TRACE(named.log + " with port 1 at " + named.port1);
        EXPECT_EQ(serialLineAt(named.log, named.port1), named.reason);
    }
}

}  // namespace

#ifdef _WIN32
// Every spelling of a COM port is that port, port 1 or another; names that
// only look like one are files. Nothing here opens a port.
TEST(PathIdentity, ALogOnAComPortIsRefusedInEverySpelling) {
    const Folder folder;
    expectLogCases({
        LogCase{"COM1", "COM1", kLogIsPort1},
        LogCase{"com1", "COM1", kLogIsPort1},
        LogCase{"COM1:", "COM1", kLogIsPort1},
        LogCase{R"(\\.\COM1)", "COM1", kLogIsPort1},
        LogCase{R"(\\.\com1)", "COM1", kLogIsPort1},
        LogCase{R"(\\?\COM1)", "COM1", kLogIsPort1},
        LogCase{"Com3", R"(\\.\COM3)", kLogIsPort1},
        LogCase{"COM2", "COM1", kLogIsASerialPort},
        LogCase{"com2:", "COM1", kLogIsASerialPort},
        LogCase{R"(\\.\COM12)", "COM1", kLogIsASerialPort},
        LogCase{"com1", "", kLogIsASerialPort},
        LogCase{"relay.log", "COM1", ""},
        LogCase{"COM", "COM1", ""},
        LogCase{"COMX", "COM1", ""},
        LogCase{"company.log", "COM1", ""},
        LogCase{folder.path("relay.log"), "", ""},
    });
    for (const char* port : {"COM1", "com1", "COM1:", R"(\\.\COM1)", R"(\\?\com1)"}) {
        EXPECT_EQ(deviceIdentity(port), "COM1") << port;
    }
}
#else
// A log on port 1's device is refused whatever name or link leads to it, and
// one on any other serial port (a pseudo-terminal stands in for both) too;
// files, FIFOs, /dev/null and the relay's own terminal stay allowed.
TEST(PathIdentity, ALogOnASerialPortIsRefusedWhateverLeadsToIt) {
    const Folder folder;
    const PseudoTerminal radio;
    const PseudoTerminal other;
    const PseudoTerminal terminal;
    std::filesystem::create_symlink(radio.slavePath(), "radio");
    std::filesystem::create_symlink("radio", "twice");
    std::filesystem::create_symlink(other.slavePath(), "other");
    std::filesystem::create_symlink("/dev/null", "nothing");
    ASSERT_EQ(::mkfifo("relay.fifo", 0600), 0);
    // Standard error on a terminal, as when the relay is started from one.
    const int standardError = ::dup(STDERR_FILENO);
    const int onTerminal = ::open(terminal.slavePath().c_str(), O_WRONLY | O_NOCTTY);
    ASSERT_GE(onTerminal, 0);
    ::dup2(onTerminal, STDERR_FILENO);
    ::close(onTerminal);
    const std::string pts = radio.slavePath().substr(radio.slavePath().rfind('/') + 1);
    std::vector<LogCase> cases{
        LogCase{radio.slavePath(), radio.slavePath(), kLogIsPort1},
        LogCase{"radio", radio.slavePath(), kLogIsPort1},
        LogCase{"twice", radio.slavePath(), kLogIsPort1},
        LogCase{radio.slavePath(), folder.path("twice"), kLogIsPort1},
        LogCase{"/dev/pts/../pts/" + pts, radio.slavePath(), kLogIsPort1},
        LogCase{other.slavePath(), radio.slavePath(), kLogIsASerialPort},
        LogCase{"other", radio.slavePath(), kLogIsASerialPort},
        LogCase{"radio", "", kLogIsASerialPort},
        LogCase{terminal.slavePath(), radio.slavePath(), ""},
        LogCase{"/dev/stderr", radio.slavePath(), ""},
        LogCase{"/dev/null", radio.slavePath(), ""},
        LogCase{"nothing", radio.slavePath(), ""},
        LogCase{"relay.fifo", radio.slavePath(), ""},
        LogCase{"ft1000file", radio.slavePath(), ""},
        LogCase{"absent", "", ""},
    };
    // Another node for the same device, as a container's /dev has; only
    // root may make one.
    if (struct stat device{};
        ::stat(radio.slavePath().c_str(), &device) == 0 && ::mknod("node", S_IFCHR | 0600, device.st_rdev) == 0) {
        cases.push_back(LogCase{"node", radio.slavePath(), kLogIsPort1});
    }
    // A real serial port is only looked at by its name here, never opened.
    if (struct stat named{}; ::stat("/sys/class/tty/ttyS0/device", &named) == 0 && ::stat("/dev/ttyS0", &named) == 0) {
        cases.push_back(LogCase{"/dev/ttyS0", radio.slavePath(), kLogIsASerialPort});
    }
    expectLogCases(cases);
    EXPECT_EQ(deviceIdentity("twice"), radio.slavePath());
    ::dup2(standardError, STDERR_FILENO);
    ::close(standardError);
}
#endif
