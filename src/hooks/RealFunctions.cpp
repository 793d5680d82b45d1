#include "hooks/RealFunctions.h"

namespace modroute {

// Filled from the library's imports while its statics are set up, before
// DllMain runs and so before any hook exists.
RealFunctionTable RealFunctions = {
    &::CreateFileA,   &::CreateFileW,   &::ReadFile,       &::CloseHandle,
    &::GetFileAttributesA, &::GetFileAttributesW, &::GetFileAttributesExA, &::GetFileAttributesExW, &::GetFileSize, &::GetFileSizeEx, &::SetFilePointer, &::SetFilePointerEx,
    &::GetFileInformationByHandle, &::GetFileType,
    &::ReadFileEx, &::WriteFile, &::GetFileTime, &::GetFileInformationByHandleEx, &::DuplicateHandle, &::LockFile,
    &::LockFileEx, &::UnlockFile, &::UnlockFileEx, &::CreateFileMappingA, &::CreateFileMappingW, &::FindFirstFileA, &::FindNextFileA,
    &::FindFirstFileW, &::FindNextFileW, &::FindFirstFileExA, &::FindFirstFileExW, &::FindClose,     &::LoadLibraryA,  &::LoadLibraryW,
    &::DeleteFileA,   &::DeleteFileW,   &::MoveFileA,      &::MoveFileW,  &::MoveFileExA, &::MoveFileExW,
    &::CreateDirectoryA, &::CreateDirectoryW, &::RemoveDirectoryA, &::RemoveDirectoryW,
    &::SetCurrentDirectoryA, &::SetCurrentDirectoryW,
    nullptr,          nullptr,          nullptr,
    nullptr,          nullptr,          nullptr,          nullptr,   nullptr,    nullptr,
};

}  // namespace modroute
