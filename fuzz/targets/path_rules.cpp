// Path text of any bytes: cleaning, the canonical form of game paths, the
// path parts, and the map-id rewrites of paths and search patterns.
//
// Input: path, NUL, search pattern, then NUL-separated "SNxx=directory"
// entries of the map table (a directory is one name: no separator). Keys the
// input does not name are mapped when their first digit and last byte add up
// to an even number, so that rewrites come up without the fuzzer guessing a key.
#include <algorithm>
#include <map>

#include "FuzzSupport.h"
#include "common/MapId.h"
#include "common/PathText.h"
#include "redirect/PathRules.h"

using namespace modroute;

namespace {

std::size_t CountSeparators(std::string_view text) {
    return static_cast<std::size_t>(std::count_if(text.begin(), text.end(), IsSeparator));
}

std::string WithoutSeparators(std::string_view text) {
    std::string rest;
    for (const char c : text) {
        if (!IsSeparator(c)) rest += c;
    }
    return rest;
}

bool HasDoubledBackslash(std::string_view text, std::size_t from) {
    return text.find("\\\\", from) != std::string_view::npos;
}

void CheckCleanPath(std::string_view path) {
    const std::string clean = CleanPath(path);
    FUZZ_CHECK(clean.find('/') == std::string::npos);
    // Only a UNC prefix keeps two backslashes, and only at the start: two or
    // more separators and then something other than '?'.
    FUZZ_CHECK(!HasDoubledBackslash(clean, 1));
    const std::size_t leading = path.find_first_not_of("\\/");
    const bool unc = leading != std::string_view::npos && leading >= 2 && path[leading] != '?';
    FUZZ_CHECK(clean.starts_with("\\\\") == unc);
    FUZZ_CHECK(CleanPath(clean) == clean);
    FUZZ_CHECK(WithoutSeparators(clean) == WithoutSeparators(path));
    FUZZ_CHECK(clean.empty() == path.empty());
}

void CheckNormalizePath(std::string_view path) {
    const std::string normal = NormalizePath(path);
    std::string into(path.size(), '\0');
    into.resize(NormalizePathInto(path, into.data()));
    FUZZ_CHECK(into == normal);
    FUZZ_CHECK(normal.find('/') == std::string::npos && !HasDoubledBackslash(normal, 0));
    // A canonical relative path never starts at a root.
    if (!IsAbsolutePath(path)) FUZZ_CHECK(normal.empty() || normal.front() != '\\');
    // Nothing is added; "." components go, and ".." only leads, having taken
    // the folder before it, as the system reads a path.
    FUZZ_CHECK(normal.size() <= path.size());
    bool leading = true;
    for (std::size_t start = 0; start <= normal.size();) {
        std::size_t end = normal.find('\\', start);
        if (end == std::string::npos) end = normal.size();
        const std::string_view part = std::string_view(normal).substr(start, end - start);
        FUZZ_CHECK(part != ".");
        if (part != "..") leading = false;
        FUZZ_CHECK(part != ".." || leading);
        start = end + 1;
    }
    if (!IsAbsolutePath(path) && !normal.starts_with('.')) FUZZ_CHECK(NormalizePath(normal) == normal);
}

void CheckPathParts(std::string_view path, std::string_view other) {
    const std::string name = GetFileName(path);
    FUZZ_CHECK(CountSeparators(name) == 0 && CleanPath(path).ends_with(name));
    const std::string stem = GetStem(path);
    FUZZ_CHECK(CountSeparators(stem) == 0 && path.substr(FindLastSeparator(path) + 1).starts_with(stem));
    const std::string extension = GetExtension(path);
    FUZZ_CHECK(path.ends_with(extension) && (extension.empty() || extension.rfind('.') == 0));

    const std::string joined = PathJoin(path, other);
    FUZZ_CHECK(joined.starts_with(path) && joined.ends_with(other));
    FUZZ_CHECK(joined.size() - path.size() - other.size() <= 1);

    FUZZ_CHECK(IsSpecialFile(path) == IsSpecialFile(ToUpperAscii(path)));
    FUZZ_CHECK(IsRootFile(path) == IsRootFile(std::string("data\\") + name));
}

// The map table of the input; every key the rules look up is recorded.
class MapTable {
public:
    explicit MapTable(const std::vector<std::string_view>& entries) {
        for (const std::string_view entry : entries) {
            const std::size_t equals = entry.find('=');
            if (equals == std::string_view::npos) continue;
            const std::string_view directory = entry.substr(equals + 1);
            if (directory.empty() || CountSeparators(directory) != 0) continue;
            m_directories[std::string(entry.substr(0, equals))] = directory;
        }
    }

