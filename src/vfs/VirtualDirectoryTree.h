// The folders and files of the virtual file system as a tree, so that
// directory searches can list them. Paths are the file system's keys (UTF-8,
// cleaned, '\' separators). Children are kept in byte order; a lookup takes
// the exact name first and otherwise one that differs only in ASCII case, as
// the file system itself treats names. Not thread-safe: the owner locks.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace modroute {

class VirtualDirectoryTree {
public:
    struct Node {
        bool isDirectory = true;
        std::uint32_t size = 0;  // of a file
        std::map<std::string, std::unique_ptr<Node>> children;
    };

    // Adds a file (and the folders above it); a file added again takes the new size.
    void AddFile(std::string_view path, std::uint32_t size);
    // The node of a path (the root for an empty one), or null.
    const Node* Find(std::string_view path) const;
    bool IsDirectory(std::string_view path) const;

    struct Listed {
        std::string path;  // full path of the entry
        bool isDirectory;
        std::uint32_t size;
    };
    // The entries directly in a folder, in byte order of their names.
    std::vector<Listed> List(std::string_view folder) const;

private:
    Node m_root;
};

}  // namespace modroute
