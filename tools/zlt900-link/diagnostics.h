// Diagnostics of zlt900-link: the checker's findings kept, filtered by the
// -W options, and written in the GCC form or as SARIF.
#pragma once

#include "zlt900/zlt900_lnk.h"

#include <cstdio>
#include <set>
#include <string>
#include <vector>

namespace zlt::tool {

struct Finding {
    int severity;  // ZLTLNK_ERROR, _WARNING or _NOTE, after -Werror
    bool promoted = false;  // a warning made an error by -Werror
    std::string file, key, kind, message, linkLine;
    unsigned line = 0, column = 0, length = 0;
};

// What the -W options ask for.
struct WarningOptions {
    bool all = true;              // -w switches every warning off
    bool asErrors = false;        // -Werror
    std::set<std::string> off;    // -Wno-KIND
};

// Reads one -W argument ("error", "no-KIND"); false with a reason when it
// names no warning.
bool ParseWarningOption(const std::string& arg, WarningOptions& options, std::string& reason);

// Checks the project; the diagnostics that the options keep.
std::vector<Finding> CheckProject(const char* project, const WarningOptions& options);

int ErrorCount(const std::vector<Finding>& findings);

// Writes findings in the GCC form: "PATH:LINE:COL: error: MESSAGE [kind]", the
// source line and a caret under the offending text; in colour if asked.
void WriteText(std::FILE* out, const std::vector<Finding>& findings, bool colour);

// Writes findings as a SARIF 2.1.0 log.
void WriteSarif(std::FILE* out, const std::vector<Finding>& findings, const char* version);

// True when standard error should be coloured: a terminal, NO_COLOR unset.
bool ColourStderr();

}  // namespace zlt::tool
