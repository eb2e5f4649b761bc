// voz_pctl.cpp -- position-control records and the start-position reader
// (see voz_pctl.hpp).
#include "postings/voz_pctl.hpp"

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "postings/voz_bufferpos.hpp"
#include "files/voz_file.hpp"
#include "files/voz_names.hpp"
#include "postings/voz_posstore.hpp"
#include "files/voz_status.hpp"

namespace {

// Longest start-position entry: two codes of at most 5 bytes, with room.
constexpr int32_t kRefillBelow = 14;

}  // namespace

void voz_InitPctl(PCTLHEAD* p, const KEY_REC* rec, int32_t tag, char /*flag*/,
                  GTRSTATUS* /*st*/) {
    memcpy(p->key, rec->key, VOZ_KEY_HEAD_BYTES);
    p->curDoc = -1;
    p->curPos = 0;
    p->curId = -1;
    p->basePos = tag;
    p->endOfDocs = 'N';
    p->endOfPos = 'Y';
    p->dataLeft = rec->dataLength;
    p->fileOffset = rec->location;
    p->fileOffsetHigh = rec->locationHigh;
    p->readBuffer = nullptr;
    p->readBufferSize = 0;
    p->bufferOwner = 'N';
    p->bufDataEnd = p->bufReadOffset = p->bufParseOffset = p->bufHeld = 0;
    p->bufAdjusted[0] = p->bufAdjusted[1] = 0;
    p->prevPos = 0;
    p->entryCount = 0;
    p->secondDoc = -1;
    p->prevId = -1;
    p->keyKind = rec->kind;
    p->auxBuffer = nullptr;
    p->auxCount[0] = p->auxCount[1] = p->auxCount[2] = 0;
    p->posAttr = *rec;
    p->reader = nullptr;
    p->docCount = rec->docCount;
}

void voz_TermPctl(PCTLHEAD* p, GTRSTATUS* st) {
    if (p->bufferOwner == 'Y') {
        free(p->readBuffer);
        p->bufferOwner = 'N';
        p->readBuffer = nullptr;
        p->readBufferSize = 0;
    }
    if (p->reader != nullptr) {
        vozFreePos(p->reader, st);
        p->reader = nullptr;
    }
}

void voz_ResetPctl(PCTLHEAD* p, const KEY_REC* rec, int32_t tag, char flag,
                   GTRSTATUS* st) {
    voz_TermPctl(p, st);
    if (!voz_Failed(st)) voz_InitPctl(p, rec, tag, flag, st);
}

void voz_ReadInfo3() {}

void voz_ReadInfo3Term(PCTLHEAD* p) {
    free(p->auxBuffer);
    p->auxBuffer = nullptr;
    p->auxCount[0] = p->auxCount[1] = p->auxCount[2] = 0;
}

