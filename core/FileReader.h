#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace freqrelay {

// No frequency file comes near this; a larger one is turned away at opening.
inline constexpr std::size_t kMaxFileSize = std::size_t{64} << 20;
// Nor this: a file up to it is read whole at every poll, and a larger one
// only when it may have changed since it was last read.
inline constexpr std::size_t kAlwaysReadSize = 64 << 10;

// What tells one version of a file from another without reading it: which
// file it is (device and inode, or volume and file id), its size and when it
// was last written.
struct FileStamp {
    std::uint64_t volume = 0;
    std::uint64_t file = 0;
    std::uint64_t size = 0;
    std::int64_t modified = 0;
    bool operator==(const FileStamp&) const = default;
};

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
    // Whether the file is over kAlwaysReadSize and, by its stamp, the one the
    // last whole read read; the system is asked, the file is not read.
    bool unchangedSinceRead() const { return lastRead_ && stampNow() == lastRead_; }
    // The next unchangedSinceRead() is false: the last text was not used.
    void forgetRead() { lastRead_.reset(); }

    // The absolute path, resolved against the working directory of now.
    std::string name() const;
    // The path as given.
    const std::string& path() const { return path_; }

private:
    void open();
    void readInto(std::string& text);
    [[noreturn]] void fail(const std::string& reason) const;
    // The platform's part: open a regular file and give its stamp; read one
    // piece (0 at the end). Each fails with the reason. And the stamp of the
    // file the path leads to now, or none, without opening it for reading.
    FileStamp openRegularFile();
    std::size_t readPiece(char* piece, std::size_t size);
    std::optional<FileStamp> stampNow() const;

    std::string path_;
    // The system's handle or descriptor of the open file; -1 when closed.
    std::intptr_t handle_ = -1;
    bool atEnd_ = false;
    FileStamp opened_;
    std::optional<FileStamp> lastRead_;
};

}  // namespace freqrelay
