// The files of platform/files.h on Windows, through the system's handles; a
// file that the rest of the program reads or writes through a descriptor gets
// one of the C runtime's (binary mode, never inherited). A whole file is
// written to a temporary file beside its target that is marked for deletion
// from its creation on, so that the system removes it however the process
// ends, and is moved into place with MoveFileExA, since the runtime's rename
// does not replace a file.
#include "platform/files.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <io.h>
#include <utility>
#include <windows.h>

namespace zlt::platform {

namespace {

// The errno value nearest to a system error, for the messages of the tools.
int ErrnoOf(DWORD error) {
    switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_NAME:
    case ERROR_INVALID_DRIVE:
    case ERROR_BAD_NETPATH: return ENOENT;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
    case ERROR_WRITE_PROTECT: return EACCES;
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS: return EEXIST;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL: return ENOSPC;
    case ERROR_NOT_ENOUGH_MEMORY:
    case ERROR_OUTOFMEMORY: return ENOMEM;
    case ERROR_FILENAME_EXCED_RANGE: return ENAMETOOLONG;
    default: return EIO;
    }
}

int LastErrno() { return ErrnoOf(GetLastError()); }

HANDLE HandleOf(int fd) { return reinterpret_cast<HANDLE>(::_get_osfhandle(fd)); }

// A descriptor of the C runtime that owns h from now on; -1 (h closed) when
// the runtime has no descriptor left.
int DescriptorOf(HANDLE h, int flags) {
    const int fd = ::_open_osfhandle(reinterpret_cast<intptr_t>(h), flags | _O_BINARY | _O_NOINHERIT);
    if (fd < 0) CloseHandle(h);
    return fd;
}

// Named pipes are the FIFOs of Windows. Opening one would take the instance
// that its server waits with, so a pipe is known by its name alone.
bool IsPipePath(std::string path) {
    for (char& c : path) c = c == '/' ? '\\' : static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    return path.starts_with("\\\\.\\pipe\\") || path.starts_with("\\\\?\\pipe\\");
}

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

// Opens what path names, folders included, following a symbolic link.
HANDLE OpenExisting(const std::string& path, DWORD access) {
    return CreateFileA(path.c_str(), access, kShareAll, nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS,
                       nullptr);
}

std::uint32_t PermissionsOf(DWORD attributes) {
    return (attributes & FILE_ATTRIBUTE_READONLY) != 0 ? 0444 : 0666;
}

FileInfo InfoOfHandle(HANDLE h) {
    FileInfo info;
    BY_HANDLE_FILE_INFORMATION file;
    const DWORD type = GetFileType(h);
    if (type == FILE_TYPE_PIPE) {
        info.kind = FileKind::kFifo;
    } else if (type != FILE_TYPE_DISK || !GetFileInformationByHandle(h, &file)) {
        info.kind = FileKind::kDevice;  // a console, a port, NUL, a volume
    } else {
        info.kind = (file.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ? FileKind::kFolder : FileKind::kRegular;
        info.id = {file.dwVolumeSerialNumber, (std::uint64_t{file.nFileIndexHigh} << 32) | file.nFileIndexLow};
        info.size = (std::uint64_t{file.nFileSizeHigh} << 32) | file.nFileSizeLow;
        info.permissions = PermissionsOf(file.dwFileAttributes);
    }
    return info;
}

// Marks the file of h for deletion when its last handle closes, or takes the
// mark back.
bool MarkForDeletion(HANDLE h, bool mark) {
    FILE_DISPOSITION_INFO disposition{mark};
    return SetFileInformationByHandle(h, FileDispositionInfo, &disposition, sizeof disposition) != 0;
}

// The path with a symbolic link (or another reparse point) at its end
// followed; empty when the link names nothing that can be opened.
std::string FollowLink(const std::string& path) {
    const DWORD attributes = GetFileAttributesA(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0) return path;
    const HANDLE h = OpenExisting(path, 0);
    if (h == INVALID_HANDLE_VALUE) return {};
    std::string final(MAX_PATH, '\0');
    DWORD n = GetFinalPathNameByHandleA(h, final.data(), static_cast<DWORD>(final.size()), FILE_NAME_NORMALIZED);
    if (n >= final.size()) {
        final.resize(n);
        n = GetFinalPathNameByHandleA(h, final.data(), n, FILE_NAME_NORMALIZED);
    }
    CloseHandle(h);
    if (n == 0 || n >= final.size()) return {};
    final.resize(n);
    return final;
}

}  // namespace

int OpenForReading(const char* path) { return ::_open(path, _O_RDONLY | _O_BINARY | _O_NOINHERIT); }

FileInfo InfoOf(const std::string& path) {
    if (IsPipePath(path)) return {FileKind::kFifo, {}, 0, 0};
    const HANDLE h = OpenExisting(path, FILE_READ_ATTRIBUTES);
    if (h != INVALID_HANDLE_VALUE) {
        const FileInfo info = InfoOfHandle(h);
        CloseHandle(h);
        return info;
    }
    // A file that no one may open (the paging file) still tells what it is.
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data) ||
        (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0)
        return {};
    const bool folder = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    return {folder ? FileKind::kFolder : FileKind::kRegular, {},
            (std::uint64_t{data.nFileSizeHigh} << 32) | data.nFileSizeLow, PermissionsOf(data.dwFileAttributes)};
}

