# What both MinGW-w64 toolchain files share; MIRT_MINGW_TRIPLET names the target.
set(CMAKE_C_COMPILER ${MIRT_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${MIRT_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${MIRT_MINGW_TRIPLET}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${MIRT_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# The programs and libraries carry the compiler's runtime inside them, so they run in a bare
# wine prefix or on a Windows machine with nothing else installed.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
# Tests are discovered and run under wine.
set(CMAKE_CROSSCOMPILING_EMULATOR wine)
