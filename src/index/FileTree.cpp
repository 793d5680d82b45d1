#include "index/FileTree.h"

#include "common/PathText.h"

namespace modroute {
namespace {

// Code points outside ASCII that no letter-case rule of the file system
// touches: nothing maps to them and they map to nothing else. Everything
// else (Latin letters with marks, Greek, Cyrillic, fullwidth Latin, Roman
// numerals, circled letters, the micro sign, ...) is left to the disk.
bool HasNoLetterCase(char32_t c) {
    static constexpr struct {
        char32_t first, last;
    } kRanges[] = {
        {0x00A0, 0x00B4}, {0x00B6, 0x00BF}, {0x00D7, 0x00D7}, {0x00F7, 0x00F7}, {0x2000, 0x206F},
        {0x2190, 0x23FF}, {0x2460, 0x24B5}, {0x2500, 0x26FF}, {0x2E80, 0x2FDF}, {0x3000, 0x33FF},
        {0x3400, 0x4DBF}, {0x4E00, 0x9FFF}, {0xAC00, 0xD7AF}, {0xE000, 0xFAFF}, {0xFE30, 0xFE4F},
        {0xFF01, 0xFF20}, {0xFF3B, 0xFF40}, {0xFF5B, 0xFFEF},
    };
    for (const auto& range : kRanges) {
        if (c >= range.first && c <= range.last) return true;
    }
    return false;
}

// Decodes one UTF-8 character at text[i]; its length, 0 when malformed.
std::size_t DecodeUtf8(std::string_view text, std::size_t i, char32_t& c) {
    const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
    const unsigned char lead = byte(i);
    std::size_t length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC2 ? 2 : 0;
    if (length == 0 || lead > 0xF4 || i + length > text.size()) return 0;
    c = lead & (0x7F >> length);
    for (std::size_t k = 1; k < length; ++k) {
        if ((byte(i + k) & 0xC0) != 0x80) return 0;
        c = (c << 6) | (byte(i + k) & 0x3F);
    }
    const char32_t smallest = length == 2 ? 0x80 : length == 3 ? 0x800 : 0x10000;
    return c < smallest || (c >= 0xD800 && c <= 0xDFFF) ? 0 : length;
}

// Characters the file system reads otherwise than as part of a name:
// separators, stream colons, wildcards and the "~" of short names.
bool IsReservedAscii(char c) {
    switch (c) {
    case '<': case '>': case ':': case '"': case '/': case '\\': case '|': case '?': case '*': case '~':
        return true;
    default:
        return false;
    }
}

// CON, NUL, COM1, ... name devices in any folder and with any extension.
bool IsDeviceName(std::string_view name) {
    std::string_view stem = name.substr(0, name.find('.'));
    while (!stem.empty() && stem.back() == ' ') stem.remove_suffix(1);
    static constexpr std::string_view kDevices[] = {"con", "prn", "aux", "nul", "conin$", "conout$"};
    for (const std::string_view device : kDevices) {
        if (EqualsIgnoringAsciiCase(stem, device)) return true;
    }
    return stem.size() == 4 && stem[3] >= '1' && stem[3] <= '9' &&
           (EqualsIgnoringAsciiCase(stem.substr(0, 3), "com") || EqualsIgnoringAsciiCase(stem.substr(0, 3), "lpt"));
}

}  // namespace

bool AppendFoldedName(std::string_view name, std::string& out) {
    if (name.empty() || name == "." || name == ".." || name.back() == '.' || name.back() == ' ') return false;
    if (IsDeviceName(name)) return false;
    for (std::size_t i = 0; i < name.size();) {
        const char c = name[i];
        if (static_cast<unsigned char>(c) < 0x80) {
            if (static_cast<unsigned char>(c) < 0x20 || IsReservedAscii(c)) return false;
            out += LowerAscii(c);
            ++i;
            continue;
        }
        char32_t code = 0;
        const std::size_t length = DecodeUtf8(name, i, code);
        if (length == 0 || !HasNoLetterCase(code)) return false;
        out.append(name.substr(i, length));
        i += length;
    }
    return true;
}

std::uint32_t FileTree::Hash(std::uint32_t parent, std::string_view folded) {
    std::uint32_t hash = 2166136261u;
    for (const char c : folded) hash = (hash ^ static_cast<unsigned char>(c)) * 16777619u;
    // The folder is mixed in whole, so that like names in neighbouring
    // folders (1.dds in one, 0.dds in the next) do not share a probe chain.
    hash ^= parent * 0x9E3779B1u;
    hash ^= hash >> 16;
    hash *= 0x85EBCA6Bu;
    return hash ^ (hash >> 13);
}

std::uint32_t FileTree::FindChild(std::uint32_t parent, std::string_view folded) const {
    if (m_slots.empty()) return 0;
    const std::size_t mask = m_slots.size() - 1;
    for (std::size_t slot = Hash(parent, folded) & mask;; slot = (slot + 1) & mask) {
        const std::uint32_t node = m_slots[slot];
        if (node == 0) return 0;
        if (m_nodes[node].parent == parent && NameOf(m_nodes[node]) == folded) return node;
    }
}

IndexAnswer FileTree::Find(std::string_view relativePath) const {
    if (m_nodes.empty()) return IndexAnswer::Unknown;
    std::string folded;
    std::uint32_t folder = 0;
    std::size_t start = 0;
    while (true) {
        const std::size_t end = relativePath.find('\\', start);
        const std::string_view name = relativePath.substr(start, end == std::string_view::npos ? end : end - start);
        folded.clear();
        if (!AppendFoldedName(name, folded)) return IndexAnswer::Unknown;
        const std::uint32_t child = FindChild(folder, folded);
        if (child == 0) return (m_nodes[folder].flags & kListed) != 0 ? IndexAnswer::Nothing : IndexAnswer::Unknown;
        if ((m_nodes[child].flags & kAmbiguous) != 0) return IndexAnswer::Unknown;
        if (end == std::string_view::npos) return m_nodes[child].isFolder ? IndexAnswer::Folder : IndexAnswer::File;
        // A path through a file names nothing.
        if (!m_nodes[child].isFolder) return IndexAnswer::Nothing;
        folder = child;
        start = end + 1;
    }
}

std::size_t FileTree::MemoryBytes() const {
    return m_nodes.capacity() * sizeof(Node) + m_names.capacity() + m_slots.capacity() * sizeof(std::uint32_t);
}

FileTreeBuilder::FileTreeBuilder() {
    m_tree.m_nodes.push_back({0, 0, 0, 1, 0});
    m_tree.m_slots.assign(1024, 0);
    m_inexact.push_back(0);
}

std::uint32_t FileTreeBuilder::Add(std::uint32_t parent, std::string_view name, bool isFolder) {
    if (parent == kNone) return kNone;
    m_folded.clear();
    if (!AppendFoldedName(name, m_folded) || m_folded.size() > 0xFFFF) {
        // The disk may serve a modelled request from this entry.
        LeaveToDisk(parent);
        return kNone;
    }
    // Two names that fold alike (possible on a case-sensitive disk) leave
    // the choice between them to the disk.
    if (const std::uint32_t existing = m_tree.FindChild(parent, m_folded)) {
        m_tree.m_nodes[existing].flags |= FileTree::kAmbiguous;
        return kNone;
    }
    const auto node = static_cast<std::uint32_t>(m_tree.m_nodes.size());
    m_tree.m_nodes.push_back({parent, static_cast<std::uint32_t>(m_tree.m_names.size()),
                              static_cast<std::uint16_t>(m_folded.size()), static_cast<std::uint8_t>(isFolder), 0});
    m_tree.m_names += m_folded;
    m_inexact.push_back(0);
    if (m_tree.m_nodes.size() * 2 > m_tree.m_slots.size()) {
        Grow();  // places the new node too
    } else {
        Insert(node);
    }
    return node;
}

std::uint32_t FileTreeBuilder::AddFolder(std::uint32_t parent, std::string_view name) { return Add(parent, name, true); }

void FileTreeBuilder::AddFile(std::uint32_t parent, std::string_view name) { Add(parent, name, false); }

void FileTreeBuilder::MarkListed(std::uint32_t folder) {
    if (folder != kNone && !m_inexact[folder]) m_tree.m_nodes[folder].flags |= FileTree::kListed;
}

void FileTreeBuilder::LeaveToDisk(std::uint32_t folder) {
    if (folder == kNone) return;
    m_inexact[folder] = 1;
    m_tree.m_nodes[folder].flags &= ~FileTree::kListed;
}

void FileTreeBuilder::Insert(std::uint32_t node) {
    const std::size_t mask = m_tree.m_slots.size() - 1;
    std::size_t slot = FileTree::Hash(m_tree.m_nodes[node].parent, m_tree.NameOf(m_tree.m_nodes[node])) & mask;
    while (m_tree.m_slots[slot] != 0) slot = (slot + 1) & mask;
    m_tree.m_slots[slot] = node;
}

void FileTreeBuilder::Grow() {
    m_tree.m_slots.assign(m_tree.m_slots.size() * 2, 0);
    for (std::uint32_t node = 1; node < m_tree.m_nodes.size(); ++node) Insert(node);
}

FileTree FileTreeBuilder::Finish() {
    m_tree.m_nodes.shrink_to_fit();
    m_tree.m_names.shrink_to_fit();
    FileTree tree = std::move(m_tree);
    *this = FileTreeBuilder();
    return tree;
}

}  // namespace modroute
