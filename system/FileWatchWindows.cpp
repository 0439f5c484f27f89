// The Windows part of FileWatch: ReadDirectoryChangesW on the file's folder,
// its completion delivered to the event loop through an event. Windows tells
// no close after writing: a writer that rewrites the file in place is seen
// only as modifications, and is read once they have settled.
#include "system/FileWatch.h"

#include "core/FileReader.h"

#include <QWinEventNotifier>

#include <windows.h>
#include <filesystem>

namespace freqrelay {

struct FileWatch::System {
    HANDLE folder = INVALID_HANDLE_VALUE;
    HANDLE done = nullptr;  // set when a read of the folder's changes completes
    OVERLAPPED reading{};
    bool pending = false;
    std::wstring name;
    std::unique_ptr<QWinEventNotifier> ready;
    alignas(DWORD) char changes[16 * 1024];

    // Asks for the folder's next changes; false when the folder cannot be
    // watched (any more).
    bool readChanges() {
        reading = OVERLAPPED{};
        reading.hEvent = done;
        pending = ::ReadDirectoryChangesW(
                      folder, changes, sizeof changes, FALSE,
                      FILE_NOTIFY_CHANGE_FILE_NAME | FILE_NOTIFY_CHANGE_LAST_WRITE | FILE_NOTIFY_CHANGE_SIZE, nullptr,
                      &reading, nullptr) != 0;
        return pending;
    }
    void stop() {
        if (folder == INVALID_HANDLE_VALUE) {
            return;
        }
        if (pending) {
            DWORD ignored = 0;
            ::CancelIoEx(folder, &reading);
            ::GetOverlappedResult(folder, &reading, &ignored, TRUE);
            pending = false;
        }
        ::CloseHandle(folder);
        folder = INVALID_HANDLE_VALUE;
    }
    bool isFile(const FILE_NOTIFY_INFORMATION& change) const {
        const int length = static_cast<int>(change.FileNameLength / sizeof(WCHAR));
        return ::CompareStringOrdinal(change.FileName, length, name.c_str(), static_cast<int>(name.size()), TRUE) ==
               CSTR_EQUAL;
    }
};

const bool FileWatch::kTellsCloses = false;

FileWatch::FileWatch(std::string path)
    : path_(std::move(path)), name_(pathText(systemPath(path_).filename())), system_(std::make_unique<System>()) {
    // Kept in UTF-8; the system names files in UTF-16.
    system_->name = systemPath(path_).filename().wstring();
    system_->done = ::CreateEventW(nullptr, FALSE, FALSE, nullptr);
}

FileWatch::~FileWatch() {
    system_->ready.reset();
    system_->stop();
    if (system_->done != nullptr) {
        ::CloseHandle(system_->done);
    }
}

void FileWatch::start(std::function<void()> changed) {
    changed_ = std::move(changed);
    if (system_->done == nullptr) {
        return;
    }
    system_->ready = std::make_unique<QWinEventNotifier>(system_->done);
    QObject::connect(system_->ready.get(), &QWinEventNotifier::activated, [this] { woken(); });
    update();
}

bool FileWatch::update() {
    System& system = *system_;
    if (system.done == nullptr) {
        return false;
    }
    if (system.folder == INVALID_HANDLE_VALUE) {
        // Resolved now, not at start: the path is read against the working
        // directory of each poll.
        const auto folder = systemPath(absolutePath(path_)).parent_path();
        system.folder = ::CreateFileW(folder.wstring().c_str(), FILE_LIST_DIRECTORY,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                      FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OVERLAPPED, nullptr);
        if (system.folder == INVALID_HANDLE_VALUE) {
            return false;
        }
        if (!system.readChanges()) {
            system.stop();
            return false;
        }
    }
    DWORD size = 0;
    if (!::GetOverlappedResult(system.folder, &system.reading, &size, FALSE)) {
        if (::GetLastError() != ERROR_IO_INCOMPLETE) {
            system.pending = false;
            system.stop();  // the folder is gone; watched again once it is back
        }
        return false;
    }
    system.pending = false;
    bool atWork = false;
    if (size == 0) {
        // More changes than the buffer holds were lost, the file's maybe.
        settle_.finished();
        atWork = true;
    }
    const auto now = std::chrono::steady_clock::now();
    for (DWORD at = 0; at < size;) {
        const auto* change = reinterpret_cast<const FILE_NOTIFY_INFORMATION*>(system.changes + at);
        if (system.isFile(*change)) {
            // Renamed into place: whole. Anything else (created, written,
            // resized) may be a writer still at work.
            if (change->Action == FILE_ACTION_RENAMED_NEW_NAME) {
                settle_.finished();
            } else if (change->Action != FILE_ACTION_REMOVED && change->Action != FILE_ACTION_RENAMED_OLD_NAME) {
                settle_.modified(now);
            }
            atWork = true;
        }
        if (change->NextEntryOffset == 0) {
            break;
        }
        at += change->NextEntryOffset;
    }
    if (!system.readChanges()) {
        system.stop();
    }
    return atWork;
}

}  // namespace freqrelay
