// Files as the operating system keeps them: what a path names, a file that is
// written completely or not at all, and a file read through a map. The
// linker, the clip encoder and the inspector reach the file system only
// through these. files.cpp holds what every platform shares of them;
// files_posix.cpp and files_windows.cpp the rest.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace zlt::platform {

enum class FileKind { kNone, kRegular, kFolder, kDevice, kFifo, kOther };

// Two paths name the same file when their ids are equal, whatever links lie
// on the way.
struct FileId {
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    bool operator==(const FileId&) const = default;
};

struct FileInfo {
    FileKind kind = FileKind::kNone;  // kNone: nothing there, or a dangling link
    FileId id;
    std::uint64_t size = 0;
    std::uint32_t permissions = 0;  // the mode bits a copy of it should get
};

// Opens path read-only in binary mode, without blocking (a FIFO cannot stall
// the open) and without handing the descriptor to child processes. Returns a
// descriptor for read, lseek, fstat and close, or -1.
int OpenForReading(const char* path);

// What path names, following symbolic links.
FileInfo InfoOf(const std::string& path);

// True where the system itself reads a path as a project made on Windows
// writes it: backslashes, drive letters, names in the ANSI code page.
bool ReadsWindowsPaths();

// "a folder", "a FIFO", ...: what a kind is called in messages.
const char* KindName(FileKind kind);

// A file written completely or not at all. A regular file, or one not there
// yet, is written to a temporary file in its folder and moved into place by
// Commit: an unnamed one where the file system has them (linked in only when
// complete, so that not even a killed process leaves anything), otherwise one
// with a short hidden name that is removed when the process is ended by
// SIGINT, SIGTERM or SIGHUP; on Windows, one with a short name that is marked
// for deletion until Commit, so that the system removes it however the
// process ends. A symbolic link keeps itself: the file it names is written,
// also when that file is not there yet (on Windows a link that names nothing
// is refused). A device is written in place. Opening never waits: a FIFO (on
// Windows a named pipe) is refused, or, where the caller allows it, written
// in place when it has a reader.
class WholeFile {
public:
    enum class Fault {
        kNone,
        kNoTemp,    // no file can be made in the folder (read-only, no permission)
        kFifo,      // a FIFO where the caller takes none
        kNoReader,  // a FIFO with no reader
        kOther,     // no such folder, a folder at the path, and the like
    };
    struct Options {
        bool allowFifo = false;
        // Holds an exclusive advisory lock on the file's folder from Open until
        // Commit or Discard, so that writers of one path take turns.
        bool lockFolder = false;
    };

    WholeFile() = default;
    WholeFile(const WholeFile&) = delete;
    WholeFile& operator=(const WholeFile&) = delete;
    ~WholeFile() { Discard(false); }

    bool Open(const std::string& path, Options options);
    bool Open(const std::string& path) { return Open(path, Options{}); }
    // From a successful Open until Commit succeeds or Discard.
    bool IsOpen() const { return open_; }
    Fault fault() const { return fault_; }
    // The reason of the last failure, for messages of the tools.
    std::string Reason() const;

    // What stood at the path (through its links) when it was opened.
    const FileInfo& Found() const { return found_; }
    bool InPlace() const { return inPlace_; }

    // Each returns true when all was done.
    bool Write(const void* data, std::size_t size);
    bool Seek(std::uint64_t offset);
    // Puts the complete file in place. After a failure nothing new is in
    // place and the file is still open for Discard.
    bool Commit();
    // Drops what was written. With removeFound, the regular file found at the
    // path is removed too, unless another has taken its place meanwhile.
    void Discard(bool removeFound);

private:
    bool Fail(Fault fault, int error);
    // Sets target_, folder_ and found_ for path, and locks the folder when
    // asked to.
    bool FindTarget(const std::string& path, bool lockFolder);
    bool OpenInPlace(bool allowFifo);
    bool OpenTemp();
    // Flushes and closes the file and puts a temporary file in place;
    // returns 0, or the errno value of the failure.
    int PutInPlace();
    bool LinkUnnamed();
    // Closes the file and removes a named temporary file.
    void DropFile();
    // Removes target_ if it is still the regular file found there.
    void RemoveFound();
    void ReleaseFolder();
    // A short name that fits beside any file name: ".zlt-" and eight
    // letters, different for each call and process.
    static std::string TempName(std::uint64_t process);

    int fd_ = -1;
    int folderFd_ = -1;  // the folder of the target, locked or holding a named temporary
    void* folderLock_ = nullptr;  // where a folder is locked through an object of its own
    bool open_ = false;
    bool locked_ = false;
    bool inPlace_ = false;
    bool unnamed_ = false;
    std::string target_;    // the file to write: the path with its links followed
    std::string folder_;    // the target's folder
    std::string tempName_;  // a named temporary file in the target's folder
    int tempSlot_ = -1;     // its entry among the files removed on a signal
    FileInfo found_;
    Fault fault_ = Fault::kNone;
    int error_ = 0;
};

// Tests of the named temporary files turn the unnamed ones off.
void SetUnnamedTempFiles(bool allowed);

// A file opened for reading without waiting (a FIFO opens at once), and read
// through a map of its first bytes.
class MappedFile {
public:
    MappedFile() = default;
    MappedFile(const MappedFile&) = delete;
    MappedFile& operator=(const MappedFile&) = delete;
    ~MappedFile();

    bool Open(const std::string& path);
    const FileInfo& Info() const { return info_; }
    // Reads up to size bytes from offset; returns how many were read.
    std::size_t ReadAt(std::uint64_t offset, void* data, std::size_t size);
    // Maps the first length bytes; the view lives as long as the object.
    bool Map(std::uint64_t length);
    std::string_view Bytes() const { return bytes_; }
    int Error() const { return error_; }

private:
    int fd_ = -1;
    FileInfo info_;
    void* map_ = nullptr;
    std::size_t mapLength_ = 0;
    std::string_view bytes_;
    int error_ = 0;
};

}  // namespace zlt::platform
