#include "system/LogFile.h"

#include "core/Paths.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace freqrelay {

struct LogFile::Handle {
    std::FILE* stream = nullptr;
};

LogFile::LogFile() : handle_(std::make_unique<Handle>()) {}

LogFile::~LogFile() {
    if (handle_->stream != nullptr) {
        std::fclose(handle_->stream);
    }
}

bool LogFile::open(const std::string& path, const std::string& frequencyFile, const std::string& port1,
                   std::string& reason) {
    if (reason = refusedLog(path, frequencyFile, port1); !reason.empty()) {
        return false;
    }
    // By its UTF-16 name: the ANSI code page may lack its letters.
    std::FILE* stream = ::_wfopen(systemPath(path).c_str(), L"a");
    if (stream == nullptr) {
        reason = std::strerror(errno);
        return false;
    }
    if (handle_->stream != nullptr) {
        std::fclose(handle_->stream);
    }
    handle_->stream = stream;
    path_ = path;
    return true;
}

bool LogFile::append(const std::string& line, std::string& reason) {
    const bool whole = std::fwrite(line.data(), 1, line.size(), handle_->stream) == line.size();
    if (std::fflush(handle_->stream) != 0 || !whole) {
        reason = std::strerror(errno);
        std::clearerr(handle_->stream);
        return false;
    }
    return true;
}

}  // namespace freqrelay
