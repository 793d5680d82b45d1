// The replacements of the game's file functions. Each has exactly the
// signature and calling convention of the function it replaces and reaches
// that function through its RealFunctions slot.
#pragma once

#include <windows.h>

#include <cstdio>

namespace modroute {

// Opening, probing and loading by name: resolved through the redirector.
HANDLE WINAPI HookedCreateFileA(LPCSTR name, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES security,
                                DWORD disposition, DWORD flags, HANDLE templateFile);
HANDLE WINAPI HookedCreateFileW(LPCWSTR name, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES security,
                                DWORD disposition, DWORD flags, HANDLE templateFile);
DWORD WINAPI HookedGetFileAttributesA(LPCSTR name);
HMODULE WINAPI HookedLoadLibraryA(LPCSTR name);
HMODULE WINAPI HookedLoadLibraryW(LPCWSTR name);
FILE* __cdecl HookedFopen(const char* name, const char* mode);
int __cdecl HookedFopenS(FILE** stream, const char* name, const char* mode);
int __cdecl HookedOpen(const char* name, int flags, int permission);

// Handle functions: virtual handles are answered from memory, every other
// handle goes to the real function unchanged.
BOOL WINAPI HookedReadFile(HANDLE file, LPVOID buffer, DWORD count, LPDWORD read, LPOVERLAPPED overlapped);
BOOL WINAPI HookedCloseHandle(HANDLE handle);
DWORD WINAPI HookedSetFilePointer(HANDLE file, LONG distance, PLONG distanceHigh, DWORD method);
DWORD WINAPI HookedGetFileSize(HANDLE file, LPDWORD sizeHigh);
BOOL WINAPI HookedGetFileSizeEx(HANDLE file, PLARGE_INTEGER size);
BOOL WINAPI HookedGetFileInformationByHandle(HANDLE file, LPBY_HANDLE_FILE_INFORMATION information);
DWORD WINAPI HookedGetFileType(HANDLE file);

}  // namespace modroute
