// voz_integrity.hpp -- the last checks of a finished key file: the position
// data size in its basic information and its exact length.
//
// A key file (of an index half or of a work section) is, from keyBase on:
//   1296 bytes of basic information, 28 x (word 52 + word 60) bytes of key
//   records, 16 x (word 64 + word 84) bytes of prefix entries,
// and nothing else: a section is always the last in its work file when it
// is checked.
#ifndef VOZ_INTEGRITY_HPP
#define VOZ_INTEGRITY_HPP

struct GTRSTATUS;
struct _FCTLHEAD;
struct KEYINFO_0;

// Sets rec->posDataMB (word 68: fs->posSize in MB + 1; when posSize is 0
// the position store's size in MB, truncated) and checks that the key file
// of `fs` is exactly as long as rec counts. Seek 6/516; length 16/517 (both
// with the key file's name). 0 or -1.
int voz_CheckIntegrity(_FCTLHEAD* fs, KEYINFO_0* rec, GTRSTATUS* st);

// Does nothing (kept for the callers of the key-information writers).
void voz_MakeKeyInfo3();

#endif  // VOZ_INTEGRITY_HPP
