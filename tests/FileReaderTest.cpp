#include "core/Episodes.h"
#include "core/FileReader.h"
#include "core/Paths.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <new>
#include <utility>

#ifdef __linux__
#include <fcntl.h>
#include <stdlib.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

using namespace freqrelay;

namespace {

// A file of `size` bytes in the test's temporary folder, sparse where the
// file system allows it.
std::filesystem::path sizedFile(const char* name, std::uintmax_t size) {
    const auto path = std::filesystem::temp_directory_path() / name;
    std::ofstream{path, std::ios::binary} << "7050000";
    std::filesystem::resize_file(path, size);
    return path;
}

std::string openingFailure(const std::string& path) {
    FileReader reader(path);
    try {
        reader.readWhole();
    } catch (const StepFailure& failure) {
        EXPECT_EQ(failure.step, "opening the file");
        return failure.reason;
    }
    return "";
}

// Allocations of at least this many bytes fail while it is not 0, as they
// would on a machine short of memory.
std::atomic<std::size_t> failAllocationsFrom{0};

// While set, the first allocation of a file's worth at the bound (the
// reader's, made once it has opened the file) adds a byte to this file, as
// a writer may while the file is read.
const char* growWhileRead = nullptr;

}  // namespace

// This file's new and delete are a pair over malloc and free, which GCC
// cannot see from the call sites it inlines them into.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
#endif

void* operator new(std::size_t size) {
    if (growWhileRead != nullptr && size >= kMaxFileSize) {
        std::ofstream(std::exchange(growWhileRead, nullptr), std::ios::binary | std::ios::app) << '0';
    }
    const std::size_t from = failAllocationsFrom.load();
    void* memory = from != 0 && size >= from ? nullptr : std::malloc(size == 0 ? 1 : size);
    if (memory == nullptr) {
        throw std::bad_alloc();
    }
    return memory;
}

void operator delete(void* memory) noexcept { std::free(memory); }

void operator delete(void* memory, std::size_t) noexcept { std::free(memory); }

TEST(FileReader, RunningOutOfMemoryIsAFailedReadThatNamesTheFileAndTheNextReadStartsAfresh) {
    const auto path = sizedFile("freqrelay-out-of-memory", 1 << 20);
    FileReader reader(path.string());
    failAllocationsFrom = 1 << 19;
    try {
        reader.readWhole();
        ADD_FAILURE() << "read a file without the memory for it";
    } catch (const StepFailure& failure) {
        EXPECT_EQ(failure.step, FileReader::kReading);
        EXPECT_EQ(failure.reason, path.string() + ": out of memory");
    }
    failAllocationsFrom = 0;
    // The failed read let the file go: this one opens it again.
    EXPECT_EQ(reader.readWhole().substr(0, 7), "7050000");
    std::filesystem::remove(path);
}

TEST(FileReader, AFileOverTheBoundIsTurnedAwayAtOpeningAndOneAtItIsRead) {
    const auto over = sizedFile("freqrelay-over-bound", kMaxFileSize + 1);
    EXPECT_EQ(openingFailure(over.string()), over.string() + ": file too large: 67108865 bytes");
    std::filesystem::remove(over);

    const auto at = sizedFile("freqrelay-at-bound", kMaxFileSize);
    const std::string text = FileReader(at.string()).readWhole();
    EXPECT_EQ(text.size(), kMaxFileSize);
    EXPECT_EQ(text.substr(0, 7), "7050000");

    // Grown past the bound while it is read.
    const std::string atPath = at.string();
    growWhileRead = atPath.c_str();
    try {
        FileReader(at.string()).readWhole();
        ADD_FAILURE() << "read past the bound";
    } catch (const StepFailure& failure) {
        EXPECT_EQ(failure.step, FileReader::kReading);
        EXPECT_EQ(failure.reason, at.string() + ": file too large: 67108865 bytes");
    }
    EXPECT_EQ(growWhileRead, nullptr) << "the file did not grow";
    std::filesystem::remove(at);
}

