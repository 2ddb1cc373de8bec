// Files as each platform keeps them (files_posix.cpp, files_windows.cpp):
// opening a file for reading, and writing a file beside its place and moving
// it there when it is complete.
#pragma once

#include <cstdio>
#include <string>

namespace zlt::platform {

// Opens path read-only in binary mode, without blocking (a FIFO cannot stall
// the open) and without handing the descriptor to child processes. Returns a
// descriptor for read, lseek, fstat and close, or -1.
int OpenForReading(const char* path);

// True when path itself names a regular file; a symbolic link there is not
// followed.
bool IsRegularFile(const std::string& path);

// The file that writing to path replaces: the file a symbolic link at path
// points at, or else path itself.
std::string ReplacedFile(const std::string& path);

// Creates a new file beside target under a temporary name, open for reading
// and writing in binary mode, with the permissions of target or, when there
// is none, those of a new file. Sets tempPath and returns the descriptor, or
// returns -1 when no file can be made there.
int CreateBeside(const std::string& target, std::string& tempPath);

// Writes what the system holds of the file's data through to the device.
bool FlushToDevice(std::FILE* stream);

// Moves the closed file from into place at to, replacing a file there, so
// that to holds either the old file or the whole new one.
bool MoveIntoPlace(const std::string& from, const std::string& to);

}  // namespace zlt::platform
