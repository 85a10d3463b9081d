/* Compiles the scan-to-file header as C: the records, their layout checks and the declarations. */
#include "pimlet.h"

int PimletHeaderCheck(void) {
    PimletAdjustments adjust = {0, 0, 0, 0, 10};
    PimletScanRequest request = {8, 200, 1};
    return adjust.gamma + request.paperForm + PIMLET_BAD_DIRECTORY + PIMLET_PAPER_PATH_NOT_READY;
}
