// voz_btrace.cpp -- the writers of the binary call trace.
//
// Fields after the record type (BE big-endian; ptr a pointer value; str
// the strings of a record: all lengths + 1 as BE16 first, then the bytes
// with their NULs):
//   1  handle variable ptr; str idxname, outdir, wrkdir; operation 1;
//      batchonline 1; hcparmp ptr + creation image; sysp ptr + system
//      image; *currmaxdoc BE32; gsp ptr
//   2  handle ptr; docno BE32; text length BE32; text; *startpos BE32;
//      beip ptr + boundary image; docinfo ptr + its image; gsp ptr
//   3  handle ptr; docno BE32; item_num BE32; item ptr + item images;
//      docinfo ptr + its image; gsp ptr
//   4  handle ptr; gsp ptr
//   5, 8, 10  handle ptr; go_or_cancel 1; gsp ptr
//   6  handle ptr; count BE32; each document number BE32; reserved ptr;
//      gsp ptr
//   7  voidmwpp ptr; str idxname, idxdir, wrkdir; sysp ptr + system image;
//      gsp ptr
//   9  cwp ptr; str idxname, idxdir, wrkdir; numdoc BE32; each docNO BE32;
//      sysp ptr + system image; gsp ptr
//   11 str idxname, idxdir, outfn; option 1; docip ptr; gsp ptr
//   12 function 1; str idxname, idxdir, targetname; gsp ptr
//   13 func 1; str idxname, idxdir; gsp ptr
//   14 handle ptr; result BE32; gsp ptr
// Images (only when their pointer is not null, except the "GTRSYS" part):
//   creation: the 40 bytes of GTRHCREATEPARM (vvglength BE32 at 4,
//     block_threshold BE16 at 10, block_size BE16 at 12, paStopWordList
//     ptr at 16), then per stop-word list (only when stop_word_list_num
//     is 1): path length + 1 BE32, path with NUL, file size BE32, bytes
//   system: the 48 bytes of GTRSYSPARM (poolsize, poolsizedelta, filemax
//     BE32), then always the size BE32 and the bytes of "GTRSYS"
//   boundaries: delimiter_num BE32; word_boundary 1; per delimiter
//     delimiter_NO BE16 and the offset of boundary_ptr from the text BE32;
//     fld_boundary_num BE32; per field fld_number BE16, start and end
//     offsets BE32
//   document information: usDocType BE16, 30 reserved bytes
//   items (item_num > 0): per item the 72 bytes of REGISTITEM
//     (item_number BE16, num_value a BE double at 48, char_ptr ptr at 20,
//     char_len BE16 at 24), then char_len bytes of text when positive
// A file that cannot be opened has size 0; a file shorter than its size
// when read is padded with zeros, so every record stays readable.
#include "calls/voz_btrace.hpp"

#include <sys/stat.h>
#include <unistd.h>

#include <cstddef>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <initializer_list>

#include "files/voz_bigendian.hpp"
#include "files/voz_file.hpp"

namespace {

constexpr size_t kFilePiece = 8192;  // stop-word and "GTRSYS" read size

// One record being appended; nothing happens once a write failed.
class Record {
public:
    explicit Record(uint16_t type) : Record(type, vozBTraceExists()) {}
    // `exists`: the marker's answer, when the call's first record asked.
    Record(uint16_t type, char exists) {
        if (exists != 'Y') return;
        char name[64];
        vozBTraceFileName(name, sizeof name);
        f_ = voz_XXopenEx(name, "ab", 0);
        if (f_ == nullptr) f_ = voz_XXopenEx(name, "wb", 0);
        if (f_ == nullptr) return;
        const uint8_t head[5] = {0, 0, 0, 3, 8};
        bytes(head, sizeof head);
        be32((uint32_t)time(nullptr));
        be32((uint32_t)getpid());
        be16(type);
    }
    ~Record() { voz_XXclose(f_); }
    Record(const Record&) = delete;
    Record& operator=(const Record&) = delete;

    bool on() const { return f_ != nullptr; }

