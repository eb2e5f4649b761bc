// cnet_record.cpp -- the dictionary's records: head, word and group slots
// and value records, encoded field by field (big-endian) and decoded with
// every offset, length, count and id checked before use (formats in
// cnet_file.hpp).
#include <cstdlib>
#include <cstring>

#include "cnet_file.hpp"
#include "files/voz_bigendian.hpp"

namespace {

constexpr uint64_t kU32Max = 0xFFFFFFFFu;

uint64_t round4(uint64_t n) { return (n + 3) & ~static_cast<uint64_t>(3); }

uint64_t wordRecordSize(uint64_t textLen, uint64_t groups, uint64_t rels) {
    return round4(textLen) + 4 * groups + 8 * rels;
}

// Grows *buf to at least `need` elements of `elem` bytes, by steps of
// `step` elements; never shrinks. False when out of memory.
bool grow(void** buf, size_t* cap, uint64_t need, size_t elem, size_t step) {
    if (need <= *cap) return true;
    uint64_t want = (need + step - 1) / step * step;
    if (want > SIZE_MAX / elem) return false;
    void* p = std::realloc(*buf, static_cast<size_t>(want) * elem);
    if (p == nullptr) return false;
    *buf = p;
    *cap = static_cast<size_t>(want);
    return true;
}

struct WordSlot {
    uint32_t offset, textLen, relCount, groupCount;
    uint8_t flags;
};

struct GroupSlot {
    uint32_t offset, length, memberCount, relCount;
    CNETREL rel;
    uint8_t flags;
};

void encodeWordSlot(uint8_t* p, const WordSlot& s) {
    voz_putBE32(p, s.offset);
    voz_putBE32(p + 4, s.textLen);
    voz_putBE32(p + 8, s.relCount);
    voz_putBE32(p + 12, s.groupCount);
    p[16] = s.flags;
    p[17] = p[18] = p[19] = 0;
}

WordSlot decodeWordSlot(const uint8_t* p) {
    return {voz_getBE32(p), voz_getBE32(p + 4), voz_getBE32(p + 8),
            voz_getBE32(p + 12), p[16]};
}

void encodeGroupSlot(uint8_t* p, const GroupSlot& s) {
    voz_putBE32(p, s.offset);
    voz_putBE32(p + 4, s.length);
    voz_putBE32(p + 8, s.memberCount);
    voz_putBE32(p + 12, s.relCount);
    p[16] = s.rel.category;
    p[17] = s.rel.id;
    p[18] = s.flags;
    p[19] = 0;
}

GroupSlot decodeGroupSlot(const uint8_t* p) {
    return {voz_getBE32(p), voz_getBE32(p + 4), voz_getBE32(p + 8),
            voz_getBE32(p + 12), {p[16], p[17]}, p[18]};
}

// The slot offset of word `id` (-1: the next one), checked against the
// head's word count.
bool wordSlotOffset(CNETCTL* ctl, int64_t id, uint32_t* which, CNETSTATUS* st) {
    int64_t n = id < 0 ? ctl->nextWord : id;
    if (!ctl->haveHead || n >= ctl->head.wordCount) {
        cnetSetStatus(st, CNET_RC_PARAMETER, 201, ctl->f[CNET_WORD_SLOTS].name);
        return false;
    }
    *which = static_cast<uint32_t>(n);
    return true;
}

}  // namespace

