// voz_posstore.cpp - the function interface of the position store (see
// voz_posstore.hpp).  Each function runs its storage calls inside Guard(),
// the one seam at which a CVozException becomes the caller's status.
#include "postings/voz_posstore.hpp"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <new>

#include "files/voz_deldocs.hpp"
#include "files/voz_file.hpp"
#include "postings/voz_idxset.hpp"
#include "postings/voz_posbroker.hpp"
#include "postings/voz_poslevel.hpp"

namespace {

// Runs `body`; a CVozException is copied onto `st` (when it holds no
// failure yet), memory exhaustion becomes (11, 3499).  True on success.
template <typename F>
bool Guard(GTRSTATUS* st, F body) {
    try {
        body();
        return true;
    } catch (const CVozException& e) {
        if (!voz_Failed(st)) voz_StatusFromException(st, e);
    } catch (const std::bad_alloc&) {
        voz_setStatus(st, VOZ_RC_MEMORY, 3499);
    }
    return false;
}

CVozPosBrokerNormal* Sequential(_FCTLHEAD* files) {
    CVozPosBrokerNormal* b =
        files != nullptr
            ? dynamic_cast<CVozPosBrokerNormal*>(files->posBroker)
            : nullptr;
    if (b == nullptr) throw CVozException(VOZ_RC_INCONSISTENT, 3420);
    return b;
}

// Stores a reader back into a scratch record and deletes it, also when
// storing fails (the failure is thrown after the deletion).
void EndReader(CVozPos* reader) {
    std::unique_ptr<CVozPos> owned(reader);
    POS_ATTR scratch{};
    owned->Externalize(scratch);
}

bool HoldsList(const MCTLHEAD& m) {
    return m.holdsKey == 'Y' && m.curKey[0].dataLength != 0;
}

void HandDeletions(CVozPos* list, _FCTLHEAD& fs) {
    uint32_t n = vozGetNumDeletedDocs(fs.deletedDocs);
    if (n > 0) list->DeleteDocs(vozGetDeletedDocs(fs.deletedDocs), n);
}

CVozPosBroker* NewBroker(_FCTLHEAD* files) {
    if (files->flags & VOZ_FCTL_BTREE) {
        CVozPosBroker* b = new (std::nothrow) CVozPosBrokerMulti();
        if (b == nullptr) throw CVozException(VOZ_RC_MEMORY, 3407);
        return b;
    }
    if (files->workSet == 0) {
        CVozPosBroker* b = new (std::nothrow) CVozPosBrokerNormal(1);
        if (b == nullptr) throw CVozException(VOZ_RC_MEMORY, 3409);
        return b;
    }
    _FCTLHEAD* owner = files->sharedFrom;
    CVozPosBrokerWork* shared =
        owner != nullptr ? dynamic_cast<CVozPosBrokerWork*>(owner->posBroker)
                         : nullptr;
    if (shared != nullptr) return shared->Replica();
    CVozPosBroker* b = new (std::nothrow) CVozPosBrokerWork();
    if (b == nullptr) throw CVozException(VOZ_RC_MEMORY, 3408);
    return b;
}

}  // namespace

void vozFreePosBroker(CVozPosBroker* broker, GTRSTATUS* st) {
    if (broker == nullptr) return;
    bool ok = Guard(st, [&] { broker->Commit(); });
    GTRSTATUS closeSt{};
    Guard(&closeSt, [&] { broker->Close(); });
    delete broker;
    if (ok && voz_Failed(&closeSt) && !voz_Failed(st)) *st = closeSt;
}

CVozPosBroker* vozAllocatePosBroker(_FCTLHEAD* files, const char* mode,
                                    GTRSTATUS* st) {
    CVozPosBroker* broker = nullptr;
    bool ok = Guard(st, [&] {
        broker = NewBroker(files);
        broker->Open(files, mode);
        if ((files->flags & VOZ_FCTL_BTREE) && !files->noAutoTransaction) {
            broker->Transaction();
        }
    });
    if (ok) return broker;
    if (broker != nullptr) {
        GTRSTATUS ignored{};
        Guard(&ignored, [&] { broker->Close(); });
        delete broker;
    }
    return nullptr;
}

