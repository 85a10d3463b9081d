// Files created exclusively under a fresh unique name, for the win32 file facilities.
#pragma once

#include <cstdio>
#include <string>

#include <windows.h>

namespace ordavel::platform::win32 {

// Creates `stem` followed by six random letters or digits with CREATE_NEW (never an existing
// entry, never through a link), opened for reading and writing with `shareMode`; the handle, with
// the name in `created`, or INVALID_HANDLE_VALUE when no name could be created.
HANDLE CreateUniqueFile(const std::string& stem, DWORD shareMode, std::string& created);

// A CRT stream over an open handle (the handle then belongs to the stream); null on failure, the
// handle then closed.
std::FILE* StreamOfHandle(HANDLE handle, const char* mode);

}  // namespace ordavel::platform::win32