    void bytes(const void* p, size_t n) {
        if (f_ == nullptr || n == 0) return;
        if (voz_XXwrite(p, 1, n, f_) != n) {
            voz_XXclose(f_);  // ends the record early, without its mark
            f_ = nullptr;
        }
    }
    void zeros(size_t n) {
        static const uint8_t zero[256] = {};
        for (; n > 0 && f_ != nullptr; n -= n < 256 ? n : 256)
            bytes(zero, n < 256 ? n : 256);
    }
    void u8(uint8_t v) { bytes(&v, 1); }
    void be16(uint16_t v) {
        uint8_t b[2];
        voz_putBE16(b, v);
        bytes(b, 2);
    }
    void be32(uint32_t v) {
        uint8_t b[4];
        voz_putBE32(b, v);
        bytes(b, 4);
    }
    void ptr(const void* p) {
        const uint32_t v = (uint32_t)(uintptr_t)p;
        const uint8_t b[4] = {(uint8_t)v, (uint8_t)(v >> 8), (uint8_t)(v >> 16),
                              (uint8_t)(v >> 24)};
        bytes(b, 4);
    }
    // The lengths of the strings, then the strings with their NULs.
    void strings(std::initializer_list<const char*> list) {
        for (const char* s : list) be16((uint16_t)(len(s) + 1));
        for (const char* s : list) {
            bytes(s != nullptr ? s : "", len(s));
            u8(0);
        }
    }
    // The size of the file (BE32, 0 when it cannot be opened) and its bytes.
    void file(const char* path) {
        struct stat sb;
        FILE_CONTROL* in = nullptr;
        if (path != nullptr && stat(path, &sb) == 0 && S_ISREG(sb.st_mode))
            in = voz_XXopenEx(path, "rb", 0);
        const uint32_t size = in != nullptr ? (uint32_t)sb.st_size : 0;
        be32(size);
        uint8_t piece[kFilePiece];
        uint32_t done = 0;
        while (done < size && f_ != nullptr) {
            const size_t want = size - done < kFilePiece ? size - done : kFilePiece;
            size_t got = voz_XXread(piece, 1, want, in);
            if (got < want) memset(piece + got, 0, want - got);
            bytes(piece, want);
            done += (uint32_t)want;
        }
        voz_XXclose(in);
    }
    // The status image and the end mark.
    void finish(const GTRSTATUS* gsp) {
        GTRSTATUS zero{};
        const GTRSTATUS* s = gsp != nullptr ? gsp : &zero;
        be32((uint32_t)s->retcode);
        be32((uint32_t)s->errcode);
        const uint8_t* raw = reinterpret_cast<const uint8_t*>(s);
        bytes(raw + 8, offsetof(GTRSTATUS, system_errno) - 8);
        be32((uint32_t)s->system_errno);
        be32((uint32_t)s->detail);
        bytes(s->reserved, sizeof s->reserved);
        const uint8_t mark[2] = {0xEE, 0xEE};
        bytes(mark, 2);
    }

private:
    // A string's length as written: its length field is 16-bit, so a
    // longer string is cut to 65534 characters.
    static size_t len(const char* s) {
        return s != nullptr ? strnlen(s, 65534) : 0;
    }
    FILE_CONTROL* f_ = nullptr;
};

void createImage(Record& r, const GTRHCREATEPARM* p) {
    r.ptr(p);
    if (p == nullptr) return;
    r.u8(p->index_type);
    r.u8(p->codepage);
    r.u8(p->index_purpose);
    r.u8(p->disable);
    r.be32((uint32_t)p->vvglength);
    r.u8(p->word_rule);
    r.u8(p->index_subtype);
    r.be16((uint16_t)p->block_threshold);
    r.be16((uint16_t)p->block_size);
    r.u8(p->special_alpha_num);
    r.u8(p->stop_word_list_num);
    r.ptr(p->paStopWordList);
    r.bytes(p->special_alpha_list, sizeof p->special_alpha_list);
    r.bytes(p->reserved, sizeof p->reserved);
    // 255 is taken as 0 by the call; other counts than 0 and 1 are refused.
    if (p->stop_word_list_num != 1 || p->paStopWordList == nullptr) return;
    const char* path = p->paStopWordList[0].pszStopWordList;
    const char* shown = path != nullptr ? path : "";
    r.be32((uint32_t)strlen(shown) + 1);
    r.bytes(shown, strlen(shown) + 1);
    r.file(path);
}

void sysImage(Record& r, const GTRSYSPARM* p) {
    r.ptr(p);
    if (p != nullptr) {
        r.be32((uint32_t)p->poolsize);
        r.be32((uint32_t)p->poolsizedelta);
        r.be32((uint32_t)p->filemax);
        r.u8((uint8_t)p->displaylog);
        r.bytes(p->filler, sizeof p->filler);
        r.bytes(p->reserved, sizeof p->reserved);
    }
    r.file("GTRSYS");
}

uint32_t offsetIn(const void* p, const uint8_t* text) {
    return (uint32_t)((uintptr_t)p - (uintptr_t)text);
}

void boundaryImage(Record& r, const BOUNDARYINFO* b, const uint8_t* text) {
    r.ptr(b);
    if (b == nullptr) return;
    const bool delims = b->delimiter_num > 0 && b->delimiter_NO != nullptr &&
                        b->boundary_ptr != nullptr;
    const int32_t nd = delims ? b->delimiter_num : 0;
    r.be32((uint32_t)nd);
    r.u8(b->word_boundary);
    for (int32_t i = 0; i < nd && r.on(); ++i) {
        r.be16((uint16_t)b->delimiter_NO[i]);
        r.be32(offsetIn(b->boundary_ptr[i], text));
    }
    const int32_t nf = b->fld_boundary_num > 0 && b->fld_boundary != nullptr
                           ? b->fld_boundary_num
                           : 0;
    r.be32((uint32_t)nf);
    for (int32_t i = 0; i < nf && r.on(); ++i) {
        const FLDBOUNDARYINFO& f = b->fld_boundary[i];
        r.be16(f.fld_number);
        r.be32(offsetIn(f.fld_start_ptr, text));
        r.be32(offsetIn(f.fld_end_ptr, text));
    }
}

void docInfoImage(Record& r, const GTRONEDOCINFO* d) {
    r.ptr(d);
    if (d == nullptr) return;
    r.be16(d->usDocType);
    r.bytes(d->reserved, sizeof d->reserved);
}

void itemImage(Record& r, const REGISTITEM& it) {
    r.be16((uint16_t)it.item_number);
    r.u8((uint8_t)it.item_type);
    r.bytes(it.reserved1, sizeof it.reserved1);
    r.ptr(it.char_ptr);
    r.be16((uint16_t)it.char_len);
    r.bytes(it.reserved2, sizeof it.reserved2);
    uint64_t bits;
    memcpy(&bits, &it.num_value, sizeof bits);
    r.be32((uint32_t)(bits >> 32));
    r.be32((uint32_t)bits);
    r.bytes(it.reserved3, sizeof it.reserved3);
    if (it.char_len <= 0) return;
    if (it.char_ptr != nullptr) r.bytes(it.char_ptr, (size_t)it.char_len);
    else r.zeros((size_t)it.char_len);
}

void docNumbers(Record& r, int32_t count, const int32_t* docs) {
    const int32_t n = docs != nullptr && count > 0 ? count : 0;
    r.be32((uint32_t)n);
    for (int32_t i = 0; i < n && r.on(); ++i) r.be32((uint32_t)docs[i]);
}

}  // namespace

