// Lines and blanks of the small text files the system reads: settings,
// mod descriptions and resource rules.
#pragma once

#include <string_view>

namespace modroute {

// The blanks of these files: spaces and tabs only.
std::string_view TrimBlanks(std::string_view text);

// Calls visit for each line of text (split at line feeds), with one trailing
// carriage return removed.
template <typename Visit>
void ForEachTextLine(std::string_view text, Visit visit) {
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string_view::npos) end = text.size();
        std::string_view line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        visit(line);
        start = end + 1;
    }
}

}  // namespace modroute
