// The POSIX part of pathsLeadToOneFile.
#ifndef _WIN32

#include "core/FileReader.h"
#include "core/PathIdentity.h"

#include <sys/stat.h>
#include <algorithm>
#include <filesystem>
#include <iterator>
#include <vector>

namespace freqrelay {

namespace {

// As many links as the system follows in one path before it gives up.
constexpr int kMostLinksFollowed = 40;

// Where `path` leads, as the system would follow it when opening it: made
// absolute, each link replaced by its target (a relative one from the link's
// folder), also one whose target does not exist yet, and "." and ".." taken
// where they stand. Names past the first that does not exist stay as they are.
std::filesystem::path destination(const std::string& path) {
    const std::filesystem::path absolute = absolutePath(path);
    // The names still to walk, the next one last.
    const std::filesystem::path names = absolute.relative_path();
    std::vector<std::filesystem::path> ahead(names.begin(), names.end());
    std::reverse(ahead.begin(), ahead.end());
    std::filesystem::path reached = absolute.root_path();
    int linksFollowed = 0;
    while (!ahead.empty()) {
        const std::filesystem::path name = std::move(ahead.back());
        ahead.pop_back();
        if (name.empty() || name == ".") {
            continue;
        }
        if (name == "..") {
            reached = reached.parent_path();
            continue;
        }
        const std::filesystem::path next = reached / name;
        struct stat named {};
        if (linksFollowed < kMostLinksFollowed && ::lstat(next.c_str(), &named) == 0 && S_ISLNK(named.st_mode)) {
            std::error_code error;
            const std::filesystem::path target = std::filesystem::read_symlink(next, error);
            if (!error) {
                ++linksFollowed;
                if (target.is_absolute()) {
                    reached = target.root_path();
                }
                const std::filesystem::path targetNames = target.relative_path();
                ahead.insert(ahead.end(), std::make_reverse_iterator(targetNames.end()),
                             std::make_reverse_iterator(targetNames.begin()));
                continue;
            }
        }
        reached = next;
    }
    return reached;
}

}  // namespace

// A device is a file here, which the reader turns away when it opens it.
bool namesADevice(const std::string&) { return false; }

std::string pathDestination(const std::string& path) { return destination(path).string(); }

bool pathsLeadToOneFile(const std::string& one, const std::string& other) {
    const std::filesystem::path oneLeadsTo = destination(one);
    const std::filesystem::path otherLeadsTo = destination(other);
    std::error_code error;
    // The same place by name; the same file under two names (a hard link);
    // or one name in the same folder reached two ways (a bind mount).
    return oneLeadsTo == otherLeadsTo || std::filesystem::equivalent(oneLeadsTo, otherLeadsTo, error) ||
           (oneLeadsTo.filename() == otherLeadsTo.filename() &&
            std::filesystem::equivalent(oneLeadsTo.parent_path(), otherLeadsTo.parent_path(), error));
}

}  // namespace freqrelay

#endif
