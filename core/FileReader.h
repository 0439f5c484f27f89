#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

namespace freqrelay {

// A path as the relay keeps it, to the standard library's path and back: on
// Windows in UTF-8, so that no letter is lost to the ANSI code page;
// elsewhere the system's own bytes, as they are.
std::filesystem::path systemPath(const std::string& path);
std::string pathText(const std::filesystem::path& path);

// `path` made absolute against the working directory of now; `path` itself
// when it is absolute or that cannot be done. On Windows a share's path
// (\\server\share\…) and the system's long form (\\?\C:\…) are absolute.
std::string absolutePath(const std::string& path);

// No frequency file comes near this; a larger one is turned away at opening.
inline constexpr std::size_t kMaxFileSize = std::size_t{64} << 20;

// Reads a regular file through the system's own calls. Anything else under
// the name (a FIFO or pipe, a directory, a device) fails to open, so that the
// poll loop neither blocks on it nor reads it without end; so does a file
// over kMaxFileSize.
class FileReader {
public:
    explicit FileReader(std::string path);
    ~FileReader();
    FileReader(const FileReader&) = delete;
    FileReader& operator=(const FileReader&) = delete;

    // The two steps of a read, as failures and the log name them.
    static constexpr const char* kOpening = "opening the file";
    static constexpr const char* kReading = "reading the file";

    // The file's whole text, read from its start and the file closed again;
    // raises a StepFailure (kOpening or kReading) whose reason names the file.
    std::string readWhole();
    void close() noexcept;

    // The absolute path, resolved against the working directory of now.
    std::string name() const;

private:
    void open();
    void readInto(std::string& text);
    [[noreturn]] void fail(const std::string& reason) const;
    // The platform's part: open a regular file and give its size; read one
    // piece (0 at the end). Each fails with the reason.
    std::size_t openRegularFile();
    std::size_t readPiece(char* piece, std::size_t size);

    std::string path_;
    // The system's handle or descriptor of the open file; -1 when closed.
    std::intptr_t handle_ = -1;
    bool atEnd_ = false;
    std::size_t sizeAtOpen_ = 0;
};

}  // namespace freqrelay
