// voz_verify_walk.hpp - the readers verification walks a file set with:
// an open file set closed on every path, the key records in record order,
// one key's documents and positions, and the percentage shown while keys
// are walked.  Used by voz_verify.cpp and voz_verify_index.cpp only.
#ifndef VOZ_VERIFY_WALK_HPP
#define VOZ_VERIFY_WALK_HPP

#include <cstdint>

#include "files/voz_keyrec.hpp"
#include "postings/voz_pctl.hpp"

struct GTRSTATUS;
struct _FCTLHEAD;

// Opens a file set for reading and closes it when it goes out of scope (a
// close failure after an earlier one is not reported).
class VOZOPENSET {
public:
    explicit VOZOPENSET(_FCTLHEAD* fs) : fs_(fs) {}
    ~VOZOPENSET();
    VOZOPENSET(const VOZOPENSET&) = delete;
    VOZOPENSET& operator=(const VOZOPENSET&) = delete;
    // voz_IDXopen "rb"; 0 or -1.
    int open(GTRSTATUS* st);

private:
    _FCTLHEAD* fs_;
    bool open_ = false;
    GTRSTATUS* st_ = nullptr;
};

// The key file's keys one by one (a 'V' head with its continuations).
struct VOZKEYWALK {
    _FCTLHEAD* fs;
    uint32_t total;        // keys to read
    int32_t nextRecord;    // record number of the next key
    int32_t beyondReason;  // errcode of a key past the end of the file
    bool havePrevious;
    KEY_REC* current;      // 255 records each
    KEY_REC* previous;
};
// Allocates the two record buffers (11/460).  0 or -1.
int voz_KeyWalkBegin(VOZKEYWALK* walk, _FCTLHEAD* fs, uint32_t total,
                     int32_t beyondReason, GTRSTATUS* st);
// Reads the next key into `current` (the former one moves to `previous`).
// A key past the end of the file is 16/beyondReason.  0 or -1.
int voz_KeyWalkNext(VOZKEYWALK* walk, GTRSTATUS* st);
void voz_KeyWalkEnd(VOZKEYWALK* walk);

// One key's position list, document by document.
struct VOZPOSTWALK {
    _FCTLHEAD* fs;
    PCTLHEAD pctl;
    bool started;
};
void voz_PostWalkBegin(VOZPOSTWALK* walk, _FCTLHEAD* fs, const KEY_REC* head,
                       GTRSTATUS* st);
// 1 on the next document (pctl.curDoc), 0 at the end or on failure.
int voz_PostWalkNextDoc(VOZPOSTWALK* walk, GTRSTATUS* st);
// 1 on the next position of the document (pctl.curPos), 0 at its end.
int voz_PostWalkNextPos(VOZPOSTWALK* walk, GTRSTATUS* st);
void voz_PostWalkEnd(VOZPOSTWALK* walk, GTRSTATUS* st);
// Walks the whole list of `head` and returns its last document (-1: none).
int32_t voz_PostWalkLastDoc(_FCTLHEAD* fs, const KEY_REC& head,
                            GTRSTATUS* st);

// True when the key record has position data to walk.
bool voz_KeyHasPostings(const KEY_REC& head);
// Orders two fixed records by kind and key bytes, as they lie on disk.
int voz_VerifyFixedCmp(const KEY_REC* a, const KEY_REC* b);

// The percentage of keys done, printed with display mode 'D' whenever it
// changes, and "100%" at the end.
class VOZPROGRESS {
public:
    explicit VOZPROGRESS(char logdisp) : on_(logdisp == 'D') {}
    void show(uint32_t done, uint32_t total);
    void finish();

private:
    bool on_;
    long last_ = -1;
};

#endif  // VOZ_VERIFY_WALK_HPP
