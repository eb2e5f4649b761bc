// voz_records_search.hpp -- the public records of a search: the condition
// GTRSEARCH_COND with its parts (SIMPLERTRVOPT, RTRVWORD, SEARCHITEM,
// GTRSEARCHMIX, GTRSKIPFUNCINFO), the ranking request GTRSEARCH_RANK
// (RTRVRANK) with GTRRANKFUNCINFO, and the result record GTRSEARCH_RES.
//
// The caller fills them (the index library's query processing, the
// thesaurus library); the search calls, the selectivity estimate and the
// condition conversions read them, and write back only the fields marked
// "out". Fields come in the order the calls define; every run named
// `reserved` must be zero (calls/voz_reserved.hpp checks them). The records
// take their natural x86-64 layout; the offsets in the comments are those of
// the 32-bit record with 4-byte pointers, by which the reserved runs and
// their error codes are known. Counts are 32-bit.
#ifndef VOZ_RECORDS_SEARCH_HPP
#define VOZ_RECORDS_SEARCH_HPP

#include <cstdint>

// ---- parts of a search word ---------------------------------------------

// A run of sections of one separating rule: section numbers start..end.
struct RTRVRANGE {
    int32_t start;
    int32_t end;
};

// A run of fields that a word is restricted to (12 bytes).
struct GTRFIELDRANGE {
    uint16_t fld_start_num;    //  0: not 0
    uint16_t fld_end_num;      //  2: not below fld_start_num
    uint8_t reserved[8];       //  4: must be zero (errcode 1755)
};

// A run of fields with the word's weight in them (12 bytes).
struct GTRFIELDWEIGHT {
    uint16_t fld_start_num;    //  0
    uint16_t fld_end_num;      //  2: not below fld_start_num
    int16_t weight;            //  4: not negative
    uint8_t reserved[6];       //  6: must be zero (errcode 1756)
};

// One search word of a structured or mixed condition (60 bytes as a 32-bit
// record).
struct RTRVWORD {
    char type;                 //  0: 'W' word, 'B' back-reference file,
                               //     'D' whole document; the translation
                               //     adds 'E' equal word, 'F' from-to range,
                               //     'S' number set (item operands)
    char start_option;         //  1: 0 or 'S' (must begin at a word start)
    char casesens;             //  2: 'C' case sensitive, 'N' not
    char stemming;             //  3: 1 = English stemming
    uint8_t* wordp;            //  4: the word's bytes, not NUL-terminated
                               //     (normalised units once the call layer
                               //     has prepared the word)
    int16_t wordlen;           //  8: length of wordp in bytes
    int16_t precision;         // 10: matching level 1..100; 100 = exact
    int32_t rangenum;          // 12: entries of range; -1 every section of
                               //     range_dlmno
    RTRVRANGE* range;          // 16
    int16_t range_dlmno;       // 20: separating rule of range, 0..32
    int16_t fld_number;        // 22: field of the word (0 none), or the
                               //     entries of pFieldRange when set
    GTRFIELDRANGE* pFieldRange;    // 24: NULL or fld_number entries
    GTRFIELDWEIGHT* pFieldWeight;  // 28: NULL or `weight` entries
    char mask[2];              // 32: the two mask characters
    uint8_t reserved1[2];      // 34: must be zero (errcode 1709)
    int16_t weight;            // 36: the word's weight (0 none, 1..32767),
                               //     or the entries of pFieldWeight
    uint8_t reserved2[2];      // 38: must be zero (errcode 1709)
    int32_t docfreq;           // 40: out: documents holding the word
    int32_t search_flag;       // 44: handed to the evaluation
    uint8_t reserved3[12];     // 48: must be zero (errcode 1709)
};

// ---- simple query ------------------------------------------------------

// The operator that joins the words of a simple query (36 bytes). The
// postfix translation copies it whole into each operator element.
struct RTRVOPERATOR {
    char op;                   //  0: 'A' AND, 'O' OR, 'N' NOT, 'D' distance;
                               //     any other letter is taken as OR
    uint8_t reserved1;         //  1: must be zero
    int16_t op_dlmno;          //  2: distance of a 'D' operator, at most 32
    int32_t discon_count;      //  4: the answer limit of GTRsimpleSearch
    uint8_t reserved2[28];     //  8: must be zero
};

