// Virtual handles behave as a read-only open of the same bytes on disk:
// reads, moves and sizes from memory, with the results and last-error values
// the system gives; attributes and times those of the file holding the bytes
// (the pack). Locks, mappings, duplicates and other information classes go
// to the real file made for the handle. Every other handle goes to the real
// function unchanged. A call answered from memory leaves the caller's
// last-error value alone unless the system's own answer sets one.
#include <memory>
#include <new>

#include "common/HookCall.h"
#include "common/TextEncoding.h"
#include "hooks/FileHooks.h"
#include "hooks/RealFunctions.h"
#include "hooks/ServedFiles.h"
#include "vfs/VirtualHandleManager.h"

namespace modroute {
namespace {

constexpr ULONG_PTR kStatusSuccess = 0;
constexpr ULONG_PTR kStatusEndOfFile = 0xC0000011;

std::shared_ptr<VirtualFile> VirtualFileOf(HANDLE handle) { return VirtualHandleManager::Instance().Find(handle); }

// The real file of a virtual handle, for functions memory does not answer;
// null when the handle is not virtual.
HANDLE RealFileOf(HANDLE handle, bool make) {
    const std::shared_ptr<VirtualFile> file = VirtualFileOf(handle);
    if (!file) return nullptr;
    const HookCall call;
    HANDLE real = make ? file->MakeReal() : file->MadeReal();
    call.RestoreLastError();
    return real;
}

std::uint64_t OffsetOf(const OVERLAPPED& overlapped) {
    return (std::uint64_t{overlapped.OffsetHigh} << 32) | overlapped.Offset;
}

// A read at the overlapped structure's offset, completed at once: the
// structure and the count tell the result, as for a read the system finished.
bool ReadAtOffset(VirtualFile& file, void* buffer, DWORD count, OVERLAPPED& overlapped, DWORD& copied) {
    const std::uint64_t offset = OffsetOf(overlapped);
    copied = file.ReadAt(offset, buffer, count);
    const bool atEnd = count != 0 && offset >= file.Size();
    overlapped.Internal = atEnd ? kStatusEndOfFile : kStatusSuccess;
    overlapped.InternalHigh = copied;
    return !atEnd;
}

struct Completion {
    LPOVERLAPPED_COMPLETION_ROUTINE routine;
    DWORD count;
    LPOVERLAPPED overlapped;
};

void CALLBACK RunCompletion(ULONG_PTR parameter) {
    const std::unique_ptr<Completion> completion(reinterpret_cast<Completion*>(parameter));
    completion->routine(ERROR_SUCCESS, completion->count, completion->overlapped);
}

// What a disk file's information would say of a virtual one.
struct Described {
    WIN32_FILE_ATTRIBUTE_DATA data = {};
    DWORD volumeSerial = 0;
    std::uint64_t index = 0;
};

Described Describe(const VirtualFile& file) {
    const HookCall call;
    Described described;
    std::optional<OpenedFileData> opened;
    try {
        opened = DataOfOpenedFile(file.Path());
    } catch (...) {
    }
    if (opened) {
        described.data = opened->data;
        wchar_t root[MAX_PATH];
        if (GetVolumePathNameW(Utf8ToWide(opened->host).c_str(), root, MAX_PATH)) {
            GetVolumeInformationW(root, nullptr, 0, &described.volumeSerial, nullptr, nullptr, nullptr, 0);
        }
    } else {
        described.data.dwFileAttributes = FILE_ATTRIBUTE_NORMAL;
    }
    described.data.nFileSizeHigh = 0;
    described.data.nFileSizeLow = file.Size();
    // One index per file path: two opens of one file name the same file.
    std::uint64_t hash = 14695981039346656037ULL;
    for (const char c : file.Path()) hash = (hash ^ static_cast<unsigned char>(c >= 'A' && c <= 'Z' ? c + 32 : c)) * 1099511628211ULL;
    described.index = hash | (1ULL << 63);
    call.RestoreLastError();
    return described;
}

LARGE_INTEGER AsLarge(const FILETIME& time) {
    LARGE_INTEGER value;
    value.LowPart = time.dwLowDateTime;
    value.HighPart = static_cast<LONG>(time.dwHighDateTime);
    return value;
}

}  // namespace

BOOL WINAPI HookedReadFile(HANDLE file, LPVOID buffer, DWORD count, LPDWORD read, LPOVERLAPPED overlapped) {
    const std::shared_ptr<VirtualFile> virtualFile = VirtualFileOf(file);
    // A null buffer is the system's to reject, as for any handle.
    if (!virtualFile || (buffer == nullptr && count != 0)) {
        return RealFunctions.ReadFile(file, buffer, count, read, overlapped);
    }
    if (HANDLE real = virtualFile->MadeReal()) return RealFunctions.ReadFile(real, buffer, count, read, overlapped);
    if (overlapped == nullptr) {
        const std::uint32_t copied = virtualFile->Read(buffer, count);
        if (read != nullptr) *read = copied;
        return TRUE;
    }
    DWORD copied = 0;
    const bool ok = ReadAtOffset(*virtualFile, buffer, count, *overlapped, copied);
    if (read != nullptr) *read = copied;
    if (!ok) {
        SetLastError(ERROR_HANDLE_EOF);
        return FALSE;
    }
    if (overlapped->hEvent != nullptr) SetEvent(overlapped->hEvent);
    return TRUE;
}

BOOL WINAPI HookedReadFileEx(HANDLE file, LPVOID buffer, DWORD count, LPOVERLAPPED overlapped,
                             LPOVERLAPPED_COMPLETION_ROUTINE routine) {
    const std::shared_ptr<VirtualFile> virtualFile = VirtualFileOf(file);
    if (!virtualFile || overlapped == nullptr || routine == nullptr || (buffer == nullptr && count != 0)) {
        return RealFunctions.ReadFileEx(file, buffer, count, overlapped, routine);
    }
    if (HANDLE real = virtualFile->MadeReal()) return RealFunctions.ReadFileEx(real, buffer, count, overlapped, routine);
    DWORD copied = 0;
    if (!ReadAtOffset(*virtualFile, buffer, count, *overlapped, copied)) {
        SetLastError(ERROR_HANDLE_EOF);
        return FALSE;
    }
    // The routine runs when the thread next waits alertably, as for any completed read.
    auto* completion = new (std::nothrow) Completion{routine, copied, overlapped};
    if (completion == nullptr || !QueueUserAPC(RunCompletion, GetCurrentThread(), reinterpret_cast<ULONG_PTR>(completion))) {
        delete completion;
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return FALSE;
    }
    return TRUE;
}

// Packed files are opened for reading only.
BOOL WINAPI HookedWriteFile(HANDLE file, LPCVOID buffer, DWORD count, LPDWORD written, LPOVERLAPPED overlapped) {
    if (!VirtualFileOf(file)) return RealFunctions.WriteFile(file, buffer, count, written, overlapped);
    if (written != nullptr) *written = 0;
    SetLastError(ERROR_ACCESS_DENIED);
    return FALSE;
}

BOOL WINAPI HookedCloseHandle(HANDLE handle) {
    if (VirtualHandleManager::Instance().Close(handle)) return TRUE;
    return RealFunctions.CloseHandle(handle);
}

BOOL WINAPI HookedSetFilePointerEx(HANDLE file, LARGE_INTEGER distance, PLARGE_INTEGER newPosition, DWORD method) {
    const std::shared_ptr<VirtualFile> virtualFile = VirtualFileOf(file);
    if (!virtualFile) return RealFunctions.SetFilePointerEx(file, distance, newPosition, method);
    if (HANDLE real = virtualFile->MadeReal()) return RealFunctions.SetFilePointerEx(real, distance, newPosition, method);
    DWORD error = ERROR_SUCCESS;
    const std::optional<std::uint64_t> position = virtualFile->Seek(distance.QuadPart, method, error);
    if (!position) {
        SetLastError(error);
        return FALSE;
    }
    if (newPosition != nullptr) newPosition->QuadPart = static_cast<LONGLONG>(*position);
    return TRUE;
}

DWORD WINAPI HookedSetFilePointer(HANDLE file, LONG distance, PLONG distanceHigh, DWORD method) {
    const std::shared_ptr<VirtualFile> virtualFile = VirtualFileOf(file);
    if (!virtualFile) return RealFunctions.SetFilePointer(file, distance, distanceHigh, method);
    if (HANDLE real = virtualFile->MadeReal()) return RealFunctions.SetFilePointer(real, distance, distanceHigh, method);
    // Without a high part the distance is a signed 32-bit value; with one, the two halves of a 64-bit one.
    LARGE_INTEGER move;
    if (distanceHigh != nullptr) {
        move.LowPart = static_cast<DWORD>(distance);
        move.HighPart = *distanceHigh;
    } else {
        move.QuadPart = distance;
    }
    LARGE_INTEGER position;
    if (!HookedSetFilePointerEx(file, move, &position, method)) return INVALID_SET_FILE_POINTER;
    if (distanceHigh != nullptr) *distanceHigh = position.HighPart;
    // A position whose low part looks like the failure value is told apart by the error.
    if (position.LowPart == INVALID_SET_FILE_POINTER) SetLastError(ERROR_SUCCESS);
    return position.LowPart;
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
    const Described described = Describe(*virtualFile);
    *information = BY_HANDLE_FILE_INFORMATION{};
    information->dwFileAttributes = described.data.dwFileAttributes;
    information->ftCreationTime = described.data.ftCreationTime;
    information->ftLastAccessTime = described.data.ftLastAccessTime;
    information->ftLastWriteTime = described.data.ftLastWriteTime;
    information->dwVolumeSerialNumber = described.volumeSerial;
    information->nFileSizeLow = virtualFile->Size();
    information->nNumberOfLinks = 1;
    information->nFileIndexHigh = static_cast<DWORD>(described.index >> 32);
    information->nFileIndexLow = static_cast<DWORD>(described.index);
    return TRUE;
}

BOOL WINAPI HookedGetFileInformationByHandleEx(HANDLE file, FILE_INFO_BY_HANDLE_CLASS type, LPVOID information,
                                               DWORD size) {
    const std::shared_ptr<VirtualFile> virtualFile = VirtualFileOf(file);
    if (!virtualFile || information == nullptr) return RealFunctions.GetFileInformationByHandleEx(file, type, information, size);
    if (type == FileBasicInfo || type == FileStandardInfo) {
        if (size < (type == FileBasicInfo ? sizeof(FILE_BASIC_INFO) : sizeof(FILE_STANDARD_INFO))) {
            SetLastError(ERROR_BAD_LENGTH);
            return FALSE;
        }
        if (type == FileStandardInfo) {
            auto* standard = static_cast<FILE_STANDARD_INFO*>(information);
            *standard = FILE_STANDARD_INFO{};
            standard->EndOfFile.QuadPart = virtualFile->Size();
            standard->AllocationSize.QuadPart = (std::int64_t{virtualFile->Size()} + 4095) / 4096 * 4096;
            standard->NumberOfLinks = 1;
            return TRUE;
        }
        const Described described = Describe(*virtualFile);
        auto* basic = static_cast<FILE_BASIC_INFO*>(information);
        basic->CreationTime = AsLarge(described.data.ftCreationTime);
        basic->LastAccessTime = AsLarge(described.data.ftLastAccessTime);
        basic->LastWriteTime = AsLarge(described.data.ftLastWriteTime);
        basic->ChangeTime = basic->LastWriteTime;
        basic->FileAttributes = described.data.dwFileAttributes;
        return TRUE;
    }
    HANDLE real = RealFileOf(file, true);
    return RealFunctions.GetFileInformationByHandleEx(real != nullptr ? real : file, type, information, size);
}

BOOL WINAPI HookedGetFileTime(HANDLE file, LPFILETIME creation, LPFILETIME access, LPFILETIME write) {
    const std::shared_ptr<VirtualFile> virtualFile = VirtualFileOf(file);
    if (!virtualFile) return RealFunctions.GetFileTime(file, creation, access, write);
    const Described described = Describe(*virtualFile);
    if (creation != nullptr) *creation = described.data.ftCreationTime;
    if (access != nullptr) *access = described.data.ftLastAccessTime;
    if (write != nullptr) *write = described.data.ftLastWriteTime;
    return TRUE;
}

DWORD WINAPI HookedGetFileType(HANDLE file) {
    if (!VirtualFileOf(file)) return RealFunctions.GetFileType(file);
    return FILE_TYPE_DISK;
}

// A copy of a virtual handle is a handle of its real file, read-only as the
// original is, sharing its position.
BOOL WINAPI HookedDuplicateHandle(HANDLE sourceProcess, HANDLE source, HANDLE targetProcess, LPHANDLE target,
                                  DWORD access, BOOL inherit, DWORD options) {
    const bool ours = VirtualFileOf(source) &&
                      (sourceProcess == GetCurrentProcess() || GetProcessId(sourceProcess) == GetCurrentProcessId());
    HANDLE real = ours ? RealFileOf(source, true) : nullptr;
    if (real == nullptr) return RealFunctions.DuplicateHandle(sourceProcess, source, targetProcess, target, access, inherit, options);
    if ((options & DUPLICATE_SAME_ACCESS) != 0) {
        options &= ~static_cast<DWORD>(DUPLICATE_SAME_ACCESS);
        access = FILE_GENERIC_READ;
    }
    const BOOL done = RealFunctions.DuplicateHandle(sourceProcess, real, targetProcess, target, access, inherit,
                                                    options & ~static_cast<DWORD>(DUPLICATE_CLOSE_SOURCE));
    if ((options & DUPLICATE_CLOSE_SOURCE) != 0) VirtualHandleManager::Instance().Close(source);
    return done;
}

BOOL WINAPI HookedLockFile(HANDLE file, DWORD offsetLow, DWORD offsetHigh, DWORD countLow, DWORD countHigh) {
    HANDLE real = RealFileOf(file, true);
    return RealFunctions.LockFile(real != nullptr ? real : file, offsetLow, offsetHigh, countLow, countHigh);
}

BOOL WINAPI HookedLockFileEx(HANDLE file, DWORD flags, DWORD reserved, DWORD countLow, DWORD countHigh,
                             LPOVERLAPPED overlapped) {
    HANDLE real = RealFileOf(file, true);
    return RealFunctions.LockFileEx(real != nullptr ? real : file, flags, reserved, countLow, countHigh, overlapped);
}

BOOL WINAPI HookedUnlockFile(HANDLE file, DWORD offsetLow, DWORD offsetHigh, DWORD countLow, DWORD countHigh) {
    HANDLE real = RealFileOf(file, true);
    return RealFunctions.UnlockFile(real != nullptr ? real : file, offsetLow, offsetHigh, countLow, countHigh);
}

BOOL WINAPI HookedUnlockFileEx(HANDLE file, DWORD reserved, DWORD countLow, DWORD countHigh, LPOVERLAPPED overlapped) {
    HANDLE real = RealFileOf(file, true);
    return RealFunctions.UnlockFileEx(real != nullptr ? real : file, reserved, countLow, countHigh, overlapped);
}

int FstatThroughRealFile(int descriptor, void* status, FstatFunction real) {
    using OsHandleOf = intptr_t(__cdecl*)(int);
    using DescriptorOf = int(__cdecl*)(intptr_t, int);
    using Close = int(__cdecl*)(int);
    // The game's own library: its descriptors are the ones asked about.
    HMODULE runtime = GetModuleHandleA("msvcrt.dll");
    const auto osHandleOf = reinterpret_cast<OsHandleOf>(reinterpret_cast<void*>(GetProcAddress(runtime, "_get_osfhandle")));
    const auto descriptorOf = reinterpret_cast<DescriptorOf>(reinterpret_cast<void*>(GetProcAddress(runtime, "_open_osfhandle")));
    const auto close = reinterpret_cast<Close>(reinterpret_cast<void*>(GetProcAddress(runtime, "_close")));
    if (osHandleOf == nullptr || descriptorOf == nullptr || close == nullptr || !VirtualHandleManager::Instance().OpenCount()) {
        return real(descriptor, status);
    }
    HANDLE made = RealFileOf(reinterpret_cast<HANDLE>(osHandleOf(descriptor)), true);
    HANDLE copy = nullptr;
    if (made == nullptr || !RealFunctions.DuplicateHandle(GetCurrentProcess(), made, GetCurrentProcess(), &copy,
                                                          FILE_GENERIC_READ, FALSE, 0)) {
        return real(descriptor, status);
    }
    const int other = descriptorOf(reinterpret_cast<intptr_t>(copy), 0);
    if (other < 0) {
        RealFunctions.CloseHandle(copy);
        return real(descriptor, status);
    }
    const int result = real(other, status);
    close(other);
    return result;
}

namespace {

// A mapping of a virtual handle maps its real file; one that could write is
// refused, as for a file opened for reading.
template <typename Real>
HANDLE MapVirtual(HANDLE file, DWORD protection, Real real) {
    if (!VirtualFileOf(file)) return real(file);
    const DWORD access = protection & 0xFF;
    if (access == PAGE_READWRITE || access == PAGE_EXECUTE_READWRITE) {
        SetLastError(ERROR_ACCESS_DENIED);
        return nullptr;
    }
    HANDLE made = RealFileOf(file, true);
    return real(made != nullptr ? made : file);
}

}  // namespace

HANDLE WINAPI HookedCreateFileMappingA(HANDLE file, LPSECURITY_ATTRIBUTES security, DWORD protection, DWORD sizeHigh,
                                       DWORD sizeLow, LPCSTR name) {
    return MapVirtual(file, protection, [&](HANDLE which) {
        return RealFunctions.CreateFileMappingA(which, security, protection, sizeHigh, sizeLow, name);
    });
}

HANDLE WINAPI HookedCreateFileMappingW(HANDLE file, LPSECURITY_ATTRIBUTES security, DWORD protection, DWORD sizeHigh,
                                       DWORD sizeLow, LPCWSTR name) {
    return MapVirtual(file, protection, [&](HANDLE which) {
        return RealFunctions.CreateFileMappingW(which, security, protection, sizeHigh, sizeLow, name);
    });
}

}  // namespace modroute