bool ReadsWindowsPaths() { return true; }

// Windows keeps no temporary file without a name; the ones with a name are
// marked for deletion instead.
void SetUnnamedTempFiles(bool) {}

// target_ is the path with a link at its end followed; folder_ is the part of
// it that a name is put after to stand beside it ("C:\images\", "C:" or
// empty). The folder lock is a mutex named after the folder's id: a file
// lock needs a lock file, which would stay in the folder. The mutex lives
// in the session, and the system hands it on when its holder ends.
bool WholeFile::FindTarget(const std::string& path, bool lockFolder) {
    target_ = FollowLink(path);
    if (target_.empty()) return Fail(Fault::kOther, ENOENT);
    const std::size_t separator = target_.find_last_of("\\/:");
    folder_ = separator == std::string::npos ? std::string() : target_.substr(0, separator + 1);
    const FileInfo folder = lockFolder ? InfoOf(folder_.empty() ? "." : folder_) : FileInfo{};
    if (folder.kind == FileKind::kFolder && folder.id != FileId{}) {
        char name[64];
        std::snprintf(name, sizeof name, "Local\\zlt900-folder-%llx-%llx",
                      static_cast<unsigned long long>(folder.id.device),
                      static_cast<unsigned long long>(folder.id.inode));
        folderLock_ = CreateMutexA(nullptr, FALSE, name);
        if (folderLock_ != nullptr) {
            const DWORD got = WaitForSingleObject(folderLock_, INFINITE);
            locked_ = got == WAIT_OBJECT_0 || got == WAIT_ABANDONED;
        }
    }
    found_ = InfoOf(target_);
    return true;
}

bool WholeFile::OpenInPlace(bool allowFifo) {
    const bool fifo = found_.kind == FileKind::kFifo;
    if (fifo && !allowFifo) return Fail(Fault::kFifo, 0);
    // A pipe with no instance free, like a FIFO with no reader, is not waited
    // for.
    const HANDLE h = CreateFileA(target_.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                 OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        const bool noReader = fifo && (error == ERROR_PIPE_BUSY || error == ERROR_FILE_NOT_FOUND);
        return Fail(noReader ? Fault::kNoReader : Fault::kOther, ErrnoOf(error));
    }
    fd_ = DescriptorOf(h, _O_WRONLY);
    if (fd_ < 0) return Fail(Fault::kOther, errno);
    inPlace_ = open_ = true;
    return true;
}

