/* pimlet.h - public interface of the Pimlet scan-to-file library.
 *
 * Two functions, exported under their plain names:
 *   ScanToFile     scans one sheet or the whole feeder into numbered bitmap files
 *                  <directory>/<prefix>001.bmp, <prefix>002.bmp, ...
 *   GetPaperLoaded asks the scan monitor (Halvex) whether paper is in the feeder.
 * Records are arrays of signed 32-bit little-endian words with nothing between them.
 *
 * On Windows the library is "Pimlet.dll". Both functions use the C calling convention (__cdecl,
 * the caller pops the arguments) on every system, as the driver library's exports do, so their
 * names stay undecorated in a 32-bit DLL: GetProcAddress(module, "ScanToFile") finds them and the
 * import library links them as plain C functions.
 */
#ifndef PIMLET_H
#define PIMLET_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#if defined(_WIN32)
#define PIMLET_API /* the library's module definition file names its exports */
#define PIMLET_CALL __cdecl
#else
#define PIMLET_API __attribute__((visibility("default")))
#define PIMLET_CALL
#endif

#pragma pack(push, 1)

/* Tone adjustments applied by the driver through its curve file (20 bytes). */
typedef struct PimletAdjustments {
    int32_t brightness; /* -255..255: added to every level */
    int32_t contrast;   /* -255..255: darkens the dark end and lightens the light end by up to this */
    int32_t highlight;  /* -255..255: inputs above 4096 - 4 x highlight map to white */
    int32_t shadow;     /* -255..255: inputs below 4 x shadow map to black */
    int32_t gamma;      /* 1..40: tenths of the curve's gamma (10 = linear) */
} PimletAdjustments;

/* What to scan (12 bytes). */
typedef struct PimletScanRequest {
    int32_t bitDepth;   /* 8 grey, 1 black and white */
    int32_t resolution; /* 200 or 300 dpi */
    int32_t paperForm;  /* 1 narrow window (1100 px wide at 200 dpi), anything else the wide one (1420 px) */
} PimletScanRequest;

#pragma pack(pop)

/* Results of ScanToFile. */
enum {
    PIMLET_OK = 0,                /* feeder empty, or the single sheet done */
    PIMLET_FEED_FAILED = 2,       /* a feed failed (jam, cover open) now or in the previous call; the
                                     next call clears the condition after the user fixed it */
    PIMLET_NO_PAPER = 3,          /* no paper in the feeder, or no answer from the monitor */
    PIMLET_SCANNER_MISSING = 4,   /* the monitor cannot reach the scanner (not found, not accessible) */
    PIMLET_PAPER_PATH_FAULT = 5,  /* the monitor found the paper path not ready (jam, stuck motor) */
    PIMLET_BAD_ARGUMENT = 6,      /* an argument is out of range; nothing was touched */
    PIMLET_NO_PROGRESS_VIEW = 7,  /* the progress view could not be created */
    PIMLET_HANDSHAKE_FAILED = 8,  /* the monitor's registry key could not be written */
    PIMLET_DRIVER_PARAMS = 11,    /* the driver's parameters could not be read (driver not loaded) */
    PIMLET_DRIVER_REJECTED = 12,  /* the driver refused the scan parameters */
    PIMLET_BAD_DIRECTORY = 13     /* the output directory does not exist or is not writable */
};

/* Values of "bPaperLoaded" as the monitor writes them, and what GetPaperLoaded returns. */
enum {
    PIMLET_PAPER_NONE = 0,          /* no sheet in the feeder (or no monitor answer) */
    PIMLET_PAPER_LOADED = 1,        /* a sheet is ready */
    PIMLET_PAPER_FEED_FAILED = 2,   /* returned (never written) while a feed failure is pending */
    PIMLET_PAPER_NO_SCANNER = 3,    /* the scanner was not found or could not be opened */
    PIMLET_PAPER_PATH_NOT_READY = 4 /* the scanner opened but its paper check failed */
};

/* Scans into <directory>/<prefix>NNN.bmp (three digits at least). pagesOut receives the number of
 * files written whenever the arguments were valid. singleSheet nonzero stops after one sheet. */
PIMLET_API int PIMLET_CALL ScanToFile(const PimletAdjustments* adjust, const PimletScanRequest* request,
                                      const char* directory, const char* prefix, uint32_t* pagesOut,
                                      int singleSheet);

/* 1 paper loaded, 0 none (or no answer), 2 a feed failure is pending, 3 and 4 as above. */
PIMLET_API int PIMLET_CALL GetPaperLoaded(void);

#ifdef __cplusplus
} /* extern "C" */
#define PIMLET_STATIC_ASSERT static_assert
#else
#define PIMLET_STATIC_ASSERT _Static_assert
#endif

PIMLET_STATIC_ASSERT(sizeof(PimletAdjustments) == 20, "PimletAdjustments is 20 bytes");
PIMLET_STATIC_ASSERT(offsetof(PimletAdjustments, contrast) == 4, "PimletAdjustments.contrast at 4");
PIMLET_STATIC_ASSERT(offsetof(PimletAdjustments, highlight) == 8, "PimletAdjustments.highlight at 8");
PIMLET_STATIC_ASSERT(offsetof(PimletAdjustments, shadow) == 12, "PimletAdjustments.shadow at 12");
PIMLET_STATIC_ASSERT(offsetof(PimletAdjustments, gamma) == 16, "PimletAdjustments.gamma at 16");
PIMLET_STATIC_ASSERT(sizeof(PimletScanRequest) == 12, "PimletScanRequest is 12 bytes");
PIMLET_STATIC_ASSERT(offsetof(PimletScanRequest, resolution) == 4, "PimletScanRequest.resolution at 4");
PIMLET_STATIC_ASSERT(offsetof(PimletScanRequest, paperForm) == 8, "PimletScanRequest.paperForm at 8");
#undef PIMLET_STATIC_ASSERT

#endif /* PIMLET_H */