char vozBTraceExists() { return voz_access("GTRbtrc") == 0 ? 'Y' : 'N'; }

char vozTraceExists() { return voz_access("GTRtrc") == 0 ? 'Y' : 'N'; }

void vozBTraceFileName(char* name, int size) {
    snprintf(name, (size_t)size, "GTRbtrc%.6x%.6x", (unsigned)getpid(), 0u);
}

void vozBTraceCreateInit(const void* handleValue, const char* idxname,
                         const char* outdir, const char* wrkdir,
                         uint8_t operation, uint8_t batchonline,
                         const GTRHCREATEPARM* hcparmp,
                         const GTRSYSPARM* sysp, const int32_t* currmaxdoc,
                         const GTRSTATUS* gsp) {
    Record r(VOZ_BT_CREATE_INIT);
    if (!r.on()) return;
    r.ptr(handleValue);
    r.strings({idxname, outdir, wrkdir});
    r.u8(operation);
    r.u8(batchonline);
    createImage(r, hcparmp);
    sysImage(r, sysp);
    r.be32(currmaxdoc != nullptr ? (uint32_t)*currmaxdoc : 0);
    r.ptr(gsp);
    r.finish(gsp);
}

char vozBTraceOneDoc(const void* handle, int32_t docno, const uint8_t* text,
                     int32_t length, const int32_t* startpos,
                     const BOUNDARYINFO* beip, const GTRONEDOCINFO* docinfo,
                     const GTRSTATUS* gsp) {
    const char exists = vozBTraceExists();
    Record r(VOZ_BT_ONE_DOC, exists);
    if (!r.on()) return exists;
    const int32_t n = text != nullptr && length > 0 ? length : 0;
    r.ptr(handle);
    r.be32((uint32_t)docno);
    r.be32((uint32_t)n);
    r.bytes(text, (size_t)n);
    r.be32(startpos != nullptr ? (uint32_t)*startpos : 0);
    boundaryImage(r, beip, text);
    docInfoImage(r, docinfo);
    r.ptr(gsp);
    r.finish(gsp);
    return exists;
}

