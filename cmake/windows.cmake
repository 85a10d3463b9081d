# What the Windows build (MinGW-w64, cmake/toolchains/) uses in place of the Debian libraries the
# Linux build finds: no libusb (the Still Image service replaces it), no libpng or libtiff (no
# MinGW packages of them; the virtual scanner reads no PNG pages there and mirt writes BMP only),
# CLI11 and GoogleTest from Debian's header and source packages.

# CLI11 is header-only: its headers alone, through a folder that holds nothing else of /usr/include.
set(MIRT_CLI11_SHIM ${CMAKE_BINARY_DIR}/cli11-include)
file(MAKE_DIRECTORY ${MIRT_CLI11_SHIM})
file(CREATE_LINK /usr/include/CLI ${MIRT_CLI11_SHIM}/CLI SYMBOLIC)
add_library(CLI11::CLI11 INTERFACE IMPORTED)
set_target_properties(CLI11::CLI11 PROPERTIES INTERFACE_INCLUDE_DIRECTORIES ${MIRT_CLI11_SHIM})

# GoogleTest built from Debian's source package with the cross compiler.
if(MIRT_TESTS)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  set(gtest_disable_pthreads OFF CACHE BOOL "" FORCE)
  # It defines the GTest:: names itself.
  add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)
  set(GTest_FOUND TRUE)
endif()

# The client, its monitor and the installer for Windows (every facility they use has its win32
# implementation; platform/CMakeLists.txt says which are missing should one go).
option(MIRT_WINDOWS_CLIENT "Build Pimlet, Halvex and install for Windows" ON)