// Options of a simple query (84 bytes as a 32-bit record; errcode 1701 on
// its own, 1700 inside a GTRSEARCH_COND).
struct SIMPLERTRVOPT {
    RTRVOPERATOR Operator;     //  0
    char casesens;             // 36: case sensitivity of every word
    uint8_t reserved1;         // 37: must be zero
    int16_t precision;         // 38: matching level 1..100
    int32_t rangenum;          // 40: entries of range; -1 every section
    RTRVRANGE* range;          // 44
    int16_t range_dlmno;       // 48: separating rule of range, 0..32
    char start_option;         // 50: 0 or 'S'
    char stemming;             // 51: 1 = stem the words
    char mask[2];              // 52: the two mask characters
    int16_t fld_number;        // 54: field of the words
    int32_t search_flag;       // 56: copied into each word's search_flag
    uint8_t reserved2[24];     // 60: must be zero
};

// ---- item conditions -----------------------------------------------------

// One item condition (100 bytes as a 32-bit record).
struct SEARCHITEM {
    uint16_t item_number;      //  0: the item's number
    char item_type;            //  2: 'C' character, 'N' numeric range,
                               //     'B' back-reference file, 'S' number set
    uint8_t reserved1[9];      //  3: must be zero (errcode 1710)
    uint8_t* char_ptr;         // 12: 'C': the value's bytes
    int16_t char_len;          // 16: 'C': its length in bytes
    char char_mask[2];         // 18: 'C': mask characters
    int16_t char_precision;    // 20: 'C': matching level
    char char_casesens;        // 22: 'C': case sensitivity
    uint8_t reserved2[17];     // 23: must be zero (errcode 1710)
    double num_min_value;      // 40: 'N': lower bound
    double num_max_value;      // 48: 'N': upper bound
    char num_min_equal;        // 56: 'N': 'I' bound included, 'X' excluded
    char num_max_equal;        // 57: 'N': the same for the upper bound
    uint8_t reserved3[18];     // 58: must be zero (errcode 1710)
    uint8_t* bref_fname;       // 76: 'B': the file name's bytes
    int16_t bref_len;          // 80: 'B': its length in bytes
    uint8_t reserved4[10];     // 82: must be zero (errcode 1710)
    int32_t numset_num;        // 92: 'S': number of values
    double* numset_value;      // 96: 'S': the values
};

// One entry of a mixed condition (128 bytes as a 32-bit record).
constexpr uint8_t GTR_MIX_WORD = 1;
constexpr uint8_t GTR_MIX_ITEM = 2;

struct GTRSEARCHMIX {
    uint8_t mix_type;          //   0: GTR_MIX_WORD or GTR_MIX_ITEM
    uint8_t reserved1[3];      //   1: must be zero (errcode 1754)
    union {                    //   4: by mix_type, in the same place
        RTRVWORD word;
        SEARCHITEM item;
    };
    uint8_t reserved2[24];     // 104: must be zero (errcode 1754)
};

// ---- callbacks -------------------------------------------------------------

// Document-skip callback: called with the evaluation's 32-byte skip record
// and the user pointer; returns 0, or an error value that stops the search.
typedef uint32_t (*GTRSKIPFUNC)(void* skipRecord, void* userData);

// The caller's document-skip request (32 bytes as a 32-bit record).
struct GTRSKIPFUNCINFO {
    GTRSKIPFUNC skip_function; //  0: must not be NULL
    int32_t flags;             //  4: bit 0 = active
    void* user_data;           //  8: handed to skip_function
    uint8_t reserved[20];      // 12: must be zero (errcode 1751)
};

// Ranking callback: document number and user pointer in, the document's
// rank value out.
typedef uint32_t (*GTRRANKFUNC)(int32_t docno, void* userData);

// The caller's ranking callback (32 bytes as a 32-bit record).
struct GTRRANKFUNCINFO {
    GTRRANKFUNC rank_function; //  0
    void* user_data;           //  4: handed to rank_function
    uint8_t flags;             //  8: bit 0x80 inverts the value into the
                               //     sort key
    uint8_t reserved[23];      //  9: must be zero (errcode 1752)
};

// ---- ranking request ---------------------------------------------------------

// One ranked document as the evaluation hands it to the caller (20 bytes).
struct GTRRANKDOC {
    int32_t docno;             //  0: document number
    uint32_t user_value;       //  4: value of the ranking callback, or 0
    float score;               //  8: the document's rank
    int32_t first_occ;         // 12: the evaluation's: first occurrence
    int32_t occ_count;         // 16: the evaluation's: occurrences
};
static_assert(sizeof(GTRRANKDOC) == 20, "ranked-document entry is 20 bytes");

