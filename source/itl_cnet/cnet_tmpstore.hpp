// cnet_tmpstore.hpp -- the temporary store of a compilation (TMPCTL): the
// words of a definition in reading order, read back either sorted by word
// (then record number) or in reading order, with only a bounded run of
// them in memory.
//
// Files (dictionary's first directory, dictionary name): three pairs,
// "$00"/"$01", "$10"/"$11", "$20"/"$21". In each pair the first file holds
// fixed 16-byte records, the second the word texts one after the other.
// Pairs 0 and 1 take turns holding the sorted file; pair 2 holds every
// record in reading order. A record (machine byte order; the files live
// only during one compilation):
//   off size field
//     0    4  record number (place in reading order, from 0)
//     4    4  offset of its text in the pair's text file
//     8    4  text length (1 .. CNET_TMP_WORD_MAX)
//    12    1  strength
//    13    1  reserved, zero
//    14    2  relation (category, id)
// Records are read back strictly in file order: a record whose text offset
// is not the text file's read position is 501.
//
// Writing appends to the run (a record table and a text buffer, each
// doubled when full up to its limit) and at once to pair 2. A full run is
// flushed: sorted in memory and merged with the sorted file into the other
// pair, which then becomes the sorted file. A sorted read sorts what is
// left of the run and merges it with the sorted file on the fly.
//
// Every write and truncation of a file and every removal first asks the
// thesaurus file hook ("write", "delete"). The files are not synced: they
// matter only to the compilation that made them, and the next compile or
// clear removes what a killed one left.
#ifndef CNET_TMPSTORE_HPP
#define CNET_TMPSTORE_HPP

#include <cstdint>

#include "cnet_base.hpp"

constexpr uint32_t CNET_TMP_RECORD = 16;     // bytes of a record
constexpr uint32_t CNET_TMP_WORD_MAX = 192;  // longest text
// Run limits: the defaults, and the smallest accepted.
constexpr uint32_t CNET_TMP_RUN_RECORDS = 65536;
constexpr uint32_t CNET_TMP_RUN_TEXT = 1u << 20;
constexpr uint32_t CNET_TMP_RUN_TEXT_MIN = CNET_TMP_WORD_MAX;

struct TMPREC {
    uint32_t number;   // place in reading order
    uint32_t offset;   // of the text (file or run buffer)
    uint32_t length;   // text bytes
    uint8_t strength;
    CNETREL rel;
};

// One temporary file with its own buffer; `pos` is the logical position
// (bytes written, or bytes consumed by the reader).
struct TMPIO {
    char name[CNET_PATH_MAX];
    int fd;
    uint8_t* buf;
    uint32_t used;     // writing: bytes pending; reading: bytes valid
    uint32_t at;       // reading: next byte in buf
    uint64_t pos;
};

struct TMPFILECTL {
    TMPIO rec;
    TMPIO text;
};

struct TMPCTL {
    TMPFILECTL pair[3];
    int sorted;            // pair (0 or 1) holding the sorted file
    char mode;             // 'W' writing, 'S' sorted reading, 'R' reading order
    uint32_t total;        // records written
    TMPREC* run;           // the in-memory run
    uint32_t runCount, runCap, runCapMax;
    uint8_t* runText;
    uint32_t textUsed, textCap, textCapMax;
    uint32_t readPos;      // sorted reading: next run record
    bool haveFile;         // sorted reading: fileRec holds the next file record
    TMPREC fileRec;
    uint8_t fileText[CNET_TMP_WORD_MAX];
    uint8_t outText[CNET_TMP_WORD_MAX];
};

// "%s/%s.$<pair><file>" in the dictionary's first directory.
void cnetTmpName(char* out, const CNETDIRS* dirs, const char* name, int pair, int file);

// Creates (or truncates) the six files and the run for writing. The run
// holds at most `runRecords` records and `runText` text bytes (raised to
// 1 and CNET_TMP_RUN_TEXT_MIN). Errors: 510 with the file's name, 520.
// On failure the caller still calls cnetTmpClose.
bool cnetTmpOpen(TMPCTL* t, const CNETDIRS* dirs, const char* name, uint32_t runRecords,
                 uint32_t runText, CNETSTATUS* st);
// Appends the next record (numbered in writing order). A text longer than
// CNET_TMP_WORD_MAX or empty is 501; write errors 512.
bool cnetTmpWrite(TMPCTL* t, const uint8_t* text, uint32_t length, uint8_t strength,
                  CNETREL rel, CNETSTATUS* st);
// Ends writing (first call) and starts a read from the beginning: 'S'
// sorted by word (cnetWordCmp) then record number, 'R' in writing order.
bool cnetTmpRewind(TMPCTL* t, char mode, CNETSTATUS* st);
// The next record: *more false at the end. *text stays valid until the
// next call. Errors: 511 (read, with the file's name), 501 (the files do
// not fit together).
bool cnetTmpRead(TMPCTL* t, TMPREC* rec, const uint8_t** text, bool* more,
                 CNETSTATUS* st);
// Closes the files and frees the run; safe on a zeroed or half-opened
// control.
void cnetTmpClose(TMPCTL* t);
// Removes the six files of the dictionary; missing ones are no error (515
// with the file's name otherwise). `st` may be null.
bool cnetTmpDelete(const CNETDIRS* dirs, const char* name, CNETSTATUS* st);

#endif  // CNET_TMPSTORE_HPP
