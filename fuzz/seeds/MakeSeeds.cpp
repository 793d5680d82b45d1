// Writes the seed corpora: the sample files and texts of the unit tests, in
// the input form of each fuzz target. Usage: make_seeds <corpus folder>.
// Writes seed-* files only; regression inputs found by fuzzing sit beside
// them and are kept.
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

#include "FuzzSupport.h"
#include "autores/ResFormat.h"
#include "config/ModInfoText.h"
#include "patches/CodeSignatures.h"
#include "vfs/PvkFormat.h"

using namespace modroute;
using fuzzsupport::FieldWriter;

namespace {

std::filesystem::path g_root;

void Write(const std::string& target, const std::string& name, std::string_view bytes) {
    const std::filesystem::path folder = g_root / target;
    std::filesystem::create_directories(folder);
    std::ofstream(folder / ("seed-" + name), std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string Joined(const std::vector<std::string>& parts) {
    std::string joined;
    for (std::size_t i = 0; i < parts.size(); ++i) joined += (i ? std::string(1, '\0') : "") + parts[i];
    return joined;
}

std::span<const std::uint8_t> Bytes(std::string_view text) {
    return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

std::string Text(const std::vector<std::uint8_t>& bytes) { return {bytes.begin(), bytes.end()}; }

// GBK bytes of the tests' names.
const std::string kSincere = "\xD5\x5C";           // 誠: trail byte '\'
const std::string kTrailZ = "\x81\x5A";            // 乀: trail byte 'Z'
const std::string kDarkForestGbk = "\xBA\xDA\xB0\xB5\xC9\xAD\xC1\xD6";  // 黑暗森林
const std::string kBladesUtf8 = "\xE5\x88\x80\xE9\x94\x8B";           // 刀锋
const std::string kBladesGbk = "\xB5\xB6\xB7\xE6";

struct PackFile {
    std::string name;
    std::string directory;
    std::string data;
};

std::string Pack(const std::vector<PackFile>& files, const PvkWriteOptions& options = {}) {
    std::vector<PvkPackEntry> entries;
    for (const PackFile& file : files) entries.push_back({file.name, file.directory, Bytes(file.data)});
    std::vector<std::uint8_t> pack;
    if (WritePvk(entries, options, pack) != PvkWriteError::None) std::abort();
    return Text(pack);
}

void PvkSeeds() {
    const std::vector<PackFile> mixed = {
        {"hero.dds", "", "HERO"}, {"\xD6\xD0.wp", "Data//Maps/", ""}, {"render.json", "", "{}"},
        {"\xE4\xB8\xAD.txt", "\xE6\x96\x87\xE6\x9C\xAC", "text"}};
    Write("pvk_pack", "mixed", Pack(mixed));
    PvkWriteOptions options;
    options.variableBlock = Bytes("VARBLOCK");
    options.contentOffset = 908 + 8 + 208 + 3;
    Write("pvk_pack", "variable-block", Pack({{"a", "d", "xy"}}, options));
    std::string cut = Pack({{"a.dds", "tex", "AAA"}, {"k", "x", "first"}, {"k", "x/", "second"}, {"last", "tex", "ZZ"}});
    cut.pop_back();  // the last file's data runs past the end
    Write("pvk_pack", "cut", cut);

    const auto record = [](FieldWriter& w, const PackFile& file, std::uint32_t b = 0) {
        w.Text(file.name).Text(file.directory).Text(file.data).U32(b).U32(b + 1).U32(b + 2).U32(b + 3).U64(b * 0x100000001ULL);
    };
    FieldWriter plain;
    plain.U32(4).Text("").Byte(0).U16(0);
    for (const PackFile& file : mixed) record(plain, file, 1);
    Write("pvk_roundtrip", "mixed", plain.Bytes());
    FieldWriter gap;
    gap.U32(0x1234).Text("VARBLOCK").Byte(1).U16(3);
    record(gap, {"a", "d", "xy"}, 7);
    record(gap, {kSincere + ".wp", "maps\\" + kTrailZ, "wp"});
    Write("pvk_roundtrip", "gap", gap.Bytes());
    FieldWriter insideHeader;
    insideHeader.U32(4).Text("").Byte(2).U16(1000);
    record(insideHeader, {"a", "", "x"});
    Write("pvk_roundtrip", "inside-header", insideHeader.Bytes());
}

std::vector<std::uint8_t> ResHeader(std::uint16_t count) {
    std::vector<std::uint8_t> header(52);
    for (std::size_t i = 0; i < header.size(); ++i) header[i] = static_cast<std::uint8_t>(0x90 + i);
    header.push_back(static_cast<std::uint8_t>(count & 0xFF));
    header.push_back(static_cast<std::uint8_t>(count >> 8));
    return header;
}

void Append(std::vector<std::uint8_t>& file, const std::vector<std::uint8_t>& more) {
    file.insert(file.end(), more.begin(), more.end());
}

void ResSeeds() {
    std::vector<std::uint8_t> built = ResHeader(713);
    Append(built, BuildMapBlock({7, "Dark Forest", FormatMapKey(7)}));
    Append(built, BuildMapBlock({100, "Abyss", FormatMapKey(100)}));
    Append(built, BuildMapBlock({1, kSincere + kTrailZ, FormatMapKey(1), true, 0x11, 0x22, 0x33}));
    Write("res_scan", "built", Text(built));
    // The game's own layout: a block-like pattern in the header, a tag with
    // number 0, and blocks with tails of their own.
    std::vector<std::uint8_t> game = ResHeader(712);
    const std::string fake = std::string("\x05\0\0\0\x01\0\0\0\x03\0\0\0ab", 14);
    std::copy(fake.begin(), fake.end(), game.begin() + 10);
    const std::string tagged = std::string("\x05\0\0\0\0\0\0\0\x08\0\0\0", 12) + std::string(20, ' ');
    game.insert(game.end(), tagged.begin(), tagged.end());
    const std::string town = "\xB3\xC7" + kSincere;
    const std::string block = std::string("\x05\0\0\0\x01\0\0\0", 8) + char(town.size() + 1) + std::string(3, '\0') +
                              town + '\0' + std::string("\x05\0\0\0SN01\0\x01\0\0\0\0\x02\0\0\0\x05\0\0\0", 21);
    game.insert(game.end(), block.begin(), block.end());
    Write("res_scan", "game", Text(game));
    Write("res_scan", "short", Text(ResHeader(710)).substr(0, 53));

    const auto blockInput = [](FieldWriter& w, int number, const std::string& name, bool flag = false) {
        w.U16(static_cast<std::uint16_t>(number)).Text(name).Byte(flag).Byte(63).Byte(5).Byte(0);
    };
    const std::string header = Text(ResHeader(0)).substr(0, 52);
    FieldWriter dark;
    blockInput(dark, 7, "Dark Forest");
    dark.Byte(1).Text("").Text(header).U16(711);
    blockInput(dark, 100, "Abyss");
    dark.Text("sn07");
    Write("res_block", "dark-forest", dark.Bytes());
    FieldWriter gbk;
    blockInput(gbk, 1, kSincere + kTrailZ, true);
    gbk.Byte(0).Text("SN100").Text(header).U16(0xFFFF);
    blockInput(gbk, 255, std::string(63, 'L'));
    gbk.Text("sn 7");
    Write("res_block", "gbk-name", gbk.Bytes());
    FieldWriter refused;
    blockInput(refused, 0, "Name");
    refused.Byte(1).Text("").Text("").U16(710);
    blockInput(refused, 256, std::string("Na\0me", 5));
    refused.Text("sn4294967297");
    Write("res_block", "refused", refused.Bytes());

    // sn folders with a gap, a copy named after one, a digit-leading map that gets number 5, a pack.
    FieldWriter mod;
    mod.Byte(0).Byte(3);
    for (const int number : {1, 2, 3, 4, 100}) mod.Byte(2).Byte(static_cast<std::uint8_t>(number)).Text("").Text("Des " + std::to_string(number));
    for (const char* name : {"sn02 - copy", "1st Pass", "Abbey", "Snowfield"}) mod.Byte(0).Byte(0).Text(name).Text("");
    mod.Byte(1).Byte(0).Text("Castle").Text("");
    Write("res_roundtrip", "gaps-copies-digits", mod.Bytes());
}

std::string Utf16(std::string_view ascii, bool bigEndian) {
    std::string bytes = bigEndian ? "\xFE\xFF" : "\xFF\xFE";
    for (const char c : ascii) bytes += bigEndian ? std::string{'\0', c} : std::string{c, '\0'};
    return bytes;
}

void DesSeeds() {
    const std::string des = "GModel Description File V1.0\r\nDark Forest\r\nSceneObjects 12\r\n";
    Write("des_text", "utf8-mark", "\xEF\xBB\xBF" + des);
    Write("des_text", "utf16le", Utf16(des, false));
    Write("des_text", "utf16be", Utf16(des, true));
    Write("des_text", "gbk", "GModel Description File V1.0\r\n" + kDarkForestGbk + "\r\nSceneObjects 12\r\n");
    Write("des_text", "header-above", "Old Harbour\nGModel Description File V1.0\nSceneObjects\n# Harbour\nSceneObjects");
    Write("des_text", "trail-bytes", "Header\r\n\x81\x42y Town\r\n\x81SceneObjects\r\nSceneObjects\r\n");
}

void SettingsSeeds() {
    Write("settings_text", "utf8-mark", "\xEF\xBB\xBF[Settings]\r\nSelectedMod=" + kBladesUtf8 + "\r\n");
    Write("settings_text", "gbk", "[Settings]\r\nSelectedMod=" + kBladesGbk + "\r\n");
    Write("settings_text", "comments",
          "SelectedMod=Early\n[Other]\nSelectedMod=B\n [Settings]  \n;SelectedMod=A\n"
          "SelectedMod = Blades   ; the sword mod\nSelectedMod=Bla;des#x\n");

    Write("mod_info_text", "base-ini", DefaultBaseIniBytes());
    Write("mod_info_text", "mod",
          "Blades.2024.1\n[ModInfo]\r\n  title =  " + kBladesUtf8 +
              " \r\n  ; author=Comment\r\nno equals sign\r\ninfo=Sharp swords\r\ndescription=Swords\r\n"
              "image=pics//cover/a.jpg\r\nfolderName=Blades\r\ntype=\xB5\xB6\r\n[ModConfig]\r\ntitle=After\r\n");
    Write("mod_config_text", "rules",
          "[ModInfo]\nmusic=1\n[ModConfig]\ntexture = 2 ; comment\nwaves.pak=0\n\tmusic\t=\t+2\t\n"
          "sfx=4294967297\nmusic=-0\n.hidden=1\n[modconfig]\nx=1\n");
    Write("mod_config_text", "marked", "\xEF\xBB\xBF# settings\r\n[ModConfig]\r\nTavren.res=1=2\r\nmusic=2");
}

void PathSeeds() {
    Write("wildcard", "star-dot", Joined({"a.b.pak", "*.pak"}));
    Write("wildcard", "no-extension", Joined({"readme", "*.*"}));
    Write("wildcard", "utf8", Joined({"\xE5\x9C\xB0\xE5\x9B\xBE\xE4\xB8\xAD\xE6\x96\x87", "*?\xE6\x96\x87"}));
    Write("wildcard", "star-gives-back", Joined({"\xE4\xB8\xAD" "ab", "*??a*"}));
    Write("wildcard", "question-marks", Joined({"\xE4\xB8\xAD\xE6\x96\x87.txt", "??????.txt"}));
    Write("wildcard", "cut-sequence", Joined({"\xE4\xB8", "??"}));
    Write("wildcard", "no-folding", Joined({"\xC3\x89", "\xC3\xA9"}));
    Write("wildcard", "trailing", Joined({"noext", "noext. "}));
    Write("wildcard", "case", Joined({"sub\\Map.WP", "*map.wp"}));

    Write("path_rules", "normalize", Joined({"./data//x.pak", "maps\\sn03\\*.wp", "SN03=Dune", "SN01=Dune"}));
    Write("path_rules", "map-files", Joined({"sn01\\sn01.wp", "maps/SN03/*", "SN01=Dune", "SN03=Dune"}));
    Write("path_rules", "utf8-map",
          Joined({"maps\\sn12\\sn12.des", "sn03\\x\\sn04", "SN12=\xE6\xB2\x99\xE6\xBC\xA0", "SN04=Marsh"}));
    Write("path_rules", "unc", Joined({"\\\\server\\share\\\\x", "..\\x", "SN01=Dune"}));
    Write("path_rules", "pack", Joined({"sn01.pak", "\\\\?\\C:\\x", "SN01=Dune"}));

    Write("gbk_text", "separators", Joined({"C:\\games\\" + kSincere, "sn", "base"}));
    Write("gbk_text", "find", Joined({"\x81snsn01\\" + kTrailZ + "X", "SN", kSincere}));
    Write("gbk_text", "dangling", Joined({"A\x81", "a", "C:/game/"}));
}

void PatchSeeds() {
    Write("character_count", "names",
          Joined({"p01_a.gmb", "P12_b.gmb", "p7.gmb", "p40_hero.gmb", "p1.2.gmb", "p2147483647.gmb",
                  "p99999999999.gmb", "p3_\xE5\x89\x91\xE5\xAE\xA2.gmb", "p1.\xE4\xB8\xAD"}));
    Write("character_count", "folders", Joined({"C:\\g", "C:\\g\\base", kBladesUtf8, "p5abc", "p12_.gmb"}));

    const auto font = [](const std::string& face, const std::string& other, std::int32_t value, std::int32_t scale,
                         const std::string& tnr, const std::string& mingLiU) {
        FieldWriter w;
        w.Text(face).Text("\x01\x03\x05").Text(other).U32(static_cast<std::uint32_t>(value));
        w.U32(static_cast<std::uint32_t>(scale)).U32(0).U16(31).Text(tnr).Text(mingLiU);
        return w.Bytes();
    };
    Write("font_rules", "times", font("Times New Roman", "times new roman", -16, 120, "Tahoma", "SimSun"));
    Write("font_rules", "mingliu", font("\xBC\x9A\xC3\xF7\xF3\x77", "MingLiU_HKSCS", 20, 150, "0", "SimSun"));
    Write("font_rules", "truncate", font(std::string(30, 'a') + "\xBA\xDA\xCC\xE5", "", INT32_MIN, 200, "", "0"));

    const CodePatch& hidden = HiddenCommandPatch();
    const std::string signature(hidden.signature.begin(), hidden.signature.end());
    Write("code_signature", "hidden-command", FieldWriter().Text("\x8B\xF0").Raw("\x90\x90" + signature + "\xC3").Bytes());
    const CodePatch& loadsnp = LoadsnpPatch();
    Write("code_signature", "at-the-end",
          FieldWriter().Text(signature).Raw("\xCC" + std::string(loadsnp.signature.begin(), loadsnp.signature.end())).Bytes());
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: make_seeds <corpus folder>\n";
        return 2;
    }
    g_root = argv[1];
    PvkSeeds();
    ResSeeds();
    DesSeeds();
    SettingsSeeds();
    PathSeeds();
    PatchSeeds();
    return 0;
}
