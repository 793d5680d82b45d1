#include "common/PathText.h"

namespace modroute {
bool IsSeparator(char c) { return c == '\\' || c == '/'; }

std::size_t FindLastSeparator(std::string_view path) {
    return path.find_last_of("\\/");
}

std::string PathJoin(std::string_view a, std::string_view b) {
    if (a.empty()) return std::string(b);
    if (b.empty()) return std::string(a);
    std::string joined(a);
    if (!IsSeparator(joined.back())) joined += '\\';
    joined += b;
    return joined;
}

std::string ToBackslashes(std::string_view path) {
    std::string result(path);
    for (char& c : result) {
        if (c == '/') c = '\\';
    }
    return result;
}

std::string CleanPath(std::string_view path) {
    std::string result;
    result.reserve(path.size() + 1);
    for (const char c : path) {
        const bool separator = IsSeparator(c);
        if (separator && !result.empty() && result.back() == '\\') continue;
        result += separator ? '\\' : c;
    }
    // A UNC path keeps two backslashes, however many separators it starts
    // with; a "\\?\" prefix collapses like any other run.
    const std::size_t leading = path.find_first_not_of("\\/");
    if (leading != std::string_view::npos && leading >= 2 && path[leading] != '?') result.insert(0, 1, '\\');
    return result;
}

std::string GetFileName(std::string_view path) {
    const std::string cleaned = CleanPath(path);
    const std::size_t separator = FindLastSeparator(cleaned);
    if (separator == std::string::npos) return cleaned;
    return cleaned.substr(separator + 1);
}

std::string GetExtension(std::string_view path) {
    const std::size_t dot = path.rfind('.');
    if (dot == std::string_view::npos) return {};
    return std::string(path.substr(dot));
}

std::string GetStem(std::string_view path) {
    const std::size_t separator = FindLastSeparator(path);
    std::string_view last = separator == std::string_view::npos ? path : path.substr(separator + 1);
    const std::size_t dot = last.rfind('.');
    if (dot != std::string_view::npos) last = last.substr(0, dot);
    return std::string(last);
}

bool IsAbsolutePath(std::string_view path) {
    return path.size() > 1 && (path[1] == ':' || (IsSeparator(path[0]) && IsSeparator(path[1])));
}

std::string ToLowerAscii(std::string_view text) {
    std::string result(text);
    for (char& c : result) c = LowerAscii(c);
    return result;
}

std::string ToUpperAscii(std::string_view text) {
    std::string result(text);
    for (char& c : result) c = UpperAscii(c);
    return result;
}

bool EqualsIgnoringAsciiCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (LowerAscii(a[i]) != LowerAscii(b[i])) return false;
    }
    return true;
}

bool ContainsIgnoringCase(std::string_view text, std::string_view lowerNeedle) {
    if (lowerNeedle.size() > text.size()) return false;
    for (std::size_t i = 0; i + lowerNeedle.size() <= text.size(); ++i) {
        std::size_t j = 0;
        while (j < lowerNeedle.size() && LowerAscii(text[i + j]) == lowerNeedle[j]) ++j;
        if (j == lowerNeedle.size()) return true;
    }
    return false;
}

}  // namespace modroute