void vozCreateFirstIndex(_FCTLHEAD* files, GTRSTATUS* st) {
    files->flags |= VOZ_FCTL_CREATING;
    Guard(st, [&] { CVozPosBrokerMulti::CreateFirstIndex(files); });
}

int vozCreateIndexDirectory(_FCTLHEAD* files, GTRSTATUS* st) {
    static const struct { uint16_t kind; int32_t reason; } kDirs[] = {
        {VOZ_FT_DIR | VOZ_FT_SHARED, 3405}, {VOZ_FT_DIR, 3401}};
    for (const auto& d : kDirs) {
        char name[VOZ_FNAME_LEN];
        voz_IDXgetFname(name, files, d.kind);
        if (voz_access(name) == 0) continue;
        if (mkTreeDir(name) != 0) {
            voz_setStatus(st, VOZ_RC_NO_TEMP_DIR, d.reason, name, errno);
            return -1;
        }
    }
    return 0;
}

uint64_t vozGetOffset(CVozPosBroker* broker, GTRSTATUS* st) {
    uint64_t size = 0;
    if (broker == nullptr) return 0;
    Guard(st, [&] { size = broker->GetFileSize(); });
    return size;
}

void vozRenamePosFiles(_FCTLHEAD* from, _FCTLHEAD* to, GTRSTATUS* st) {
    Guard(st, [&] { CVozPosBrokerMulti::RenamePosFiles(from, to); });
}

void vozCopyPosFiles(_FCTLHEAD* from, _FCTLHEAD* to, GTRSTATUS* st) {
    Guard(st, [&] { CVozPosBrokerMulti::CopyPosFiles(from, to); });
}

int vozRemovePosFiles(_FCTLHEAD* files, GTRSTATUS* st) {
    int rc = -1;
    Guard(st, [&] { rc = CVozPosBrokerMulti::RemovePosFiles(files); });
    return rc;
}

void vozRecoverPosControls(_FCTLHEAD* files, GTRSTATUS* st) {
    Guard(st, [&] { CVozPosBrokerMulti::RecoverControls(files); });
}

void voz_fseek_POSFILE(_FCTLHEAD* files, int64_t offset, GTRSTATUS* st) {
    Guard(st, [&] {
        CVozPosBrokerNormal* b = Sequential(files);
        if (offset == -1) {
            b->Seek(0, 2);
        } else {
            b->Seek(offset, 0);
        }
        files->posOffset = b->Tell();
    });
}

void voz_fread_POSFILE(void* buffer, int32_t length, _FCTLHEAD* files,
                       GTRSTATUS* st) {
    Guard(st, [&] {
        Sequential(files)->Read(buffer, length);
        files->posOffset += length;
    });
}

void voz_fwrite_POSFILE(const void* buffer, int32_t length, _FCTLHEAD* files,
                        GTRSTATUS* st) {
    Guard(st, [&] {
        Sequential(files)->Write(buffer, length);
        files->posOffset += length;
    });
}

int64_t voz_ftell_POSFILE(_FCTLHEAD* files, GTRSTATUS* st) {
    int64_t pos = 0;
    Guard(st, [&] { pos = Sequential(files)->Tell(); });
    return pos;
}

void voz_PointVvgSkip(_FCTLHEAD* files, PCTLHEAD* pctl, uint32_t target,
                      GTRSTATUS* st) {
    if (pctl->endOfDocs == 'Y') return;
    if (target == 0xFFFFFFFFu) target = 0;
    if (pctl->reader == nullptr && pctl->posAttr.level ==
                                       VOZ_POS_LEVEL_DROPPED) {
        pctl->endOfDocs = 'Y';
        pctl->curDoc = static_cast<int32_t>(VOZ_POS_NO_DOC);
        return;
    }
    Guard(st, [&] {
        if (pctl->reader == nullptr) {
            if (files == nullptr || files->posBroker == nullptr) {
                throw CVozException(VOZ_RC_INCONSISTENT, 3421);
            }
            pctl->reader =
                files->posBroker->InternalizeWithCreation(pctl->posAttr);
        }
        uint32_t doc = VOZ_POS_NO_DOC;
        int32_t rc = pctl->reader->PointVvgSkip(target, doc);
        pctl->endOfPos = 'N';
        pctl->curPos = 0;
        // A document above the highest one that the key record gives for
        // its list (or above the last document number) is damage: the
        // walk must not hand it on as a hit.
        if (rc == 0 && (doc > pctl->posAttr.lastDoc || doc >= VOZ_POS_NO_DOC))
            throw CVozException(VOZ_RC_INCONSISTENT, 3423);
        if (rc == 0) {
            pctl->curDoc = static_cast<int32_t>(doc);
            return;
        }
        pctl->endOfDocs = 'Y';
        pctl->curDoc = static_cast<int32_t>(VOZ_POS_NO_DOC);
        CVozPos* reader = pctl->reader;
        pctl->reader = nullptr;
        EndReader(reader);
    });
}