bool cnetReadHead(CNETCTL* ctl, CNETHEAD* head, CNETSTATUS* st) {
    uint8_t raw[CNET_HEAD_SIZE];
    CNETFILE* f = &ctl->f[CNET_WORD_SLOTS];
    if (!cnetFileSeekRead(f, 0, raw, sizeof raw, st)) return false;
    if (std::memcmp(raw, "CNET", 4) != 0) {
        cnetSetStatus(st, CNET_RC_INTEGRITY, 210, f->name);
        return false;
    }
    CNETHEAD h;
    h.version = voz_getBE32(raw + 4);
    if (h.version != 0 && h.version != CNET_VERSION) {
        cnetSetStatus(st, CNET_RC_VERSION, 211, f->name);
        return false;
    }
    uint32_t* fields[] = {&h.wordCount, &h.groupCount, &h.deletedWords,
                          &h.deletedGroups, &h.maxWordGroups, &h.maxWordRels,
                          &h.maxGroupMembers, &h.maxGroupRels};
    for (size_t i = 0; i < 8; ++i) *fields[i] = voz_getBE32(raw + 8 + 4 * i);
    h.codepage = raw[40];
    // The slot files must hold every slot the head counts.
    if (static_cast<uint64_t>(h.wordCount) * CNET_SLOT_SIZE + CNET_HEAD_SIZE > f->size ||
        static_cast<uint64_t>(h.groupCount) * CNET_SLOT_SIZE >
            ctl->f[CNET_GROUP_SLOTS].size) {
        cnetSetStatus(st, CNET_RC_EOF, 212, f->name);
        return false;
    }
    if (h.deletedWords > h.wordCount || h.deletedGroups > h.groupCount) {
        cnetSetStatus(st, CNET_RC_INTEGRITY, 213, f->name);
        return false;
    }
    *head = h;
    ctl->head = h;
    ctl->haveHead = true;
    return true;
}

bool cnetWriteHead(CNETCTL* ctl, const CNETHEAD* head, CNETSTATUS* st) {
    uint8_t raw[CNET_HEAD_SIZE] = {};
    std::memcpy(raw, "CNET", 4);
    voz_putBE32(raw + 4, CNET_VERSION);
    const uint32_t fields[] = {head->wordCount, head->groupCount,
                               head->deletedWords, head->deletedGroups,
                               head->maxWordGroups, head->maxWordRels,
                               head->maxGroupMembers, head->maxGroupRels};
    for (size_t i = 0; i < 8; ++i) voz_putBE32(raw + 8 + 4 * i, fields[i]);
    raw[40] = head->codepage;
    if (!cnetFileSeekWrite(&ctl->f[CNET_WORD_SLOTS], 0, raw, sizeof raw, st))
        return false;
    ctl->head = *head;
    ctl->head.version = CNET_VERSION;
    ctl->haveHead = true;
    return true;
}

bool cnetReadWord(CNETCTL* ctl, int64_t id, CNETWORD* word, CNETSTATUS* st) {
    std::memset(word, 0, sizeof *word);
    uint32_t which;
    if (!wordSlotOffset(ctl, id, &which, st)) return false;
    CNETFILE* slots = &ctl->f[CNET_WORD_SLOTS];
    CNETFILE* values = &ctl->f[CNET_WORD_VALUES];
    uint8_t raw[CNET_SLOT_SIZE];
    if (!cnetFileSeekRead(slots, CNET_HEAD_SIZE + int64_t{which} * CNET_SLOT_SIZE,
                          raw, sizeof raw, st))
        return false;
    ctl->nextWord = which + 1;
    WordSlot s = decodeWordSlot(raw);
    if (s.flags & CNET_DELETED) {
        word->deleted = true;
        return true;
    }
    if (s.groupCount > ctl->head.maxWordGroups ||
        s.relCount > ctl->head.maxWordRels) {
        cnetSetStatus(st, CNET_RC_INTEGRITY, 220, slots->name);
        return false;
    }
    uint64_t size = wordRecordSize(s.textLen, s.groupCount, s.relCount);
    if (s.offset > values->size || size > values->size - s.offset) {
        cnetSetStatus(st, CNET_RC_EOF, 221, values->name);
        return false;
    }
    if (!grow(reinterpret_cast<void**>(&ctl->raw), &ctl->rawCap, size + 1, 1, 4096) ||
        !grow(reinterpret_cast<void**>(&ctl->groups), &ctl->groupsCap,
              s.groupCount + 1, sizeof(uint32_t), 256) ||
        !grow(reinterpret_cast<void**>(&ctl->rels), &ctl->relsCap, s.relCount + 1,
              sizeof(CNETRELENTRY), 256)) {
        cnetSetStatus(st, CNET_RC_MEMORY, 222);
        return false;
    }
    if (!cnetFileSeekRead(values, s.offset, ctl->raw, size, st)) return false;
    const uint8_t* p = ctl->raw + round4(s.textLen);
    for (uint32_t i = 0; i < s.groupCount; ++i, p += 4) {
        ctl->groups[i] = voz_getBE32(p);
        if (ctl->groups[i] >= ctl->head.groupCount) {
            cnetSetStatus(st, CNET_RC_INTEGRITY, 223, values->name);
            return false;
        }
    }
    for (uint32_t i = 0; i < s.relCount; ++i, p += 8) {
        CNETRELENTRY& r = ctl->rels[i];
        r.target = voz_getBE32(p);
        r.rel = {p[4], p[5]};
        r.strength = p[6];
        if (r.target >= ctl->head.wordCount) {
            cnetSetStatus(st, CNET_RC_INTEGRITY, 224, values->name);
            return false;
        }
    }
    word->text = ctl->raw;
    word->textLen = s.textLen;
    word->groups = ctl->groups;
    word->groupCount = s.groupCount;
    word->rels = ctl->rels;
    word->relCount = s.relCount;
    return true;
}

