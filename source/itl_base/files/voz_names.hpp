// voz_names.hpp - the descriptor of one index file set (_FCTLHEAD), the
// in-memory key information that holds it (IDXINFO), the names of every
// file of an index, file copies and unique temporary files and directories.
//
// An engine index is a directory per index.  It has two halves, "main" and
// "supp", and each half two file sets, the index proper (set 0) and its
// X-index (set 1), told apart by the file letter that follows "voz.".  For
// directory D, index I, prefix "Full", letters "KPLQ", main half, set 0:
//   D/I/Fullmain/voz.KEY   key file             (type 0)
//   D/I/Fullmain/voz.POS   sequential positions (type 1)
//   D/I/voz.PSB, voz.PND, voz.PLF  block files, shared by both halves
//   D/I/Fullmain/voz.PSC, voz.PNC, voz.PLC  their control files
//   D/I/Fulldel/Main.DEL   deleted documents    (bit 0x08)
//   D/I/voz.STP            stop words           (type 7)
// Every engine path is built through voz_IDXgetFname.
//
// Failures go into the caller's GTRSTATUS with the file name shortened by
// the status record's rule (voz_status.hpp) and errno.
#ifndef VOZ_NAMES_HPP
#define VOZ_NAMES_HPP

#include <cstdint>

#include "files/voz_file.hpp"
#include "files/voz_keyrec.hpp"

struct GTRSTATUS;
class CVozPosBroker;
struct VOZKEYCACHE;
class CVozDeletedDocs;

// Capacity of the subdirectory prefix text ("Full", "Item").
constexpr size_t VOZ_SUBDIR_PREFIX_LEN = 16;

// Half kinds (_FCTLHEAD::fileType).
enum : int32_t {
    VOZ_HALF_MAIN = 0,
    VOZ_HALF_SUPP = 1,
    VOZ_HALF_MAIN_NEW = 2,  // "#" in front of the subdirectory
    VOZ_HALF_SUPP_NEW = 3,
    VOZ_HALF_MAIN_OLD = 4,  // "%" in front of the subdirectory
    VOZ_HALF_SUPP_OLD = 5,
    VOZ_HALF_WORK = 6,      // single file <index>.LLL next to the index
    VOZ_HALF_LEVEL0 = 7     // 7 + n: file <index>.Lnn (merge level n)
};

// Type word of voz_IDXgetFname: low three bits the file type, then flags.
enum : uint16_t {
    VOZ_FT_KEY = 0,        // "EY"
    VOZ_FT_POS = 1,        // "OS"
    VOZ_FT_SHARED = 2,     // "SB"
    VOZ_FT_BRANCH = 3,     // "ND"
    VOZ_FT_LEAF = 4,       // "LF"
    VOZ_FT_STOPWORD = 7,   // voz.STP in the index directory
    VOZ_FT_DELETED = 0x08, // deleted-documents list
    VOZ_FT_CONTROL = 0x10, // control file of a block file (type + 3)
    VOZ_FT_DIR = 0x20,     // the directory instead of the file
    VOZ_FT_PREFIX_HASH = 0x40,   // subdirectory prefix character '#'
    VOZ_FT_PREFIX_PCT = 0x80     // '%' (0xC0: '#')
};

// _FCTLHEAD::flags bits.
enum : uint8_t {
    VOZ_FCTL_BTREE = 0x01,      // positions in the block files SB, ND, LF
    VOZ_FCTL_CHOOSE = 0x10,     // choose 0x01 by size at the next merge
    VOZ_FCTL_CREATING = 0x20,   // written by a merge / being created
    VOZ_FCTL_OPEN = 0x40,       // the file set is open
    VOZ_FCTL_TAKE_FLAGS = 0x80  // take the flags from the key file's header
};

