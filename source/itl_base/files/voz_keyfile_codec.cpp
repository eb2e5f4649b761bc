// voz_keyfile_codec.cpp -- on-disk form of the key file's records (see
// voz_keyfile_codec.hpp and the layout tables in voz_keyrec.hpp).
#include "files/voz_keyfile_codec.hpp"

#include <cstring>

#include "files/voz_bigendian.hpp"

void voz_KeyRecEncode(const KEY_REC* r, uint8_t* out) {
    out[0] = static_cast<uint8_t>(r->kind);
    out[1] = r->recCount;
    memcpy(out + 2, r->key, VOZ_KEY_HEAD_BYTES);
    out[8] = r->level;
    out[9] = r->lengthHigh;
    voz_putBE16(out + 10, r->locationHigh);
    voz_putBE32(out + 12, r->location);
    voz_putBE32(out + 16, r->dataLength);
    voz_putBE32(out + 20, r->lastDoc);
    voz_putBE32(out + 24, r->docCount);
}

void voz_KeyRecDecode(const uint8_t* in, KEY_REC* r) {
    r->kind = static_cast<char>(in[0]);
    r->recCount = in[1];
    memcpy(r->key, in + 2, VOZ_KEY_HEAD_BYTES);
    r->level = in[8];
    r->lengthHigh = in[9];
    r->locationHigh = voz_getBE16(in + 10);
    r->location = voz_getBE32(in + 12);
    r->dataLength = voz_getBE32(in + 16);
    r->lastDoc = voz_getBE32(in + 20);
    r->docCount = voz_getBE32(in + 24);
}

void voz_KeyContEncode(const KEY_CONT* c, uint8_t* out) {
    out[0] = static_cast<uint8_t>(c->kind);
    out[1] = c->recCount;
    out[2] = c->index;
    out[3] = c->zero;
    voz_putBE16(out + 4, c->keyLength);
    memcpy(out + 6, c->key, VOZ_KEY_CONT_BYTES);
}

void voz_KeyContDecode(const uint8_t* in, KEY_CONT* c) {
    c->kind = static_cast<char>(in[0]);
    c->recCount = in[1];
    c->index = in[2];
    c->zero = in[3];
    c->keyLength = voz_getBE16(in + 4);
    memcpy(c->key, in + 6, VOZ_KEY_CONT_BYTES);
}

KEY_CONT voz_KeyRecToCont(const KEY_REC& rec) {
    KEY_CONT c;
    memcpy(&c, &rec, sizeof c);
    return c;
}

KEY_REC voz_KeyContToRec(const KEY_CONT& cont) {
    KEY_REC r;
    memcpy(&r, &cont, sizeof r);
    return r;
}

void voz_KeyAnyEncode(const KEY_REC* rec, uint8_t* out) {
    if (rec->kind == VOZ_KIND_CONT) {
        KEY_CONT c = voz_KeyRecToCont(*rec);
        voz_KeyContEncode(&c, out);
    } else {
        voz_KeyRecEncode(rec, out);
    }
}

void voz_KeyAnyDecode(const uint8_t* in, KEY_REC* rec) {
    if (in[0] == static_cast<uint8_t>(VOZ_KIND_CONT)) {
        KEY_CONT c;
        voz_KeyContDecode(in, &c);
        *rec = voz_KeyContToRec(c);
    } else {
        voz_KeyRecDecode(in, rec);
    }
}

namespace {

// The 32-bit words at offsets 32, 36, ..., 88 of the basic information
// record, in offset order; encoder and decoder share this list.
uint32_t* wordField(KEYINFO_0* k, int i) {
    uint32_t* words[] = {
        &k->highestDoc, &k->maxDocNumber, &k->reserved40,
        reinterpret_cast<uint32_t*>(&k->docGroupLength), &k->fixedKeys,
        &k->fixedRecords, &k->varKeys, &k->varRecords, &k->keyIndexEntries,
        &k->posDataMB, &k->docCount, &k->filteredVarKeys, &k->dKindRecords,
        &k->extraRecords16, &k->writeTime};
    return words[i];
}
constexpr int kWords = 15;  // offsets 32, 36, ..., 88

}  // namespace

