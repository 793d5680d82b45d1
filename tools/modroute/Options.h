// The command line of one command: its options, in both the "--mode 1" and
// the "--mode=1" forms, and the rest as positional arguments. Anything that
// starts with "--" is an option and never a path; after "--" everything is
// positional, so a path that starts with dashes can still be given.
#pragma once

#include <map>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace modroute::tool {

struct OptionSpec {
    std::string_view name;  // with its dashes: "--mode"
    bool takesValue = false;
};

struct ParsedArguments {
    std::vector<std::string> positional;
    std::map<std::string, std::string, std::less<>> options;  // a flag's value is empty

    bool Has(std::string_view name) const { return options.find(name) != options.end(); }
    std::optional<std::string> Value(std::string_view name) const;
};

// The arguments split by the command's options; nothing, with error set, for
// an unknown option, a value missing or a value given to a flag.
std::optional<ParsedArguments> ParseOptions(const std::vector<std::string>& arguments,
                                            std::span<const OptionSpec> specs, std::string& error);

}  // namespace modroute::tool