// Descriptor of one file set.  Zero-filled before use (voz_SetFctlForRead
// does it); every path is then formed by voz_IDXgetFname.  The descriptor
// owns none of the objects it points to: the file-set operations open and
// close the files, the position store allocates and frees the broker and
// the deleted-document list.
struct _FCTLHEAD {
    char directory[VOZ_FNAME_LEN];     // directory holding the index dir
    char altDirectory[VOZ_FNAME_LEN];  // searched first when set; "" none
    char indexName[VOZ_FNAME_LEN];     // name of the index directory
    int8_t setIndex;                   // 0 index proper, 1 X-index
    int32_t fileType;                  // half kind, VOZ_HALF_*
    FILE_CONTROL* keyFile;             // open key file; null when closed
    FILE_CONTROL* posFile;             // open sequential position file
    int64_t keyOffset;                 // cleared when the key file opens
    int64_t posOffset;                 // next position data offset in the
                                       // sequential position file
    _FCTLHEAD* sharedFrom;             // set whose open files this one
                                       // shares; null: its own
    int32_t tempFlag;                  // non-zero: open a uniquely named
                                       // temporary key file (cleared after)
    char altUse[2];                    // 'Y': key file [0] / other files [1]
                                       // are in the alternate directory
    char generation[4];                // file letters: key, others (set 0),
                                       // then key, others (set 1)
    uint64_t keyBase;                  // key-file offset of the header
    char subdirPrefix[VOZ_SUBDIR_PREFIX_LEN];  // "Full" or "Item"
    CVozPosBroker* posBroker;          // the set's position broker
    uint8_t flags;                     // VOZ_FCTL_*
    uint16_t sharedBlockKB;            // block sizes in KB of the slot,
    uint16_t branchBlockKB;            //   branch and leaf block files,
    uint16_t leafBlockKB;              //   from the key file's header
    // Fields of the builder, the query evaluation and the position store.
    CVozDeletedDocs* deletedDocs;      // the set's deleted-document list
    uint8_t noAutoTransaction;         // non-zero: the block-store broker
                                       // starts no transaction on open
    uint8_t sharesFile;                // the position file is shared with
                                       // sharedFrom, which has it open
    uint32_t workSet;                  // non-zero: the position file is a
                                       // work file
    uint64_t keyEnd;                   // end of the set's key records
    uint64_t posStart;                 // where the set's position data begin
    uint64_t posSize;                  // read-length limit of the positions
    uint32_t posBufSize;               // read-ahead buffer of the position
    uint8_t* posBuf;                   //   reader (not owned)
    int32_t nextRec;                   // read-ahead state of key records
    int32_t bufCapacity;
    int32_t bufFirst;
    int32_t bufEnd;
    uint8_t* keyBuffer;
    VOZKEYCACHE* keyCache;             // key-file bytes kept while the set
                                       // is open (files/voz_keycache.hpp);
                                       // owned by whoever started it
};

// In-memory key information of one file set.
struct IDXINFO {
    KEYINFO_0 info;            // the key file's header, host order
    KEYIDX_ENTRY* keyIndex;    // loaded key-index table; null: not loaded
    uint16_t keyCmpLen;        // units per key prefix x unit width
    _FCTLHEAD fctl;            // the file set
};

// Clears `fs` and fills it for reading: index name, directory taken from
// `dirSpec` up to a TAB and the alternate directory from after it, half
// kind 0 (`half` 0) or 1, set number, the four file letters and the
// subdirectory prefix.  A directory of 2075 characters or more gives
// return code 35 (reason 238; 239 for the alternate directory); an index
// name or prefix too long for its field gives 35 too (243, 244).
// Returns 0 or -1.
int voz_SetFctlForRead(_FCTLHEAD* fs, const char* indexName,
                       const char* dirSpec, int half, int set,
                       const char* letters, const char* prefix,
                       GTRSTATUS* st);

// Writes the path of file `typeWord` of `fs` into `buffer`, which holds
// VOZ_FNAME_LEN characters, and returns the path's full length.  A result
// of VOZ_FNAME_LEN or more means the path did not fit and was cut.
int voz_IDXgetFname(char* buffer, const _FCTLHEAD* fs, uint16_t typeWord);

// 0 when the file of `type` exists.  Type 1 with VOZ_FCTL_BTREE: the three
// block files SB, ND and LF must all exist.
int voz_IDXfileExistence(const _FCTLHEAD* fs, uint16_t type);

// Copies `fromPath` to `toPath` (both opened through voz_XXopen, so
// partitioned).  Failures: open 3/228 (source), 3/229 (target); read
// 4/230; write 5/231; target close 10/247.  0 or -1.
int voz_FileCopy(const char* fromPath, const char* toPath, GTRSTATUS* st);

// Creates a new, uniquely named temporary file in `directory` ("/" counts
// as the root) and opens it "wb+".  With a prefix the first name tried is
// "<dir>/<prefix>.<ext>"; a collision retries "<dir>/<4 chars>!<3 base-36
// chars>.<ext>" and on success rewrites `prefix` to "<4 chars>!<3 chars>"
// (REQUIRES: a non-null prefix buffer holds at least 9 bytes).  Without a
// prefix names are "<dir>/!<7 base-36 chars>.<ext>".  The file is created
// exclusively: an existing name is never opened or emptied.  nameOut
// (VOZ_FNAME_LEN bytes) receives the name.  Failure: return code 3 with
// reason = errno, or 3/252 with the text "Temporary File" after 100 tries;
// *fileOut is null then.  0 or -1.
int voz_XXopenTempEx(char* nameOut, char* prefix, const char* extension,
                     const char* directory, FILE_CONTROL** fileOut,
                     GTRSTATUS* st);

// Creates a new, uniquely named directory "<parent>/<base'>" where base'
// is `base` with "!" and 3 base-36 characters in place of its last 4
// characters (appended when base has 4 or fewer).  nameOut receives base'
// (VOZ_FNAME_LEN bytes).  Failure: 140/2115 with the text "Temporary
// Directory" after 100 tries.  0 or -1.
int vozCreateTempDir(char* nameOut, const char* parentDirectory,
                     const char* base, GTRSTATUS* st);

#endif  // VOZ_NAMES_HPP