// The temporary file is folder_ and a short name, created exclusively. Until
// Commit it is marked for deletion (unnamed_ says so), so that it goes when
// its handle closes, also when the process is ended. A file that replaces
// another gets its folder's permissions, as any new file there.
bool WholeFile::OpenTemp() {
    // A file its owner made read-only is not replaced behind its back.
    if (found_.kind == FileKind::kRegular && (found_.permissions & 0222) == 0) return Fail(Fault::kOther, EACCES);
    for (int tries = 0; tries < 100; ++tries) {
        const std::string name = folder_ + TempName(GetCurrentProcessId());
        const HANDLE h = CreateFileA(name.c_str(), GENERIC_READ | GENERIC_WRITE | DELETE, FILE_SHARE_READ, nullptr,
                                     CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (h == INVALID_HANDLE_VALUE) {
            const DWORD error = GetLastError();
            if (error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS) continue;
            const bool denied = error == ERROR_ACCESS_DENIED || error == ERROR_WRITE_PROTECT ||
                                error == ERROR_DISK_FULL || error == ERROR_HANDLE_DISK_FULL;
            return Fail(denied ? Fault::kNoTemp : Fault::kOther, ErrnoOf(error));
        }
        tempName_ = name;
        unnamed_ = MarkForDeletion(h, true);
        fd_ = DescriptorOf(h, 0);
        if (fd_ < 0) {
            const int error = errno;
            Discard(false);
            return Fail(Fault::kOther, error);
        }
        open_ = true;
        return true;
    }
    return Fail(Fault::kOther, EEXIST);
}

bool WholeFile::Write(const void* data, std::size_t size) {
    if (fd_ < 0) return false;
    const char* p = static_cast<const char*>(data);
    for (DWORD done = 0; size > 0; p += done, size -= done) {
        const DWORD chunk = size < (1u << 30) ? static_cast<DWORD>(size) : 1u << 30;
        if (!WriteFile(HandleOf(fd_), p, chunk, &done, nullptr) || done == 0) {
            error_ = LastErrno();
            return false;
        }
    }
    return true;
}

bool WholeFile::Seek(std::uint64_t offset) {
    LARGE_INTEGER to;
    to.QuadPart = static_cast<LONGLONG>(offset);
    return fd_ >= 0 && SetFilePointerEx(HandleOf(fd_), to, nullptr, FILE_BEGIN) != 0;
}

int WholeFile::PutInPlace() {
    int error = 0;
    if (!inPlace_) {
        if (!FlushFileBuffers(HandleOf(fd_)) || (unnamed_ && !MarkForDeletion(HandleOf(fd_), false)))
            error = LastErrno();
        else
            unnamed_ = false;
    }
    if (::_close(std::exchange(fd_, -1)) != 0 && error == 0 && inPlace_) error = errno;
    if (error == 0 && !inPlace_ &&
        !MoveFileExA(tempName_.c_str(), target_.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        error = LastErrno();
    // After a failure the temporary file is gone or left for Discard.
    if (error == 0) tempName_.clear();
    return error;
}

void WholeFile::DropFile() {
    // A temporary file still marked goes with its handle.
    if (fd_ >= 0) ::_close(std::exchange(fd_, -1));
    if (!tempName_.empty() && !unnamed_) DeleteFileA(tempName_.c_str());
    tempName_.clear();
}

void WholeFile::RemoveFound() {
    const FileInfo now = InfoOf(target_);
    if (now.kind == FileKind::kRegular && now.id == found_.id) DeleteFileA(target_.c_str());
}

void WholeFile::ReleaseFolder() {
    if (folderLock_ != nullptr) {
        if (locked_) ReleaseMutex(folderLock_);
        CloseHandle(std::exchange(folderLock_, nullptr));
    }
    locked_ = false;
}

MappedFile::~MappedFile() {
    if (map_ != nullptr) UnmapViewOfFile(map_);
    if (fd_ >= 0) ::_close(fd_);
}

bool MappedFile::Open(const std::string& path) {
    if (IsPipePath(path)) {
        info_ = InfoOf(path);
        return true;
    }
    const HANDLE h = OpenExisting(path, GENERIC_READ);
    if (h == INVALID_HANDLE_VALUE) {
        error_ = LastErrno();
        return false;
    }
    info_ = InfoOfHandle(h);
    fd_ = DescriptorOf(h, _O_RDONLY);
    if (fd_ < 0) error_ = errno;
    return fd_ >= 0;
}

std::size_t MappedFile::ReadAt(std::uint64_t offset, void* data, std::size_t size) {
    std::size_t done = 0;
    while (fd_ >= 0 && done < size) {
        OVERLAPPED at{};
        at.Offset = static_cast<DWORD>(offset + done);
        at.OffsetHigh = static_cast<DWORD>((offset + done) >> 32);
        const DWORD chunk = size - done < (1u << 30) ? static_cast<DWORD>(size - done) : 1u << 30;
        DWORD n = 0;
        if (!ReadFile(HandleOf(fd_), static_cast<char*>(data) + done, chunk, &n, &at)) {
            if (GetLastError() != ERROR_HANDLE_EOF) error_ = LastErrno();
            break;
        }
        if (n == 0) break;
        done += n;
    }
    return done;
}

bool MappedFile::Map(std::uint64_t length) {
    if (length == 0) return true;
    if (length > SIZE_MAX || fd_ < 0) {
        error_ = ENOMEM;
        return false;
    }
    // The view covers length bytes, never more than the file holds.
    const HANDLE mapping = CreateFileMappingA(HandleOf(fd_), nullptr, PAGE_READONLY, static_cast<DWORD>(length >> 32),
                                              static_cast<DWORD>(length), nullptr);
    void* p = mapping != nullptr ? MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, static_cast<SIZE_T>(length)) : nullptr;
    if (p == nullptr) error_ = LastErrno();
    if (mapping != nullptr) CloseHandle(mapping);
    if (p == nullptr) return false;
    map_ = p;
    mapLength_ = static_cast<std::size_t>(length);
    bytes_ = std::string_view(static_cast<const char*>(p), mapLength_);
    return true;
}

}  // namespace zlt::platform