bool cnetWriteWord(CNETCTL* ctl, int64_t id, const CNETWORD* word,
                   CNETSTATUS* st) {
    CNETFILE* slots = &ctl->f[CNET_WORD_SLOTS];
    CNETFILE* values = &ctl->f[CNET_WORD_VALUES];
    uint64_t size = wordRecordSize(word->textLen, word->groupCount, word->relCount);
    int64_t slotAt = id < 0 ? static_cast<int64_t>(slots->size)
                            : CNET_HEAD_SIZE + id * int64_t{CNET_SLOT_SIZE};
    if (slotAt < CNET_HEAD_SIZE) slotAt = CNET_HEAD_SIZE;
    // The old record's room, when the slot exists and is live.
    uint64_t oldOffset = 0, oldSize = 0;
    bool inPlace = false;
    if (id >= 0 && static_cast<uint64_t>(slotAt) + CNET_SLOT_SIZE <= slots->size) {
        uint8_t raw[CNET_SLOT_SIZE];
        if (!cnetFileSeekRead(slots, slotAt, raw, sizeof raw, st)) return false;
        WordSlot old = decodeWordSlot(raw);
        oldOffset = old.offset;
        oldSize = wordRecordSize(old.textLen, old.groupCount, old.relCount);
        inPlace = !(old.flags & CNET_DELETED) && size <= oldSize &&
                  oldOffset + oldSize <= values->size;
    }
    uint64_t at = inPlace ? oldOffset : values->size;
    if (at + size > kU32Max) {
        cnetSetStatus(st, CNET_RC_WRITE, 230, values->name);
        return false;
    }
    if (!grow(reinterpret_cast<void**>(&ctl->raw), &ctl->rawCap, size + 1, 1, 4096)) {
        cnetSetStatus(st, CNET_RC_MEMORY, 231);
        return false;
    }
    uint8_t* p = ctl->raw;
    std::memset(p, 0, size);
    if (word->textLen > 0) std::memcpy(p, word->text, word->textLen);
    p += round4(word->textLen);
    for (uint32_t i = 0; i < word->groupCount; ++i, p += 4)
        voz_putBE32(p, word->groups[i]);
    for (uint32_t i = 0; i < word->relCount; ++i, p += 8) {
        const CNETRELENTRY& r = word->rels[i];
        voz_putBE32(p, r.target);
        p[4] = r.rel.category;
        p[5] = r.rel.id;
        p[6] = r.strength;
        p[7] = 0;
    }
    if (size > 0 && !cnetFileSeekWrite(values, static_cast<int64_t>(at), ctl->raw,
                                       size, st))
        return false;
    uint8_t raw[CNET_SLOT_SIZE];
    encodeWordSlot(raw, {static_cast<uint32_t>(at), word->textLen, word->relCount,
                         word->groupCount,
                         static_cast<uint8_t>(word->deleted ? CNET_DELETED : 0)});
    return cnetFileSeekWrite(slots, slotAt, raw, sizeof raw, st);
}

