// The replacements of the game's file functions. Each has exactly the
// signature and calling convention of the function it replaces and reaches
// that function through its RealFunctions slot.
#pragma once

#include <windows.h>

#include <cstdio>

#include "common/HookCall.h"
#include "hooks/RealFunctions.h"

namespace modroute {

// Opening, probing and loading by name: resolved through the redirector.
HANDLE WINAPI HookedCreateFileA(LPCSTR name, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES security,
                                DWORD disposition, DWORD flags, HANDLE templateFile);
HANDLE WINAPI HookedCreateFileW(LPCWSTR name, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES security,
                                DWORD disposition, DWORD flags, HANDLE templateFile);
// Attribute queries report what an open of the same name would serve.
DWORD WINAPI HookedGetFileAttributesA(LPCSTR name);
DWORD WINAPI HookedGetFileAttributesW(LPCWSTR name);
BOOL WINAPI HookedGetFileAttributesExA(LPCSTR name, GET_FILEEX_INFO_LEVELS level, LPVOID information);
BOOL WINAPI HookedGetFileAttributesExW(LPCWSTR name, GET_FILEEX_INFO_LEVELS level, LPVOID information);
HMODULE WINAPI HookedLoadLibraryA(LPCSTR name);
HMODULE WINAPI HookedLoadLibraryW(LPCWSTR name);
FILE* __cdecl HookedFopen(const char* name, const char* mode);
int __cdecl HookedFopenS(FILE** stream, const char* name, const char* mode);
int __cdecl HookedOpen(const char* name, int flags, int permission);

// Changes the game makes to its files and folders: passed on as they are,
// then the redirector forgets what it knew of the names changed.
BOOL WINAPI HookedDeleteFileA(LPCSTR name);
BOOL WINAPI HookedDeleteFileW(LPCWSTR name);
BOOL WINAPI HookedMoveFileA(LPCSTR from, LPCSTR to);
BOOL WINAPI HookedMoveFileW(LPCWSTR from, LPCWSTR to);
BOOL WINAPI HookedMoveFileExA(LPCSTR from, LPCSTR to, DWORD flags);
BOOL WINAPI HookedMoveFileExW(LPCWSTR from, LPCWSTR to, DWORD flags);
BOOL WINAPI HookedCreateDirectoryA(LPCSTR name, LPSECURITY_ATTRIBUTES security);
BOOL WINAPI HookedCreateDirectoryW(LPCWSTR name, LPSECURITY_ATTRIBUTES security);
BOOL WINAPI HookedRemoveDirectoryA(LPCSTR name);
BOOL WINAPI HookedRemoveDirectoryW(LPCWSTR name);
BOOL WINAPI HookedSetCurrentDirectoryA(LPCSTR name);
BOOL WINAPI HookedSetCurrentDirectoryW(LPCWSTR name);

// Directory searches: folders that the mod, base or packs share are listed
// merged, through virtual find handles.
HANDLE WINAPI HookedFindFirstFileA(LPCSTR name, LPWIN32_FIND_DATAA data);
HANDLE WINAPI HookedFindFirstFileW(LPCWSTR name, LPWIN32_FIND_DATAW data);
HANDLE WINAPI HookedFindFirstFileExA(LPCSTR name, FINDEX_INFO_LEVELS level, LPVOID data, FINDEX_SEARCH_OPS op,
                                     LPVOID filter, DWORD flags);
HANDLE WINAPI HookedFindFirstFileExW(LPCWSTR name, FINDEX_INFO_LEVELS level, LPVOID data, FINDEX_SEARCH_OPS op,
                                     LPVOID filter, DWORD flags);
BOOL WINAPI HookedFindNextFileA(HANDLE search, LPWIN32_FIND_DATAA data);
BOOL WINAPI HookedFindNextFileW(HANDLE search, LPWIN32_FIND_DATAW data);
BOOL WINAPI HookedFindClose(HANDLE search);

// Handle functions: virtual handles are answered from memory, or from the
// real file made for them (see VirtualFile); every other handle goes to the
// real function unchanged.
BOOL WINAPI HookedReadFile(HANDLE file, LPVOID buffer, DWORD count, LPDWORD read, LPOVERLAPPED overlapped);
BOOL WINAPI HookedCloseHandle(HANDLE handle);
DWORD WINAPI HookedSetFilePointer(HANDLE file, LONG distance, PLONG distanceHigh, DWORD method);
// Not among the game's own calls, but the run-time library seeks with it when
// fopen or _open read a packed file.
BOOL WINAPI HookedSetFilePointerEx(HANDLE file, LARGE_INTEGER distance, PLARGE_INTEGER newPosition, DWORD method);
DWORD WINAPI HookedGetFileSize(HANDLE file, LPDWORD sizeHigh);
BOOL WINAPI HookedGetFileSizeEx(HANDLE file, PLARGE_INTEGER size);
BOOL WINAPI HookedGetFileInformationByHandle(HANDLE file, LPBY_HANDLE_FILE_INFORMATION information);
DWORD WINAPI HookedGetFileType(HANDLE file);
BOOL WINAPI HookedReadFileEx(HANDLE file, LPVOID buffer, DWORD count, LPOVERLAPPED overlapped,
                             LPOVERLAPPED_COMPLETION_ROUTINE routine);
BOOL WINAPI HookedWriteFile(HANDLE file, LPCVOID buffer, DWORD count, LPDWORD written, LPOVERLAPPED overlapped);
BOOL WINAPI HookedGetFileTime(HANDLE file, LPFILETIME creation, LPFILETIME access, LPFILETIME write);
BOOL WINAPI HookedGetFileInformationByHandleEx(HANDLE file, FILE_INFO_BY_HANDLE_CLASS type, LPVOID information,
                                               DWORD size);
BOOL WINAPI HookedDuplicateHandle(HANDLE sourceProcess, HANDLE source, HANDLE targetProcess, LPHANDLE target,
                                  DWORD access, BOOL inherit, DWORD options);
BOOL WINAPI HookedLockFile(HANDLE file, DWORD offsetLow, DWORD offsetHigh, DWORD countLow, DWORD countHigh);
BOOL WINAPI HookedLockFileEx(HANDLE file, DWORD flags, DWORD reserved, DWORD countLow, DWORD countHigh,
                             LPOVERLAPPED overlapped);
BOOL WINAPI HookedUnlockFile(HANDLE file, DWORD offsetLow, DWORD offsetHigh, DWORD countLow, DWORD countHigh);
BOOL WINAPI HookedUnlockFileEx(HANDLE file, DWORD reserved, DWORD countLow, DWORD countHigh, LPOVERLAPPED overlapped);
HANDLE WINAPI HookedCreateFileMappingA(HANDLE file, LPSECURITY_ATTRIBUTES security, DWORD protection, DWORD sizeHigh,
                                       DWORD sizeLow, LPCSTR name);
HANDLE WINAPI HookedCreateFileMappingW(HANDLE file, LPSECURITY_ATTRIBUTES security, DWORD protection, DWORD sizeHigh,
                                       DWORD sizeLow, LPCWSTR name);

// The run-time library's _fstat variants: a descriptor of a packed file is
// described by the library itself, from the real file made for the handle.
int FstatThroughRealFile(int descriptor, void* status, FstatFunction real);
template <FstatFunction RealFunctionTable::*Slot>
int __cdecl HookedFstat(int descriptor, void* status) {
    const FstatFunction real = RealFunctions.*Slot;
    if (MustPassThrough()) return real(descriptor, status);
    return FstatThroughRealFile(descriptor, status, real);
}

}  // namespace modroute
