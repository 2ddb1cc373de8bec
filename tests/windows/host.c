/* A Windows host as the real one uses the library: loads Zlt900_Lnk.dll with
 * LoadLibraryA, finds the functions under their decorated names with
 * GetProcAddress, installs an output callback that prints each line, and
 * links projects.
 *
 *   zlt900_test_host DLL EPOCH PROJECT IMAGE [PROJECT IMAGE]...
 *
 * EPOCH fixes the link time (seconds since 1970, shown as UTC; -1 takes the
 * clock). For each link the lines are printed as the library sends them,
 * then a line break and "-> 1" or "-> 0", the result. Exit status: 0 when
 * every link succeeded, 1 when one failed, 2 when the DLL or one of its
 * functions cannot be had. */
#include <windows.h>

#include <fcntl.h>
#include <io.h>
#include <stdbool.h>
#include <stdio.h>
#include <stdlib.h>

typedef int(__cdecl *OutputFn)(const char *text);
typedef bool(__cdecl *SetDefFputsFn)(OutputFn fn);
typedef bool(__cdecl *SetDefProgressNotifyFn)(void *fn);
typedef bool(__cdecl *SetLinkTimeFn)(long long epochSeconds);
typedef bool(__cdecl *MakeZltCfoFn)(const char *projectPath, const char *imagePath);

static int __cdecl PrintLine(const char *text) { return fputs(text, stdout); }

/* A function of the DLL, as the generic function pointer type that any
 * other can be cast from. */
typedef void (*AnyFn)(void);

static AnyFn Find(HMODULE dll, const char *name) {
    AnyFn fn = (AnyFn)GetProcAddress(dll, name);
    if (fn == NULL) fprintf(stderr, "zlt900_test_host: the DLL exports no %s\n", name);
    return fn;
}

int main(int argc, char **argv) {
    if (argc < 5 || argc % 2 == 0) {
        fputs("usage: zlt900_test_host DLL EPOCH PROJECT IMAGE [PROJECT IMAGE]...\n", stderr);
        return 2;
    }
    /* The lines go out byte for byte, without a carriage return before each
     * line feed. */
    _setmode(_fileno(stdout), _O_BINARY);

    HMODULE dll = LoadLibraryA(argv[1]);
    if (dll == NULL) {
        fprintf(stderr, "zlt900_test_host: cannot load %s (error %lu)\n", argv[1], GetLastError());
        return 2;
    }
    SetDefFputsFn setFputs = (SetDefFputsFn)Find(dll, "_ZltLnk_SetDefFputs");
    SetDefProgressNotifyFn setProgress = (SetDefProgressNotifyFn)Find(dll, "_ZltLnk_SetDefProgressNotify");
    SetLinkTimeFn setLinkTime = (SetLinkTimeFn)Find(dll, "_ZltLnk_SetLinkTime");
    MakeZltCfoFn make = (MakeZltCfoFn)Find(dll, "_ZltLnk_MakeZltCfo");
    if (setFputs == NULL || setProgress == NULL || setLinkTime == NULL || make == NULL) return 2;

    if (!setFputs(PrintLine) || !setProgress(NULL) || !setLinkTime(_strtoi64(argv[2], NULL, 10))) {
        fputs("zlt900_test_host: a setter returned false\n", stderr);
        return 2;
    }
    int status = 0;
    for (int i = 3; i + 1 < argc; i += 2) {
        bool ok = make(argv[i], argv[i + 1]);
        printf("\n-> %d\n", ok ? 1 : 0);
        fflush(stdout);
        if (!ok) status = 1;
    }
    FreeLibrary(dll);
    return status;
}
