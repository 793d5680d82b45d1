// modroute pvk list|extract|pack|verify: a pack's entries, its files written
// out below a folder, a pack built from a folder with the product's writer,
// and its header, tables and data checked against its file.
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <system_error>

#include "Commands.h"
#include "Console.h"
#include "FolderFiles.h"
#include "GameView.h"
#include "Json.h"
#include "Options.h"
#include "PvkChecks.h"
#include "common/FileSystem.h"
#include "common/PathText.h"
#include "common/TextEncoding.h"
#include "vfs/PvkFile.h"
#include "vfs/PvkFormat.h"

namespace modroute::tool {
namespace {

namespace fs = std::filesystem;

constexpr char kUsage[] =
    "modroute pvk list <pack> [--json]\n"
    "       modroute pvk extract <pack> <folder> [--force] [--json]\n"
    "       modroute pvk pack <folder> <pack> [--json]\n"
    "       modroute pvk verify <pack> [--json]";

fs::path FsPath(const std::string& utf8) { return fs::path(std::u8string(utf8.begin(), utf8.end())); }

std::string Utf8Of(const fs::path& path) {
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

std::string Shown(const std::string& stored) { return ToUtf8IfNeeded(stored, GbkToUtf8); }

// Opens the pack's table; on failure reports it and gives the exit code.
std::optional<int> OpenTable(const std::string& packPath, PvkTable& pack) {
    switch (ReadPvkTable(packPath, pack)) {
        case PvkReadStatus::Ok:
            return std::nullopt;
        case PvkReadStatus::CannotOpen:
            return CannotRead(packPath);
        case PvkReadStatus::NotAPack:
            ErrLine("problem: " + packPath + " is not a pack: its first four bytes are not \"PVK2\"");
            return kProblems;
        case PvkReadStatus::ShortHeader:
            ErrLine("problem: " + packPath + " ends inside its header");
            return kProblems;
        case PvkReadStatus::ReadFailed:
            ErrLine("problem: the entry table of " + packPath + " cannot be read");
            return kProblems;
        case PvkReadStatus::OutOfMemory:
            ErrLine("problem: the entry table of " + packPath + " does not fit in memory");
            return kProblems;
    }
    return kProblems;
}

std::uint64_t DataOffset(const PvkTable& pack, const PvkEntry& entry) { return pack.content.offset + entry.dataOffset; }

std::uint64_t DataBytes(const PvkTable& pack) {
    std::uint64_t total = 0;
    for (const PvkEntry& entry : pack.table.entries) total += entry.hasData ? entry.size : 0;
    return total;
}

void Describe(const std::string& packPath, const PvkTable& pack) {
    const PvkHeader& header = pack.header;
    OutLine("Pack     " + packPath + "  (" + Quantity(pack.fileSize, "byte", "bytes") + ")");
    OutLine("Header   version " + std::to_string(header.version) + ", variable block " +
            Quantity(header.variableBlockSize, "byte", "bytes") + ", content block at " +
            std::to_string(header.contentOffset) + ": " + std::to_string(header.contentSize) +
            " bytes declared, " + std::to_string(pack.content.size) + " in the file");
    OutLine("Entries  " + std::to_string(pack.table.entries.size()));
}

int List(const Arguments& allArguments) {
    constexpr OptionSpec kListOptions[] = {{"--json", false}};
    std::string usageError;
    const std::optional<ParsedArguments> parsed = ParseOptions(allArguments, kListOptions, usageError);
    if (!parsed) return BadUsage(usageError, kUsage);
    const Arguments& arguments = parsed->positional;
    if (arguments.size() != 1) return BadUsage("pvk list takes one pack", kUsage);
    PvkTable pack;
    if (const std::optional<int> failed = OpenTable(arguments[0], pack)) return *failed;
    if (parsed->Has("--json")) {
        JsonWriter json;
        json.BeginObject().Field("command", "pvk list").Field("pack", arguments[0]).Key("entries").BeginArray();
        for (const PvkEntry& entry : pack.table.entries) {
            json.BeginObject().Field("name", Shown(entry.name)).Field("directory", Shown(entry.directory));
            json.Field("key", entry.key).Field("size", std::int64_t{entry.size}).Key("offset");
            if (entry.hasData) json.Number(static_cast<std::int64_t>(DataOffset(pack, entry))); else json.Null();
            json.EndObject();
        }
        OutLine(json.EndArray().EndObject().Text());
        return kOk;
    }
    Describe(arguments[0], pack);
    OutLine("name\tdirectory\tkey\tsize\toffset");
    for (const PvkEntry& entry : pack.table.entries) {
        const std::string offset = entry.hasData ? std::to_string(DataOffset(pack, entry)) : "-";
        OutLine(Shown(entry.name) + "\t" + Shown(entry.directory) + "\t" + entry.key + "\t" +
                std::to_string(entry.size) + "\t" + offset);
    }
    return kOk;
}

bool WriteWholeFile(const std::string& utf8Path, const std::uint8_t* data, std::size_t size) {
    std::error_code error;
    fs::create_directories(FsPath(utf8Path).parent_path(), error);
    std::ofstream file(FsPath(utf8Path), std::ios::binary | std::ios::trunc);
    file.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    return static_cast<bool>(file.flush());
}

// What extract and pack found, printed as lines or as one JSON object whose
// "problems" and "notes" are the lines' texts.
struct PackWork {
    std::vector<std::string> problems;
    std::vector<std::string> notes;

    int Print(bool asJson, JsonWriter& json, const std::vector<std::string>& summary) const {
        if (asJson) {
            json.Key("problems").BeginArray();
            for (const std::string& problem : problems) json.String(problem);
            json.EndArray().Key("notes").BeginArray();
            for (const std::string& note : notes) json.String(note);
            OutLine(json.EndArray().EndObject().Text());
        } else {
            for (const std::string& problem : problems) OutLine("problem: " + problem);
            for (const std::string& line : summary) OutLine(line);
            for (const std::string& note : notes) OutLine("note: " + note);
        }
        return problems.empty() ? kOk : kProblems;
    }
};

int Extract(const Arguments& allArguments) {
    constexpr OptionSpec kExtractOptions[] = {{"--force", false}, {"--json", false}};
    std::string usageError;
    const std::optional<ParsedArguments> parsed = ParseOptions(allArguments, kExtractOptions, usageError);
    if (!parsed) return BadUsage(usageError, kUsage);
    const Arguments& arguments = parsed->positional;
    if (arguments.size() != 2) return BadUsage("pvk extract takes a pack and a folder", kUsage);
    const bool overwrite = parsed->Has("--force");
    const std::string& packPath = arguments[0];
    PvkTable pack;
    if (const std::optional<int> failed = OpenTable(packPath, pack)) return *failed;
    std::error_code error;
    fs::create_directories(FsPath(arguments[1]), error);
    const std::string folder = ExistingFolder(arguments[1]);
    if (folder.empty()) return CannotRead("the folder " + arguments[1]);

    PackWork work;
    std::size_t written = 0;
    std::uint64_t bytes = 0;
    Progress progress("extracting", DataBytes(pack), pack.table.entries.size());
    for (std::size_t i = 0; i < pack.table.entries.size(); ++i) {
        const PvkEntry& entry = pack.table.entries[i];
        const std::string name = "entry " + std::to_string(i + 1) + " (" + entry.key + ")";
        if (const std::optional<std::string> unsafe = UnsafeKeyReason(entry.key)) {
            work.problems.push_back(name + " not extracted: " + *unsafe);
            continue;
        }
        std::vector<std::uint8_t> data;
        if (!entry.hasData || !ReadPvkRange(packPath, DataOffset(pack, entry), entry.size, data)) {
            work.problems.push_back(name + " not extracted: its data is not in the file");
            continue;
        }
        if (!overwrite && FileExists(PathJoin(folder, entry.key))) {
            work.problems.push_back(name + " not extracted: " + PathJoin(folder, entry.key) +
                                    " exists (--force overwrites it)");
            continue;
        }
        if (!WriteWholeFile(PathJoin(folder, entry.key), data.data(), data.size())) {
            const std::string reason = LastErrorText();
            work.problems.push_back(name + " cannot be written to " + PathJoin(folder, entry.key) +
                                    (reason.empty() ? "" : ": " + reason));
            continue;
        }
        ++written;
        bytes += data.size();
        progress.Advance(data.size());
    }
    JsonWriter json;
    json.BeginObject().Field("command", "pvk extract").Field("pack", packPath).Field("folder", folder);
    json.Field("extracted", static_cast<std::int64_t>(written)).Field("bytes", static_cast<std::int64_t>(bytes));
    std::vector<std::string> summary = {"Extracted " + Quantity(written, "file", "files") + " (" +
                                        Quantity(bytes, "byte", "bytes") + ") into " + folder};
    if (!work.problems.empty()) summary.push_back(Quantity(work.problems.size(), "problem", "problems"));
    return work.Print(parsed->Has("--json"), json, summary);
}

std::string WriteErrorText(PvkWriteError error) {
    switch (error) {
        case PvkWriteError::None: return "none";
        case PvkWriteError::EmptyName: return "a file name is empty";
        case PvkWriteError::NameTooLong: return "a file name is longer than 65535 bytes";
        case PvkWriteError::DirectoryTooLong: return "a folder path is longer than 65535 bytes";
        case PvkWriteError::TooLarge: return "the pack would be larger than 4 GiB or than memory";
        case PvkWriteError::ContentOffsetInsideHeader: return "the content block would overwrite the header";
    }
    return "unknown";
}

bool IsInside(const std::string& path, const std::string& folder) {
    const std::string lowerPath = ToLowerAscii(path);
    const std::string lowerFolder = ToLowerAscii(folder);
    return lowerPath.size() > lowerFolder.size() && lowerPath.compare(0, lowerFolder.size(), lowerFolder) == 0 &&
           IsSeparator(lowerPath[lowerFolder.size()]);
}

int Pack(const Arguments& allArguments) {
    constexpr OptionSpec kPackOptions[] = {{"--json", false}};
    std::string usageError;
    const std::optional<ParsedArguments> parsed = ParseOptions(allArguments, kPackOptions, usageError);
    if (!parsed) return BadUsage(usageError, kUsage);
    const Arguments& arguments = parsed->positional;
    if (arguments.size() != 2) return BadUsage("pvk pack takes a folder and a pack", kUsage);
    const std::string folder = ExistingFolder(arguments[0]);
    if (folder.empty()) return CannotRead("the folder " + arguments[0]);
    const std::string packPath = Utf8Of(fs::absolute(FsPath(arguments[1])));
    if (IsInside(packPath, folder)) {
        return BadUsage("the pack " + packPath + " would lie inside the folder it is made from", kUsage);
    }

    const bool asJson = parsed->Has("--json");
    JsonWriter json;
    json.BeginObject().Field("command", "pvk pack").Field("folder", folder).Field("pack", packPath);
    const std::vector<FolderFile> files = FilesBelow(folder);
    PackWork work;
    std::uint64_t total = 0;
    for (const FolderFile& file : files) {
        // The reader takes a name that is not UTF-8 of 1- to 3-byte characters for code page 936.
        if (Shown(file.relative) != file.relative) {
            work.problems.push_back(file.relative + " has characters a pack cannot name in UTF-8 (outside U+0000..U+FFFF)");
        }
        total += FileSizeOf(file.path).value_or(0);
    }
    std::vector<std::string> relatives;
    for (const FolderFile& file : files) relatives.push_back(file.relative);
    for (const auto& [first, second] : CaseTwins(relatives)) {
        work.problems.push_back(files[second].relative + " and " + files[first].relative +
                                " differ only in letter case: on Windows one would overwrite the other");
    }
    if (!work.problems.empty()) {
        json.Key("written").Bool(false);
        return work.Print(asJson, json, {"Nothing written: " + Quantity(work.problems.size(), "problem", "problems")});
    }

    std::vector<std::string> contents;
    contents.reserve(files.size());
    std::vector<PvkPackEntry> entries;
    {
        Progress progress("reading", total, files.size());
        for (const FolderFile& file : files) {
            std::optional<std::string> data = ReadWholeFile(file.path, 0xFFFFFFFFu);
            if (!data) return CannotRead(file.path);
            progress.Advance(data->size());
            contents.push_back(std::move(*data));
            const std::string& bytes = contents.back();
            entries.push_back({file.name, file.directory,
                               {reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()}});
        }
    }
    std::vector<std::uint8_t> packBytes;
    if (const PvkWriteError error = WritePvk(entries, {}, packBytes); error != PvkWriteError::None) {
        work.problems.push_back("nothing written: " + WriteErrorText(error));
        json.Key("written").Bool(false);
        return work.Print(asJson, json, {});
    }
    if (!WriteWholeFile(packPath, packBytes.data(), packBytes.size())) {
        const std::string reason = LastErrorText();
        ErrLine("modroute: cannot write the pack " + packPath + (reason.empty() ? "" : ": " + reason));
        return kCannotRead;
    }
    json.Key("written").Bool(true).Field("entries", static_cast<std::int64_t>(entries.size()));
    json.Field("bytes", static_cast<std::int64_t>(packBytes.size()));
    const std::string stem = PvkPackStem(packPath);
    for (const FolderFile& file : files) {
        if (file.directory.empty() && file.name != "render.json") {
            work.notes.push_back(file.name + " lies at the top of the folder; the game finds it as " +
                                 (stem.empty() ? file.name : stem + "\\" + file.name) +
                                 " (a pack's loose files belong to the folder named after the pack)");
        }
    }
    return work.Print(asJson, json, {"Wrote " + packPath + ": " + Quantity(entries.size(), "entry", "entries") + ", " +
                                     Quantity(packBytes.size(), "byte", "bytes")});
}

int Verify(const Arguments& allArguments) {
    std::string usageError;
    constexpr OptionSpec kVerifyOptions[] = {{"--json", false}};
    const std::optional<ParsedArguments> parsed = ParseOptions(allArguments, kVerifyOptions, usageError);
    if (!parsed) return BadUsage(usageError, kUsage);
    const Arguments& arguments = parsed->positional;
    if (arguments.size() != 1) return BadUsage("pvk verify takes one pack", kUsage);
    const std::string& packPath = arguments[0];
    PvkTable pack;
    if (const std::optional<int> failed = OpenTable(packPath, pack)) return *failed;
    const bool asJson = parsed->Has("--json");
    if (!asJson) Describe(packPath, pack);

    std::vector<std::string> notes;
    std::vector<std::string> problems = PvkTableProblems(pack);
    for (std::string& problem : PvkNameProblems(pack, Utf8ToGbkExact)) problems.push_back(std::move(problem));
    std::map<std::string, std::size_t> seen;
    std::uint64_t dataEnd = pack.table.dataStart;
    {
        Progress progress("verifying", DataBytes(pack), pack.table.entries.size());
        std::vector<std::uint8_t> data;
        for (std::size_t i = 0; i < pack.table.entries.size(); ++i) {
            const PvkEntry& entry = pack.table.entries[i];
            if (const auto [at, fresh] = seen.emplace(entry.key, i + 1); !fresh) {
                notes.push_back("entry " + std::to_string(i + 1) + " has the key " + entry.key + " of entry " +
                        std::to_string(at->second) + "; the later one is served");
            }
            if (!entry.hasData) continue;
            dataEnd = std::max<std::uint64_t>(dataEnd, std::uint64_t{entry.dataOffset} + entry.size);
            if (!ReadPvkRange(packPath, DataOffset(pack, entry), entry.size, data)) {
                problems.push_back("entry " + std::to_string(i + 1) + " (" + entry.key + "): its data cannot be read");
            }
            progress.Advance(entry.size);
        }
    }
    if (pack.table.terminated && dataEnd < pack.content.size) {
        notes.push_back(Quantity(pack.content.size - dataEnd, "byte", "bytes") +
                        " of the content block follow the last entry's data");
    }
    if (asJson) {
        JsonWriter json;
        json.BeginObject().Field("command", "pvk verify").Field("pack", packPath);
        json.Field("entries", static_cast<std::int64_t>(pack.table.entries.size())).Key("problems").BeginArray();
        for (const std::string& problem : problems) json.String(problem);
        json.EndArray().Key("notes").BeginArray();
        for (const std::string& note : notes) json.String(note);
        OutLine(json.EndArray().EndObject().Text());
        return problems.empty() ? kOk : kProblems;
    }
    for (const std::string& note : notes) OutLine("note: " + note);
    for (const std::string& problem : problems) OutLine("problem: " + problem);
    if (problems.empty()) {
        OutLine("OK: header, entry table and the data of every entry lie inside the file");
        return kOk;
    }
    OutLine(Quantity(problems.size(), "problem", "problems"));
    return kProblems;
}

}  // namespace

int RunPvk(const Arguments& arguments) {
    if (arguments.empty()) return BadUsage("pvk needs a subcommand", kUsage);
    const std::string& command = arguments[0];
    const Arguments rest(arguments.begin() + 1, arguments.end());
    if (command == "list") return List(rest);
    if (command == "extract") return Extract(rest);
    if (command == "pack") return Pack(rest);
    if (command == "verify") return Verify(rest);
    return BadUsage("unknown pvk subcommand \"" + command + "\"", kUsage);
}

}  // namespace modroute::tool
