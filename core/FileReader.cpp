#include "core/FileReader.h"

#include "core/Episodes.h"
#include "core/Paths.h"
#include "core/RelayFailure.h"

#include <new>

namespace freqrelay {

namespace {

constexpr std::size_t kPieceSize = 64 * 1024;

std::string fileTooLarge(std::uint64_t bytes) { return "file too large: " + std::to_string(bytes) + " bytes"; }

}  // namespace

FileReader::FileReader(std::string path) : path_(std::move(path)) {}

FileReader::~FileReader() { close(); }

std::string FileReader::name() const { return absolutePath(path_); }

void FileReader::fail(const std::string& reason) const { throw RelayFailure(name() + ": " + reason); }

std::string FileReader::readWhole() {
    const char* step = kOpening;
    lastRead_.reset();
    try {
        open();
        step = kReading;
        std::string text;
        while (!atEnd_) {
            readInto(text);
        }
        close();
        lastRead_ = opened_.size > kAlwaysReadSize ? std::optional(opened_) : std::nullopt;
        return text;
    } catch (const RelayFailure& failure) {
        // A file that failed a check is let go of, and a descriptor that gave
        // EIO or ESTALE never reads again: the next try opens afresh.
        close();
        throw StepFailure{step, failure.what()};
    } catch (const std::bad_alloc&) {
        // Memory may be free again by the next try: a failed step, not the end.
        close();
        throw StepFailure{step, name() + ": out of memory"};
    }
}

void FileReader::open() {
    opened_ = openRegularFile();
    if (opened_.size > kMaxFileSize) {
        // A sparse or runaway file must not take the relay's memory.
        fail(fileTooLarge(opened_.size));
    }
    atEnd_ = false;
}

void FileReader::readInto(std::string& text) {
    // One allocation of the file's size keeps a large file at one copy
    // instead of a doubling buffer.
    text.reserve(static_cast<std::size_t>(opened_.size));
    char piece[kPieceSize];
    const std::size_t count = readPiece(piece, sizeof piece);
    if (count == 0) {
        atEnd_ = true;
        return;
    }
    // A file that grows while it is read is held to the same bound.
    if (text.size() + count > kMaxFileSize) {
        fail(fileTooLarge(text.size() + count));
    }
    text.append(piece, count);
}

}  // namespace freqrelay
