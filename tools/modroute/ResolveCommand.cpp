// modroute resolve <game> <path>...: where each game path is served from,
// after which map-id rewrite, and by which rule, as the DLL decides once
// started (packs registered, AutoRes's map table published).
#include "Commands.h"
#include "Console.h"
#include "GameView.h"
#include "Json.h"
#include "Options.h"
#include "ResolveExplanation.h"
#include "common/FileSystem.h"
#include "common/TextEncoding.h"

namespace modroute::tool {
namespace {

constexpr char kUsage[] = "modroute resolve <game folder> <game path>... [--json]";

void Row(const char* label, const std::string& value) {
    if (value.empty()) return;
    std::string padded = std::string("  ") + label;
    padded.resize(14, ' ');
    OutLine(padded + value);
}

}  // namespace

int RunResolve(const Arguments& allArguments) {
    constexpr OptionSpec kOptions[] = {{"--json", false}};
    std::string error;
    const std::optional<ParsedArguments> parsed = ParseOptions(allArguments, kOptions, error);
    if (!parsed) return BadUsage(error, kUsage);
    const Arguments& arguments = parsed->positional;
    if (arguments.size() < 2) return BadUsage("resolve takes a game folder and at least one game path", kUsage);
    const std::string game = GameFolderArgument(arguments[0]);
    if (game.empty()) return kCannotRead;

    GameView view(game);
    const ConfigManager& config = view.Config();
    const std::string& mod = config.GetSelectedMod();
    const std::string modFolder = config.GetSelectedModFolder();
    const bool modMissing = !modFolder.empty() && !DirectoryExists(modFolder);
    const bool json = parsed->Has("--json");
    JsonWriter writer;
    if (json) {
        writer.BeginObject().Field("command", "resolve").Field("game", game).Key("mod");
        if (mod.empty()) writer.Null(); else writer.String(mod);
        writer.Key("modFolderMissing").Bool(modMissing).Key("paths").BeginArray();
    } else {
        OutLine("Game folder   " + game);
        OutLine("Selected mod  " + (mod.empty() ? std::string("none") : mod));
        if (modMissing) {
            OutLine("problem: the selected mod has no folder " + modFolder +
                    ": the game plays with base and its own files");
        }
        const std::size_t mapped = view.MapPlan().table.Size();
        OutLine("Map table     " + Quantity(mapped, "entry", "entries") + ", " + MapTableSource(view.MapPlan()));
        OutLine("Packs         " + Quantity(view.Files().FileCount(), "file", "files") + " preloaded from " +
                view.PackSetup().preloadFolder + ", " + Quantity(view.RegisteredPacks().size(), "pack", "packs") +
                " registered by the pack index thread");
    }
    bool allFound = true;
    for (std::size_t i = 1; i < arguments.size(); ++i) {
        const std::string& request = arguments[i];
        const Explanation explanation = ExplainResolution(view, request);
        allFound &= explanation.found;
        if (json) {
            writer.BeginObject().Field("request", request).Field("servedFrom", explanation.servedFrom);
            writer.Field("file", explanation.file).Field("pack", explanation.pack);
            writer.Field("rewrite", explanation.rewrite).Field("rule", explanation.rule).Field("why", explanation.why);
            writer.Key("found").Bool(explanation.found).EndObject();
            continue;
        }
        OutLine();
        OutLine(request);
        Row("served from", explanation.servedFrom);
        Row("file", explanation.file);
        Row("pack", explanation.pack);
        Row("rewrite", explanation.rewrite);
        Row("rule", explanation.rule + ": " + explanation.why);
        if (!Utf8ToGbkExact(request)) {
            Row("note", "the path has no code page 936 form: only the game's wide-character opens can name it");
        }
    }
    if (json) OutLine(writer.EndArray().EndObject().Text());
    return allFound && !modMissing ? kOk : kProblems;
}

}  // namespace modroute::tool
