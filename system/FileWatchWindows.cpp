// FileWatch through ReadDirectoryChangesW on the file's folder. Windows tells
// no close after writing: a rewrite in place is read once it has settled.
#include "system/FileWatch.h"

#include "core/Paths.h"
#include "core/Utf16Windows.h"
#include "system/LogText.h"

#include <QWinEventNotifier>

#include <windows.h>
#include <filesystem>
#include <optional>

namespace freqrelay {

namespace {

// Tells a folder from one made later under the same name (Wine's creation
// time is the last change's, so that cannot).
struct FolderIdentity {
    DWORD volume;
    DWORD indexHigh;
    DWORD indexLow;
    bool operator==(const FolderIdentity&) const = default;
};

std::optional<FolderIdentity> identityOf(HANDLE folder) {
    BY_HANDLE_FILE_INFORMATION info{};
    if (!::GetFileInformationByHandle(folder, &info)) {
        return std::nullopt;
    }
    return FolderIdentity{info.dwVolumeSerialNumber, info.nFileIndexHigh, info.nFileIndexLow};
}

// The identity of the folder `path` names now, if any.
std::optional<FolderIdentity> identityAt(const std::wstring& path) {
    const HANDLE folder =
        ::CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                      nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (folder == INVALID_HANDLE_VALUE) {
        return std::nullopt;
    }
    const auto identity = identityOf(folder);
    ::CloseHandle(folder);
    return identity;
}

}  // namespace

struct FileWatch::System {
    HANDLE folder = INVALID_HANDLE_VALUE;
    std::wstring folderPath;  // as the file's path named it when it was opened
    std::optional<FolderIdentity> identity;
    bool told = false;
    HANDLE done = nullptr;  // set when a read of the folder's changes completes
    OVERLAPPED reading{};
    bool pending = false;
    std::wstring name;
    std::unique_ptr<QWinEventNotifier> ready;
    alignas(DWORD) char changes[16 * 1024];

    // False when the folder cannot be watched (any more).
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

FileWatch::FileWatch(std::string path) : path_(std::move(path)), system_(std::make_unique<System>()) {
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

void FileWatch::start(Changed changed) {
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
    // Resolved at every poll, as the working directory may change. Wine
    // never ends the watch of a deleted folder, so that is looked at here.
    const std::wstring folder = systemPath(absolutePath(path_)).parent_path().wstring();
    if (system.folder != INVALID_HANDLE_VALUE &&
        (folder != system.folderPath || identityAt(folder) != system.identity)) {
        system.stop();
    }
    if (system.folder == INVALID_HANDLE_VALUE) {
        system.folder =
            ::CreateFileW(folder.c_str(), FILE_LIST_DIRECTORY, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                          nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OVERLAPPED, nullptr);
        if (system.folder == INVALID_HANDLE_VALUE || !system.readChanges()) {
            const DWORD failure = ::GetLastError();
            system.stop();  // tried again at the next poll
            if (!system.told) {
                system.told = true;
                qCInfo(relayLog).noquote()
                    << QStringLiteral("no watch on the folder of %1 (%2): polling it every 250 ms")
                           .arg(readable(absolutePath(path_)), readable(systemReason(failure)));
            }
            return false;
        }
        system.folderPath = folder;
        system.identity = identityOf(system.folder);
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
            // Renamed into place is whole; anything else may be a writer at work.
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
