#include <windows.h>

#include <filesystem>
#include <utility>

#include "frontends/cli/file_watch.h"

namespace fs = std::filesystem;

namespace {

// One watched folder: its handle, the pending overlapped read and its buffer.
struct Folder {
    fs::path Path;
    HANDLE Handle = INVALID_HANDLE_VALUE;
    HANDLE Event = nullptr;
    OVERLAPPED Overlapped{};
    alignas(DWORD) char Buffer[16384];
};

constexpr DWORD kChanges = FILE_NOTIFY_CHANGE_LAST_WRITE | FILE_NOTIFY_CHANGE_FILE_NAME;

bool Arm(Folder& f) {
    ResetEvent(f.Event);
    f.Overlapped = OVERLAPPED{};
    f.Overlapped.hEvent = f.Event;
    return ReadDirectoryChangesW(f.Handle, f.Buffer, sizeof f.Buffer, FALSE, kChanges, nullptr,
                                 &f.Overlapped, nullptr) != 0;
}

bool SamePath(const fs::path& a, const fs::path& b) {
    return CompareStringOrdinal(a.c_str(), -1, b.c_str(), -1, TRUE) == CSTR_EQUAL;
}

fs::path FullPath(const Text& path) {
    std::error_code ec;
    fs::path full = fs::absolute(fs::path(path), ec);
    return full.lexically_normal();
}

}  // namespace

struct FileWatch {
    std::vector<std::unique_ptr<Folder>> Folders;
    std::vector<std::pair<fs::path, Text>> Files;  // full path: the path as given
};

void FileWatchClose::operator()(FileWatch* watch) const {
    for (auto& f : watch->Folders) {
        if (f->Handle != INVALID_HANDLE_VALUE) {
            CancelIo(f->Handle);
            CloseHandle(f->Handle);
        }
        if (f->Event) CloseHandle(f->Event);
    }
    delete watch;
}

FileWatchHandle WatchFiles(const std::vector<Text>& paths) {
    FileWatchHandle watch(new FileWatch);
    for (const Text& path : paths) {
        fs::path full = FullPath(path);
        watch->Files.emplace_back(full, path);
        bool known = false;
        for (auto& f : watch->Folders)
            known = known || SamePath(f->Path, full.parent_path());
        if (known) continue;
        auto f = std::make_unique<Folder>();
        f->Path = full.parent_path();
        f->Handle =
            CreateFileW(f->Path.c_str(), FILE_LIST_DIRECTORY,
                        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                        OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OVERLAPPED, nullptr);
        f->Event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        bool armed = f->Handle != INVALID_HANDLE_VALUE && f->Event && Arm(*f);
        watch->Folders.push_back(std::move(f));
        if (!armed) return nullptr;
    }
    return watch;
}

std::vector<Text> ReadFileChanges(FileWatch& watch, int waitMs) {
    std::vector<Text> changed;
    std::vector<HANDLE> events;
    for (auto& f : watch.Folders)
        events.push_back(f->Event);
    if (events.empty() ||
        WaitForMultipleObjects(static_cast<DWORD>(events.size()), events.data(), FALSE,
                               static_cast<DWORD>(waitMs < 0 ? 0 : waitMs)) == WAIT_TIMEOUT)
        return changed;
    for (auto& f : watch.Folders) {
        DWORD bytes = 0;
        if (WaitForSingleObject(f->Event, 0) != WAIT_OBJECT_0) continue;
        if (!GetOverlappedResult(f->Handle, &f->Overlapped, &bytes, FALSE)) bytes = 0;
        for (DWORD at = 0; bytes > 0 && at + sizeof(FILE_NOTIFY_INFORMATION) <= bytes;) {
            const auto* info = reinterpret_cast<const FILE_NOTIFY_INFORMATION*>(f->Buffer + at);
            std::wstring name(info->FileName, info->FileNameLength / sizeof(WCHAR));
            // A write shows as a modification, a save by rename as the new name appearing.
            if (info->Action == FILE_ACTION_MODIFIED || info->Action == FILE_ACTION_ADDED ||
                info->Action == FILE_ACTION_RENAMED_NEW_NAME) {
                fs::path full = (f->Path / name).lexically_normal();
                for (const auto& [path, given] : watch.Files)
                    if (SamePath(path, full)) changed.push_back(given);
            }
            if (info->NextEntryOffset == 0) break;
            at += info->NextEntryOffset;
        }
        Arm(*f);
    }
    return changed;
}
