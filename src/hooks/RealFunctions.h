// The slots through which every replacement reaches the function it replaces.
// Before installation a slot holds the function's own address; the hook engine
// rewrites it at commit to the trampoline that runs the original code. The
// run-time library slots are looked up at each installation.
#pragma once

#include <windows.h>

#include <cstdio>

namespace modroute {

using FopenFunction = FILE*(__cdecl*)(const char*, const char*);
using FopenSFunction = int(__cdecl*)(FILE**, const char*, const char*);
using OpenFunction = int(__cdecl*)(const char*, int, int);
// Every _fstat of the library, whichever layout its result has.
using FstatFunction = int(__cdecl*)(int, void*);

struct RealFunctionTable {
    decltype(&::CreateFileA) CreateFileA;
    decltype(&::CreateFileW) CreateFileW;
    decltype(&::ReadFile) ReadFile;
    decltype(&::CloseHandle) CloseHandle;
    decltype(&::GetFileAttributesA) GetFileAttributesA;
    decltype(&::GetFileAttributesW) GetFileAttributesW;
    decltype(&::GetFileAttributesExA) GetFileAttributesExA;
    decltype(&::GetFileAttributesExW) GetFileAttributesExW;
    decltype(&::GetFileSize) GetFileSize;
    decltype(&::GetFileSizeEx) GetFileSizeEx;
    decltype(&::SetFilePointer) SetFilePointer;
    decltype(&::SetFilePointerEx) SetFilePointerEx;
    decltype(&::GetFileInformationByHandle) GetFileInformationByHandle;
    decltype(&::GetFileType) GetFileType;
    decltype(&::ReadFileEx) ReadFileEx;
    decltype(&::WriteFile) WriteFile;
    decltype(&::GetFileTime) GetFileTime;
    decltype(&::GetFileInformationByHandleEx) GetFileInformationByHandleEx;
    decltype(&::DuplicateHandle) DuplicateHandle;
    decltype(&::LockFile) LockFile;
    decltype(&::LockFileEx) LockFileEx;
    decltype(&::UnlockFile) UnlockFile;
    decltype(&::UnlockFileEx) UnlockFileEx;
    decltype(&::CreateFileMappingA) CreateFileMappingA;
    decltype(&::CreateFileMappingW) CreateFileMappingW;
    decltype(&::FindFirstFileA) FindFirstFileA;
    decltype(&::FindNextFileA) FindNextFileA;
    decltype(&::FindFirstFileW) FindFirstFileW;
    decltype(&::FindNextFileW) FindNextFileW;
    decltype(&::FindFirstFileExA) FindFirstFileExA;
    decltype(&::FindFirstFileExW) FindFirstFileExW;
    decltype(&::FindClose) FindClose;
    decltype(&::LoadLibraryA) LoadLibraryA;
    decltype(&::LoadLibraryW) LoadLibraryW;
    decltype(&::DeleteFileA) DeleteFileA;
    decltype(&::DeleteFileW) DeleteFileW;
    decltype(&::MoveFileA) MoveFileA;
    decltype(&::MoveFileW) MoveFileW;
    decltype(&::MoveFileExA) MoveFileExA;
    decltype(&::MoveFileExW) MoveFileExW;
    decltype(&::CreateDirectoryA) CreateDirectoryA;
    decltype(&::CreateDirectoryW) CreateDirectoryW;
    decltype(&::RemoveDirectoryA) RemoveDirectoryA;
    decltype(&::RemoveDirectoryW) RemoveDirectoryW;
    decltype(&::SetCurrentDirectoryA) SetCurrentDirectoryA;
    decltype(&::SetCurrentDirectoryW) SetCurrentDirectoryW;
    FopenFunction fopen;
    FopenSFunction fopen_s;
    OpenFunction _open;
    FstatFunction fstat;
    FstatFunction fstat32;
    FstatFunction fstat64;
    FstatFunction fstati64;
    FstatFunction fstat32i64;
    FstatFunction fstat64i32;
};

// The process-wide table; the kernel32 slots are filled when the library is loaded.
extern RealFunctionTable RealFunctions;

}  // namespace modroute
