// cnet_file.hpp -- the dictionary's file set and records: the control of
// one open file set (CNETCTL), the head, word and group records, and the
// whole-set operations (copy, rename, delete, existence).
//
// A dictionary is four files (word slots, word values, group slots, group
// values) named "<dir>/<name>.<ext>" by the set's extensions (cnet_ext).
// All integers on disk are big-endian:
//
// Head, the first 80 bytes of the word slot file:
//   off size field
//     0    4 magic "CNET"
//     4    4 version: 0x100 written; 0 or 0x100 read (else 542)
//     8    4 word count (word ids 0 .. count-1)
//    12    4 group count
//    16    4 deleted words
//    20    4 deleted groups
//    24    4 most groups of a word
//    28    4 most relations of a word
//    32    4 most members of a group
//    36    4 most relations of a group
//    40    1 engine code-page code of the words
//    41   39 reserved, zero
// Word slot, 20 bytes at 80 + id * 20:
//     0    4 offset of the value record in the word value file
//     4    4 text length
//     8    4 relation count
//    12    4 group count
//    16    1 flags: 0x80 deleted
//    17    3 reserved, zero
// Word value record: the text padded with zeros to a multiple of 4, the
//   group ids (4 bytes each), the relations (8 bytes each: target word id
//   4, category 1, id 1, strength 1, reserved 1).
// Group slot, 20 bytes at id * 20 (no head):
//     0    4 offset of the value record in the group value file
//     4    4 length of the value record
//     8    4 member count
//    12    4 relation count
//    16    2 the group's relation (category, id)
//    18    1 flags: 0x80 deleted
//    19    1 reserved, zero
// Group value record: (members + relations) entries of 8 bytes: word id 4,
//   strength 1, reserved 1, relation (category, id) 2; members first.
//
// Reading trusts nothing: every offset and length is checked against the
// file's size (519), every count against the head's maxima and every id
// against the head's counts (541) before a buffer is sized or filled.
#ifndef CNET_FILE_HPP
#define CNET_FILE_HPP

#include <cstdint>
#include <cstdio>

#include "cnet_base.hpp"

constexpr uint32_t CNET_HEAD_SIZE = 80;
constexpr uint32_t CNET_SLOT_SIZE = 20;
constexpr uint32_t CNET_VERSION = 0x100;
constexpr uint8_t CNET_DELETED = 0x80;

struct CNETHEAD {
    uint32_t version;
    uint32_t wordCount;
    uint32_t groupCount;
    uint32_t deletedWords;
    uint32_t deletedGroups;
    uint32_t maxWordGroups;
    uint32_t maxWordRels;
    uint32_t maxGroupMembers;
    uint32_t maxGroupRels;
    uint8_t codepage;
};

// A relation of a word (8 bytes on disk).
struct CNETRELENTRY {
    uint32_t target;   // word id
    CNETREL rel;
    uint8_t strength;  // 1..100
};

// A member or relation entry of a group (8 bytes on disk).
struct CNETGRPENTRY {
    uint32_t wordId;
    uint8_t strength;  // 0..100
    CNETREL rel;
};

// A word as read (parts point into the control's buffers, valid until the
// next read) or as given to be written.
struct CNETWORD {
    bool deleted;
    const uint8_t* text;
    uint32_t textLen;
    const uint32_t* groups;
    uint32_t groupCount;
    const CNETRELENTRY* rels;
    uint32_t relCount;
};

// A group: entries are members first, then relations.
struct CNETGROUP {
    bool deleted;
    CNETREL rel;
    const CNETGRPENTRY* entries;
    uint32_t memberCount;
    uint32_t relCount;
};

// One open file with its name and size (kept up to date by writes).
// `pos` is the stream's position after the last write through
// cnetFileSeekWrite (-1 when a read, a failure or a size query came
// since): a write that continues there needs no seek, which would flush
// the stream's buffer.
struct CNETFILE {
    FILE* fp;
    char name[CNET_PATH_MAX];
    uint64_t size;
    int64_t pos;
};

