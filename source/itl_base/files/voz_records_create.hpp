// voz_records_create.hpp -- the public records of index creation and key
// information: GTRHCREATEPARM, GTRSTOPWORDLIST, GTRSYSPARM, BOUNDARYINFO
// with its field entries, GTRONEDOCINFO, REGISTITEM and GTRKEYINFO.
//
// The caller fills these records (the index library's kernel interface, the
// thesaurus library) and passes them to the engine calls; the engine never
// keeps a pointer into them after a call and never frees them. Fields come
// in the order the calls define; every run named `reserved` must be zero
// (calls/voz_reserved.hpp checks them). The records take their natural
// x86-64 layout (pointers 8 bytes, with the compiler's alignment gaps); the
// offsets in the comments are those of the 32-bit record with 4-byte
// pointers, by which the reserved runs and their error codes are known.
// The binary call trace writes its own field-by-field images, never these
// structs.
#ifndef VOZ_RECORDS_CREATE_HPP
#define VOZ_RECORDS_CREATE_HPP

#include <cstdint>

// One stop-word file of an index (32 bytes as a 32-bit record).
struct GTRSTOPWORDLIST {
    char* pszStopWordList;     //  0: NUL-terminated path of the text file
    uint8_t reserved[28];      //  4: not read, not checked
};

// Index-creation parameters; may be passed as NULL (the creation cycle's
// defaults apply). 40 bytes as a 32-bit record.
struct GTRHCREATEPARM {
    uint8_t index_type;        //  0: n of the text sub-index's n-grams, 1..3;
                               //     0 or above 3 means 2
    uint8_t codepage;          //  1: internal code-page code, 1..37
    uint8_t index_purpose;     //  2: 1 text only, 2 items only, 3 both
    uint8_t disable;           //  3: bit 0 no unit equivalence, fold
                               //     alphanumeric words; bit 1 no sentence
                               //     ends in n-gram text; other bits refused
    int32_t vvglength;         //  4: accepted and traced; creation uses 0
    uint8_t word_rule;         //  8: 0 or 1, which cutting rule makes words
    uint8_t index_subtype;     //  9: 1..3; 0 or above 3 means 3
    int16_t block_threshold;   // 10: the builder's list-block threshold
    int16_t block_size;        // 12: the builder's block size
    uint8_t special_alpha_num; // 14: characters used of special_alpha_list,
                               //     0..16
    uint8_t stop_word_list_num;  // 15: entries of paStopWordList, 0 or 1;
                                 //     255 is taken as 0 (and stored as 0)
    GTRSTOPWORDLIST* paStopWordList;  // 16
    char special_alpha_list[16];      // 20: additional alphanumerics, each
                                      //     printable ASCII punctuation
    uint8_t reserved[4];       // 36: must be zero (errcode 1704)
};

// System parameters of creation; may be NULL (the builder's defaults).
// 48 bytes as a 32-bit record.
struct GTRSYSPARM {
    int32_t poolsize;          //  0: size of the builder's pattern pool
    int32_t poolsizedelta;     //  4: growth step of the pattern pool
    int32_t filemax;           //  8: the builder's limit of work files
    char displaylog;           // 12: whether the builder logs its progress
    uint8_t filler[3];         // 13: not checked
    uint8_t reserved[32];      // 16: must be zero (errcode 1707)
};

// One field of a document: an entry of BOUNDARYINFO::fld_boundary (32 bytes
// as a 32-bit record).
struct FLDBOUNDARYINFO {
    uint16_t fld_number;       //  0: field number, not 0
    uint8_t reserved1[2];      //  2: must be zero (errcode 1706)
    uint8_t* fld_start_ptr;    //  4: first byte of the field in the text
    uint8_t* fld_end_ptr;      //  8: end of the field, not before the start
    uint8_t reserved2[20];     // 12: must be zero (errcode 1706)
};

// Sentence, word and field boundaries of one document; may be NULL.
// 44 bytes as a 32-bit record.
struct BOUNDARYINFO {
    int32_t delimiter_num;     //  0: entries of delimiter_NO and boundary_ptr
    int16_t* delimiter_NO;     //  4: separating-rule number of each
                               //     boundary, 1..32, or 39 (a word start)
    uint8_t** boundary_ptr;    //  8: each boundary as a pointer into the
                               //     document text, ascending
    uint8_t word_boundary;     // 12: 1 the caller gives word starts (39)
    uint8_t reserved1[3];      // 13: must be zero (errcode 1705)
    int32_t fld_boundary_num;  // 16: entries of fld_boundary
    FLDBOUNDARYINFO* fld_boundary;  // 20
    uint8_t reserved2[20];     // 24: must be zero (errcode 1705)
};

// Per-document information (32 bytes).
constexpr uint16_t GTR_DOCTYPE_NEW = 1;     // number must not be in the index
constexpr uint16_t GTR_DOCTYPE_UPDATE = 2;  // number must be in the index

struct GTRONEDOCINFO {
    uint16_t usDocType;        //  0: GTR_DOCTYPE_*; other values: no check
    uint8_t reserved[30];      //  2: must be zero (errcode 1753)
};

// One item of a document (72 bytes as a 32-bit record).
struct REGISTITEM {
    int16_t item_number;       //  0: 1..254 character, 1..32767 numeric
    char item_type;            //  2: 'C' character item, 'N' numeric item
    uint8_t reserved1[17];     //  3: must be zero (errcode 1708)
    uint8_t* char_ptr;         // 20: text of a character item, in the
                               //     index's code page
    int16_t char_len;          // 24: its length in bytes; <= 0 or a NULL
                               //     char_ptr means no text
    uint8_t reserved2[22];     // 26: must be zero (errcode 1708)
    double num_value;          // 48: value of a numeric item
    uint8_t reserved3[16];     // 56: must be zero (errcode 1708)
};

// Key information of one word (32 bytes as a 32-bit record).
struct GTRKEYINFO {
    char* pszWord;             //  0: NUL-terminated word
    int32_t lNumKeyRec;        //  4: out: key records of the word
    uint8_t ucCodepage;        //  8: code-page code the caller expects
    uint8_t reserved[23];      //  9: must be zero (errcode 1715)
};

#endif  // VOZ_RECORDS_CREATE_HPP
