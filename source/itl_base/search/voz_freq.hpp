// voz_freq.hpp -- the term-frequency output of an unranked document walk.
//
// For every document (or VVG) the walk visits, one record tells how often
// each numbered query word occurred there and how long the document is.
// Words carry their number in _WCTLHEAD::term_no (negative = not written);
// the occurrence count is the word's per-document counter docCounters[0]
// (occurrences seen in the window, before field and block ranges).
//
// Term-frequency file: one record per visited document that has at least
// one counted word; every value little-endian, 32 bits:
//   off  size  field
//     0     4  document number as written to the answer (the VVG id)
//     4     4  document size in positions (0 when unknown)
//     8     4  reserved, 0
//    12     4  reserved, 0
//    16     4  n, the number of entries
//    20   8*n  entries: word number (int32), occurrences (float);
//              ascending word number, words without occurrences left out
//
// Document sizes come from the document-list key (key slot 38), whose one
// position per document is the document's length.
//
// Call order: voz_InitFreq before the walk, voz_WriteFreq per visited
// document, voz_TermFreq at the end (also after a failure).
#ifndef VOZ_FREQ_HPP
#define VOZ_FREQ_HPP

#include <cstdint>

#include "postings/voz_pctl.hpp"
#include "search/voz_blockctl.hpp"
#include "search/voz_searchrec.hpp"

struct FILE_CONTROL;
struct GTRSTATUS;

// Name the term-frequency file carries in failure reports; the default is
// "FREQUENCY_FILE". A caller may point it at the real file name.
extern const char* pszFreqFile;

// Bytes of a record's head and of one entry.
constexpr int32_t VOZ_FREQ_HEAD_SIZE = 20;
constexpr int32_t VOZ_FREQ_ENTRY_SIZE = 8;

struct FREQCTL {
    PCTLHEAD size;           // reader of the document-size key
    bool sizeOpen;           // `size` was opened
    uint8_t* entries;        // 8 bytes per word; `order` follows in the
                             // same allocation
    int32_t nterms;          // words with a term number
    int32_t* order;          // their indexes, ascending by term number
};

// Clears `fc`, opens the size reader and lists the words with term_no >= 0
// in ascending term-number order (equal numbers keep their word order).
// No memory: 11/704.
void voz_InitFreq(FREQCTL* fc, _WCTLHEAD* words, int32_t nword,
                  IDXINFO* index, GTRSTATUS* st);

// Writes the record of the window `info` to `file`; nothing when no
// numbered word occurred. A size lookup out of order 17/999; a short
// write 5/706 naming pszFreqFile with the system error number.
void voz_WriteFreq(FREQCTL* fc, _WCTLHEAD* words, int32_t nword,
                   IDXINFO* index, VVGDOCINFO* info, FILE_CONTROL* file,
                   GTRSTATUS* st);

// Releases the size reader (its errors are dropped) and the buffer.
void voz_TermFreq(FREQCTL* fc);

// Size in positions of the window's VVG (or document), or -1 when the size
// key has no entry for it. Documents must come in ascending order: a
// document not above the reader's current one gives 17/999 and -1.
int32_t voz_GetDocSize(PCTLHEAD* size, VVGDOCINFO* info, IDXINFO* index,
                       GTRSTATUS* st);

#endif  // VOZ_FREQ_HPP