// The control of one file set of a dictionary. Not copyable in spirit:
// it owns its files and buffers; cnetFreeCNETCTL releases them.
struct CNETCTL {
    char dictName[CNET_NAME_MAX + 1];
    CNETDIRS dirs;
    int set;
    CNETFILE f[4];
    CNETHEAD head;
    bool haveHead;
    uint32_t nextWord;   // slot read by id -1
    uint32_t nextGroup;
    uint8_t* raw;        // value record as read; grows by 4096, never shrinks
    size_t rawCap;
    uint32_t* groups;
    size_t groupsCap;
    CNETRELENTRY* rels;
    size_t relsCap;
    CNETGRPENTRY* entries;
    size_t entriesCap;
};

// Initialises *ctl for a specification, a name and a set 0..3 (names
// checked: 502) and forms the set's four file names. Allocates nothing.
bool cnetSetCNETCTL(CNETCTL* ctl, const char* dirspec, const char* name,
                    int set, CNETSTATUS* st);
// Closes what is open (failures ignored) and frees the buffers.
void cnetFreeCNETCTL(CNETCTL* ctl);

// Opens the four files with fopen(mode); 510 with the file's name.
bool cnetOpen(CNETCTL* ctl, const char* mode, CNETSTATUS* st);
// Closes the four files (all of them, reporting the first failure: 517).
bool cnetClose(CNETCTL* ctl, CNETSTATUS* st);

bool cnetReadHead(CNETCTL* ctl, CNETHEAD* head, CNETSTATUS* st);
// Writes the head (magic, version 0x100, fields) and keeps it in ctl.
bool cnetWriteHead(CNETCTL* ctl, const CNETHEAD* head, CNETSTATUS* st);

// Reads word `id` (-1: the slot after the last one read). REQUIRES: the
// head was read. A deleted word sets only word->deleted.
bool cnetReadWord(CNETCTL* ctl, int64_t id, CNETWORD* word, CNETSTATUS* st);
// Writes word `id` (-1: a new slot at the end): the value record in place
// when it fits in the old record, else at the end of the value file.
bool cnetWriteWord(CNETCTL* ctl, int64_t id, const CNETWORD* word,
                   CNETSTATUS* st);
bool cnetReadGroup(CNETCTL* ctl, int64_t id, CNETGROUP* group, CNETSTATUS* st);
// Writes group `id` (-1: a new slot at the end); the value record is
// always appended to the group value file.
bool cnetWriteGroup(CNETCTL* ctl, int64_t id, const CNETGROUP* group,
                    CNETSTATUS* st);

// Reads `len` bytes at `offset` (-1: current position): 513 seek, 519 when
// the file ends before them, 511 read error.
bool cnetFileSeekRead(CNETFILE* f, int64_t offset, void* buf, size_t len,
                      CNETSTATUS* st);
// Writes `len` bytes at `offset` (-1: current position): 513, 512.
bool cnetFileSeekWrite(CNETFILE* f, int64_t offset, const void* buf,
                       size_t len, CNETSTATUS* st);
// The size of an open file: 514.
bool cnetFileSize(CNETFILE* f, uint64_t* size, CNETSTATUS* st);

// Whole-set operations on the names of two controls (files closed).
// Copy: each file of `from` to `to`, synced (510, 511, 512).
bool cnetCopy(const CNETCTL* from, const CNETCTL* to, CNETSTATUS* st);
// Rename: each file of `from` to `to` after syncing it, then the
// directory. EBUSY is retried 720 times, 5 s apart, with a warning each
// time; any other failure is 516 with both names at once.
bool cnetRename(const CNETCTL* from, const CNETCTL* to, const CNETEXEC* opts,
                CNETSTATUS* st);
// Delete: each file of the set; one that is absent is no failure (515).
bool cnetDelete(const CNETCTL* ctl, CNETSTATUS* st);

// Existence of the live dictionary: *exists false (no failure) without its
// word slot file; 541 when that exists and another of the four does not.
// With `codepage`, opens the set, reads the head and returns its code page.
bool cnetExist(const char* dirspec, const char* name, bool* exists,
               uint8_t* codepage, CNETSTATUS* st);

#endif  // CNET_FILE_HPP
