// voz_poswrite.cpp -- position buffer, document writer and variable-key
// chains (see voz_poswrite.hpp).
#include "build/voz_poswrite.hpp"

#include <cstring>

#include "files/voz_keyfile_codec.hpp"
#include "files/voz_keyrec.hpp"
#include "files/voz_names.hpp"
#include "files/voz_status.hpp"
#include "files/voz_util.hpp"
#include "postings/voz_bufferpos.hpp"
#include "postings/voz_posstore.hpp"

namespace {

constexpr int32_t kRoomForPosition = 7;
constexpr int32_t kRoomForStart = 14;

// Makes room for `need` more bytes: grows by VOZ_POSBUF_STEP. 0 or -1.
int ensureRoom(POSBUFFER* pb, int32_t need, GTRSTATUS* st) {
    if (pb->end - pb->cursor >= need) return 0;
    char* base = reinterpret_cast<char*>(pb->start);
    char* end = reinterpret_cast<char*>(pb->end);
    char* cur = reinterpret_cast<char*>(pb->cursor);
    int32_t size = static_cast<int32_t>(end - base);
    int64_t want = static_cast<int64_t>(size) + VOZ_POSBUF_STEP;
    if (want > INT32_MAX) want = INT32_MAX;
    if (voz_ReallocArea(static_cast<int32_t>(want), &base, &end, &cur,
                        VOZ_AREA_CREATION, st) != 0)
        return -1;
    pb->start = reinterpret_cast<uint8_t*>(base);
    pb->end = reinterpret_cast<uint8_t*>(end);
    pb->cursor = reinterpret_cast<uint8_t*>(cur);
    return 0;
}

// Writes bytes to the position file of `out`; a failure keeps the store's
// return code, names and errno and takes `reason`. 0 or -1.
int writeFile(_FCTLHEAD* out, const void* p, int32_t n, int32_t reason,
              GTRSTATUS* st) {
    GTRSTATUS why{};
    voz_fwrite_POSFILE(p, n, out, &why);
    if (why.retcode == 0) return 0;
    voz_setStatus(st, why.retcode, reason, why.errfname1, why.system_errno);
    return -1;
}

}  // namespace

void voz_ResetPosBuffer(POSBUFFER* pb) {
    pb->cursor = pb->start;
    pb->lastDocument = -1;
    pb->lastPosition = 0;
    pb->lastDocumentStart = 0;
}

int voz_SetPosInBuffer(POSBUFFER* pb, int32_t position, GTRSTATUS* st) {
    if (ensureRoom(pb, kRoomForPosition, st) != 0) return -1;
    uint32_t delta = static_cast<uint32_t>(position) -
                     static_cast<uint32_t>(pb->lastPosition);
    pb->cursor += voz_PosCodeEncode(pb->cursor, delta);
    pb->lastPosition = position;
    return 0;
}

int voz_SetDocStartposInBuffer(POSBUFFER* pb, int32_t document,
                               int32_t start, GTRSTATUS* st) {
    if (ensureRoom(pb, kRoomForStart, st) != 0) return -1;
    uint32_t d = static_cast<uint32_t>(document) -
                 static_cast<uint32_t>(pb->lastDocument);
    uint32_t s = static_cast<uint32_t>(start) -
                 static_cast<uint32_t>(pb->lastDocumentStart);
    pb->cursor += voz_PosCodeEncode(pb->cursor, d);
    pb->cursor += voz_PosCodeEncode(pb->cursor, s);
    pb->lastDocument = document;
    pb->lastDocumentStart = start;
    return 0;
}

bool voz_WritePosRequired(const POSBUFFER* pb) { return pb->cursor > pb->start; }

int voz_FlushPosOut(_FCTLHEAD* out, uint8_t* outBuf, int32_t* outUsed,
                    int32_t reason, GTRSTATUS* st) {
    if (*outUsed == 0) return 0;
    out->posOffset -= *outUsed;  // the file layer counts them again
    int rc = writeFile(out, outBuf, *outUsed, reason, st);
    *outUsed = 0;
    return rc;
}

int voz_WritePos(_FCTLHEAD* out, POSBUFFER* pb, int32_t docDelta,
                 uint8_t* outBuf, int32_t* outUsed, GTRSTATUS* st) {
    int32_t length = static_cast<int32_t>(pb->cursor - pb->start);
    if (length == 0) return 0;
    uint8_t header[16];
    int32_t h = static_cast<int32_t>(voz_PosHeaderEncode(
        header, static_cast<uint32_t>(docDelta), static_cast<uint32_t>(length)));
    if (*outUsed > 0 && *outUsed + h + length >= VOZ_POSOUT_SIZE &&
        voz_FlushPosOut(out, outBuf, outUsed, 7009, st) != 0)
        return -1;
    if (h + length < VOZ_POSOUT_SIZE) {
        memcpy(outBuf + *outUsed, header, static_cast<size_t>(h));
        memcpy(outBuf + *outUsed + h, pb->start, static_cast<size_t>(length));
        *outUsed += h + length;
        out->posOffset += h + length;
        return 0;
    }
    if (writeFile(out, header, h, 7010, st) != 0) return -1;
    return writeFile(out, pb->start, length, 7011, st);
}

void voz_MakeVkey(KEY_REC* records, const PATTINFO* head) {
    int c = head->chainOrMark;
    memset(&records[0], 0, sizeof records[0]);
    records[0].kind = VOZ_KIND_VAR;
    records[0].recCount = static_cast<uint8_t>(c);
    memcpy(records[0].key, head->keyHead, VOZ_KEY_HEAD_BYTES);
    uint16_t total = VOZ_KEY_HEAD_BYTES;
    for (int i = 1; i < c; ++i) total = static_cast<uint16_t>(total + voz_PattContUsed(head + i));
    for (int i = 1; i < c; ++i) {
        KEY_CONT k{};
        k.kind = VOZ_KIND_CONT;
        k.recCount = static_cast<uint8_t>(c);
        k.index = static_cast<uint8_t>(i);
        k.keyLength = i == 1 ? total : 0;
        memcpy(k.key, voz_PattContKey(head + i), VOZ_KEY_CONT_BYTES);
        records[i] = voz_KeyContToRec(k);
    }
}