char vozBTraceItemDoc(const void* handle, int32_t docno, int32_t itemNum,
                      const REGISTITEM* items, const GTRONEDOCINFO* docinfo,
                      const GTRSTATUS* gsp) {
    const char exists = vozBTraceExists();
    Record r(VOZ_BT_ITEM_DOC, exists);
    if (!r.on()) return exists;
    r.ptr(handle);
    r.be32((uint32_t)docno);
    r.be32((uint32_t)itemNum);
    r.ptr(items);
    for (int32_t i = 0; items != nullptr && i < itemNum && r.on(); ++i)
        itemImage(r, items[i]);
    docInfoImage(r, docinfo);
    r.ptr(gsp);
    r.finish(gsp);
    return exists;
}

void vozBTraceCreateLast(const void* handle, const GTRSTATUS* gsp) {
    Record r(VOZ_BT_CREATE_LAST);
    if (!r.on()) return;
    r.ptr(handle);
    r.ptr(gsp);
    r.finish(gsp);
}

void vozBTraceFinish(uint16_t type, const void* handle, uint8_t goOrCancel,
                     const GTRSTATUS* gsp) {
    Record r(type);
    if (!r.on()) return;
    r.ptr(handle);
    r.u8(goOrCancel);
    r.ptr(gsp);
    r.finish(gsp);
}

void vozBTraceDeleteDocs(const void* handle, int32_t count,
                         const int32_t* docnos, const void* reserved,
                         const GTRSTATUS* gsp) {
    Record r(VOZ_BT_DELETE_DOCS);
    if (!r.on()) return;
    r.ptr(handle);
    docNumbers(r, count, docnos);
    r.ptr(reserved);
    r.ptr(gsp);
    r.finish(gsp);
}

void vozBTraceMerge(const void* voidmwpp, const char* idxname,
                    const char* idxdir, const char* wrkdir,
                    const GTRSYSPARM* sysp, const GTRSTATUS* gsp) {
    Record r(VOZ_BT_MERGE);
    if (!r.on()) return;
    r.ptr(voidmwpp);
    r.strings({idxname, idxdir, wrkdir});
    sysImage(r, sysp);
    r.ptr(gsp);
    r.finish(gsp);
}

void vozBTraceDeleteDoc(const void* cwp, const char* idxname,
                        const char* idxdir, const char* wrkdir, int32_t numdoc,
                        const int32_t* docNO, const GTRSYSPARM* sysp,
                        const GTRSTATUS* gsp) {
    Record r(VOZ_BT_DELETE_DOC);
    if (!r.on()) return;
    r.ptr(cwp);
    r.strings({idxname, idxdir, wrkdir});
    docNumbers(r, numdoc, docNO);
    sysImage(r, sysp);
    r.ptr(gsp);
    r.finish(gsp);
}

void vozBTraceVerify(const char* idxname, const char* idxdir,
                     const char* outfn, uint8_t option, const void* docip,
                     const GTRSTATUS* gsp) {
    Record r(VOZ_BT_VERIFY);
    if (!r.on()) return;
    r.strings({idxname, idxdir, outfn});
    r.u8(option);
    r.ptr(docip);
    r.ptr(gsp);
    r.finish(gsp);
}

void vozBTraceMove(uint8_t function, const char* idxname, const char* idxdir,
                   const char* targetname, const GTRSTATUS* gsp) {
    Record r(VOZ_BT_MOVE);
    if (!r.on()) return;
    r.u8(function);
    r.strings({idxname, idxdir, targetname});
    r.ptr(gsp);
    r.finish(gsp);
}

void vozBTraceDeleteIndex(uint8_t func, const char* idxname,
                          const char* idxdir, const GTRSTATUS* gsp) {
    Record r(VOZ_BT_DELETE_INDEX);
    if (!r.on()) return;
    r.u8(func);
    r.strings({idxname, idxdir});
    r.ptr(gsp);
    r.finish(gsp);
}

void vozBTraceEnd(const void* handle, int32_t result, const GTRSTATUS* gsp) {
    vozBTraceEndOf(vozBTraceExists(), handle, result, gsp);
}

void vozBTraceEndOf(char exists, const void* handle, int32_t result,
                    const GTRSTATUS* gsp) {
    Record r(VOZ_BT_END, exists);
    if (!r.on()) return;
    r.ptr(handle);
    r.be32((uint32_t)result);
    r.ptr(gsp);
    r.finish(gsp);
}
