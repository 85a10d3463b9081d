// The per-user directory that holds the driver's files on POSIX systems: its calibration,
// settings, description, tone curves and work files.
//
// These files must outlive a reboot (a calibration is made once, with the white sheet, and used
// for months) and belong to one user, so the shared system temporary directory ($TMPDIR, /tmp),
// which is emptied at boot and open to everybody, is the wrong home for them. The desktop's
// base directory convention has a place for exactly this kind of state: $XDG_STATE_HOME,
// by default ~/.local/state. TMPDIR is not consulted: it names scratch space for files that may
// vanish, the opposite of what a calibration needs.
#pragma once

#include <string>

namespace ordavel::platform {

// The variable that names the directory outright, for tests and for services that run without
// a home directory (a scanner daemon's user, say).
inline constexpr const char* kStateDirVariable = "MIRT_STATE_DIR";

// Where the driver's files live: $MIRT_STATE_DIR when set and non-empty; else
// $XDG_STATE_HOME/mirt when that is an absolute path (a relative one is invalid by the XDG rules
// and ignored); else $HOME/.local/state/mirt, with the home directory of the password database
// when HOME is unset. Empty when none of these can be had.
std::string StateDirectoryPath();

// The state directory, created when missing (mode 0700, missing parents 0700 as the XDG rules
// ask) and checked before use: it must be an absolute path, a directory itself and not a
// symbolic link, owned by this user, not writable by other users, and hold no symbolic link. A
// directory of ours that others may write into is refused rather than repaired: somebody chose
// that mode, and a stranger may already have planted files in it. Empty with `error` saying why
// when it is unusable.
std::string EnsureStateDirectory(std::string& error);

}  // namespace ordavel::platform
