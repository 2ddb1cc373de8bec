/* A project that uses the installed linker library: links PROJECT into
 * IMAGE at a fixed link time and prints the library's lines. */
#include <zlt900/zlt900_lnk.h>

#include <stdio.h>

static int Print(const char *text) { return fputs(text, stdout); }

int main(int argc, char **argv) {
    if (argc != 3) return 2; /* usage: consumer PROJECT IMAGE */
    ZltLnk_SetDefFputs(Print);
    ZltLnk_SetLinkTime(1700000000);
    return ZltLnk_MakeZltCfo(argv[1], argv[2]) ? 0 : 1;
}
