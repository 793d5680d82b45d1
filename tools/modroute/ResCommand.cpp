// modroute res dump|check <file>: the map blocks of a map index as the
// system reads them, and whether it can read every block back.
#include <optional>

#include "Commands.h"
#include "Console.h"
#include "Json.h"
#include "Options.h"
#include "ResChecks.h"
#include "common/FileSystem.h"
#include "common/TextEncoding.h"

namespace modroute::tool {
namespace {

constexpr char kUsage[] = "modroute res dump <Tavren.res> [--json]\n       modroute res check <Tavren.res> [--json]";
// The game's own index is a few hundred kilobytes.
constexpr std::uint64_t kMaxResBytes = 256u * 1024u * 1024u;

int ReportJson(const std::string& path, bool check, const ResReport& report) {
    JsonWriter json;
    json.BeginObject().Field("command", check ? "res check" : "res dump").Field("file", path).Key("storedCount");
    if (report.storedCount) json.Number(*report.storedCount); else json.Null();
    json.Key("blocks").BeginArray();
    for (const ResBlockView& block : report.blocks) {
        json.BeginObject().Field("offset", static_cast<std::int64_t>(block.offset));
        json.Field("number", std::int64_t{block.record.number}).Field("key", FormatMapKey(block.record.number));
        json.Field("name", GbkToUtf8(block.record.internalName)).EndObject();
    }
    json.EndArray();
    if (check) {
        json.Key("problems").BeginArray();
        for (const std::string& problem : report.problems) json.String(problem);
        json.EndArray();
    }
    OutLine(json.EndObject().Text());
    const bool problems = !report.storedCount || (check && !report.problems.empty());
    return problems ? kProblems : kOk;
}

int Report(const std::string& path, bool check, bool asJson) {
    const std::optional<std::string> bytes = ReadWholeFile(path, kMaxResBytes);
    if (!bytes) return CannotRead(path);
    const ResBytes file(reinterpret_cast<const std::uint8_t*>(bytes->data()), bytes->size());
    const ResReport report = CheckRes(file, GbkToUtf8Exact);
    if (asJson) return ReportJson(path, check, report);

    OutLine("Index         " + path + "  (" + Quantity(bytes->size(), "byte", "bytes") + ")");
    if (!report.storedCount) {
        OutLine("problem: " + report.problems.front());
        return kProblems;
    }
    OutLine("Stored count  " + std::to_string(*report.storedCount) + "  (710 + " +
            std::to_string(static_cast<int>(*report.storedCount) - kResBaseCount) + " maps)");
    OutLine("Blocks        " + std::to_string(report.blocks.size()));
    if (!report.blocks.empty()) OutLine("offset\tnumber\tkey\tname");
    for (const ResBlockView& block : report.blocks) {
        OutLine(std::to_string(block.offset) + "\t" + std::to_string(block.record.number) + "\t" +
                FormatMapKey(block.record.number) + "\t" + GbkToUtf8(block.record.internalName));
    }
    if (!check) return kOk;
    for (const std::string& problem : report.problems) OutLine("problem: " + problem);
    if (report.problems.empty()) {
        OutLine("OK: every block reads back, and the count is 710 + " + std::to_string(report.blocks.size()));
        return kOk;
    }
    OutLine(Quantity(report.problems.size(), "problem", "problems"));
    return kProblems;
}

}  // namespace

int RunRes(const Arguments& allArguments) {
    constexpr OptionSpec kOptions[] = {{"--json", false}};
    std::string error;
    const std::optional<ParsedArguments> parsed = ParseOptions(allArguments, kOptions, error);
    if (!parsed) return BadUsage(error, kUsage);
    const Arguments& arguments = parsed->positional;
    if (arguments.size() != 2) return BadUsage("res takes a subcommand and one file", kUsage);
    const bool asJson = parsed->Has("--json");
    if (arguments[0] == "dump") return Report(arguments[1], false, asJson);
    if (arguments[0] == "check") return Report(arguments[1], true, asJson);
    return BadUsage("unknown res subcommand \"" + arguments[0] + "\"", kUsage);
}

}  // namespace modroute::tool
