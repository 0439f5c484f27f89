// The Linux part of FileWatch: inotify on the file's folder, read when the
// event loop sees its descriptor ready.
#include "ui/FileWatch.h"

#include "core/FileReader.h"

#include <QSocketNotifier>

#include <sys/inotify.h>
#include <unistd.h>
#include <filesystem>

namespace freqrelay {

struct FileWatch::System {
    int inotify = -1;
    int folder = -1;  // the folder's watch within it
    std::unique_ptr<QSocketNotifier> ready;
};

FileWatch::FileWatch(std::string path)
    : path_(std::move(path)),
      name_(std::filesystem::path(path_).filename().string()),
      system_(std::make_unique<System>()) {
    system_->inotify = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
}

FileWatch::~FileWatch() {
    system_->ready.reset();
    if (system_->inotify >= 0) {
        ::close(system_->inotify);
    }
}

void FileWatch::start(std::function<void()> changed) {
    changed_ = std::move(changed);
    if (system_->inotify < 0) {
        return;
    }
    system_->ready = std::make_unique<QSocketNotifier>(system_->inotify, QSocketNotifier::Read);
    QObject::connect(system_->ready.get(), &QSocketNotifier::activated, [this] {
        if (update() && changed_) {
            changed_();
        }
    });
    update();
}

WriteSettle::TimePoint FileWatch::readableAt(WriteSettle::TimePoint due) {
    update();
    return settle_.readableAt(due);
}

bool FileWatch::update() {
    System& system = *system_;
    if (system.inotify < 0) {
        return false;
    }
    if (system.folder < 0) {
        // Resolved now, not at start: the path is read against the working
        // directory of each poll. A bare modification is watched too: it
        // tells of a writer still at work.
        const auto folder = std::filesystem::path(absolutePath(path_)).parent_path();
        system.folder =
            ::inotify_add_watch(system.inotify, folder.c_str(), IN_CLOSE_WRITE | IN_MOVED_TO | IN_MODIFY | IN_ONLYDIR);
    }
    bool atWork = false;
    alignas(inotify_event) char events[4096];
    for (ssize_t size = 0; (size = ::read(system.inotify, events, sizeof events)) > 0;) {
        const auto now = std::chrono::steady_clock::now();
        for (ssize_t at = 0; at < size;) {
            const auto* event = reinterpret_cast<const inotify_event*>(events + at);
            if ((event->mask & IN_IGNORED) != 0) {
                system.folder = -1;  // the folder is gone; watched again once it is back
            } else if ((event->mask & IN_Q_OVERFLOW) != 0) {
                // Events were lost, the file's among them maybe: read it.
                settle_.finished();
                atWork = true;
            } else if (event->len > 0 && name_ == event->name) {
                if ((event->mask & (IN_CLOSE_WRITE | IN_MOVED_TO)) != 0) {
                    settle_.finished();
                } else {
                    settle_.modified(now);
                }
                atWork = true;
            }
            at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
        }
    }
    return atWork;
}

}  // namespace freqrelay
