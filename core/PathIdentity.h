#pragma once

#include <string>

namespace freqrelay {

// Whether the paths `one` and `other` (UTF-8 on Windows) lead to one file:
// the same file now, or the same place once it is made. A log there would
// feed the relay its own lines. On Unix every link is followed, also one
// whose target does not exist yet; on Windows names compare without regard
// to case, in the full form the system makes of them.
bool pathsLeadToOneFile(const std::string& one, const std::string& other);

// Unix only: the absolute path `path` leads to once every link in it is
// followed, also a link whose target does not exist yet.
std::string pathDestination(const std::string& path);

}  // namespace freqrelay
