#pragma once

#include "TextFile.h"

#include <cstddef>
#include <string>

namespace freqrelay {

// No frequency file comes near this; a larger one is turned away at opening.
inline constexpr std::size_t kMaxFileSize = std::size_t{64} << 20;

// Reads a regular file through POSIX calls. Anything else under the name
// (a FIFO, a directory, a device) fails to open, so that the poll loop
// neither blocks on it nor reads it without end.
class FileReader final : public TextFile {
public:
    explicit FileReader(std::string path);
    ~FileReader() override;
    FileReader(const FileReader&) = delete;
    FileReader& operator=(const FileReader&) = delete;

    void open() override;
    bool atEnd() const override { return atEnd_; }
    void readInto(std::string& text) override;
    void close() noexcept override;
    bool isOpen() const noexcept override { return fd_ >= 0; }

    // The absolute path, resolved against the working directory of now.
    std::string name() const override;

private:
    [[noreturn]] void fail(const std::string& reason) const;

    std::string path_;
    int fd_ = -1;
    bool atEnd_ = false;
    std::size_t sizeAtOpen_ = 0;
};

}  // namespace freqrelay
