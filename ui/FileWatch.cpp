#include "ui/FileWatch.h"

#include "core/FileReader.h"

#include <filesystem>
#include <thread>

#ifdef __linux__
#include <poll.h>
#include <sys/inotify.h>
#include <unistd.h>
#include <cerrno>
#include <climits>
#endif

namespace freqrelay {

FileWatch::FileWatch(std::string path)
    : path_(std::move(path)), name_(std::filesystem::path(path_).filename().string()) {
#ifdef __linux__
    watch_ = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
#endif
}

FileWatch::~FileWatch() {
#ifdef __linux__
    if (watch_ >= 0) {
        ::close(watch_);
    }
#endif
}

bool FileWatch::watching() {
#ifdef __linux__
    if (folder_ < 0 && watch_ >= 0) {
        // Resolved now, not at start: the path is read against the working
        // directory of each poll.
        const auto folder = std::filesystem::path(absolutePath(path_)).parent_path();
        folder_ = ::inotify_add_watch(watch_, folder.c_str(), IN_CLOSE_WRITE | IN_MOVED_TO | IN_ONLYDIR);
    }
#endif
    return folder_ >= 0;
}

bool FileWatch::fileWritten() {
    bool written = false;
#ifdef __linux__
    alignas(inotify_event) char events[4096];
    for (ssize_t size = 0; (size = ::read(watch_, events, sizeof events)) > 0;) {
        for (ssize_t at = 0; at < size;) {
            const auto* event = reinterpret_cast<const inotify_event*>(events + at);
            if ((event->mask & IN_IGNORED) != 0) {
                folder_ = -1;  // the folder is gone; watched again once it is back
            } else if ((event->mask & IN_Q_OVERFLOW) != 0) {
                written = true;  // events were lost, the file's among them maybe
            } else if (event->len > 0 && name_ == event->name) {
                written = true;
            }
            at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
        }
    }
#endif
    return written;
}

bool FileWatch::waitForWrite(std::chrono::steady_clock::time_point deadline) {
#ifdef __linux__
    while (watching()) {
        const auto left =
            std::chrono::ceil<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now()).count();
        if (left <= 0) {
            return false;
        }
        pollfd ready{watch_, POLLIN, 0};
        const int count = ::poll(&ready, 1, static_cast<int>(std::min<long long>(left, INT_MAX)));
        if (count < 0 && errno != EINTR) {
            break;
        }
        if (count > 0 && fileWritten()) {
            return true;
        }
    }
#endif
    std::this_thread::sleep_until(deadline);
    return false;
}

}  // namespace freqrelay
