/* Zelta-900 linker library (Zlt900_Lnk).
 *
 * A host installs an output callback, then calls ZltLnk_MakeZltCfo once per
 * link with the path of a voice project file and the path of the CFO image to
 * write. Every progress and error line of a link reaches the callback as one
 * text that begins with a line break and has none at its end.
 *
 * Links are serialised: two threads that link at once take turns. A link
 * started from inside the output callback is refused.
 */
#ifndef ZLT900_LNK_H
#define ZLT900_LNK_H

#ifdef __cplusplus
extern "C" {
#else
#include <stdbool.h>
#endif

#if defined(__GNUC__)
#define ZLTLNK_API __attribute__((visibility("default")))
#else
#define ZLTLNK_API
#endif

/* Every function and callback takes the C calling convention. On 32-bit
 * Windows, Zlt900_Lnk.dll exports each function also under the name that
 * convention gives it, with a leading underscore (_ZltLnk_MakeZltCfo), the
 * name a host looks up with GetProcAddress. */
#if defined(_WIN32)
#define ZLTLNK_CALL __cdecl
#else
#define ZLTLNK_CALL
#endif

/* Receives one message text; the result is ignored. The text is valid only
 * during the call. */
typedef int(ZLTLNK_CALL *ZltLnkFputs)(const char *text);

/* Links the project file at projectPath into the image file at imagePath.
 * Returns true when the image was written completely. A failed link leaves no
 * image file at imagePath. */
ZLTLNK_API bool ZLTLNK_CALL ZltLnk_MakeZltCfo(const char *projectPath, const char *imagePath);

/* Installs the output callback; NULL sends messages to standard output.
 * Always returns true. */
ZLTLNK_API bool ZLTLNK_CALL ZltLnk_SetDefFputs(ZltLnkFputs fn);

/* Stores a progress callback pointer. The library never calls it; kept for
 * hosts that install one. Always returns true. */
ZLTLNK_API bool ZLTLNK_CALL ZltLnk_SetDefProgressNotify(void *fn);

/* Receives the progress of the word image, the part of a link whose time
 * grows with the audio: pages written so far of the word image's total. It
 * is called on the linking thread, once with 0 before the first page and
 * again as the pages are written. */
typedef void(ZLTLNK_CALL *ZltLnkPageProgress)(unsigned pagesDone, unsigned pagesTotal);

/* Installs the page progress function; NULL removes it. Always returns true. */
ZLTLNK_API bool ZLTLNK_CALL ZltLnk_SetPageProgress(ZltLnkPageProgress fn);

/* Fixes the link time that the image's time stamp and read-me show, so that
 * two links of one project give identical bytes. epochSeconds counts seconds
 * since 1970-01-01 00:00:00 UTC and is shown as UTC (the SOURCE_DATE_EPOCH
 * convention); a negative value returns to the local time of the clock.
 * Always returns true. */
ZLTLNK_API bool ZLTLNK_CALL ZltLnk_SetLinkTime(long long epochSeconds);

/* Receives the path of each file a link reads: the project file, then each
 * clip file (a clip may be reported more than once). The path is the file
 * opened, relative to the working directory as the project's are; it is
 * valid only during the call. For dependency files: an image is out of date
 * when one of these files changes. */
typedef void(ZLTLNK_CALL *ZltLnkInputNotify)(const char *path);

/* Installs the input function; NULL removes it. Always returns true. */
ZLTLNK_API bool ZLTLNK_CALL ZltLnk_SetInputNotify(ZltLnkInputNotify fn);

/* Sets the ANSI code page in which projects made on Windows write their
 * texts: a clip path that names no file as written is also tried with its
 * bytes taken from this code page to UTF-8 (and with backslashes read as
 * slashes). 1252 unless set; 874 and 1250 to 1258 are known. Returns false,
 * keeping the current code page, for any other. Zlt900_Lnk.dll opens every
 * path as written, in the system's own ANSI code page. */
ZLTLNK_API bool ZLTLNK_CALL ZltLnk_SetAnsiCodePage(unsigned codePage);

/* ---- Checking a project ----
 *
 * ZltLnk_CheckProject runs every check of a link on every entry of a project,
 * without writing an image, and reports each problem it finds as a
 * diagnostic: an error for each fault that makes a link fail, a warning for
 * what a link accepts but is probably a mistake (an unknown key, a key given
 * twice, a value cut to its field, ...), and a note where a diagnostic has
 * its other end. A project links exactly when the check reports no error.
 * docs/diagnostics.md lists every kind. */

enum {
    ZLTLNK_ERROR = 0,
    ZLTLNK_WARNING = 1,
    ZLTLNK_NOTE = 2
};

/* One diagnostic. Lines and columns count from 1, columns in bytes from the
 * start of the line; line 0 means the project file as a whole. The texts are
 * valid only during the callback. */
typedef struct ZltLnkDiagnostic {
    int severity;         /* ZLTLNK_ERROR, ZLTLNK_WARNING or ZLTLNK_NOTE */
    const char *file;     /* the project file's path, as given */
    unsigned line;
    unsigned column;
    unsigned length;      /* bytes of the offending text, from column on */
    const char *key;      /* the entry key ("W0005", "BaudRate"), or "" */
    const char *kind;     /* the kind's short name ("unknown-key"): stable, for
                             filtering and for docs/diagnostics.md */
    const char *message;  /* what is wrong and, where it can, how to mend it */
    const char *linkLine; /* the error at which a link of this project stops:
                             the error line that link sends ("\nErr: ...");
                             "" for every other diagnostic */
} ZltLnkDiagnostic;

typedef void(ZLTLNK_CALL *ZltLnkDiagnosticFn)(const ZltLnkDiagnostic *diagnostic, void *userData);

/* Checks the project file at projectPath; clip paths are taken relative to
 * the working directory, as by a link. Calls fn (when not NULL) with userData
 * once for each diagnostic, in the order of the project file, each note right
 * after the diagnostic it belongs to. Sends nothing to the output callback.
 * Returns the number of errors, or -1 when projectPath is NULL or the call
 * comes from inside the output callback. A check waits for a link that runs
 * on another thread; fn may start a link or another check. */
ZLTLNK_API int ZLTLNK_CALL ZltLnk_CheckProject(const char *projectPath, ZltLnkDiagnosticFn fn, void *userData);

#ifdef __cplusplus
}
#endif

#endif