namespace {

// Records a position-file failure with the file's name.
void posFileFail(const _FCTLHEAD* fs, GTRSTATUS* st, int32_t rc, int32_t ec,
                 int32_t sysErrno) {
    char name[VOZ_FNAME_LEN];
    const _FCTLHEAD* owner =
        fs->posFile == nullptr && fs->sharedFrom != nullptr ? fs->sharedFrom : fs;
    voz_IDXgetFname(name, owner, VOZ_FT_POS);
    voz_setStatus(st, rc, ec, name, sysErrno);
}

// Reads n bytes at `off` of the sequential position file through the
// position-file calls of the set's broker, which keep fs->posOffset in step
// with the broker's own file. Their failures keep the return code and text
// and take the reason 216 (seek) or 217 (read). 0 or -1.
int brokerReadAt(_FCTLHEAD* fs, int64_t off, uint8_t* buf, uint32_t n,
                 GTRSTATUS* st) {
    GTRSTATUS why{};
    if (static_cast<int64_t>(fs->posOffset) != off) {
        voz_fseek_POSFILE(fs, off, &why);
        if (why.retcode != 0) {
            voz_setStatus(st, why.retcode, 216, why.errfname1, why.system_errno);
            return -1;
        }
    }
    voz_fread_POSFILE(buf, static_cast<int32_t>(n), fs, &why);
    if (why.retcode != 0) {
        voz_setStatus(st, why.retcode, 217, why.errfname1, why.system_errno);
        return -1;
    }
    return 0;
}

// The same through the position file that the set opened itself (or the
// set it shares it with), for a set without a broker. 0 or -1.
int fileReadAt(_FCTLHEAD* fs, int64_t off, uint8_t* buf, uint32_t n,
               GTRSTATUS* st) {
    FILE_CONTROL* f = fs->posFile != nullptr || fs->sharedFrom == nullptr
                          ? fs->posFile : fs->sharedFrom->posFile;
    if (f == nullptr) {
        posFileFail(fs, st, VOZ_RC_SEEK, 216, EBADF);
        return -1;
    }
    if (static_cast<int64_t>(fs->posOffset) != off) {
        if (voz_XXseek64(f, off, 0) != 0) {
            posFileFail(fs, st, VOZ_RC_SEEK, 216, errno);
            return -1;
        }
        fs->posOffset = off;
    }
    if (voz_XXread(buf, 1, n, f) != n) {
        posFileFail(fs, st, VOZ_RC_READ, 217, f->error > 0 ? f->error : 0);
        return -1;
    }
    fs->posOffset += n;
    return 0;
}

// Keeps at least kRefillBelow unparsed bytes in the buffer while the key has
// file data left: moves the unparsed bytes to the front and reads behind
// them. 0 or -1.
int refill(_FCTLHEAD* fs, PCTLHEAD* p, GTRSTATUS* st) {
    int32_t unparsed = p->bufDataEnd - p->bufParseOffset;
    if (unparsed < 0 || p->bufParseOffset < 0) {
        voz_setStatus(st, VOZ_RC_INCONSISTENT, 220);
        return -1;
    }
    if (unparsed >= kRefillBelow || p->dataLeft == 0) return 0;
    if (p->readBuffer == nullptr) {
        p->readBuffer = static_cast<uint8_t*>(malloc(VOZ_PCTL_READBUF_SIZE));
        if (p->readBuffer == nullptr) {
            voz_setStatus(st, VOZ_RC_MEMORY, 219, nullptr, ENOMEM);
            return -1;
        }
        p->readBufferSize = VOZ_PCTL_READBUF_SIZE;
        p->bufferOwner = 'Y';
    }
    if (p->readBufferSize < kRefillBelow || p->bufDataEnd > p->readBufferSize) {
        voz_setStatus(st, VOZ_RC_INCONSISTENT, 220);
        return -1;
    }
    memmove(p->readBuffer, p->readBuffer + p->bufParseOffset,
            static_cast<size_t>(unparsed));
    p->bufParseOffset = 0;
    p->bufDataEnd = unparsed;
    uint32_t room = static_cast<uint32_t>(p->readBufferSize - unparsed);
    uint32_t n = p->dataLeft < room ? p->dataLeft : room;
    int64_t off = static_cast<int64_t>(
        (static_cast<uint64_t>(p->fileOffsetHigh) << 32) | p->fileOffset);
    int rc = fs->posBroker != nullptr
                 ? brokerReadAt(fs, off, p->readBuffer + unparsed, n, st)
                 : fileReadAt(fs, off, p->readBuffer + unparsed, n, st);
    if (rc != 0) return -1;
    uint64_t next = static_cast<uint64_t>(off) + n;
    p->fileOffset = static_cast<uint32_t>(next);
    p->fileOffsetHigh = static_cast<uint32_t>(next >> 32);
    p->dataLeft -= n;
    p->bufDataEnd += static_cast<int32_t>(n);
    p->bufHeld = p->bufDataEnd;
    return 0;
}

// Decodes one code at the parse offset into *value; false when the code
// does not end within the buffered data.
bool takeCode(PCTLHEAD* p, uint32_t* value) {
    if (p->bufParseOffset >= p->bufDataEnd) return false;
    const uint8_t* at = p->readBuffer + p->bufParseOffset;
    uint32_t size = voz_PosCodeSizeOf(at[0]);
    if (p->bufParseOffset + static_cast<int32_t>(size) > p->bufDataEnd) return false;
    *value = voz_PosCodeDecode(at);
    p->bufParseOffset += static_cast<int32_t>(size);
    return true;
}

}  // namespace

int voz_PointDocStartposSkip(_FCTLHEAD* fs, PCTLHEAD* p, int32_t document,
                             int32_t position, GTRSTATUS* st) {
    for (;;) {
        if (refill(fs, p, st) != 0) return -1;
        if (p->bufParseOffset >= p->bufDataEnd) {  // the list is used up
            p->endOfPos = 'Y';
            return 0;
        }
        int32_t start = p->bufParseOffset;
        uint32_t docDelta = 0, posDelta = 0;
        if (!takeCode(p, &docDelta) || !takeCode(p, &posDelta)) {
            p->bufParseOffset = start;  // an entry cut by the end of the data
            voz_setStatus(st, VOZ_RC_INCONSISTENT, 220);
            return -1;
        }
        p->prevId = p->curId;
        p->prevPos = p->curPos;
        p->curId = static_cast<int32_t>(static_cast<uint32_t>(p->curId) + docDelta);
        p->curPos = static_cast<int32_t>(static_cast<uint32_t>(p->curPos) + posDelta);
        ++p->entryCount;
        if (p->curId >= document && p->curPos >= position) return 0;
    }
}
