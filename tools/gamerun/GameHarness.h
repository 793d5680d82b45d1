// Harness for end-to-end scenarios: a temporary game folder with the stand-in
// game and the DLL installed as AVIFIL32.dll, registry values of the scenario,
// and a run of the game under the debugger that captures its output.
#pragma once

#include <windows.h>

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace gamerun {

std::wstring Widen(const std::string& utf8);
std::string Utf8(const std::wstring& wide);
// Bytes in code page 936 (debugger output of the DLL) to UTF-8.
std::string GbkToUtf8(const std::string& gbk);

// The folder that holds the test executable and the binaries under test.
std::wstring BinaryFolder();

// A fresh folder under %TEMP%, removed with everything in it at the end.
class TempFolder {
public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    const std::string& Path() const { return m_path; }  // UTF-8

private:
    std::string m_path;
};

void WriteFile(const std::string& utf8Path, const std::string& bytes);  // creates parent folders
bool ReadFile(const std::string& utf8Path, std::string& bytes);
bool PathExists(const std::string& utf8Path);
void MakeFolders(const std::string& utf8Path);
void CopyBinary(const std::wstring& name, const std::string& utf8Target);
// Everything below a folder, paths relative to it, sorted by path.
struct TreeEntry {
    std::string relative;  // UTF-8, parts joined by backslashes
    bool isFolder = false;
};
std::vector<TreeEntry> ListTree(const std::string& utf8Folder);
// Copies a folder with everything below it into target (created as needed).
void CopyFolder(const std::string& utf8Source, const std::string& utf8Target);

// The sample game folder of the repository, copied beside the binaries by the build.
std::string SampleFolder();

// The name=value fields of a stand-in result line (tab-separated).
std::map<std::string, std::string> ResultFields(const std::string& result);

// One run of a program of the binary folder: its exit code and what it
// wrote to standard output and standard error, as bytes.
struct ProgramRun {
    DWORD exitCode = 0;
    bool timedOut = false;
    std::string out;
    std::string err;
};
// Arguments are UTF-8 and reach the program as CommandLineToArgvW splits them.
ProgramRun RunProgram(const std::wstring& name, const std::vector<std::string>& arguments,
                      DWORD timeoutMs = 60000);

// The registry values of one scenario under HKCU\SOFTWARE\TavrenModManager;
// the key is removed before and after, so scenarios never see each other.
class ManagerRegistry {
public:
    ManagerRegistry();
    ~ManagerRegistry();
    ManagerRegistry(const ManagerRegistry&) = delete;
    ManagerRegistry& operator=(const ManagerRegistry&) = delete;
    void SetDword(const std::wstring& subkey, const std::wstring& name, DWORD value);
    void SetString(const std::wstring& subkey, const std::wstring& name, const std::wstring& value);
};

struct GameRun {
    DWORD exitCode = 0;
    bool timedOut = false;
    std::vector<std::string> debugLines;   // UTF-8, each with its line feed removed
    std::vector<std::string> loadedDlls;   // file paths of the DLLs the game loaded, UTF-8
    std::vector<std::string> outputLines;  // the game's result lines
    std::vector<DWORD> exceptions;         // codes of exceptions the game raised (breakpoints aside)
    // The result fields (after op and argument) of the first output line for op and argument.
    std::string Result(const std::string& op, const std::string& argument) const;
    std::string DebugText() const;
};

class Game {
public:
    // A game folder named folderName (UTF-8, may be Chinese) inside a temp folder,
    // holding Tavren.exe and ModRoute.dll installed as AVIFIL32.dll.
    explicit Game(const std::string& folderName = "game");
    const std::string& Folder() const { return m_folder; }
    std::string PathOf(const std::string& relative) const { return m_folder + "\\" + relative; }
    void Write(const std::string& relative, const std::string& bytes) { WriteFile(PathOf(relative), bytes); }
    void InstallOriginalAvi();
    // TavrenDynamic.exe: the game loading AVIFIL32.dll at run time.
    void InstallDynamicGame();
    // The stand-in d3dx9_43.dll, which records the arguments of its font functions.
    void InstallD3dxStandin();
    // Runs the game (Tavren.exe unless told otherwise) with the script lines under the debugger.
    GameRun Run(const std::vector<std::string>& script, DWORD timeoutMs = 60000,
                const std::string& executable = "Tavren.exe");

private:
    TempFolder m_temp;
    std::string m_folder;
};

}  // namespace gamerun
