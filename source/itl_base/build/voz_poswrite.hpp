// voz_poswrite.hpp -- the writers of a section's or index's two byte
// streams: positions (one document at a time, through the position buffer
// of the creation work block and a 4096-byte output buffer) and variable
// key chains (voz_MakeVkey; voz_WriteKey in files/voz_keywrite.hpp writes
// them).
//
// The bytes are the storage's one encoding (postings/voz_bufferpos.hpp):
// per key, per document a header (document delta, then the byte length of
// the positions, packed by half-bytes), then the position deltas in the
// prefix code:
//   delta               bytes
//   0 .. 63             1   11xxxxxx
//   64 .. 16383         2   10xxxxxx + 1
//   16384 .. 0x3FFFFF   3   01xxxxxx + 2
//   0x400000 .. 2^28-1  4   0000xxxx + 3
//   2^28 ..             5   0x10 + 4
// The first document of a key is written as its number + 1 (the delta
// from -1). Document starts (VVG lists) are pairs of such codes: the id
// delta (ids from -1) and the start delta (starts from 0).
#ifndef VOZ_POSWRITE_HPP
#define VOZ_POSWRITE_HPP

#include <cstdint>

#include "build/voz_creatwrk.hpp"

struct GTRSTATUS;
struct _FCTLHEAD;
struct KEY_REC;

// Size of the output buffer between the position buffer and the file.
constexpr int32_t VOZ_POSOUT_SIZE = 4096;

// Empties the buffer: lastDocument -1, lastPosition 0, lastDocumentStart 0.
void voz_ResetPosBuffer(POSBUFFER* pb);

// Appends position - lastPosition in the prefix code (growing the buffer
// by 65530 bytes when fewer than 7 are free: 11/222, 129/296).
// REQUIRES: position >= lastPosition. 0 or -1.
int voz_SetPosInBuffer(POSBUFFER* pb, int32_t position, GTRSTATUS* st);

// Appends the pair (document - lastDocument, start - lastDocumentStart)
// (growing when fewer than 14 bytes are free). REQUIRES: both ascending.
// 0 or -1.
int voz_SetDocStartposInBuffer(POSBUFFER* pb, int32_t document,
                               int32_t start, GTRSTATUS* st);

// True when the buffer holds at least one byte.
bool voz_WritePosRequired(const POSBUFFER* pb);

// Writes the buffered positions of one document with its header (delta
// `docDelta`) to the position file of `out`: through the output buffer
// *outBuf (VOZ_POSOUT_SIZE bytes, *outUsed of them in use), written out
// first (reason 7009) when header and positions would fill it; an entry of
// 4096 bytes or more goes straight to the file (7010 header, 7011
// positions). out->posOffset counts buffered bytes as written. Nothing
// for an empty buffer. 0 or -1.
int voz_WritePos(_FCTLHEAD* out, POSBUFFER* pb, int32_t docDelta,
                 uint8_t* outBuf, int32_t* outUsed, GTRSTATUS* st);

// Writes the used part of the output buffer to the position file of `out`
// (failure reason `reason`) and empties it. 0 or -1.
int voz_FlushPosOut(_FCTLHEAD* out, uint8_t* outBuf, int32_t* outUsed,
                    int32_t reason, GTRSTATUS* st);

// Builds the record chain (host order) of the pool's 'V' chain at `head`:
// records[0] 'V' with the chain length and six head bytes (position fields
// zero), records[1 .. c-1] continuations, record 1 with the total key
// length. REQUIRES: records holds head->chainOrMark records.
void voz_MakeVkey(KEY_REC* records, const PATTINFO* head);

#endif  // VOZ_POSWRITE_HPP
