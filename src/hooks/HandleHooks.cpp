// Virtual handles answered from memory. None of these touches the caller's
// last-error value when it answers a virtual handle itself.
#include "common/SystemTime.h"
#include "hooks/FileHooks.h"
#include "hooks/RealFunctions.h"
#include "vfs/VirtualHandleManager.h"

namespace modroute {
namespace {

std::shared_ptr<VirtualFile> VirtualFileOf(HANDLE handle) { return VirtualHandleManager::Instance().Find(handle); }

}  // namespace

BOOL WINAPI HookedReadFile(HANDLE file, LPVOID buffer, DWORD count, LPDWORD read, LPOVERLAPPED overlapped) {
    const std::shared_ptr<VirtualFile> virtualFile = VirtualFileOf(file);
    // A null buffer is the system's to reject, as for any handle.
    if (!virtualFile || (buffer == nullptr && count != 0)) {
        return RealFunctions.ReadFile(file, buffer, count, read, overlapped);
    }
    const std::uint32_t copied = virtualFile->Read(buffer, count);
    if (read != nullptr) *read = copied;
    return TRUE;
}

BOOL WINAPI HookedCloseHandle(HANDLE handle) {
    if (VirtualHandleManager::Instance().Close(handle)) return TRUE;
    return RealFunctions.CloseHandle(handle);
}

DWORD WINAPI HookedSetFilePointer(HANDLE file, LONG distance, PLONG distanceHigh, DWORD method) {
    const std::shared_ptr<VirtualFile> virtualFile = VirtualFileOf(file);
    if (!virtualFile) return RealFunctions.SetFilePointer(file, distance, distanceHigh, method);
    // Virtual files are far below 4 GiB: the low part alone moves, modulo 2^32.
    const std::uint32_t position = virtualFile->Seek(static_cast<std::uint32_t>(distance), method);
    if (distanceHigh != nullptr) *distanceHigh = 0;
    return position;
}

BOOL WINAPI HookedSetFilePointerEx(HANDLE file, LARGE_INTEGER distance, PLARGE_INTEGER newPosition, DWORD method) {
    const std::shared_ptr<VirtualFile> virtualFile = VirtualFileOf(file);
    if (!virtualFile) return RealFunctions.SetFilePointerEx(file, distance, newPosition, method);
    // The same rule as SetFilePointer: the low part moves, modulo 2^32.
    const std::uint32_t position = virtualFile->Seek(static_cast<std::uint32_t>(distance.QuadPart), method);
    if (newPosition != nullptr) newPosition->QuadPart = position;
    return TRUE;
}

DWORD WINAPI HookedGetFileSize(HANDLE file, LPDWORD sizeHigh) {
    const std::shared_ptr<VirtualFile> virtualFile = VirtualFileOf(file);
    if (!virtualFile) return RealFunctions.GetFileSize(file, sizeHigh);
    if (sizeHigh != nullptr) *sizeHigh = 0;
    return virtualFile->Size();
}

BOOL WINAPI HookedGetFileSizeEx(HANDLE file, PLARGE_INTEGER size) {
    const std::shared_ptr<VirtualFile> virtualFile = VirtualFileOf(file);
    if (!virtualFile || size == nullptr) return RealFunctions.GetFileSizeEx(file, size);
    size->QuadPart = virtualFile->Size();
    return TRUE;
}

BOOL WINAPI HookedGetFileInformationByHandle(HANDLE file, LPBY_HANDLE_FILE_INFORMATION information) {
    const std::shared_ptr<VirtualFile> virtualFile = VirtualFileOf(file);
    if (!virtualFile || information == nullptr) return RealFunctions.GetFileInformationByHandle(file, information);
    *information = BY_HANDLE_FILE_INFORMATION{};
    information->dwFileAttributes = FILE_ATTRIBUTE_NORMAL;
    information->ftCreationTime = information->ftLastAccessTime = information->ftLastWriteTime = CurrentFileTime();
    information->dwVolumeSerialNumber = 0x12345678;
    information->nFileSizeLow = virtualFile->Size();
    information->nNumberOfLinks = 1;
    return TRUE;
}

DWORD WINAPI HookedGetFileType(HANDLE file) {
    if (!VirtualFileOf(file)) return RealFunctions.GetFileType(file);
    return FILE_TYPE_DISK;
}

}  // namespace modroute
