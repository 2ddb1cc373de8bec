// Clip paths as projects made on Windows write them. Such a project names
// clips with backslashes (clips\beep.snx) and in its ANSI code page; on a
// system that reads paths otherwise, the same file has forward slashes and a
// UTF-8 name. The clip reader opens the file that a written path names here;
// messages keep naming the path as the project wrote it. Windows reads the
// path as written.
#pragma once

#include <string>

namespace zlt {

// The file to open for a clip path as written: the path itself on Windows or
// when it names a file; else the first of these that does: backslashes read as
// slashes, the text taken from the ANSI code page to UTF-8, both. When none
// names a file, the path itself.
std::string ClipFileName(const std::string& written);

// A path that starts with a drive letter (C:\voice\beep.snx) on a system
// without drives: it can only name a file on the Windows machine that the
// project was made on.
bool IsForeignDrivePath(const std::string& written);

}  // namespace zlt
