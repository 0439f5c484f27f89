// FileWatch through inotify on the file's folder and its link target's.
#include "system/FileWatch.h"

#include "core/PathIdentity.h"
#include "core/Paths.h"
#include "system/LogText.h"

#include <QSocketNotifier>

#include <sys/inotify.h>
#include <unistd.h>
#include <cerrno>
#include <cstring>
#include <filesystem>

namespace freqrelay {

namespace {

// What is watched: a folder, and the name in it that counts.
struct Watched {
    int watch = -1;
    std::string folder;
    std::string name;
};

}  // namespace

struct FileWatch::System {
    int inotify = -1;
    Watched path;    // the path's own folder
    Watched target;  // where the path leads, when it is a link to another file
    std::unique_ptr<QSocketNotifier> ready;
    bool told = false;

    // Watches the folder of `file` for its name in `watched`; 0, or errno.
    int watch(Watched& watched, const std::filesystem::path& file) {
        const std::string folder = file.parent_path().string();
        int reason = 0;
        if (watched.watch < 0 || watched.folder != folder) {
            forget(watched);
            // A bare modification tells of a writer still at work.
            watched.watch =
                ::inotify_add_watch(inotify, folder.c_str(), IN_CLOSE_WRITE | IN_MOVED_TO | IN_MODIFY | IN_ONLYDIR);
            reason = watched.watch < 0 ? errno : 0;
            watched.folder = folder;
        }
        watched.name = file.filename().string();
        return reason;
    }
    void forget(Watched& watched) {
        // The two may share one watch when the link stays in its folder.
        Watched& other = &watched == &path ? target : path;
        if (watched.watch >= 0 && watched.watch != other.watch) {
            ::inotify_rm_watch(inotify, watched.watch);
        }
        watched = Watched{};
    }
    bool isFile(const inotify_event& event) const {
        return event.len > 0 && ((event.wd == path.watch && path.name == event.name) ||
                                 (event.wd == target.watch && target.name == event.name));
    }
};

const bool FileWatch::kTellsCloses = true;

FileWatch::FileWatch(std::string path) : path_(std::move(path)), system_(std::make_unique<System>()) {
    system_->inotify = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (system_->inotify < 0) {
        qCInfo(relayLog).noquote() << QStringLiteral("no watch on %1 (%2): polling it every 250 ms")
                                          .arg(readable(path_), readable(std::strerror(errno)));
    }
}

FileWatch::~FileWatch() {
    system_->ready.reset();
    if (system_->inotify >= 0) {
        ::close(system_->inotify);
    }
}

void FileWatch::start(Changed changed) {
    changed_ = std::move(changed);
    if (system_->inotify < 0) {
        return;
    }
    system_->ready = std::make_unique<QSocketNotifier>(system_->inotify, QSocketNotifier::Read);
    QObject::connect(system_->ready.get(), &QSocketNotifier::activated, [this] { woken(); });
    update();
}

bool FileWatch::update() {
    System& system = *system_;
    if (system.inotify < 0) {
        return false;
    }
    // Events first: a folder that is gone says so (IN_IGNORED), and is then
    // watched again below if it is already back.
    bool atWork = false;
    alignas(inotify_event) char events[4096];
    for (ssize_t size = 0; (size = ::read(system.inotify, events, sizeof events)) > 0;) {
        const auto seen = std::chrono::steady_clock::now();
        for (ssize_t at = 0; at < size;) {
            const auto* event = reinterpret_cast<const inotify_event*>(events + at);
            if ((event->mask & IN_IGNORED) != 0) {
                for (Watched* watched : {&system.path, &system.target}) {
                    if (watched->watch == event->wd) {
                        *watched = Watched{};
                    }
                }
            } else if ((event->mask & IN_Q_OVERFLOW) != 0) {
                // Events were lost, the file's among them maybe: read it.
                settle_.finished();
                atWork = true;
            } else if (system.isFile(*event)) {
                if ((event->mask & (IN_CLOSE_WRITE | IN_MOVED_TO)) != 0) {
                    settle_.finished();
                } else {
                    settle_.modified(seen);
                }
                atWork = true;
            }
            at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
        }
    }
    // Resolved at every poll: the working directory may change, and a link
    // may be pointed elsewhere. A writer replaces a link's target in its own
    // folder, so that is watched too. A watch that cannot be had (no folder,
    // too many watches) is tried again at each poll.
    const std::filesystem::path file = absolutePath(path_);
    const std::filesystem::path target = pathDestination(file.string());
    int reason = system.watch(system.path, file);
    if (target.parent_path() != file.parent_path() || target.filename() != file.filename()) {
        const int targetReason = system.watch(system.target, target);
        reason = reason != 0 ? reason : targetReason;
    } else {
        system.forget(system.target);
    }
    if (reason != 0 && !system.told) {
        system.told = true;
        qCInfo(relayLog).noquote()
            << QStringLiteral("no watch on the folder of %1 (%2): polling it every 250 ms, trying again at each poll")
                   .arg(readable(file.string()), readable(std::strerror(reason)));
    }
    return atWork;
}

}  // namespace freqrelay
