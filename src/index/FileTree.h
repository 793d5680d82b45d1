// One folder tree's names held in memory, so that "is there a file at this
// relative path?" is answered without asking the disk. Names are kept folded
// as the file system folds them when it looks one up: ASCII letters lower
// case, and characters without letter case (the Chinese of code page 936,
// kana, punctuation, symbols) as they are. A name with any other character,
// or one the file system reads differently from how it is spelled (".",
// "..", a trailing dot or space, "~" short names, ":" streams, device names,
// wildcards), is not modelled: the tree answers Unknown and the caller asks
// the disk. The same goes below a folder that could not be listed whole.
// Pure code; an immutable tree is safe to read from any number of threads.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace modroute {

// What is at a path: a plain file, a folder, nothing, or not known here.
enum class IndexAnswer { Unknown, File, Folder, Nothing };

// Appends one name (a path component, UTF-8) folded for lookup to out; false,
// with out unspecified, when the name is not one the tree models.
bool AppendFoldedName(std::string_view name, std::string& out);

class FileTree {
public:
    // A tree of nothing, not even a listed root: every answer is Unknown.
    FileTree() = default;

    // What is at the relative path (UTF-8, '\' between components, no
    // leading separator).
    IndexAnswer Find(std::string_view relativePath) const;

    std::size_t Entries() const { return m_nodes.size() - (m_nodes.empty() ? 0 : 1); }
    // Bytes held by the tree's tables.
    std::size_t MemoryBytes() const;

private:
    friend class FileTreeBuilder;
    struct Node {
        std::uint32_t parent;
        std::uint32_t nameOffset;
        std::uint16_t nameLength;
        std::uint8_t isFolder;
        // kListed: a folder whose entries are all present with names that
        // fold exactly. kAmbiguous: another entry of the same folder folds
        // alike (a case-sensitive disk), and the disk picks between them.
        std::uint8_t flags;
    };
    static constexpr std::uint8_t kListed = 1, kAmbiguous = 2;
    static std::uint32_t Hash(std::uint32_t parent, std::string_view folded);
    std::uint32_t FindChild(std::uint32_t parent, std::string_view folded) const;  // 0 when absent
    std::string_view NameOf(const Node& node) const { return {m_names.data() + node.nameOffset, node.nameLength}; }

    std::vector<Node> m_nodes;           // [0] is the root
    std::string m_names;                 // folded names, back to back
    std::vector<std::uint32_t> m_slots;  // open addressing by (parent, name): node index, 0 free
};

// Builds a tree one folder listing at a time, in any order of folders.
class FileTreeBuilder {
public:
    static constexpr std::uint32_t kRoot = 0;
    static constexpr std::uint32_t kNone = 0xFFFFFFFFu;  // an entry that is not kept
    FileTreeBuilder();

    // Adds a sub-folder of parent (a folder id) and gives its id, or kNone
    // when it is not kept: a name that does not fold exactly, or that folds
    // like another, leaves the parent to the disk.
    std::uint32_t AddFolder(std::uint32_t parent, std::string_view name);
    void AddFile(std::uint32_t parent, std::string_view name);
    // Every entry of the folder has been added.
    void MarkListed(std::uint32_t folder);
    // The folder holds an entry the disk may answer for otherwise than its
    // name says: lookups in it are left to the disk.
    void LeaveToDisk(std::uint32_t folder);

    std::size_t Entries() const { return m_tree.m_nodes.size() - 1; }
    FileTree Finish();

private:
    std::uint32_t Add(std::uint32_t parent, std::string_view name, bool isFolder);
    void Insert(std::uint32_t node);
    void Grow();

    FileTree m_tree;
    std::vector<std::uint8_t> m_inexact;  // per node: a name inside did not fold
    std::string m_folded;
};

}  // namespace modroute
