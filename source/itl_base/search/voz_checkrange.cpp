// voz_checkrange.cpp -- range check of words without field or block
// restrictions (see voz_checkrange.hpp).
//
// A word is restricted when it names a field (fieldNumber, or a field
// range list in rangeData with a count in fieldNumber) or block ranges
// (rangeCount non-zero). Such words never reach an evaluation here: the
// search refuses them while it sets the words up.
#include "search/voz_checkrange.hpp"

#include <cstdlib>
#include <cstring>

#include "files/voz_status.hpp"

namespace {

bool restricted(const _WCTLHEAD* w) {
    return w->fieldNumber != 0 || w->rangeCount != 0;
}

}  // namespace

void voz_InitForCheckRange(IDXINFO* /*index*/, _WCTLHEAD* words,
                           BLOCKCTL** blocks, int32_t wordCount,
                           OPPARM* /*ops*/, int32_t /*opCount*/,
                           MULTIFIELDCTRL* mfc, RANKPARM* /*rank*/,
                           GTRSTATUS* /*st*/) {
    if (blocks != nullptr)
        memset(blocks, 0, VOZ_BLOCK_KINDS * sizeof *blocks);
    if (mfc != nullptr) memset(mfc, 0, sizeof *mfc);
    for (int32_t i = 0; i < wordCount; ++i) {
        _WCTLHEAD* w = &words[i];
        // Unweighted: every occurrence counts 1.0, also outside fields.
        w->wordWeight = 1.0f;
        w->maxWeight = 1.0f;
        w->resultWeight = 0.0f;
        w->accWeight = 0.0f;
    }
}

int32_t voz_CheckRange(IDXINFO* /*index*/, _WCTLHEAD* word,
                       BLOCKCTL** /*blocks*/, MULTIFIELDCTRL* /*mfc*/,
                       VVGDOCINFO* /*info*/, GTRSTATUS* st) {
    if (restricted(word)) {
        voz_setStatus(st, VOZ_RC_INCONSISTENT, VOZ_EC_RANGE_RESTRICTED);
        return VOZ_RANGE_ERROR;
    }
    word->resultWeight = word->wordWeight;
    word->accWeight += word->wordWeight;
    return VOZ_RANGE_ACCEPT;
}

void voz_TermForCheckRange(_WCTLHEAD* /*words*/, int32_t /*wordCount*/,
                           OPPARM* /*ops*/, int32_t /*opCount*/,
                           BLOCKCTL** blocks, MULTIFIELDCTRL* mfc,
                           GTRSTATUS* /*st*/) {
    if (blocks != nullptr) {
        for (int k = 0; k < VOZ_BLOCK_KINDS; ++k) {
            if (blocks[k] == nullptr) continue;
            voz_TermForGetBlock(blocks[k]);
            free(blocks[k]);
            blocks[k] = nullptr;
        }
    }
    if (mfc != nullptr) memset(mfc, 0, sizeof *mfc);
}
