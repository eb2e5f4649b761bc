// Fuzz target: query text through the search call GTRsearchIndex on a small
// index built once per process (fuzz_index.hpp). The first byte chooses the
// form of the condition (query text, mixed query text, simple query), the
// result type and whether a kept search handle is used; the second the
// ranking request; the third the answer limits; the rest is the text. The
// search either fails with a status or leaves an answer whose documents
// are live documents of the index, as many as the result says. Query text
// that converts (GTRconvertSearchCond) must find the same documents as its
// converted condition.

#include <cstring>
#include <string>

#include "calls/voz_convcond.hpp"
#include "fuzz_index.hpp"

namespace {

using fuzzidx::Answer;

// The structured condition of `cond` (query text) finds what it found.
void compareConverted(fuzzidx::SmallIndex const& ix, GTRSEARCH_COND const& cond,
                      Answer const& direct) {
  void* conv = nullptr;
  GTRSEARCH_COND out;
  GTRSTATUS st{};
  GTRconvertSearchCond(&conv, cond, &out, &st);
  if (st.retcode == 0) {
    Answer again = fuzzidx::search(ix, out, nullptr, GTR_RES_HANDLE);
    // A double-quoted word of blanks only is a word of query text, but the
    // same text as a word of a structured condition is stripped of its
    // blanks and refused as empty (2/1416).
    if (again.st.retcode == 2 && again.st.errcode == 1416) {
      GTRconvertSearchCond_Release(&conv);
      return;
    }
    if (again.st.retcode != 0 || again.docs != direct.docs)
      fprintf(stderr, "converted \"%s\": %d/%d, %zu documents, not %zu\n",
              out.struct_order, again.st.retcode, again.st.errcode,
              again.docs.size(), direct.docs.size());
    FUZZ_CHECK(again.st.retcode == 0 && again.docs == direct.docs);
  }
  GTRconvertSearchCond_Release(&conv);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(uint8_t const* data, size_t size) {
  if (size > 2048) return 0;
  fuzzidx::SmallIndex const& ix = fuzzidx::smallIndex();
  FuzzInput in(data, size);
  uint8_t choice = in.byte();
  uint8_t rankChoice = in.byte();
  uint8_t limits = in.byte();
  std::string text = in.rest();

  static uint8_t const forms[] = {GTR_COND_QUERY, GTR_COND_MIXQUERY,
                                  GTR_COND_SIMPLE, GTR_COND_QUERY};
  static uint8_t const results[] = {GTR_RES_HANDLE, GTR_RES_FILE,
                                    GTR_RES_FILE_HEADER, GTR_RES_NONE};
  uint8_t form = forms[choice & 3];
  uint8_t resType = results[(choice >> 2) & 3];
  bool keepHandle = (choice & 0x10) != 0;

  GTRSEARCH_COND cond;
  memset(&cond, 0, sizeof cond);
  cond.codepage = 34;
  cond.cond_type = form;
  if (form == GTR_COND_SIMPLE) {
    cond.simple_query = &text[0];
    static char const ops[] = {'A', 'O', 'N', 'D'};
    cond.simple_option.Operator.op = ops[(choice >> 5) & 3];
    cond.simple_option.Operator.op_dlmno = static_cast<int16_t>(limits & 31);
    cond.simple_option.casesens = choice & 0x80 ? 'C' : 'N';
    cond.simple_option.precision = static_cast<int16_t>(choice & 0x80 ? 80 : 100);
    cond.simple_option.mask[0] = '*';
    cond.simple_option.mask[1] = '?';
  } else {
    cond.query = &text[0];
  }
  // Limits: none, a few occurrences or a few documents.
  switch (limits >> 6) {
    case 1: cond.discon_count = 1 + (limits & 7); break;
    case 2: cond.discon_count = -(1 + (limits & 7)); break;
    default: break;
  }
  cond.word_limit = (limits & 0x20) ? 3 : 0;

  GTRSEARCH_RANK rank;
  memset(&rank, 0, sizeof rank);
  GTRRANKDOC ranked[4];
  static char const hows[] = {0, 'S', 'F', 'P'};
  rank.howto_operate = hows[rankChoice & 3];
  rank.weight_option = static_cast<uint8_t>(rankChoice & 0x31);
  if (rankChoice & 0x40) {
    rank.rankcount = 4;
    rank.rankdoc = ranked;
  }
  bool ranking = (rankChoice & 0x80) != 0;

  void* handle = nullptr;
  Answer a = fuzzidx::search(ix, cond, ranking ? &rank : nullptr, resType,
                             keepHandle ? &handle : nullptr);
  if (keepHandle) {
    // The kept handle serves a second search of the same condition.
    Answer b = fuzzidx::search(ix, cond, ranking ? &rank : nullptr, resType, &handle);
    FUZZ_CHECK(b.st.retcode == a.st.retcode && b.docs == a.docs);
    GTRSTATUS st{};
    GTRsearchIndex_Release(&handle, &st);
    FUZZ_CHECK(st.retcode == 0 && handle == nullptr);
  }
  if (a.st.retcode == 0 && ranking && rank.rankdoc != nullptr) {
    int32_t n = a.docnum < rank.rankcount ? a.docnum : rank.rankcount;
    for (int32_t i = 0; i < n; ++i)
      FUZZ_CHECK(a.docs.count(ranked[i].docno) == 1 || resType == GTR_RES_NONE);
  }
  // Control characters have units but no text: the converted words lose
  // them (and a double-quoted word of blanks only is stripped empty).
  bool controls = false;
  for (char ch : text) controls = controls || (static_cast<uint8_t>(ch) < 0x20 && ch != 0);
  if (a.st.retcode == 0 && form == GTR_COND_QUERY && !ranking && !controls &&
      cond.discon_count == 0 && resType == GTR_RES_HANDLE)
    compareConverted(ix, cond, a);
  return 0;
}
