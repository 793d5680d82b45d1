#include "vfs/VirtualDirectoryTree.h"

#include "common/PathText.h"

namespace modroute {
namespace {

// Calls visit for each non-empty part of a '\'-separated path.
template <typename Visit>
bool ForEachPart(std::string_view path, Visit visit) {
    std::size_t start = 0;
    while (start <= path.size()) {
        std::size_t end = path.find('\\', start);
        if (end == std::string_view::npos) end = path.size();
        if (end > start && !visit(path.substr(start, end - start), end == path.size())) return false;
        start = end + 1;
    }
    return true;
}

const VirtualDirectoryTree::Node* Child(const VirtualDirectoryTree::Node& node, std::string_view name) {
    const auto exact = node.children.find(std::string(name));
    if (exact != node.children.end()) return exact->second.get();
    for (const auto& [childName, child] : node.children) {
        if (EqualsIgnoringAsciiCase(childName, name)) return child.get();
    }
    return nullptr;
}

}  // namespace

void VirtualDirectoryTree::AddFile(std::string_view path, std::uint32_t size) {
    Node* node = &m_root;
    ForEachPart(CleanPath(path), [&](std::string_view part, bool last) {
        std::unique_ptr<Node>& child = node->children[std::string(part)];
        if (!child) child = std::make_unique<Node>();
        if (last) {
            child->isDirectory = false;
            child->size = size;
        }
        node = child.get();
        return true;
    });
}

const VirtualDirectoryTree::Node* VirtualDirectoryTree::Find(std::string_view path) const {
    const Node* node = &m_root;
    const bool found = ForEachPart(CleanPath(path), [&](std::string_view part, bool) {
        node = Child(*node, part);
        return node != nullptr;
    });
    return found ? node : nullptr;
}

bool VirtualDirectoryTree::IsDirectory(std::string_view path) const {
    const Node* node = Find(path);
    return node != nullptr && node->isDirectory;
}

std::vector<VirtualDirectoryTree::Listed> VirtualDirectoryTree::List(std::string_view folder) const {
    std::vector<Listed> listed;
    const Node* node = Find(folder);
    if (node == nullptr || !node->isDirectory) return listed;
    const std::string prefix = CleanPath(folder);
    for (const auto& [name, child] : node->children) {
        listed.push_back({prefix.empty() ? name : prefix + "\\" + name, child->isDirectory, child->size});
    }
    return listed;
}

}  // namespace modroute