    MapDirectoryLookup Lookup() {
        return [this](std::string_view key) -> std::optional<std::string> {
            const std::optional<MapId> id = ReadMapId(key);
            FUZZ_CHECK(id && id->length == key.size() && ToUpperAscii(key) == key && key.starts_with("SN"));
            m_lastKey = key;
            const auto found = m_directories.find(std::string(key));
            if (found != m_directories.end()) return found->second;
            if ((key[2] + key.back()) % 2 != 0) return std::nullopt;
            return m_directories.emplace(key, "Map_" + std::string(key)).first->second;
        };
    }

    const std::string& LastKey() const { return m_lastKey; }
    const std::string& Directory(const std::string& key) const { return m_directories.at(key); }

private:
    std::map<std::string, std::string> m_directories;
    std::string m_lastKey;
};

std::string_view ExtensionOfName(std::string_view name) {
    const std::size_t dot = name.rfind('.');
    return dot == std::string_view::npos ? std::string_view() : name.substr(dot);
}

void CheckMapPathRewrite(const std::string& clean, MapTable& table) {
    const std::optional<std::string> rewritten = RewriteMapPath(clean, table.Lookup());
    if (!rewritten) return;
    const std::string& directory = table.Directory(table.LastKey());
    // One folder or file name becomes another: the path keeps its shape.
    FUZZ_CHECK(CountSeparators(*rewritten) == CountSeparators(clean));
    if (!HasDoubledBackslash(clean, 0)) FUZZ_CHECK(!HasDoubledBackslash(*rewritten, 0));
    const std::size_t id = FindMapId(clean);
    FUZZ_CHECK(id != std::string::npos && rewritten->starts_with(clean.substr(0, id) + directory));
    // The file keeps its name, or takes the directory's with its own extension.
    const std::string before = GetFileName(clean);
    const std::string after = GetFileName(*rewritten);
    FUZZ_CHECK(after == before || after == directory + std::string(ExtensionOfName(before)));
}

void CheckPatternRewrite(const std::string& pattern, MapTable& table) {
    const std::optional<std::string> rewritten = RewriteMapFolderInPattern(pattern, table.Lookup());
    if (!rewritten) return;
    const std::string& key = table.LastKey();
    const std::string& directory = table.Directory(key);
    // One whole part named exactly like the key became the directory.
    bool found = false;
    for (std::size_t i = 0; i + key.size() <= pattern.size() && !found; ++i) {
        const std::size_t end = i + key.size();
        found = (i == 0 || IsSeparator(pattern[i - 1])) && (end == pattern.size() || IsSeparator(pattern[end])) &&
                ToUpperAscii(pattern.substr(i, key.size())) == key &&
                *rewritten == pattern.substr(0, i) + directory + pattern.substr(end);
    }
    FUZZ_CHECK(found);
    FUZZ_CHECK(CountSeparators(*rewritten) == CountSeparators(pattern));
}

// Only the file name changes: its leading id becomes the directory.
void CheckMapFileCandidate(const std::string& clean, MapTable& table) {
    const std::optional<std::string> candidate = MapFileCandidate(clean, table.Lookup());
    if (!candidate) return;
    const std::size_t separator = FindLastSeparator(clean);
    const std::size_t nameStart = separator == std::string::npos ? 0 : separator + 1;
    const std::string& key = table.LastKey();
    FUZZ_CHECK(ToUpperAscii(clean.substr(nameStart, key.size())) == key);
    FUZZ_CHECK(*candidate == clean.substr(0, nameStart) + table.Directory(key) + clean.substr(nameStart + key.size()));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::vector<std::string_view> parts = fuzzsupport::SplitAtNul(fuzzsupport::AsText(data, size));
    parts.resize(std::max<std::size_t>(parts.size(), 2));
    const std::string_view path = parts[0];
    const std::string pattern(parts[1]);
    MapTable table({parts.begin() + 2, parts.end()});

    CheckCleanPath(path);
    CheckCleanPath(pattern);
    CheckNormalizePath(path);
    CheckPathParts(path, pattern);
    CheckMapPathRewrite(NormalizePath(path), table);
    CheckMapPathRewrite(CleanPath(path), table);
    CheckPatternRewrite(pattern, table);
    CheckMapFileCandidate(NormalizePath(path), table);
    return 0;
}
