#include "Options.h"

namespace modroute::tool {

std::optional<std::string> ParsedArguments::Value(std::string_view name) const {
    const auto found = options.find(name);
    if (found == options.end()) return std::nullopt;
    return found->second;
}

std::optional<ParsedArguments> ParseOptions(const std::vector<std::string>& arguments,
                                            std::span<const OptionSpec> specs, std::string& error) {
    ParsedArguments parsed;
    bool optionsEnded = false;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        if (optionsEnded || argument.size() < 2 || argument.compare(0, 2, "--") != 0) {
            parsed.positional.push_back(argument);
            continue;
        }
        if (argument == "--") {
            optionsEnded = true;
            continue;
        }
        const std::size_t equals = argument.find('=');
        const std::string name = argument.substr(0, equals);
        const OptionSpec* option = nullptr;
        for (const OptionSpec& candidate : specs) {
            if (candidate.name == name) option = &candidate;
        }
        if (option == nullptr) {
            error = "unknown option " + name;
            return std::nullopt;
        }
        std::string value;
        if (equals != std::string::npos) {
            if (!option->takesValue) {
                error = name + " takes no value";
                return std::nullopt;
            }
            value = argument.substr(equals + 1);
        } else if (option->takesValue) {
            if (i + 1 == arguments.size()) {
                error = name + " needs a value";
                return std::nullopt;
            }
            value = arguments[++i];
        }
        parsed.options[name] = value;
    }
    return parsed;
}

}  // namespace modroute::tool
