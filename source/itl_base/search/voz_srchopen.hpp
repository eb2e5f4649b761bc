// voz_srchopen.hpp -- opening and closing one half of a search handle: both
// file sets (main, supp), each with its index (set 0) and, when its basic
// information counts variable keys that the key callback did not accept, its
// X-index (set 1), their key information, deleted-document lists and the
// key-information cache.
//
// Cache (per half): the basic records and key-index blocks of the last
// successful open of this half, valid for its index name, directory and
// extent initials. A block whose pointer the cache holds is the cache's; a
// reopen of the same, unchanged set (basic record equal byte for byte)
// moves it into the view instead of reading it again.
#ifndef VOZ_SRCHOPEN_HPP
#define VOZ_SRCHOPEN_HPP

#include <cstdint>

#include "search/voz_searchrec.hpp"

struct GTRSTATUS;

// Opens `half` of `h` on index `name` in `dir`. A missing main set is
// 20/264; a missing supp set is no error (its set-open flag stays clear).
// After a failure nothing of the half is open (key-only: the caller
// closes). keyOnly non-zero opens only the key file of each set 0.
// 0 or -1.
int voz_OpenIndexForSearch_(VOZSEARCH* h, const char* name, const char* dir,
                            const char* initials, const char* prefix,
                            VOZSEARCHHALF* half, GTRSTATUS* st, int keyOnly);

// Closes the halves that the open-state byte marks open; harmless on
// closed sets. Errors are ignored. The cache and the flags stay.
void voz_CloseIndexForSearch_(VOZSEARCH* h, int keyOnly);

// Frees every block of the half's cache and clears it.
void voz_ForgetSearchCache(VOZSEARCHHALF* half);

#endif  // VOZ_SRCHOPEN_HPP
