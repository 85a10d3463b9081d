/* ordavel.h - public interface of the Ordavel scanner driver library.
 *
 * Eleven functions, exported under their plain names. Records are arrays of 32-bit
 * little-endian words with nothing between them; the caller owns every buffer.
 * Return codes: 0 success, 1 failure (ScanRead: 0 more follows, 1 failure, 2 image complete).
 * The last status text is in ScanInfo.statusText.
 */
#ifndef ORDAVEL_H
#define ORDAVEL_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* The calling convention of the exports and of the status callback: the C convention (__cdecl,
 * the caller pops the arguments) on every system, so the names stay undecorated in a 32-bit
 * Windows DLL and a client binds them as plain C function pointers. */
#if defined(_WIN32)
#define ORDAVEL_API __declspec(dllexport)
#define ORDAVEL_CALL __cdecl
#else
#define ORDAVEL_API __attribute__((visibility("default")))
#define ORDAVEL_CALL
#endif

#pragma pack(push, 1)

/* The scan request (72 bytes). */
typedef struct ScanRequest {
    int32_t lineOrder;      /* 0 scan order (top-down); nonzero bitmap order (bottom-up) */
    int32_t bedLeft;
    int32_t bedTop;
    int32_t bedRight;
    int32_t bedBottom;
    int32_t scanRectLeft;   /* scanRect.Left */
    int32_t scanRectTop;    /* scanRect.top */
    int32_t scanRectRight;  /* scanRect.right */
    int32_t scanRectBottom; /* scanRect.bottom */
    int32_t pixelType;      /* 0 black and white, 1 grey (2 colour: known to the engine, not offered) */
    int32_t bitDepth;
    int32_t xResolution;
    int32_t yResolution;
    int32_t interpolate;
    int32_t reserved2;
    int32_t res;            /* nonzero: deliver enlarged by 3/2 as imageWidth x imageHeight */
    int32_t imageWidth;
    int32_t imageHeight;
} ScanRequest;

/* Scan information (292 bytes). */
typedef struct ScanInfo {
    int32_t totalBytes;
    int32_t bytesDone;
    int32_t lineBytes;
    uint32_t stamps[4];
    char statusText[256];
    int32_t progressRange;
    int32_t progressPos;
} ScanInfo;

/* Hardware summary from the scanner description (336 bytes). */
typedef struct ScanHardware {
    int32_t pixelWidth;
    int32_t pixelLength;
    int32_t opticalResolution;
    int32_t chip;            /* 0 LM9831, 1 LM9832, 2 LM9833 */
    char deviceName[256];
    int32_t resolutions[16];
} ScanHardware;

#pragma pack(pop)

/* Status callback: kind 0 a new status text was stored; kind 1 acquisition progress point
 * (a nonzero return cancels the scan). */
typedef int32_t(ORDAVEL_CALL* ScanStatusCallback)(int32_t kind);

ORDAVEL_API int32_t ORDAVEL_CALL ScanStart(void);
ORDAVEL_API int32_t ORDAVEL_CALL ScanRead(uint8_t* buffer, int32_t size, int32_t* got);
ORDAVEL_API int32_t ORDAVEL_CALL ScanStop(void);
ORDAVEL_API int32_t ORDAVEL_CALL ScanSetScanParams(const ScanRequest* params, ScanStatusCallback callback);
ORDAVEL_API int32_t ORDAVEL_CALL ScanGetScanParams(ScanRequest* out);
ORDAVEL_API int32_t ORDAVEL_CALL ScanGetScanInfo(ScanInfo* out);
ORDAVEL_API int32_t ORDAVEL_CALL ScanGetScanHardware(ScanHardware* out);
ORDAVEL_API int32_t ORDAVEL_CALL ScanGetCapability(int32_t id, const int32_t* input, int32_t* out, int32_t* count);
ORDAVEL_API int32_t ORDAVEL_CALL ScanCalibration(void);
ORDAVEL_API int32_t ORDAVEL_CALL ScanPaperEmpty(int32_t* empty);
ORDAVEL_API int32_t ORDAVEL_CALL ScanFeedPaper(void);

#ifdef __cplusplus
} /* extern "C" */
#define ORDAVEL_STATIC_ASSERT static_assert
#else
#define ORDAVEL_STATIC_ASSERT _Static_assert
#endif

/* The layout is part of the interface: sizes and offsets are fixed. */
ORDAVEL_STATIC_ASSERT(sizeof(ScanRequest) == 72, "ScanRequest is 72 bytes");
ORDAVEL_STATIC_ASSERT(sizeof(ScanInfo) == 292, "ScanInfo is 292 bytes");
ORDAVEL_STATIC_ASSERT(sizeof(ScanHardware) == 336, "ScanHardware is 336 bytes");
ORDAVEL_STATIC_ASSERT(offsetof(ScanRequest, scanRectLeft) == 20, "ScanRequest.scanRectLeft at 20");
ORDAVEL_STATIC_ASSERT(offsetof(ScanRequest, pixelType) == 36, "ScanRequest.pixelType at 36");
ORDAVEL_STATIC_ASSERT(offsetof(ScanRequest, res) == 60, "ScanRequest.res at 60");
ORDAVEL_STATIC_ASSERT(offsetof(ScanRequest, imageHeight) == 68, "ScanRequest.imageHeight at 68");
ORDAVEL_STATIC_ASSERT(offsetof(ScanInfo, lineBytes) == 8, "ScanInfo.lineBytes at 8");
ORDAVEL_STATIC_ASSERT(offsetof(ScanInfo, stamps) == 12, "ScanInfo.stamps at 12");
ORDAVEL_STATIC_ASSERT(offsetof(ScanInfo, statusText) == 28, "ScanInfo.statusText at 28");
ORDAVEL_STATIC_ASSERT(offsetof(ScanInfo, progressRange) == 284, "ScanInfo.progressRange at 284");
ORDAVEL_STATIC_ASSERT(offsetof(ScanInfo, progressPos) == 288, "ScanInfo.progressPos at 288");
ORDAVEL_STATIC_ASSERT(offsetof(ScanHardware, chip) == 12, "ScanHardware.chip at 12");
ORDAVEL_STATIC_ASSERT(offsetof(ScanHardware, deviceName) == 16, "ScanHardware.deviceName at 16");
ORDAVEL_STATIC_ASSERT(offsetof(ScanHardware, resolutions) == 272, "ScanHardware.resolutions at 272");
#undef ORDAVEL_STATIC_ASSERT

#endif /* ORDAVEL_H */
