// The POSIX part of the paths unit.
#include "core/Paths.h"

#include <system_error>

namespace freqrelay {

std::filesystem::path systemPath(const std::string& path) { return path; }

std::string pathText(const std::filesystem::path& path) { return path.string(); }

std::string absolutePath(const std::string& path) {
    std::error_code error;
    const auto absolute = std::filesystem::absolute(path, error);
    return error ? path : absolute.string();
}

}  // namespace freqrelay
