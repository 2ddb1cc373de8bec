/* A project that uses the installed linker library: links PROJECT into
 * IMAGE at a fixed link time; the library prints its lines on standard
 * output, as it does without an output callback. */
#include <zlt900/zlt900_lnk.h>

int main(int argc, char **argv) {
    if (argc != 3) return 2; /* usage: consumer PROJECT IMAGE */
    ZltLnk_SetLinkTime(1700000000);
    return ZltLnk_MakeZltCfo(argv[1], argv[2]) ? 0 : 1;
}
