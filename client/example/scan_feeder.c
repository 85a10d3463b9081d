/* pimlet-scan: scans the feeder into numbered bitmaps, as an application calls the library.
 *   pimlet-scan DIRECTORY PREFIX [BITS DPI FORM SINGLE [BRIGHTNESS CONTRAST HIGHLIGHT SHADOW GAMMA]]
 * Prints "result R pages N" and exits with the result code. */
#include <stdio.h>
#include <stdlib.h>

#include "pimlet.h"

static int Arg(int argc, char** argv, int index, int fallback) {
    return index < argc ? atoi(argv[index]) : fallback;
}

int main(int argc, char** argv) {
    if (argc < 3) {
        fprintf(stderr, "usage: %s DIRECTORY PREFIX [BITS DPI FORM SINGLE [B C H S G]]\n", argv[0]);
        return 64;
    }
    PimletScanRequest request = {Arg(argc, argv, 3, 8), Arg(argc, argv, 4, 200), Arg(argc, argv, 5, 1)};
    PimletAdjustments adjust = {Arg(argc, argv, 7, 0), Arg(argc, argv, 8, 0), Arg(argc, argv, 9, 0),
                                Arg(argc, argv, 10, 0), Arg(argc, argv, 11, 10)};
    uint32_t pages = 0;
    int result = ScanToFile(&adjust, &request, argv[1], argv[2], &pages, Arg(argc, argv, 6, 0));
    printf("result %d pages %u\n", result, pages);
    return result;
}
