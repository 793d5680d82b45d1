// One index of where every file of the game folder (without its mods and
// base sub-folders), the base folder and the selected mod's folder is, built
// by walking the three trees once on a thread of its own and kept current:
// the game's own changes are reported at once (Touch), other processes'
// changes arrive as directory change notifications on the same thread, and
// an overflowed notification buffer makes that tree be walked again. A
// changed path is left to the disk until its tree is walked again. Readers
// take the published snapshot, immutable, and hold it while they use it;
// before the first walk has finished there is none.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "common/Published.h"
#include "index/FileTree.h"

namespace modroute {

class FileIndexSnapshot {
public:
    struct Root {
        std::string folder;  // UTF-8, as given to the index
        std::shared_ptr<const FileTree> tree;
        // Folded relative paths changed since the walk, with the order of
        // the change; the empty path stands for the whole tree.
        std::shared_ptr<const std::unordered_map<std::string, std::uint64_t>> changed;
    };

    // What is at folder\relative, for a folder spelled exactly as one of the
    // index's roots; Unknown for any other folder.
    IndexAnswer Find(std::string_view folder, std::string_view relative) const;

    std::vector<Root> roots;
};

class FileIndex {
public:
    struct Options {
        std::size_t maxEntries = 300000;        // per tree (about 10 MB); a larger tree is left to the disk
        std::size_t maxChanged = 512;           // changed paths kept before a tree is walked again
        std::uint32_t notificationBytes = 65536;  // per tree
    };

    // The process's index; never destroyed.
    static FileIndex& Instance();
    FileIndex() : FileIndex(Options{}) {}
    explicit FileIndex(Options options);
    ~FileIndex();
    FileIndex(const FileIndex&) = delete;
    FileIndex& operator=(const FileIndex&) = delete;

    // Starts the thread that walks and watches the folders (UTF-8; an empty
    // one names none); once per index. The first is the game folder, whose
    // mods and base sub-folders are left to the other trees.
    bool Start(std::vector<std::string> folders);
    // Ends the thread and waits until it has left the index's code.
    void Stop();

    // Null until the first walk has finished.
    std::shared_ptr<const FileIndexSnapshot> Snapshot() const { return m_snapshot.Get(); }
    // Changes with every snapshot published.
    std::uint64_t Generation() const { return m_generation.load(std::memory_order_acquire); }

    // What is at the absolute path (UTF-8, spelled below a folder as the
    // index was given it), once the first walk of its tree has finished,
    // waited for at most waitMilliseconds; Unknown for a path outside the
    // trees, or when the walk has not finished by then.
    IndexAnswer FindWhenWalked(std::string_view absolutePath, std::uint32_t waitMilliseconds);

    // Something at the absolute path (UTF-8) was created, deleted, moved or
    // written: the disk answers for it and everything below it from now on.
    void Touch(std::string_view absolutePath);

    // The whole tree of a folder listed as the index lists it.
    static FileTree WalkTree(const std::string& folder, bool skipModsAndBase, std::size_t maxEntries,
                             const std::atomic<bool>* stop = nullptr);

private:
    struct Watched;
    static unsigned long __stdcall ThreadMain(void* self);
    void Run();
    void Walk(std::size_t root);
    bool Arm(std::size_t root);
    void Notified(std::size_t root);
    // Adds the changes to the root's set and publishes; the lock is held.
    void TouchLocked(std::size_t root, const std::vector<std::string>& relativePaths);
    void PublishLocked();

    const Options m_options;
    std::mutex m_lock;  // writers: the thread and the game's Touch
    std::vector<FileIndexSnapshot::Root> m_roots;
    std::vector<std::unique_ptr<Watched>> m_watched;
    std::uint64_t m_changes = 0;
    std::vector<bool> m_walked;  // per root: its first walk has finished
    std::condition_variable m_walkedChanged;
    Published<FileIndexSnapshot> m_snapshot;
    std::atomic<std::uint64_t> m_generation{0};
    std::atomic<bool> m_stop{false};
    void* m_stopEvent = nullptr;
    void* m_leftEvent = nullptr;
    void* m_thread = nullptr;
};

}  // namespace modroute