bool cnetReadGroup(CNETCTL* ctl, int64_t id, CNETGROUP* group, CNETSTATUS* st) {
    std::memset(group, 0, sizeof *group);
    CNETFILE* slots = &ctl->f[CNET_GROUP_SLOTS];
    CNETFILE* values = &ctl->f[CNET_GROUP_VALUES];
    int64_t n = id < 0 ? ctl->nextGroup : id;
    if (!ctl->haveHead || n >= ctl->head.groupCount) {
        cnetSetStatus(st, CNET_RC_PARAMETER, 240, slots->name);
        return false;
    }
    uint8_t raw[CNET_SLOT_SIZE];
    if (!cnetFileSeekRead(slots, n * CNET_SLOT_SIZE, raw, sizeof raw, st))
        return false;
    ctl->nextGroup = static_cast<uint32_t>(n + 1);
    GroupSlot s = decodeGroupSlot(raw);
    group->rel = s.rel;
    if (s.flags & CNET_DELETED) {
        group->deleted = true;
        return true;
    }
    if (s.memberCount > ctl->head.maxGroupMembers ||
        s.relCount > ctl->head.maxGroupRels ||
        s.length != 8 * (uint64_t{s.memberCount} + s.relCount)) {
        cnetSetStatus(st, CNET_RC_INTEGRITY, 241, slots->name);
        return false;
    }
    if (s.offset > values->size || s.length > values->size - s.offset) {
        cnetSetStatus(st, CNET_RC_EOF, 242, values->name);
        return false;
    }
    uint64_t count = uint64_t{s.memberCount} + s.relCount;
    if (!grow(reinterpret_cast<void**>(&ctl->raw), &ctl->rawCap, s.length + 1, 1, 4096) ||
        !grow(reinterpret_cast<void**>(&ctl->entries), &ctl->entriesCap, count + 1,
              sizeof(CNETGRPENTRY), 256)) {
        cnetSetStatus(st, CNET_RC_MEMORY, 243);
        return false;
    }
    if (!cnetFileSeekRead(values, s.offset, ctl->raw, s.length, st)) return false;
    const uint8_t* p = ctl->raw;
    for (uint64_t i = 0; i < count; ++i, p += 8) {
        CNETGRPENTRY& e = ctl->entries[i];
        e.wordId = voz_getBE32(p);
        e.strength = p[4];
        e.rel = {p[6], p[7]};
        if (e.wordId >= ctl->head.wordCount) {
            cnetSetStatus(st, CNET_RC_INTEGRITY, 244, values->name);
            return false;
        }
    }
    group->entries = ctl->entries;
    group->memberCount = s.memberCount;
    group->relCount = s.relCount;
    return true;
}

bool cnetWriteGroup(CNETCTL* ctl, int64_t id, const CNETGROUP* group,
                    CNETSTATUS* st) {
    CNETFILE* slots = &ctl->f[CNET_GROUP_SLOTS];
    CNETFILE* values = &ctl->f[CNET_GROUP_VALUES];
    uint64_t count = uint64_t{group->memberCount} + group->relCount;
    uint64_t length = 8 * count;
    uint64_t at = values->size;
    if (at + length > kU32Max) {
        cnetSetStatus(st, CNET_RC_WRITE, 250, values->name);
        return false;
    }
    if (!grow(reinterpret_cast<void**>(&ctl->raw), &ctl->rawCap, length + 1, 1, 4096)) {
        cnetSetStatus(st, CNET_RC_MEMORY, 251);
        return false;
    }
    uint8_t* p = ctl->raw;
    for (uint64_t i = 0; i < count; ++i, p += 8) {
        const CNETGRPENTRY& e = group->entries[i];
        voz_putBE32(p, e.wordId);
        p[4] = e.strength;
        p[5] = 0;
        p[6] = e.rel.category;
        p[7] = e.rel.id;
    }
    if (length > 0 &&
        !cnetFileSeekWrite(values, static_cast<int64_t>(at), ctl->raw, length, st))
        return false;
    uint8_t raw[CNET_SLOT_SIZE];
    encodeGroupSlot(raw, {static_cast<uint32_t>(at), static_cast<uint32_t>(length),
                          group->memberCount, group->relCount, group->rel,
                          static_cast<uint8_t>(group->deleted ? CNET_DELETED : 0)});
    int64_t slotAt = id < 0 ? static_cast<int64_t>(slots->size) : id * CNET_SLOT_SIZE;
    return cnetFileSeekWrite(slots, slotAt, raw, sizeof raw, st);
}
