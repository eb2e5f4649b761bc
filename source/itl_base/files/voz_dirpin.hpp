// voz_dirpin.hpp -- a directory held open so that its identity can be
// checked again later.
//
// Every commit of an index switches whole sub-index directories into place
// by rename, and nothing writes into a live one. A reader that keeps its
// files open between searches pins the directories it read from: while the
// pin's descriptor is open the directory's inode cannot be freed, so its
// number cannot be handed to another directory, and a path that still
// resolves to the pinned (device, inode) still names the very directory
// the reader opened its files in. A path that was absent when pinned must
// still be absent.
#ifndef VOZ_DIRPIN_HPP
#define VOZ_DIRPIN_HPP

#include <cstdint>

struct VOZDIRPIN {
    int32_t fd;       // descriptor holding the directory; -1 none
    int32_t state;    // VOZ_PIN_*
    uint64_t dev;     // st_dev of the directory when pinned
    uint64_t ino;     // st_ino of the directory when pinned
};

enum : int32_t {
    VOZ_PIN_UNKNOWN = 0,  // not pinned, or the path could not be examined
    VOZ_PIN_HELD = 1,     // the directory is held by fd
    VOZ_PIN_ABSENT = 2    // nothing was at the path
};

// Pins the directory at `path` (REQUIRES: pin not holding a directory).
// A missing path is recorded as absent. Any other failure (no descriptor
// left, no access, not a directory) leaves the pin unknown, which never
// holds. Sets no status.
void voz_PinDir(const char* path, VOZDIRPIN* pin);

// True when `path` names the pinned directory still, or is still absent
// for an absent pin. An unknown pin never holds.
bool voz_PinHolds(const char* path, const VOZDIRPIN* pin);

// Closes the pin's descriptor and leaves it unknown. Harmless twice.
void voz_Unpin(VOZDIRPIN* pin);

#endif  // VOZ_DIRPIN_HPP