void voz_PointPosSkip(_FCTLHEAD* files, PCTLHEAD* pctl, int32_t target,
                      GTRSTATUS* st) {
    (void)files;
    if (pctl->reader == nullptr) {
        pctl->endOfPos = 'Y';
        return;
    }
    Guard(st, [&] {
        int32_t pos = VOZ_POS_NO_POS, count = 0;
        int32_t rc = pctl->reader->PointPosSkip(target - pctl->basePos, pos,
                                                count);
        if (rc == 0 && pos < VOZ_POS_NO_POS) {
            pctl->prevPos = pctl->curPos;
            pctl->curPos = pos + pctl->basePos;
        } else {
            pctl->endOfPos = 'Y';
        }
    });
}

void vozFreePos(CVozPos* reader, GTRSTATUS* st) {
    if (reader == nullptr) return;
    Guard(st, [&] { EndReader(reader); });
}

// Reads every list of a key that some index dropped, keeping sequential
// readers in step, and marks the output as dropped.
static void MergeDropped(MCTLHEAD* sources, KEY_REC* out, int n,
                         uint64_t* counter) {
    for (int i = 0; i < n; ++i) {
        MCTLHEAD& s = sources[i];
        if (!HoldsList(s)) continue;
        if (counter != nullptr) ++*counter;
        CVozPos* list = s.idx.posBroker->Internalize(s.curKey[0]);
        uint32_t doc = 0;
        list->PointVvgSkip(VOZ_POS_NO_DOC, doc);
    }
    out->level = VOZ_POS_LEVEL_DROPPED;
    out->location = VOZ_POS_NO_BLOCK;
    out->locationHigh = 0;
    out->dataLength = 0;
    out->lengthHigh = 0;
}

void vozMergeMerge(MCTLHEAD* target, MCTLHEAD* sources, KEY_REC* out, int n,
                   uint64_t* counter, GTRSTATUS* st) {
    Guard(st, [&] {
        bool dropped = target->holdsKey == 'Y' &&
                       target->curKey[0].level == VOZ_POS_LEVEL_DROPPED;
        for (int i = 0; i < n; ++i) {
            if (sources[i].holdsKey == 'Y' &&
                sources[i].curKey[0].level == VOZ_POS_LEVEL_DROPPED) {
                dropped = true;
            }
        }
        if (dropped) {
            MergeDropped(sources, out, n, counter);
            return;
        }
        CVozPosBroker* broker = target->idx.posBroker;
        if (broker == nullptr) throw CVozException(VOZ_RC_INCONSISTENT, 3422);
        CVozPos* list;
        if (target->holdsKey == 'Y') {
            if (counter != nullptr) ++*counter;
            list = broker->Internalize(target->curKey[0]);
        } else {
            list = broker->Internalize();
        }
        HandDeletions(list, target->idx);
        for (int i = 0; i < n; ++i) {
            MCTLHEAD& s = sources[i];
            if (!HoldsList(s)) continue;
            if (s.idx.posBroker == nullptr) {
                throw CVozException(VOZ_RC_INCONSISTENT, 3422);
            }
            if (counter != nullptr) ++*counter;
            CVozPos* src = s.idx.posBroker->Internalize(s.curKey[0]);
            HandDeletions(src, s.idx);
            broker->Add(*src);
        }
        broker->Externalize(*out);
    });
}