// A file over kAlwaysReadSize is known unchanged while its stamp is: the
// same file, of the same size, last written at the same time. A file at that
// size is never known unchanged, nor one whose last read failed.
TEST(FileReader, ALargeFileIsKnownUnchangedByItsStampAndOneUpToTheBoundNever) {
    const auto path = std::filesystem::temp_directory_path() / "freqrelay-stamp";
    const auto other = std::filesystem::temp_directory_path() / "freqrelay-stamp-other";
    const auto written = std::filesystem::file_time_type::clock::now() - std::chrono::hours(1);
    const auto make = [&](const std::filesystem::path& file, std::size_t size) {
        std::ofstream{file, std::ios::binary} << std::string(size, '7');
        std::filesystem::last_write_time(file, written);
    };
    constexpr std::size_t large = kAlwaysReadSize + 1;
    const struct {
        const char* name;
        std::size_t size;
        std::function<void()> change;
        bool unchanged;
    } cases[] = {
        {"left alone", large, [] {}, true},
        {"at the bound", kAlwaysReadSize, [] {}, false},
        // What only the watch can see.
        {"rewritten, its time put back", large, [&] { make(path, large); }, true},
        {"another file put at its name", large,
         [&] {
             make(other, large);
             std::filesystem::rename(other, path);
         },
         false},
        {"grown, its time put back", large,
         [&] {
             std::filesystem::resize_file(path, large + 1);
             std::filesystem::last_write_time(path, written);
         },
         false},
        {"written", large, [&] { std::filesystem::last_write_time(path, written + std::chrono::seconds(1)); }, false},
        {"gone", large, [&] { std::filesystem::remove(path); }, false},
    };
    for (const auto& [name, size, change, unchanged] : cases) {
        SCOPED_TRACE(name);
        make(path, size);
        FileReader reader(path.string());
        EXPECT_FALSE(reader.unchangedSinceRead());
        EXPECT_EQ(reader.readWhole().size(), size);
        change();
        EXPECT_EQ(reader.unchangedSinceRead(), unchanged);
    }
    // A read that fails forgets the last one.
    make(path, large);
    FileReader reader(path.string());
    reader.readWhole();
    std::filesystem::resize_file(path, kMaxFileSize + 1);
    EXPECT_THROW(reader.readWhole(), StepFailure);
    std::filesystem::resize_file(path, large);
    std::filesystem::last_write_time(path, written);
    EXPECT_FALSE(reader.unchangedSinceRead());
    std::filesystem::remove(path);
}

// A folder is no regular file on every system (Windows would say only that
// access is denied).
TEST(FileReader, AMissingFileOrAFolderNamesItselfInTheFailure) {
    const auto missing = std::filesystem::temp_directory_path() / "freqrelay-no-such-file";
    EXPECT_EQ(openingFailure(missing.string()), missing.string() + ": No such file or directory");
    const auto folder = std::filesystem::temp_directory_path() / "freqrelay-a-folder";
    std::filesystem::create_directories(folder);
    EXPECT_EQ(openingFailure(folder.string()), folder.string() + ": not a regular file");
    std::filesystem::remove(folder);
}

// Windows keeps names in UTF-16: a name in UTF-8 must reach the system whole,
// not through the ANSI code page, which turns Ł into L and 日 into ?.
TEST(FileReader, AFolderNamedBeyondAsciiIsReadAndNotItsLookAlike) {
    const auto top = std::filesystem::temp_directory_path() / "freqrelay-names";
    const struct {
        const char8_t* folder;
        const char* text;
    } folders[] = {{u8"Lukasz", "3500000"}, {u8"Łukasz", "7050000"}, {u8"日本語", "14250000"}};
    for (const auto& [folder, text] : folders) {
        std::filesystem::create_directories(top / folder);
        std::ofstream{top / folder / "ft1000file", std::ios::binary} << text;
    }
    for (const auto& [folder, text] : folders) {
        const std::string path = pathText(top / folder / "ft1000file");
        FileReader reader(path);
        EXPECT_EQ(reader.readWhole(), text) << path;
        EXPECT_EQ(reader.name(), path);
        EXPECT_EQ(openingFailure(pathText(top / folder / "missing")),
                  pathText(top / folder / "missing") + ": No such file or directory");
    }
    std::filesystem::remove_all(top);
}

#ifdef _WIN32
// A share's path and the system's long form are absolute as they are: named
// as given, not as folders of the current drive (C:\server\share\…).
TEST(FileReader, ASharesPathAndTheLongFormAreNamedAsGivenAndARelativeOneInTheWorkingFolder) {
    for (const std::string path : {R"(\\server\share\ft1000file)", "//server/share/ft1000file",
                                   R"(\\?\C:\Logger\ft1000file)", R"(C:\Logger\..\ft1000file)"}) {
        EXPECT_EQ(FileReader(path).name(), path);
    }
    EXPECT_EQ(FileReader("ft1000file").name(), pathText(std::filesystem::current_path() / "ft1000file"));
}
#endif

#ifdef __linux__
TEST(FileReader, AFifoOrATerminalIsTurnedAwayWithoutBeingOpened) {
    const auto fifo = std::filesystem::temp_directory_path() / "freqrelay-fifo";
    std::filesystem::remove(fifo);
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const int terminal = ::posix_openpt(O_RDWR | O_NOCTTY);
    ASSERT_GE(terminal, 0);
    ASSERT_EQ(::grantpt(terminal), 0);
    ASSERT_EQ(::unlockpt(terminal), 0);
    const std::string terminalPath = ::ptsname(terminal);
    // Opening either would be seen: a FIFO's writer, a terminal's modem lines.
    const int watcher = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    ASSERT_GE(watcher, 0);
    for (const std::string& path : {fifo.string(), terminalPath}) {
        ASSERT_GE(::inotify_add_watch(watcher, path.c_str(), IN_OPEN), 0);
        EXPECT_EQ(openingFailure(path), path + ": not a regular file");
    }
    char events[4096];
    EXPECT_LT(::read(watcher, events, sizeof events), 0) << "the FIFO or the terminal was opened";
    ::close(watcher);
    ::close(terminal);
    std::filesystem::remove(fifo);
}
#endif
