#include "index/FileIndex.h"

#include <windows.h>

#include "common/PathText.h"
#include "common/SystemScope.h"
#include "common/TextEncoding.h"

namespace modroute {
namespace {

// Folds the components of a relative path in turn; the longest prefix that
// folds (a changed name that does not fold stands for its whole folder).
std::string FoldedPrefix(std::string_view relative, bool& whole) {
    std::string folded;
    whole = true;
    std::size_t start = 0;
    while (start <= relative.size()) {
        const std::size_t end = relative.find('\\', start);
        const std::string_view name = relative.substr(start, end == std::string_view::npos ? end : end - start);
        const std::size_t before = folded.size();
        if (before > 0) folded += '\\';
        if (!AppendFoldedName(name, folded)) {
            folded.resize(before);
            whole = false;
            return folded;
        }
        if (end == std::string_view::npos) break;
        start = end + 1;
    }
    return folded;
}

constexpr DWORD kStopWaitMilliseconds = 5000;

bool IsModsOrBase(std::string_view name) {
    return EqualsIgnoringAsciiCase(name, "mods") || EqualsIgnoringAsciiCase(name, "base");
}

bool IsDotEntry(const wchar_t* name) { return wcscmp(name, L".") == 0 || wcscmp(name, L"..") == 0; }

}  // namespace

IndexAnswer FileIndexSnapshot::Find(std::string_view folder, std::string_view relative) const {
    for (const Root& root : roots) {
        if (root.folder != folder) continue;
        if (!root.tree) return IndexAnswer::Unknown;
        if (!root.changed->empty()) {
            bool whole = false;
            const std::string folded = FoldedPrefix(relative, whole);
            if (!whole) return IndexAnswer::Unknown;
            const auto& changed = *root.changed;
            if (changed.count({})) return IndexAnswer::Unknown;
            for (std::size_t end = folded.find('\\'); end != std::string::npos; end = folded.find('\\', end + 1)) {
                if (changed.count(folded.substr(0, end))) return IndexAnswer::Unknown;
            }
            if (changed.count(folded)) return IndexAnswer::Unknown;
        }
        return root.tree->Find(relative);
    }
    return IndexAnswer::Unknown;
}

struct FileIndex::Watched {
    HANDLE directory = INVALID_HANDLE_VALUE;
    HANDLE event = nullptr;
    OVERLAPPED overlapped{};
    std::vector<DWORD> buffer;  // DWORD-aligned, as the records must be
    bool armed = false;
};

FileIndex& FileIndex::Instance() {
    // Never destroyed: the game resolves paths while the process's statics go.
    static FileIndex* index = new FileIndex;
    return *index;
}

FileIndex::FileIndex(Options options) : m_options(options) {}

FileIndex::~FileIndex() {
    Stop();
    if (m_thread != nullptr) {
        WaitForSingleObject(m_thread, INFINITE);
        CloseHandle(m_thread);
    }
    for (HANDLE event : {m_stopEvent, m_leftEvent}) {
        if (event != nullptr) CloseHandle(event);
    }
}

bool FileIndex::Start(std::vector<std::string> folders) {
    std::lock_guard lock(m_lock);
    if (m_stopEvent != nullptr) return false;
    for (std::string& folder : folders) {
        m_roots.push_back({std::move(folder), nullptr, std::make_shared<std::unordered_map<std::string, std::uint64_t>>()});
        m_watched.push_back(std::make_unique<Watched>());
        m_walked.push_back(false);
    }
    m_stopEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    m_leftEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (m_stopEvent == nullptr || m_leftEvent == nullptr) return false;
    m_thread = CreateThread(nullptr, 0, ThreadMain, this, 0, nullptr);
    if (m_thread == nullptr) m_walked.assign(m_walked.size(), true);
    return m_thread != nullptr;
}

void FileIndex::Stop() {
    if (m_thread == nullptr || m_stop.exchange(true)) return;
    SetEvent(m_stopEvent);
    // The thread's end itself may wait for the loader, which an unloading
    // library holds: what counts is that it has left this code. A thread
    // still waiting for the loader to let it start never will in time, and
    // must not start in a library that is gone.
    if (WaitForSingleObject(m_leftEvent, kStopWaitMilliseconds) != WAIT_OBJECT_0) {
        TerminateThread(m_thread, 1);
        return;
    }
    for (const std::unique_ptr<Watched>& watched : m_watched) {
        if (watched->directory == INVALID_HANDLE_VALUE) continue;
        if (watched->armed) {
            DWORD bytes = 0;
            CancelIoEx(watched->directory, &watched->overlapped);
            GetOverlappedResult(watched->directory, &watched->overlapped, &bytes, TRUE);
        }
        CloseHandle(watched->directory);
        watched->directory = INVALID_HANDLE_VALUE;
        CloseHandle(watched->event);
    }
}

DWORD WINAPI FileIndex::ThreadMain(LPVOID self) {
    auto* index = static_cast<FileIndex*>(self);
    try {
        index->Run();
    } catch (...) {
        // Out of memory: the snapshot stays as it was, or absent, and the disk answers.
    }
    {
        std::lock_guard lock(index->m_lock);
        index->m_walked.assign(index->m_walked.size(), true);  // nobody waits for a walk that will not come
    }
    index->m_walkedChanged.notify_all();
    SetEvent(index->m_leftEvent);
    return 0;
}

void FileIndex::Run() {
    const SystemScope scope;
    // Watching starts before the walk, so nothing changed during it is missed.
    for (std::size_t root = 0; root < m_roots.size(); ++root) {
        Watched& watched = *m_watched[root];
        const std::wstring folder = Utf8ToWide(m_roots[root].folder);
        watched.directory = CreateFileW(folder.c_str(), FILE_LIST_DIRECTORY,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                        FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OVERLAPPED, nullptr);
        watched.event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        watched.buffer.resize((m_options.notificationBytes + sizeof(DWORD) - 1) / sizeof(DWORD));
        Arm(root);
    }
    // Each tree is answered for as soon as its walk is done; the selected
    // mod's, smallest and wanted first by the mod scan, comes first.
    for (std::size_t root = m_roots.size(); root-- > 0 && !m_stop;) Walk(root);
    while (!m_stop) {
        std::vector<HANDLE> events{m_stopEvent};
        std::vector<std::size_t> roots;
        for (std::size_t root = 0; root < m_watched.size(); ++root) {
            if (!m_watched[root]->armed) continue;
            events.push_back(m_watched[root]->event);
            roots.push_back(root);
        }
        const DWORD woken = WaitForMultipleObjects(static_cast<DWORD>(events.size()), events.data(), FALSE, INFINITE);
        if (woken == WAIT_OBJECT_0 || woken >= WAIT_OBJECT_0 + events.size()) break;
        Notified(roots[woken - WAIT_OBJECT_0 - 1]);
    }
}

bool FileIndex::Arm(std::size_t root) {
    Watched& watched = *m_watched[root];
    watched.armed = false;
    if (watched.directory == INVALID_HANDLE_VALUE || watched.event == nullptr) return false;
    ResetEvent(watched.event);
    watched.overlapped = {};
    watched.overlapped.hEvent = watched.event;
    watched.armed = ReadDirectoryChangesW(watched.directory, watched.buffer.data(),
                                          static_cast<DWORD>(watched.buffer.size() * sizeof(DWORD)), TRUE,
                                          FILE_NOTIFY_CHANGE_FILE_NAME | FILE_NOTIFY_CHANGE_DIR_NAME, nullptr,
                                          &watched.overlapped, nullptr) != FALSE;
    return watched.armed;
}

void FileIndex::Walk(std::size_t root) {
    std::uint64_t started = 0;
    {
        std::lock_guard lock(m_lock);
        started = m_changes;
    }
    // A tree nobody watches could change unseen: the disk answers for it.
    std::shared_ptr<const FileTree> tree;
    if (m_watched[root]->armed) {
        tree = std::make_shared<const FileTree>(WalkTree(m_roots[root].folder, root == 0, m_options.maxEntries, &m_stop));
    }
    std::lock_guard lock(m_lock);
    FileIndexSnapshot::Root& entry = m_roots[root];
    entry.tree = std::move(tree);
    // Changes made while the walk ran may have come too late for it.
    auto changed = std::make_shared<std::unordered_map<std::string, std::uint64_t>>();
    for (const auto& [path, order] : *entry.changed) {
        if (order > started) changed->emplace(path, order);
    }
    entry.changed = std::move(changed);
    m_walked[root] = true;
    PublishLocked();
    m_walkedChanged.notify_all();
}

void FileIndex::Notified(std::size_t root) {
    Watched& watched = *m_watched[root];
    DWORD bytes = 0;
    const bool completed = GetOverlappedResult(watched.directory, &watched.overlapped, &bytes, FALSE) != FALSE;
    std::vector<std::string> paths;
    if (completed && bytes > 0) {
        const auto* record = reinterpret_cast<const BYTE*>(watched.buffer.data());
        while (true) {
            const auto* information = reinterpret_cast<const FILE_NOTIFY_INFORMATION*>(record);
            paths.push_back(
                WideToUtf8(std::wstring(information->FileName, information->FileNameLength / sizeof(WCHAR))));
            if (information->NextEntryOffset == 0) break;
            record += information->NextEntryOffset;
        }
    }
    Arm(root);
    if (paths.empty() || !watched.armed) {
        // The buffer overflowed (or the watch failed): what changed is not
        // known, so the tree is listed again.
        Walk(root);
        return;
    }
    bool tooMany = false;
    {
        std::lock_guard lock(m_lock);
        TouchLocked(root, paths);
        // Too many changed paths, or one that stands for the whole tree.
        tooMany = m_roots[root].changed->size() > m_options.maxChanged || m_roots[root].changed->count({}) != 0;
    }
    if (tooMany) Walk(root);
}

IndexAnswer FileIndex::FindWhenWalked(std::string_view absolutePath, std::uint32_t waitMilliseconds) {
    std::unique_lock lock(m_lock);
    // The innermost tree: the game folder's leaves the mods and base folders out.
    std::size_t found = m_roots.size();
    for (std::size_t root = 0; root < m_roots.size(); ++root) {
        const std::string& folder = m_roots[root].folder;
        if (folder.empty() || absolutePath.size() <= folder.size() + 1 || !absolutePath.starts_with(folder) ||
            absolutePath[folder.size()] != '\\' || (found < m_roots.size() && m_roots[found].folder.size() > folder.size())) {
            continue;
        }
        found = root;
    }
    if (found == m_roots.size()) return IndexAnswer::Unknown;
    const std::string_view relative = absolutePath.substr(m_roots[found].folder.size() + 1);
    // The game folder's tree leaves out the other mods, which are not worth a wait.
    if (found == 0 && IsModsOrBase(relative.substr(0, relative.find('\\')))) return IndexAnswer::Unknown;
    if (!m_walkedChanged.wait_for(lock, std::chrono::milliseconds(waitMilliseconds), [&] { return m_walked[found]; })) {
        return IndexAnswer::Unknown;
    }
    FileIndexSnapshot snapshot;
    snapshot.roots.push_back(m_roots[found]);
    return snapshot.Find(m_roots[found].folder, relative);
}

void FileIndex::Touch(std::string_view absolutePath) {
    const std::string path = CleanPath(absolutePath);
    std::lock_guard lock(m_lock);
    for (std::size_t root = 0; root < m_roots.size(); ++root) {
        const std::string& folder = m_roots[root].folder;
        if (path.size() < folder.size() || !EqualsIgnoringAsciiCase(std::string_view(path).substr(0, folder.size()), folder)) {
            continue;
        }
        if (path.size() == folder.size()) {
            TouchLocked(root, {std::string()});
        } else if (IsSeparator(path[folder.size()]) || IsSeparator(folder.back())) {
            const std::size_t start = IsSeparator(folder.back()) ? folder.size() : folder.size() + 1;
            TouchLocked(root, {path.substr(start)});
        }
    }
}

void FileIndex::TouchLocked(std::size_t root, const std::vector<std::string>& relativePaths) {
    FileIndexSnapshot::Root& entry = m_roots[root];
    auto changed = std::make_shared<std::unordered_map<std::string, std::uint64_t>>(*entry.changed);
    bool added = false;
    for (const std::string& relative : relativePaths) {
        bool whole = false;
        auto [place, inserted] = changed->try_emplace(FoldedPrefix(CleanPath(relative), whole), 0);
        place->second = ++m_changes;
        added |= inserted;
    }
    entry.changed = std::move(changed);
    // A path already left to the disk needs no new snapshot; its order is
    // still renewed, so a walk under way does not drop it.
    if (added) PublishLocked();
}

void FileIndex::PublishLocked() {
    auto snapshot = std::make_shared<FileIndexSnapshot>();
    snapshot->roots = m_roots;
    m_snapshot.Publish(std::move(snapshot));
    m_generation.fetch_add(1, std::memory_order_acq_rel);
}

FileTree FileIndex::WalkTree(const std::string& folder, bool skipModsAndBase, std::size_t maxEntries,
                             const std::atomic<bool>* stop) {
    const SystemScope scope;
    FileTreeBuilder builder;
    struct Pending {
        std::wstring path;
        std::uint32_t id;
    };
    std::vector<Pending> pending{{Utf8ToWide(folder), FileTreeBuilder::kRoot}};
    if (folder.empty() || pending.back().path.empty()) return {};
    WIN32_FIND_DATAW data;
    while (!pending.empty()) {
        if (builder.Entries() > maxEntries || (stop != nullptr && stop->load())) return {};
        const Pending current = std::move(pending.back());
        pending.pop_back();
        HANDLE search = FindFirstFileExW((current.path + L"\\*").c_str(), FindExInfoBasic, &data, FindExSearchNameMatch,
                                         nullptr, FIND_FIRST_EX_LARGE_FETCH);
        if (search == INVALID_HANDLE_VALUE) continue;  // unlisted: the disk answers below it
        do {
            if (IsDotEntry(data.cFileName)) continue;
            // A path past the classic length limit opens, or not, by the system's settings.
            if (current.path.size() + 1 + wcslen(data.cFileName) >= MAX_PATH) {
                builder.LeaveToDisk(current.id);
                continue;
            }
            const std::string name = WideToUtf8(data.cFileName);
            if ((data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
                builder.AddFile(current.id, name);
                continue;
            }
            const std::uint32_t id = builder.AddFolder(current.id, name);
            // The mods and base folders are trees of their own; a linked
            // folder's changes are not seen by the watch.
            const bool own = skipModsAndBase && current.id == FileTreeBuilder::kRoot && IsModsOrBase(name);
            if (!own && id != FileTreeBuilder::kNone && (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0) {
                pending.push_back({current.path + L"\\" + data.cFileName, id});
            }
        } while (FindNextFileW(search, &data));
        const bool complete = GetLastError() == ERROR_NO_MORE_FILES;
        FindClose(search);
        if (complete) builder.MarkListed(current.id);
    }
    return builder.Finish();
}

}  // namespace modroute
