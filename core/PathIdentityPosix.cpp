// The POSIX part of pathsLeadToOneFile and of the serial lines a log may not reach.
#ifndef _WIN32

#include "core/PathIdentity.h"
#include "core/Paths.h"

#include <sys/stat.h>
#include <unistd.h>
#if __has_include(<sys/sysmacros.h>)
#include <sys/sysmacros.h>
#endif
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
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

// Whether the character device `device` is a serial port or a
// pseudo-terminal, as the kernel's list of terminal drivers tells without
// opening it (opening a serial port raises its control lines, which may key
// a transmitter). Only Linux has the list: elsewhere no device is known as one.
bool isSerialLine(dev_t device) {
    std::ifstream drivers("/proc/tty/drivers");
    std::string line;
    while (std::getline(drivers, line)) {
        // "serial  /dev/ttyS  4  64-95  serial": name, node, major, minors, type.
        std::istringstream fields(line);
        std::string name;
        std::string node;
        unsigned int driverMajor = 0;
        std::string minors;
        std::string type;
        unsigned int first = 0;
        unsigned int last = 0;
        if (!(fields >> name >> node >> driverMajor >> minors >> type) || (type != "serial" && type != "pty:slave")) {
            continue;
        }
        const int read = std::sscanf(minors.c_str(), "%u-%u", &first, &last);
        if (read >= 1 && driverMajor == major(device) && minor(device) >= first &&
            minor(device) <= (read == 2 ? last : first)) {
            return true;
        }
    }
    return false;
}

// The terminal the relay's own output already goes to is no radio.
bool isOwnTerminal(dev_t device) {
    for (const int standard : {STDOUT_FILENO, STDERR_FILENO}) {
        struct stat opened {};
        if (::fstat(standard, &opened) == 0 && S_ISCHR(opened.st_mode) && opened.st_rdev == device) {
            return true;
        }
    }
    return false;
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

std::string serialLineAt(const std::string& path, const std::string& port1) {
    struct stat log {};
    struct stat port {};
    const bool device = ::stat(path.c_str(), &log) == 0 && S_ISCHR(log.st_mode);
    const bool portDevice =
        device && ::stat(port1.c_str(), &port) == 0 && S_ISCHR(port.st_mode) && port.st_rdev == log.st_rdev;
    if (!port1.empty() && (portDevice || pathsLeadToOneFile(path, port1))) {
        return kLogIsPort1;
    }
    return device && isSerialLine(log.st_rdev) && !isOwnTerminal(log.st_rdev) ? kLogIsASerialPort : "";
}

std::string deviceIdentity(const std::string& port) { return pathDestination(port); }

}  // namespace freqrelay

#endif
