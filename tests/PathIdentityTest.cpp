#include "core/FileReader.h"
#include "core/PathIdentity.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

using namespace freqrelay;

namespace {

#ifdef _WIN32
constexpr bool kWindows = true;
#else
constexpr bool kWindows = false;
#endif

// A fresh folder, the working directory while it lives, holding
// ft1000file and the folder sub.
class Folder {
public:
    Folder() : top_(std::filesystem::temp_directory_path() / "freqrelay-path-identity") {
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
