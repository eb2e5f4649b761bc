// Layout of the public records: each record declares the fields of its
// 32-bit form in order and with their widths, so that the 32-bit offsets
// (pointers 4 bytes, no padding) give the record's size and put every
// reserved run where the reserved-field errcodes expect it.
#include <gtest/gtest.h>

#include <cstddef>
#include <string>
#include <type_traits>
#include <vector>

#include "files/voz_records.hpp"

namespace {

struct Field {
    const char* name;
    size_t offset;   // x86-64
    size_t size;     // x86-64
    bool pointer;
    long expect32;   // expected 32-bit offset, or -1 for no expectation
    size_t size32;   // width in the 32-bit form when not derived, else 0
};

struct Layout {
    const char* name;
    size_t size32;
    size_t size64;
    std::vector<Field> fields;
};

template <typename M>
constexpr bool isPtr() {
    return std::is_pointer<M>::value;
}

#define F(T, m) Field{#m, offsetof(T, m), sizeof(((T*)nullptr)->m), \
                      isPtr<decltype(((T*)nullptr)->m)>(), -1, 0}
#define R(T, m, at) Field{#m, offsetof(T, m), sizeof(((T*)nullptr)->m), \
                          false, at, 0}

std::vector<Layout> layouts() {
    return {
        {"GTRHCREATEPARM", 40, sizeof(GTRHCREATEPARM),
         {F(GTRHCREATEPARM, index_type), F(GTRHCREATEPARM, codepage),
          F(GTRHCREATEPARM, index_purpose), F(GTRHCREATEPARM, disable),
          F(GTRHCREATEPARM, vvglength), F(GTRHCREATEPARM, word_rule),
          F(GTRHCREATEPARM, index_subtype), F(GTRHCREATEPARM, block_threshold),
          F(GTRHCREATEPARM, block_size), F(GTRHCREATEPARM, special_alpha_num),
          F(GTRHCREATEPARM, stop_word_list_num), F(GTRHCREATEPARM, paStopWordList),
          F(GTRHCREATEPARM, special_alpha_list), R(GTRHCREATEPARM, reserved, 36)}},
        {"GTRSYSPARM", 48, sizeof(GTRSYSPARM),
         {F(GTRSYSPARM, poolsize), F(GTRSYSPARM, poolsizedelta),
          F(GTRSYSPARM, filemax), F(GTRSYSPARM, displaylog),
          R(GTRSYSPARM, filler, 13), R(GTRSYSPARM, reserved, 16)}},
        {"GTRSTOPWORDLIST", 32, sizeof(GTRSTOPWORDLIST),
         {F(GTRSTOPWORDLIST, pszStopWordList), R(GTRSTOPWORDLIST, reserved, 4)}},
        {"BOUNDARYINFO", 44, sizeof(BOUNDARYINFO),
         {F(BOUNDARYINFO, delimiter_num), F(BOUNDARYINFO, delimiter_NO),
          F(BOUNDARYINFO, boundary_ptr), F(BOUNDARYINFO, word_boundary),
          R(BOUNDARYINFO, reserved1, 13), F(BOUNDARYINFO, fld_boundary_num),
          F(BOUNDARYINFO, fld_boundary), R(BOUNDARYINFO, reserved2, 24)}},
        {"FLDBOUNDARYINFO", 32, sizeof(FLDBOUNDARYINFO),
         {F(FLDBOUNDARYINFO, fld_number), R(FLDBOUNDARYINFO, reserved1, 2),
          F(FLDBOUNDARYINFO, fld_start_ptr), F(FLDBOUNDARYINFO, fld_end_ptr),
          R(FLDBOUNDARYINFO, reserved2, 12)}},
        {"GTRONEDOCINFO", 32, sizeof(GTRONEDOCINFO),
         {F(GTRONEDOCINFO, usDocType), R(GTRONEDOCINFO, reserved, 2)}},
        {"REGISTITEM", 72, sizeof(REGISTITEM),
         {F(REGISTITEM, item_number), F(REGISTITEM, item_type),
          R(REGISTITEM, reserved1, 3), F(REGISTITEM, char_ptr),
          F(REGISTITEM, char_len), R(REGISTITEM, reserved2, 26),
          F(REGISTITEM, num_value), R(REGISTITEM, reserved3, 56)}},
        {"GTRKEYINFO", 32, sizeof(GTRKEYINFO),
         {F(GTRKEYINFO, pszWord), F(GTRKEYINFO, lNumKeyRec),
          F(GTRKEYINFO, ucCodepage), R(GTRKEYINFO, reserved, 9)}},
        {"RTRVWORD", 60, sizeof(RTRVWORD),
         {F(RTRVWORD, type), F(RTRVWORD, start_option), F(RTRVWORD, casesens),
          F(RTRVWORD, stemming), F(RTRVWORD, wordp), F(RTRVWORD, wordlen),
          F(RTRVWORD, precision), F(RTRVWORD, rangenum), F(RTRVWORD, range),
          F(RTRVWORD, range_dlmno), F(RTRVWORD, fld_number),
          F(RTRVWORD, pFieldRange), F(RTRVWORD, pFieldWeight), F(RTRVWORD, mask),
          R(RTRVWORD, reserved1, 34), F(RTRVWORD, weight),
          R(RTRVWORD, reserved2, 38), F(RTRVWORD, docfreq),
          F(RTRVWORD, search_flag), R(RTRVWORD, reserved3, 48)}},
        {"GTRFIELDRANGE", 12, sizeof(GTRFIELDRANGE),
         {F(GTRFIELDRANGE, fld_start_num), F(GTRFIELDRANGE, fld_end_num),
          R(GTRFIELDRANGE, reserved, 4)}},
        {"GTRFIELDWEIGHT", 12, sizeof(GTRFIELDWEIGHT),
         {F(GTRFIELDWEIGHT, fld_start_num), F(GTRFIELDWEIGHT, fld_end_num),
          F(GTRFIELDWEIGHT, weight), R(GTRFIELDWEIGHT, reserved, 6)}},
        {"SIMPLERTRVOPT", 84, sizeof(SIMPLERTRVOPT),
         {F(SIMPLERTRVOPT, Operator.op), R(SIMPLERTRVOPT, Operator.reserved1, 1),
          F(SIMPLERTRVOPT, Operator.op_dlmno),
          F(SIMPLERTRVOPT, Operator.discon_count),
          R(SIMPLERTRVOPT, Operator.reserved2, 8), F(SIMPLERTRVOPT, casesens),
          R(SIMPLERTRVOPT, reserved1, 37), F(SIMPLERTRVOPT, precision),
          F(SIMPLERTRVOPT, rangenum), F(SIMPLERTRVOPT, range),
          F(SIMPLERTRVOPT, range_dlmno), F(SIMPLERTRVOPT, start_option),
          F(SIMPLERTRVOPT, stemming), F(SIMPLERTRVOPT, mask),
          F(SIMPLERTRVOPT, fld_number), F(SIMPLERTRVOPT, search_flag),
          R(SIMPLERTRVOPT, reserved2, 60)}},
        {"SEARCHITEM", 100, sizeof(SEARCHITEM),
         {F(SEARCHITEM, item_number), F(SEARCHITEM, item_type),
          R(SEARCHITEM, reserved1, 3), F(SEARCHITEM, char_ptr),
          F(SEARCHITEM, char_len), F(SEARCHITEM, char_mask),
          F(SEARCHITEM, char_precision), F(SEARCHITEM, char_casesens),
          R(SEARCHITEM, reserved2, 23), F(SEARCHITEM, num_min_value),
          F(SEARCHITEM, num_max_value), F(SEARCHITEM, num_min_equal),
          F(SEARCHITEM, num_max_equal), R(SEARCHITEM, reserved3, 58),
          F(SEARCHITEM, bref_fname), F(SEARCHITEM, bref_len),
          R(SEARCHITEM, reserved4, 82), F(SEARCHITEM, numset_num),
          F(SEARCHITEM, numset_value)}},
        {"GTRSKIPFUNCINFO", 32, sizeof(GTRSKIPFUNCINFO),
         {F(GTRSKIPFUNCINFO, skip_function), F(GTRSKIPFUNCINFO, flags),
          F(GTRSKIPFUNCINFO, user_data), R(GTRSKIPFUNCINFO, reserved, 12)}},
        {"GTRRANKFUNCINFO", 32, sizeof(GTRRANKFUNCINFO),
         {F(GTRRANKFUNCINFO, rank_function), F(GTRRANKFUNCINFO, user_data),
          F(GTRRANKFUNCINFO, flags), R(GTRRANKFUNCINFO, reserved, 9)}},
        {"GTRSEARCH_RANK", 32, sizeof(GTRSEARCH_RANK),
         {F(GTRSEARCH_RANK, rankcount), F(GTRSEARCH_RANK, rankdoc),
          F(GTRSEARCH_RANK, weight_option), F(GTRSEARCH_RANK, howto_operate),
          R(GTRSEARCH_RANK, reserved1, 10), F(GTRSEARCH_RANK, pRankFuncInfo),
          F(GTRSEARCH_RANK, pRankTuning), R(GTRSEARCH_RANK, reserved2, 20)}},
        {"GTRSEARCH_RES", 2172, sizeof(GTRSEARCH_RES),
         {F(GTRSEARCH_RES, res_type), F(GTRSEARCH_RES, res_dataform),
          R(GTRSEARCH_RES, reserved1, 2), F(GTRSEARCH_RES, res_flag),
          F(GTRSEARCH_RES, result_docnum), F(GTRSEARCH_RES, result_occnum),
          R(GTRSEARCH_RES, reserved2, 24), F(GTRSEARCH_RES, res_fname),
          R(GTRSEARCH_RES, reserved3, 2092), F(GTRSEARCH_RES, res_handle),
          F(GTRSEARCH_RES, res_handle_memory), F(GTRSEARCH_RES, term_docnum_max),
          F(GTRSEARCH_RES, term_docnum_count), F(GTRSEARCH_RES, term_docnum),
          R(GTRSEARCH_RES, reserved4, 2120)}},
        {"GTRSEARCH_COND", 236, sizeof(GTRSEARCH_COND),
         {F(GTRSEARCH_COND, scope), F(GTRSEARCH_COND, discon_count),
          F(GTRSEARCH_COND, word_limit), F(GTRSEARCH_COND, pSkipFuncInfo),
          F(GTRSEARCH_COND, codepage), F(GTRSEARCH_COND, cond_type),
          R(GTRSEARCH_COND, reserved1, 18), F(GTRSEARCH_COND, simple_query),
          // simple_option counted as its 84 bytes of the 32-bit form
          Field{"simple_option", offsetof(GTRSEARCH_COND, simple_option),
                sizeof(SIMPLERTRVOPT), false, 32, 84},
          R(GTRSEARCH_COND, reserved2, 116), F(GTRSEARCH_COND, query),
          R(GTRSEARCH_COND, reserved3, 128), F(GTRSEARCH_COND, struct_num),
          F(GTRSEARCH_COND, struct_word), F(GTRSEARCH_COND, struct_order),
          F(GTRSEARCH_COND, frqfn), R(GTRSEARCH_COND, reserved4, 152),
          F(GTRSEARCH_COND, item_num), F(GTRSEARCH_COND, item),
          F(GTRSEARCH_COND, item_order), R(GTRSEARCH_COND, item_spare, 172),
          F(GTRSEARCH_COND, mix_num), F(GTRSEARCH_COND, mix),
          F(GTRSEARCH_COND, mix_order), R(GTRSEARCH_COND, reserved5, 188)}},
        {"GTRSEARCHMIX", 128, sizeof(GTRSEARCHMIX),
         {F(GTRSEARCHMIX, mix_type), R(GTRSEARCHMIX, reserved1, 1),
          Field{"word/item", offsetof(GTRSEARCHMIX, item),
                sizeof(RTRVWORD) > sizeof(SEARCHITEM) ? sizeof(RTRVWORD)
                                                      : sizeof(SEARCHITEM),
                false, 4, 100},
          R(GTRSEARCHMIX, reserved2, 104)}},
    };
}

TEST(PublicRecords, FieldsInOrderGiveThe32BitLayout) {
    for (const Layout& l : layouts()) {
        SCOPED_TRACE(l.name);
        size_t at32 = 0;
        size_t prevEnd64 = 0;
        for (const Field& f : l.fields) {
            SCOPED_TRACE(f.name);
            EXPECT_GE(f.offset, prevEnd64) << "declared out of order";
            if (f.expect32 >= 0) {
                EXPECT_EQ(at32, static_cast<size_t>(f.expect32));
            }
            at32 += f.size32 != 0 ? f.size32 : f.pointer ? 4 : f.size;
            prevEnd64 = f.offset + f.size;
        }
        EXPECT_EQ(at32, l.size32) << "32-bit size";
        EXPECT_LE(prevEnd64, l.size64);
    }
}

TEST(PublicRecords, StatusAndRankEntryKeepTheirFixedSizes) {
    EXPECT_EQ(sizeof(GTRSTATUS), 1064u);
    EXPECT_EQ(sizeof(GTRRANKDOC), 20u);
    EXPECT_EQ(sizeof(RTRVOPERATOR), 36u);
    EXPECT_TRUE((std::is_same<RTRVRANK, GTRSEARCH_RANK>::value));
}

}  // namespace