void voz_KeyInfoEncode(const KEYINFO_0* k, uint8_t* out) {
    KEYINFO_0 c = *k;  // wordField needs a mutable record
    memset(out, 0, VOZ_KEYINFO_SIZE);
    memcpy(out, c.version, 4);
    voz_putBE16(out + 4, c.fixedKeyUnits);
    voz_putBE16(out + 6, c.unitWidth);
    memcpy(out + 8, c.codeInfo, 8);
    memcpy(out + 16, c.options, 4);
    memcpy(out + 20, c.reserved20, 10);
    voz_putBE16(out + 30, c.headKeyUnits);
    for (int i = 0; i < kWords; ++i) voz_putBE32(out + 32 + 4 * i, *wordField(&c, i));
    voz_putBE16(out + 92, c.xIndexUnitWidth);
    voz_putBE16(out + 94, c.sharedBlockKB);
    voz_putBE16(out + 96, c.branchBlockKB);
    voz_putBE16(out + 98, c.leafBlockKB);
    voz_putBE16(out + 100, c.storeParameter);
    out[102] = c.indexFlags;
    out[103] = c.storeFlag;
    out[104] = c.specialLength;
    memcpy(out + 105, c.specialLetters, 16);
    memcpy(out + 121, c.reserved121, 27);
    for (int s = 0; s < VOZ_KEY_SLOTS; ++s)
        voz_KeyRecEncode(&c.slots[s],
                         out + VOZ_KEYINFO_SLOT_OFFSET + VOZ_KEYREC_SIZE * s);
}

void voz_KeyInfoDecode(const uint8_t* in, KEYINFO_0* k) {
    memcpy(k->version, in, 4);
    k->fixedKeyUnits = voz_getBE16(in + 4);
    k->unitWidth = voz_getBE16(in + 6);
    memcpy(k->codeInfo, in + 8, 8);
    memcpy(k->options, in + 16, 4);
    memcpy(k->reserved20, in + 20, 10);
    k->headKeyUnits = voz_getBE16(in + 30);
    for (int i = 0; i < kWords; ++i) *wordField(k, i) = voz_getBE32(in + 32 + 4 * i);
    k->xIndexUnitWidth = voz_getBE16(in + 92);
    k->sharedBlockKB = voz_getBE16(in + 94);
    k->branchBlockKB = voz_getBE16(in + 96);
    k->leafBlockKB = voz_getBE16(in + 98);
    k->storeParameter = voz_getBE16(in + 100);
    k->indexFlags = in[102];
    k->storeFlag = in[103];
    k->specialLength = in[104];
    memcpy(k->specialLetters, in + 105, 16);
    memcpy(k->reserved121, in + 121, 27);
    for (int s = 0; s < VOZ_KEY_SLOTS; ++s)
        voz_KeyRecDecode(in + VOZ_KEYINFO_SLOT_OFFSET + VOZ_KEYREC_SIZE * s,
                         &k->slots[s]);
}

void voz_KeyIdxEncode(const KEYIDX_ENTRY* e, uint8_t* out) {
    memcpy(out, e->unit, VOZ_KEYIDX_UNIT_BYTES);
    voz_putBE32(out + 4, e->firstRecord);
    voz_putBE32(out + 8, e->dataSum);
    voz_putBE32(out + 12, e->rank);
}

void voz_KeyIdxDecode(const uint8_t* in, KEYIDX_ENTRY* e) {
    memcpy(e->unit, in, VOZ_KEYIDX_UNIT_BYTES);
    e->firstRecord = voz_getBE32(in + 4);
    e->dataSum = voz_getBE32(in + 8);
    e->rank = voz_getBE32(in + 12);
}
