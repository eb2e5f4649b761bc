// cnet_refer.hpp -- the related-term walk and the top terms under
// vozCNETrefer, the relation selection of a request, the reading of a
// live dictionary under the reader lock, and the information call.
#ifndef CNET_REFER_HPP
#define CNET_REFER_HPP

#include <cstdint>

#include "cnet_file.hpp"
#include "cnet_lock.hpp"

// Relation selection: bit sets of 256 relation ids for categories 3, 1
// and 2 (bit n-1, most significant bit of a byte first, is id n).
struct CNETRELSEL {
    uint8_t bits[3][32];
};

// The request's selection (503 for a bad user relation).
bool cnetRelConvert(const CNETPATH* path, CNETRELSEL* sel, CNETSTATUS* st);
bool cnetRelSelected(const CNETRELSEL* sel, CNETREL r);

// Dictionary information: the head and the live counts.
struct CNETINFO {
    CNETHEAD head;
    uint32_t liveWords;
    uint32_t liveGroups;
};
// Reads the head of the live dictionary under the reader lock.
bool cnetInfo(const char* dirspec, const char* name, CNETINFO* info, CNETSTATUS* st);

// Opens the live set for reading under the reader lock (finishing an
// interrupted commit first) and reads the head into ctl->head: 543 when
// the dictionary does not exist. Close with cnetCloseForReading (always).
bool cnetOpenForReading(const char* dirspec, const char* name, CNETLOCK* lk, CNETCTL* ctl,
                        CNETSTATUS* st);
void cnetCloseForReading(const char* dirspec, const char* name, CNETLOCK* lk, CNETCTL* ctl,
                         CNETSTATUS* st);

// The breadth-first walk from the words matching `base`; a term limit
// reached counts the terms left out in st->resultsCut.
bool cnetExpand(void** work, CNETCTL* ctl, const CNETBASE* base, const CNETPATH* path,
                const CNETRELSEL* sel, CNETOUTPUT* out, CNETSTATUS* st);
// The top terms: words without a broader term, and of associated words
// the one with the lowest id.
bool cnetRootRefer(CNETCTL* ctl, const CNETPATH* path, CNETOUTPUT* out, CNETSTATUS* st);

#endif  // CNET_REFER_HPP
