// modroute res dump|check <file>: the map blocks of a map index as the
// system reads them, and whether it can read every block back.
#include <optional>

#include "Commands.h"
#include "Console.h"
#include "ResChecks.h"
#include "common/FileSystem.h"
#include "common/TextEncoding.h"

namespace modroute::tool {
namespace {

constexpr char kUsage[] = "modroute res dump <Tavren.res>\n       modroute res check <Tavren.res>";
// The game's own index is a few hundred kilobytes.
constexpr std::uint64_t kMaxResBytes = 256u * 1024u * 1024u;

int Report(const std::string& path, bool check) {
    const std::optional<std::string> bytes = ReadWholeFile(path, kMaxResBytes);
    if (!bytes) return CannotRead(path);
    const ResBytes file(reinterpret_cast<const std::uint8_t*>(bytes->data()), bytes->size());
    const ResReport report = CheckRes(file, GbkToUtf8Exact);

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

int RunRes(const Arguments& arguments) {
    if (arguments.size() != 2) return BadUsage("res takes a subcommand and one file", kUsage);
    if (arguments[0] == "dump") return Report(arguments[1], false);
    if (arguments[0] == "check") return Report(arguments[1], true);
    return BadUsage("unknown res subcommand \"" + arguments[0] + "\"", kUsage);
}

}  // namespace modroute::tool
