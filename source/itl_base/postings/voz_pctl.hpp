// voz_pctl.hpp -- the position-control record PCTLHEAD: the reading state
// over the position list of one key, and the reader of a key's document
// start-position list in the sequential position file.
//
// Life cycle: voz_InitPctl (from the key's head record) ... reads ...
// voz_TermPctl; voz_ResetPctl reuses a record for another key. The position
// reader (CVozPos) is made lazily by the position store's skip calls and
// freed by voz_TermPctl. The record is caller-allocated; callers clear it
// (memset 0) before the first voz_InitPctl, so the fields that voz_InitPctl
// leaves alone (keyUnits, leadOffset, trailExcess, unitWeight, totalWeight)
// start as zero.
#ifndef VOZ_PCTL_HPP
#define VOZ_PCTL_HPP

#include <cstdint>

#include "files/voz_keyrec.hpp"

struct GTRSTATUS;
struct _FCTLHEAD;
class CVozPos;

// Bytes of the read buffer that voz_PointDocStartposSkip allocates when the
// caller gave none.
constexpr int32_t VOZ_PCTL_READBUF_SIZE = 4096;

struct PCTLHEAD {
    uint8_t key[VOZ_KEY_HEAD_BYTES];  // first 6 key bytes of the key record
    int16_t keyUnits;         // key length in units, set by the callers
    int32_t curDoc;           // -1 before the first document, 0x7FFFFFFF after
    int32_t curPos;           // position in the current document; 0 at start
    int32_t curId;            // document reached in the start-position list
    int32_t basePos;          // caller's tag: added to positions handed out
    char endOfDocs;           // 'N'; 'Y' when no document is left
    char endOfPos;            // 'Y' at start and when the start list ended
    uint32_t dataLeft;        // position data bytes not yet read from file
    uint32_t fileOffset;      // where the next position data is read:
    uint32_t fileOffsetHigh;  //   the key's location and its high part
    uint8_t* readBuffer;      // read buffer over the position file
    int32_t readBufferSize;
    char bufferOwner;         // 'Y': the record frees readBuffer
    int32_t bufDataEnd;       // bytes of valid data in readBuffer
    int32_t bufReadOffset;    // kept for the readers of the builder
    int32_t bufParseOffset;   // next unparsed byte
    int32_t bufHeld;          // unparsed bytes after the last refill
    int32_t bufAdjusted[2];   // adjusted positions (builder's)
    int32_t prevPos;          // position before the last decoded entry
    int32_t secondDoc;        // -1 at start; kept for the position skips
    int32_t prevId;           // start-list document before the last entry
    int32_t entryCount;       // start-position entries decoded
    char keyKind;             // byte 0 of the key record
    void* auxBuffer;          // freed by voz_ReadInfo3Term
    int32_t auxCount[3];
    KEY_REC posAttr;          // the key's head record as read
    CVozPos* reader;          // position reader; null when none
    uint32_t docCount;        // documents of the key, from the key record
    int32_t leadOffset;       // set by batch builds of the search
    int32_t trailExcess;
    int32_t unitWeight[6];    // set by the pattern search
    int32_t totalWeight;
};

// Fills `pctl` from the head record `keyRecord`. `tag` becomes basePos;
// `flag` and `st` are not read. Never fails.
void voz_InitPctl(PCTLHEAD* pctl, const KEY_REC* keyRecord, int32_t tag,
                  char flag, GTRSTATUS* st);

// Frees an owned read buffer and the position reader (vozFreePos); calling
// it again does nothing.
void voz_TermPctl(PCTLHEAD* pctl, GTRSTATUS* st);

// voz_TermPctl, then voz_InitPctl when `st` is still clear.
void voz_ResetPctl(PCTLHEAD* pctl, const KEY_REC* keyRecord, int32_t tag,
                   char flag, GTRSTATUS* st);

// Does nothing (the lookups call it for key records of kind 'D').
void voz_ReadInfo3();

// Frees the auxiliary buffer and clears it and its counters.
void voz_ReadInfo3Term(PCTLHEAD* pctl);

// Reads the key's start-position list (pairs of document delta and start
// position delta in the position code) from the sequential position file
// of `fs` until curId >= document and curPos >= position; at the end of the
// list endOfPos becomes 'Y'. The file is read through the position-file
// calls of the set's broker (voz_fseek_POSFILE, voz_fread_POSFILE), or,
// for a set without a broker, through the position file it opened itself.
// Seek failures carry the reason 216, read failures 217 (with the file's
// name; errno when the set's own file failed); inconsistent buffer or an
// entry cut by the end of the data 17/220; no memory for the read buffer
// 11/219. 0 or -1.
int voz_PointDocStartposSkip(_FCTLHEAD* fs, PCTLHEAD* pctl, int32_t document,
                             int32_t position, GTRSTATUS* st);

#endif  // VOZ_PCTL_HPP
