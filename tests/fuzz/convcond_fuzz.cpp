// Fuzz target: query text through the conversions of search conditions
// (GTRconvertSearchCond for simple queries and query text,
// GTRconvertSearchCond_Mix for mixed query text). The first byte chooses
// the form and the code page, the second the operator of a simple query;
// the rest is the text. A conversion either fails with a status or returns
// explicit words joined by an order string; that converted condition must
// itself convert again (its order string and words translate), with the
// same number of words.

#include <cstring>
#include <string>

#include "calls/voz_convcond.hpp"
#include "fuzz_input.hpp"

namespace {

// Code pages of every family: UTF-8 (34, 37), the ASCII-based ones, the
// EBCDIC ones with their own token characters (10, 28, 33) and single NOT
// (15), EUC and DBCS.
uint8_t const kCodePages[] = {34, 37, 1, 3, 13, 2, 10, 28, 33, 15, 21, 24, 29, 7, 8, 17};

GTRSEARCH_COND emptyCond(uint8_t type, uint8_t codepage) {
  GTRSEARCH_COND c;
  memset(&c, 0, sizeof c);
  c.cond_type = type;
  c.codepage = codepage;
  return c;
}

void checkWord(RTRVWORD const& w) {
  FUZZ_CHECK(w.type == 'W' || w.type == 'B');
  FUZZ_CHECK(w.wordp != nullptr && w.wordlen > 0);
  FUZZ_CHECK(w.rangenum <= 0 || w.range != nullptr);
}

// The converted condition converts again: a structured or mixed condition
// is translated (order string and words checked) and copied unchanged.
void reconvert(GTRSEARCH_COND const& out, bool mix) {
  void* handle = nullptr;
  GTRSEARCH_COND again;
  GTRSTATUS st{};
  if (mix)
    GTRconvertSearchCond_Mix(&handle, out, &again, &st);
  else
    GTRconvertSearchCond(&handle, out, &again, &st);
  if (st.retcode != 0)
    fprintf(stderr, "reconversion of \"%s\": %d/%d\n",
            mix ? out.mix_order : out.struct_order, st.retcode, st.errcode);
  FUZZ_CHECK(st.retcode == 0);
  FUZZ_CHECK(again.cond_type == out.cond_type && again.codepage == out.codepage);
  FUZZ_CHECK(again.struct_num == out.struct_num && again.struct_word == out.struct_word &&
             again.struct_order == out.struct_order);
  FUZZ_CHECK(again.mix_num == out.mix_num && again.mix == out.mix &&
             again.mix_order == out.mix_order);
  GTRconvertSearchCond_Release(&handle);
  FUZZ_CHECK(handle == nullptr);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(uint8_t const* data, size_t size) {
  if (size > 4096) return 0;
  FuzzInput in(data, size);
  uint8_t choice = in.byte();
  uint8_t opChoice = in.byte();
  std::string text = in.rest();
  uint8_t codepage = kCodePages[(choice >> 2) % sizeof kCodePages];
  static uint8_t const forms[] = {GTR_COND_SIMPLE, GTR_COND_QUERY,
                                  GTR_COND_MIXQUERY, GTR_COND_QUERY};
  uint8_t form = forms[choice & 3];
  GTRSEARCH_COND cond = emptyCond(form, codepage);
  if (form == GTR_COND_SIMPLE) {
    cond.simple_query = &text[0];
    static char const ops[] = {'A', 'O', 'N', 'D', 'X'};
    cond.simple_option.Operator.op = ops[opChoice % 5];
    cond.simple_option.Operator.op_dlmno = static_cast<int16_t>((opChoice >> 3) % 34);
    cond.simple_option.casesens = opChoice & 0x80 ? 'C' : 'N';
    cond.simple_option.precision = 100;
  } else {
    cond.query = &text[0];
  }
  bool mix = form == GTR_COND_MIXQUERY;
  void* handle = nullptr;
  GTRSEARCH_COND out;
  GTRSTATUS st{};
  if (mix)
    GTRconvertSearchCond_Mix(&handle, cond, &out, &st);
  else
    GTRconvertSearchCond(&handle, cond, &out, &st);
  FUZZ_CHECK(handle != nullptr);
  if (st.retcode == 0) {
    FUZZ_CHECK(out.codepage == codepage);
    if (mix) {
      FUZZ_CHECK(out.cond_type == GTR_COND_MIX && out.mix_num >= 1);
      FUZZ_CHECK(out.mix != nullptr && out.mix_order != nullptr);
      for (int32_t i = 0; i < out.mix_num; ++i) {
        GTRSEARCHMIX const& m = out.mix[i];
        FUZZ_CHECK(m.mix_type == GTR_MIX_WORD || m.mix_type == GTR_MIX_ITEM);
        if (m.mix_type == GTR_MIX_WORD) checkWord(m.word);
      }
    } else {
      FUZZ_CHECK(out.cond_type == GTR_COND_STRUCT && out.struct_num >= 1);
      FUZZ_CHECK(out.struct_word != nullptr && out.struct_order != nullptr);
      for (int32_t i = 0; i < out.struct_num; ++i) checkWord(out.struct_word[i]);
    }
    reconvert(out, mix);
  }
  GTRconvertSearchCond_Release(&handle);
  FUZZ_CHECK(handle == nullptr);
  return 0;
}
