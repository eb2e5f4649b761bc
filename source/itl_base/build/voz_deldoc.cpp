// voz_deldoc.cpp -- document deletion: the work block, the writing of the
// new deleted-document lists, their commit through the journal, and the
// index sort voz_SortDocNoIX (see voz_deldoc.hpp).
//
// States of one sub-index's deletion (the journal's states in between):
//   Init      live "del" holds the old lists; no "#del"
//   Last      "#del" holds the complete new lists (old ones plus the new
//             numbers, of each half that exists); live "del" unchanged
//   Term 'G'  the mark replaces "del" by "#del" ("%del" removed last)
//   Term 'C'  "#del" removed; live "del" unchanged
#include "build/voz_deldoc.hpp"

#include <sys/stat.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "build/voz_cleantmp.hpp"
#include "build/voz_journal.hpp"
#include "files/voz_status.hpp"
#include "postings/voz_idxset.hpp"
#include "postings/voz_posstore.hpp"

namespace {

_FCTLHEAD* set(CREATWRK* b, int kind, int slot) {
    return &b->indexSets[kind * VOZ_SETS_PER_KIND + slot];
}

// Path of the new deleted-document directory "#del" of the sub-index.
std::string newDelDir(CREATWRK* b) {
    char name[VOZ_FNAME_LEN];
    voz_IDXgetFname(name, set(b, 0, VOZ_SET_MAIN_NEW), VOZ_FT_DIR | VOZ_FT_DELETED);
    return name;
}

bool exists(const std::string& path) {
    struct stat sb;
    return stat(path.c_str(), &sb) == 0;
}

void cancel(CREATWRK* b) {
    if (b == nullptr || voz_JnlMarkExists(set(b, 0, VOZ_SET_MAIN))) return;
    GTRSTATUS ignored{};
    voz_RemoveDelDir(set(b, 0, VOZ_SET_MAIN_NEW), &ignored);
}

// The commit of the blocks' "#del" directories under one mark. 0 or -1.
int commit(CREATWRK* blocks[2], GTRSTATUS* st) {
    const _FCTLHEAD* mains[2] = {};
    for (int i = 0; i < 2; ++i)
        if (blocks[i] != nullptr) mains[i] = set(blocks[i], 0, VOZ_SET_MAIN);
    return voz_JnlCommitBlocks(
        2, mains,
        [blocks](int i, VOZJOURNAL* j, GTRSTATUS* s) {
            if (!exists(newDelDir(blocks[i]))) return 0;
            return voz_JnlAdd(j, VOZ_JNL_REPLACE, VOZ_JNL_DELETED,
                              set(blocks[i], 0, VOZ_SET_MAIN)->subdirPrefix, s);
        },
        nullptr, st);
}

}  // namespace

void vozDeleteDocInit(CREATWRK** out, const char* idxname, const char* idxdir,
                      const char* letters, const char* prefix, GTRSTATUS* st) {
    *out = nullptr;
    CREATWRK* b = static_cast<CREATWRK*>(calloc(1, sizeof(CREATWRK)));
    if (b == nullptr) {
        voz_setStatus(st, VOZ_RC_MEMORY, 1810, nullptr, ENOMEM);
        return;
    }
    strcpy(b->tag, VOZ_CREATWRK_TAG);
    strncpy(b->directoryPrefix, prefix, VOZ_PREFIX_LEN - 1);
    char four[5] = {0};
    memcpy(four, letters, 4);
    static const int32_t kTypes[] = {VOZ_HALF_MAIN, VOZ_HALF_SUPP, VOZ_HALF_MAIN_NEW,
                                     VOZ_HALF_SUPP_NEW};
    for (int kind = 0; kind < 2; ++kind) {
        for (int slot = 0; slot < 4; ++slot) {
            _FCTLHEAD* fs = set(b, kind, slot);
            if (voz_SetFctlForRead(fs, idxname, idxdir, 0, kind, four, prefix, st) != 0) {
                free(b);
                return;
            }
            fs->fileType = kTypes[slot];
        }
    }
    vozCleanTmpDir(b, st);
    *out = b;
}

void vozDeleteDocLast(CREATWRK* block, GTRSTATUS* st) {
    if (block == nullptr) {
        voz_setStatus(st, VOZ_RC_HANDLE, 1811);
        return;
    }
    for (int slot : {VOZ_SET_MAIN, VOZ_SET_SUPP}) {
        _FCTLHEAD* fs = set(block, 0, slot);
        if (fs->deletedDocs == nullptr) continue;
        // The key file's header says where the positions lie (sequential
        // file or block store): without it a block-store half looks absent.
        fs->flags |= VOZ_FCTL_TAKE_FLAGS;
        GTRSTATUS probe{};
        const bool there = voz_IDXqueryExistence(fs, nullptr, &probe) == VOZ_EXISTS;
        vozFreeDeletedDocs(fs->deletedDocs, there ? fs : nullptr, st);
        fs->deletedDocs = nullptr;
        if (voz_Failed(st)) return;
    }
}

void vozDeleteDocTermPair(CREATWRK* first, CREATWRK* second, char proc,
                          GTRSTATUS* st) {
    CREATWRK* blocks[2] = {first, second};
    if (proc == 'C') {
        cancel(first);
        cancel(second);
        return;
    }
    commit(blocks, st);
}

void vozDeleteDocTerm(CREATWRK* block, char proc, GTRSTATUS* st) {
    if (block == nullptr) return;
    vozDeleteDocTermPair(block, nullptr, proc, st);
}

void vozDeleteDocFree(CREATWRK* block) {
    if (block == nullptr) return;
    GTRSTATUS ignored{};
    for (int slot = 0; slot < VOZ_SET_COUNT; ++slot) {
        vozFreeDeletedDocs(block->indexSets[slot].deletedDocs, nullptr, &ignored);
        block->indexSets[slot].deletedDocs = nullptr;
    }
    memset(block->tag, 0, sizeof block->tag);
    free(block);
}

void voz_SortDocNoIX(const int32_t* keys, int32_t* index, int32_t count,
                     GTRSTATUS* st) {
    (void)st;  // the sort cannot fail: its stack holds at most log2(count)
               // ranges because the smaller part is always sorted first
    if (keys == nullptr || index == nullptr || count < 2) return;
    struct Range { int32_t lo, hi; };
    std::vector<Range> stack;
    stack.push_back({0, count - 1});
    while (!stack.empty()) {
        Range r = stack.back();
        stack.pop_back();
        if (r.lo >= r.hi) continue;
        const int32_t pivot = keys[index[r.lo + (r.hi - r.lo) / 2]];
        int32_t i = r.lo, j = r.hi;
        while (i <= j) {
            while (keys[index[i]] < pivot) ++i;
            while (keys[index[j]] > pivot) --j;
            if (i <= j) {
                int32_t t = index[i];
                index[i] = index[j];
                index[j] = t;
                ++i;
                --j;
            }
        }
        // The larger part first onto the stack: the smaller is taken next.
        Range left{r.lo, j}, right{i, r.hi};
        if (j - r.lo > r.hi - i) {
            stack.push_back(left);
            stack.push_back(right);
        } else {
            stack.push_back(right);
            stack.push_back(left);
        }
    }
}
