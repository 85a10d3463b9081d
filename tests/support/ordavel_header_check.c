/* Compiles the public header as C: the records, their layout checks and the declarations. */
#include "ordavel.h"

int32_t OrdavelHeaderCheck(void) {
    ScanRequest request = {0};
    ScanInfo info = {0};
    ScanHardware hardware = {0};
    return request.lineOrder + info.lineBytes + hardware.chip;
}
