#pragma once

#include <string>

namespace freqrelay {

// A text file read whole, one piece at a time, so that a failed read can be
// repeated on its own.
class TextFile {
public:
    virtual ~TextFile() = default;
    virtual void open() = 0;
    // True once a read has found nothing more.
    virtual bool atEnd() const = 0;
    // Appends the next piece of the file to `text`.
    virtual void readInto(std::string& text) = 0;
    virtual void close() noexcept = 0;
    // The file's name as failures give it.
    virtual std::string name() const = 0;
};

}  // namespace freqrelay
