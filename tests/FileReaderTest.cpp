#include "FileReader.h"
#include "RelayFailure.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

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

std::string openingFailure(const std::filesystem::path& path) {
    FileReader reader(path.string());
    try {
        reader.open();
    } catch (const RelayFailure& failure) {
        return failure.what();
    }
    return "";
}

}  // namespace

TEST(FileReader, AFileOverTheBoundIsTurnedAwayAtOpeningAndOneAtItIsRead) {
    const auto over = sizedFile("freqrelay-over-bound", kMaxFileSize + 1);
    EXPECT_EQ(openingFailure(over), over.string() + ": file too large: 67108865 bytes");
    std::filesystem::remove(over);

    const auto at = sizedFile("freqrelay-at-bound", kMaxFileSize);
    FileReader reader(at.string());
    reader.open();
    std::string text;
    while (!reader.atEnd()) {
        reader.readInto(text);
    }
    EXPECT_EQ(text.size(), kMaxFileSize);
    EXPECT_EQ(text.substr(0, 7), "7050000");
    std::filesystem::remove(at);
}

TEST(FileReader, AMissingFileNamesItselfInTheFailure) {
    const auto missing = std::filesystem::temp_directory_path() / "freqrelay-no-such-file";
    EXPECT_EQ(openingFailure(missing), missing.string() + ": No such file or directory");
}