// The ranking request (32 bytes as a 32-bit record); the translators and
// the trace know it as RTRVRANK.
struct GTRSEARCH_RANK {
    int32_t rankcount;         //  0: ranked documents to keep; 0 all
    GTRRANKDOC* rankdoc;       //  4: NULL, or rankcount entries the search
                               //     fills; must be NULL when rankcount is 0
    uint8_t weight_option;     //  8: weighting bits; any of 0xCE needs
                               //     pRankFuncInfo
    char howto_operate;        //  9: 0 (= 'S'), 'S', 'F' or 'P'
    uint8_t reserved1[2];      // 10: must be zero (errcode 1702)
    GTRRANKFUNCINFO* pRankFuncInfo;  // 12: NULL or the ranking callback
    float* pRankTuning;        // 16: NULL (0.2 and 0.5) or the constants
    uint8_t reserved2[12];     // 20: must be zero (errcode 1702)
};
typedef GTRSEARCH_RANK RTRVRANK;

// ---- result ------------------------------------------------------------------

// Where the answer goes (res_type).
constexpr uint8_t GTR_RES_FILE = 1;         // result file res_fname
constexpr uint8_t GTR_RES_HANDLE = 2;       // result handle in memory
constexpr uint8_t GTR_RES_FILE_HEADER = 4;  // result file with a header
constexpr uint8_t GTR_RES_NONE = 255;       // only the counts

constexpr int GTR_RES_FNAME_LEN = 2048;

// The result record (2172 bytes as a 32-bit record), owned by the caller.
struct GTRSEARCH_RES {
    uint8_t res_type;          //    0: GTR_RES_*
    uint8_t res_dataform;      //    1: 1 or 2, handed to the evaluation
    uint8_t reserved1[13];     //    2: must be zero (errcode 1703)
    uint8_t res_flag;          //   15: out: 0x80 once the answer is set
    int32_t result_docnum;     //   16: out: documents found
    int32_t result_occnum;     //   20: out: occurrences found
    uint8_t reserved2[20];     //   24: must be zero (errcode 1703)
    char res_fname[GTR_RES_FNAME_LEN];  // 44: types 1 and 4: result file
    uint8_t reserved3[8];      // 2092: must be zero (errcode 1703)
    void* res_handle;          // 2100: type 2, out: the result handle,
                               //       owned by the caller from then on
    int32_t res_handle_memory; // 2104: type 2: memory budget in bytes
    int32_t term_docnum_max;   // 2108: entries of term_docnum
    int32_t term_docnum_count; // 2112: out: entries filled
    int32_t* term_docnum;      // 2116: NULL, or per-term document counts
    uint8_t reserved4[52];     // 2120: must be zero (errcode 1703)
};

// ---- the condition -------------------------------------------------------------

// Condition forms (cond_type).
constexpr uint8_t GTR_COND_SIMPLE = 1;
constexpr uint8_t GTR_COND_QUERY = 2;
constexpr uint8_t GTR_COND_STRUCT = 3;
constexpr uint8_t GTR_COND_ITEM = 4;
constexpr uint8_t GTR_COND_MIX = 5;
constexpr uint8_t GTR_COND_MIXQUERY = 6;

// The search condition (236 bytes as a 32-bit record), passed by value.
// cond_type selects the group of fields in use; the others are ignored.
struct GTRSEARCH_COND {
    GTRSEARCH_RES* scope;      //   0: NULL, or an earlier memory result
    int32_t discon_count;      //   4: answer limit: 0 none, n > 0
                               //      occurrences, n < 0 -n documents
    int32_t word_limit;        //   8: word-level limit: 0 = 1000, -1 = 0
    GTRSKIPFUNCINFO* pSkipFuncInfo;  // 12: NULL or the skip callback
    uint8_t codepage;          //  16: code-page code of the query, 1..37
    uint8_t cond_type;         //  17: GTR_COND_*
    uint8_t reserved1[10];     //  18: must be zero (errcode 1700)
    char* simple_query;        //  28: type 1: the words
    SIMPLERTRVOPT simple_option;  // 32: type 1: their options
    uint8_t reserved2[8];      // 116: must be zero
    char* query;               // 124: types 2 and 6: the query text
    uint8_t reserved3[8];      // 128: must be zero
    int32_t struct_num;        // 136: type 3: entries of struct_word
    RTRVWORD* struct_word;     // 140: type 3: the words
    char* struct_order;        // 144: type 3: the order string
    char* frqfn;               // 148: type 3: NULL or a frequency file
    uint8_t reserved4[8];      // 152: must be zero
    int32_t item_num;          // 160: type 4: entries of item
    SEARCHITEM* item;          // 164: type 4: the item conditions
    char* item_order;          // 168: type 4: the order string
    uint32_t item_spare;       // 172: not checked, handed on
    int32_t mix_num;           // 176: type 5: entries of mix
    GTRSEARCHMIX* mix;         // 180: type 5: the mixed conditions
    char* mix_order;           // 184: type 5: the order string
    uint8_t reserved5[48];     // 188: must be zero
};

#endif  // VOZ_RECORDS_SEARCH_HPP
