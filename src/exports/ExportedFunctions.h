// The functions the library exports to other code in the game process: a game
// file read, measured and resolved as the game would see it, and the
// statistics of the private heap the read data comes from. Plain C calling
// convention (the caller removes the arguments), undecorated names, texts in
// code page 936. None of them throws to its caller.
#pragma once

#include <cstdint>

extern "C" {

// The whole file the path resolves to, in a new block of the private heap that
// the caller frees with FreeFileBuffer; the result is its size. 0 for a null
// path or buffer, a path longer than 1024 bytes, or a file that is missing,
// unreadable or empty, and *buffer is then untouched; 0 with *buffer null
// when the heap cannot give the block.
std::uint32_t ReadModFile(const char* path, void** buffer);
// Size of the file the path resolves to; 0 when it cannot be opened.
std::uint32_t GetModFileSize(const char* path);
// Whether the path resolves to a file that is there to read.
bool ModFileExists(const char* path);
// The resolved path; the calling thread's own buffer, overwritten by its next call.
const char* ResolvePath(const char* path);
// Whether the game's access to the path is served from the mod, base or a pack.
bool ShouldRedirect(const char* path);

// Returns a block of ReadModFile to the private heap; null is ignored.
void FreeFileBuffer(void* buffer);
// How to use ReadModFile, in code page 936.
const char* GetReadModFileUsage();
const char* GetModSystemVersion();
// Bytes handed out by ReadModFile and not yet freed, and the most there were;
// either pointer may be null.
void GetVFSMemoryStats(std::uint32_t* current, std::uint32_t* peak);
// Forgets the count of bytes handed out; the blocks stay valid.
void ClearVFSMemory();
// Takes the heap's statistics report; nothing is handed back.
void DumpVFSMemoryInfo();
// False before the heap exists or when it is damaged.
bool ValidateVFSMemory();

}  // extern "C"
