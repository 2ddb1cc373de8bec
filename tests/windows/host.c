// A Windows host as the real one uses the library: loads Zlt900_Lnk.dll with
// LoadLibraryA, finds the functions under their decorated names with
// GetProcAddress, installs an output callback that prints each line, and
// links projects.
//
//   zlt900_test_host DLL EPOCH PROJECT IMAGE [PROJECT IMAGE]...
//
// EPOCH fixes the link time (seconds since 1970, shown as UTC; -1 takes the
// clock). For each link the lines are printed as the library sends them,
// then a line break and "-> 1" or "-> 0", the result. Exit status: 0 when
// every link ran, whatever its result; 2 when the DLL or one of its functions
// cannot be had.
#include <windows.h>

#include <fcntl.h>
#include <io.h>
#include <stdbool.h>
#include <stdio.h>
#include <stdlib.h>

// The types are written here as a host that has only the DLL knows them.
typedef int(__cdecl *OutputFn)(const char *text);
typedef bool(__cdecl *SetDefFputsFn)(OutputFn fn);
typedef bool(__cdecl *SetDefProgressNotifyFn)(void *fn);
typedef bool(__cdecl *SetLinkTimeFn)(long long epochSeconds);
typedef bool(__cdecl *MakeZltCfoFn)(const char *projectPath, const char *imagePath);
// The generic function pointer type that any other can be cast from.
typedef void (*AnyFn)(void);

static int __cdecl PrintLine(const char *text) { return fputs(text, stdout); }

// A function of the DLL; the host stops with status 2 without it (error 126
// when the DLL itself could not be loaded, 127 when it lacks the function).
static AnyFn Find(HMODULE dll, const char *name) {
    AnyFn fn = dll == NULL ? NULL : (AnyFn)GetProcAddress(dll, name);
    if (fn != NULL) return fn;
    fprintf(stderr, "zlt900_test_host: cannot have %s (error %lu)\n", name, GetLastError());
    exit(2);
}

int main(int argc, char **argv) {
    if (argc < 3) return 2;
    // The lines go out byte for byte, without a carriage return before each
    // line feed.
    _setmode(_fileno(stdout), _O_BINARY);
    HMODULE dll = LoadLibraryA(argv[1]);
    MakeZltCfoFn make = (MakeZltCfoFn)Find(dll, "_ZltLnk_MakeZltCfo");
    if (!((SetDefFputsFn)Find(dll, "_ZltLnk_SetDefFputs"))(PrintLine) ||
        !((SetDefProgressNotifyFn)Find(dll, "_ZltLnk_SetDefProgressNotify"))(NULL) ||
        !((SetLinkTimeFn)Find(dll, "_ZltLnk_SetLinkTime"))(_strtoi64(argv[2], NULL, 10))) {
        fputs("zlt900_test_host: a setter returned false\n", stderr);
        return 2;
    }
    for (int i = 3; i + 1 < argc; i += 2) {
        printf("\n-> %d\n", make(argv[i], argv[i + 1]));
        fflush(stdout);
    }
    FreeLibrary(dll);
    return 0;
}
