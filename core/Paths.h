#pragma once

#include <filesystem>
#include <string>

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

}  // namespace freqrelay
