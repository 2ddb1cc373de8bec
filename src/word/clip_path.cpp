#include "word/clip_path.h"

#include "base/code_page.h"
#include "platform/files.h"

#include <algorithm>
#include <sys/stat.h>

namespace zlt {

namespace {

bool Exists(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0;
}

}  // namespace

std::string ClipFileName(const std::string& written) {
    if (platform::ReadsWindowsPaths() || Exists(written)) return written;
    std::string slashed = written;
    std::replace(slashed.begin(), slashed.end(), '\\', '/');
    if (slashed != written && Exists(slashed)) return slashed;
    if (std::any_of(written.begin(), written.end(), [](char c) { return c & 0x80; })) {
        for (const std::string& text : {written, slashed}) {
            if (auto utf8 = AnsiToUtf8(text); utf8 && Exists(*utf8)) return *utf8;
        }
    }
    return written;
}

bool IsForeignDrivePath(const std::string& written) {
    return !platform::ReadsWindowsPaths() && written.size() >= 3 &&
           ((written[0] >= 'A' && written[0] <= 'Z') || (written[0] >= 'a' && written[0] <= 'z')) &&
           written[1] == ':' && (written[2] == '\\' || written[2] == '/');
}

}  // namespace zlt