CVozDeletedDocs* vozAllocateDeletedDocs(_FCTLHEAD* files, uint8_t keepEmpty,
                                        GTRSTATUS* st) {
    CVozDeletedDocs* list = new (std::nothrow) CVozDeletedDocs();
    if (list == nullptr) {
        voz_setStatus(st, VOZ_RC_MEMORY, 3410);
        return nullptr;
    }
    bool ok = Guard(st, [&] {
        if (files == nullptr) return;
        char name[VOZ_FNAME_LEN];
        voz_IDXgetFname(name, files, VOZ_FT_DELETED);
        list->Internalize(name);
    });
    if (!ok || (!keepEmpty && list->Count() == 0)) {
        delete list;
        return nullptr;
    }
    return list;
}

void vozFreeDeletedDocs(CVozDeletedDocs* list, _FCTLHEAD* files,
                        GTRSTATUS* st) {
    if (list == nullptr) return;
    std::unique_ptr<CVozDeletedDocs> owned(list);
    if (files == nullptr) return;
    GTRSTATUS probe{};
    if (voz_IDXqueryExistence(files, nullptr, &probe) != VOZ_EXISTS) {
        // Dropping the deletions silently would bring the documents back.
        if (list->Count() > 0) {
            char name[VOZ_FNAME_LEN];
            voz_IDXgetFname(name, files, VOZ_FT_DIR | VOZ_FT_SHARED);
            voz_setStatus(st, VOZ_RC_NO_TEMP_DIR, 3411, name, ENOENT);
        }
        return;
    }
    char dir[VOZ_FNAME_LEN], name[VOZ_FNAME_LEN];
    voz_IDXgetFname(dir, files,
                    VOZ_FT_DIR | VOZ_FT_PREFIX_HASH | VOZ_FT_DELETED);
    voz_IDXgetFname(name, files, VOZ_FT_PREFIX_HASH | VOZ_FT_DELETED);
    if (list->Count() > 0 && mkTreeDir(dir) != 0) {
        voz_setStatus(st, VOZ_RC_NO_TEMP_DIR, 3412, dir, errno);
        return;
    }
    Guard(st, [&] { list->Externalize(name); });
}

const uint32_t* vozGetDeletedDocs(CVozDeletedDocs* list) {
    return list != nullptr ? list->Numbers() : nullptr;
}

uint32_t vozGetNumDeletedDocs(CVozDeletedDocs* list) {
    return list != nullptr ? list->Count() : 0;
}

// Registers ids in both halves, reading each half's list first.
static void RegisterInHalves(_FCTLHEAD* halves, const uint32_t* ids,
                             uint32_t n, GTRSTATUS* st) {
    for (int h = 0; h < 2; ++h) {
        _FCTLHEAD& fs = halves[h];
        if (fs.deletedDocs == nullptr) {
            fs.deletedDocs = vozAllocateDeletedDocs(&fs, 1, st);
            if (voz_Failed(st)) return;
        }
        if (!Guard(st, [&] { fs.deletedDocs->RegisterDeletedDocs(ids, n); })) {
            return;
        }
    }
}

void vozRegisterUpdateDoc(_FCTLHEAD* halves, uint32_t docId, GTRSTATUS* st) {
    if (halves == nullptr) {
        voz_setStatus(st, VOZ_RC_HANDLE, 3402);
        return;
    }
    RegisterInHalves(halves, &docId, 1, st);
}

void VOZ_deleteDocs(_FCTLHEAD* halves, uint32_t n, const uint32_t* ids,
                    GTRSTATUS* st) {
    if (n == 0) return;
    if (halves == nullptr) {
        voz_setStatus(st, VOZ_RC_HANDLE, 3402);
        return;
    }
    if (ids == nullptr) {
        voz_setStatus(st, VOZ_RC_PARAMETER, 3403);
        return;
    }
    RegisterInHalves(halves, ids, n, st);
}

void VOZ_printThreadIdProcessId() {
    std::printf("pid/tid =%6x/%6x", static_cast<unsigned>(getpid()), 0u);
    std::fflush(stdout);
}
