# Cross-compiling for Windows with Debian's MinGW-w64 (the POSIX-threads flavour, which
# std::thread needs).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(MIRT_MINGW_TRIPLET i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
# Floating point in SSE2 registers, as on x86-64: the x87 unit's extended precision would move
# values that sit on an integer (a length in pixels from inches and dpi) to the other side of
# their truncation, and the images would differ from every other build's.
set(CMAKE_C_FLAGS_INIT "-msse2 -mfpmath=sse")
set(CMAKE_CXX_FLAGS_INIT "-msse2 -mfpmath=sse")
