// The library's exported C functions.
#include "zlt900/zlt900_lnk.h"

#include "base/context.h"
#include "check/checker.h"
#include "base/message.h"
#include "link/pipeline.h"
#include "base/code_page.h"
#include "base/progress.h"
#include "platform/clock.h"

#include <mutex>

namespace {

std::mutex g_linkMutex;

zlt::LinkContext& TheContext() {
    static zlt::LinkContext ctx;
    return ctx;
}

}  // namespace

extern "C" {

bool ZltLnk_MakeZltCfo(const char* projectPath, const char* imagePath) {
    // A link started from the output callback would run inside the link that
    // is calling it and overwrite its tables.
    if (zlt::InOutputCallback()) {
        zlt::LnkPrintf("\nErr: A link can not start from within the output callback");
        return false;
    }
    std::lock_guard<std::mutex> lock(g_linkMutex);
    return zlt::MakeZltCfo(TheContext(), projectPath, imagePath);
}

bool ZltLnk_SetDefFputs(ZltLnkFputs fn) {
    zlt::SetOutputCallback(fn);
    return true;
}

bool ZltLnk_SetDefProgressNotify(void* fn) {
    zlt::SetProgressCallback(fn);
    return true;
}

bool ZltLnk_SetPageProgress(ZltLnkPageProgress fn) {
    zlt::SetPageProgress(fn);
    return true;
}

bool ZltLnk_SetLinkTime(long long epochSeconds) {
    zlt::SetFixedLinkTime(epochSeconds);
    return true;
}

bool ZltLnk_SetInputNotify(ZltLnkInputNotify fn) {
    zlt::SetInputNotify(fn);
    return true;
}

bool ZltLnk_SetAnsiCodePage(unsigned codePage) { return zlt::SetAnsiCodePage(codePage); }

static_assert(static_cast<int>(zlt::Severity::kError) == ZLTLNK_ERROR &&
              static_cast<int>(zlt::Severity::kWarning) == ZLTLNK_WARNING &&
              static_cast<int>(zlt::Severity::kNote) == ZLTLNK_NOTE);

int ZltLnk_CheckProject(const char* projectPath, ZltLnkDiagnosticFn fn, void* userData) {
    if (projectPath == nullptr || zlt::InOutputCallback()) return -1;
    std::vector<zlt::Diagnostic> found;
    {
        std::lock_guard<std::mutex> lock(g_linkMutex);
        found = zlt::CheckProject(projectPath);
    }
    int errors = 0;
    for (const zlt::Diagnostic& d : found) {
        if (d.severity == zlt::Severity::kError) ++errors;
        if (fn == nullptr) continue;
        const ZltLnkDiagnostic out{static_cast<int>(d.severity), d.file.c_str(), d.at.line, d.at.column,
                                   d.at.length, d.key.c_str(), zlt::InfoOf(d.kind).name, d.message.c_str(),
                                   d.stopsLink ? d.linkLine.c_str() : ""};
        fn(&out, userData);
    }
    return errors;
}

// Hosts look the functions up under the names that the C calling convention
// gives them on the module's first platform: with a leading underscore.
ZLTLNK_API bool _ZltLnk_MakeZltCfo(const char*, const char*) __attribute__((alias("ZltLnk_MakeZltCfo")));
ZLTLNK_API bool _ZltLnk_SetDefFputs(ZltLnkFputs) __attribute__((alias("ZltLnk_SetDefFputs")));
ZLTLNK_API bool _ZltLnk_SetDefProgressNotify(void*) __attribute__((alias("ZltLnk_SetDefProgressNotify")));
ZLTLNK_API bool _ZltLnk_SetLinkTime(long long) __attribute__((alias("ZltLnk_SetLinkTime")));
ZLTLNK_API int _ZltLnk_CheckProject(const char*, ZltLnkDiagnosticFn, void*) __attribute__((alias("ZltLnk_CheckProject")));
ZLTLNK_API bool _ZltLnk_SetPageProgress(ZltLnkPageProgress) __attribute__((alias("ZltLnk_SetPageProgress")));
ZLTLNK_API bool _ZltLnk_SetInputNotify(ZltLnkInputNotify) __attribute__((alias("ZltLnk_SetInputNotify")));
ZLTLNK_API bool _ZltLnk_SetAnsiCodePage(unsigned) __attribute__((alias("ZltLnk_SetAnsiCodePage")));

}  // extern "C"
