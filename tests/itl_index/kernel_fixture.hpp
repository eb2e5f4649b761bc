// Test support for the kernel interface: an index location and a read
// configuration in a fresh directory, a pool, and searches of the engine
// index that the kernel built (words, words in a field, item ranges and
// character items), each answering the set of documents found.
#ifndef TESTS_ITL_INDEX_KERNEL_FIXTURE_HPP
#define TESTS_ITL_INDEX_KERNEL_FIXTURE_HPP

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <set>
#include <string>

#include "calls/voz_gtrresult.hpp"
#include "calls/voz_gtrsearch.hpp"
#include "cos_memmgr.hpp"
#include "files/voz_records_search.hpp"
#include "files/voz_status.hpp"
#include "itl_error.hpp"
#include "itl_index_config.hpp"
#include "itl_index_location.hpp"
#include "itl_kernel_interface.hpp"
#include "ti_test_util.hpp"

namespace kfix {

using Docs = std::set<int32_t>;

inline std::string const kIni =
    "[IndexId]\nVersion = 4.6\n[Index]\nRespectCase = ON\n"
    "[IndexV4]\nBlockMode = OFF\n";

// An index "idx" in a fresh directory with the configuration `ini` read.
struct Index {
  TempDir dir{"kernel"};
  ItlClIndexLocation location{"idx", dir.path().c_str()};
  ItlClErrorInfo errorInfo;
  ItlClIndexConfig config{location, errorInfo};
  CosClMemoryPool pool{65536, 65536, 256};
  std::unique_ptr<ItlClKernelInterface> kernel;

  explicit Index(std::string const& ini = kIni) {
    EXPECT_TRUE(writeFile(dir / "idx.ini", ini));
    config.onIndexFileInit();
    kernel.reset(new ItlClKernelInterface(location, config));
  }
  char const* directory() const {
    return location.getIndexDirectory().getAsCString();
  }
  void open() { kernel->openForUpdate(pool, errorInfo, false, nullptr); }
  // One document of UTF-16 `text` with its items; the pool is emptied
  // first, as the update does.
  void document(uint64_t number, std::u16string const& text,
                bool paragraphs = false) {
    pool.deleteAll();
    kernel->addingToDocument(number, true);
    kernel->addDocumentText(reinterpret_cast<unsigned short const*>(text.data()),
                            static_cast<unsigned>(text.size()));
    kernel->endDocument(paragraphs);
  }
  void commit() {
    kernel->processUpdate();
    kernel->commitUpdate();
  }
};

inline GTRSEARCH_COND condition(uint8_t type) {
  GTRSEARCH_COND c;
  std::memset(&c, 0, sizeof c);
  c.codepage = 34;
  c.cond_type = type;
  return c;
}

// Runs `c` on index `name` in `directory` into a memory result; returns
// the documents found, or {-retcode} when the search fails.
inline Docs run(char const* name, char const* directory, GTRSEARCH_COND c) {
  GTRSEARCH_RES r;
  std::memset(&r, 0, sizeof r);
  r.res_type = GTR_RES_HANDLE;
  r.res_dataform = 1;
  GTRSTATUS st{};
  GTRsearchIndex(nullptr, name, directory, nullptr, c, nullptr, nullptr,
                 nullptr, &r, &st);
  if (st.retcode != 0) return {-st.retcode};
  Docs docs;
  if (r.res_handle == nullptr) return docs;
  GTRsearchIndex_OpenResult(r.res_handle, nullptr, &st);
  EXPECT_EQ(st.retcode, 0);
  for (int guard = 0; st.retcode == 0 && guard < 100000; ++guard) {
    OCC* entries = nullptr;
    int32_t count = 0;
    GTRsearchIndex_LookResult_Doc(r.res_handle, -1, &entries, &count, nullptr,
                                  nullptr, &st);
    if (st.retcode != 0) break;
    if (count > 0) docs.insert(entries[0].docno);
  }
  GTRsearchIndex_CloseResult(r.res_handle, nullptr, &st);
  GTRsearchIndex_ReleaseResult(r.res_handle, &st);
  return docs;
}

// Documents holding `word`, in field `field` when it is not 0.
inline Docs word(char const* name, char const* directory, std::string w,
                 int16_t field = 0) {
  RTRVWORD word;
  std::memset(&word, 0, sizeof word);
  word.type = 'W';
  word.casesens = 'N';
  word.precision = 100;
  word.wordp = reinterpret_cast<uint8_t*>(&w[0]);
  word.wordlen = static_cast<int16_t>(w.size());
  word.fld_number = field;
  std::string order = "1";
  GTRSEARCH_COND c = condition(GTR_COND_STRUCT);
  c.struct_num = 1;
  c.struct_word = &word;
  c.struct_order = &order[0];
  return run(name, directory, c);
}

// Documents whose numeric item `item` lies in [low, high].
inline Docs range(char const* name, char const* directory, uint16_t item,
                  double low, double high) {
  SEARCHITEM it;
  std::memset(&it, 0, sizeof it);
  it.item_number = item;
  it.item_type = 'N';
  it.num_min_value = low;
  it.num_max_value = high;
  it.num_min_equal = 'I';
  it.num_max_equal = 'I';
  std::string order = "1";
  GTRSEARCH_COND c = condition(GTR_COND_ITEM);
  c.item_num = 1;
  c.item = &it;
  c.item_order = &order[0];
  return run(name, directory, c);
}

// Documents whose character item `item` is `value` exactly.
inline Docs equal(char const* name, char const* directory, uint16_t item,
                  std::string value) {
  SEARCHITEM it;
  std::memset(&it, 0, sizeof it);
  it.item_number = item;
  it.item_type = 'C';
  it.char_ptr = reinterpret_cast<uint8_t*>(&value[0]);
  it.char_len = static_cast<int16_t>(value.size());
  it.char_precision = 100;
  it.char_casesens = 'C';
  std::string order = "1";
  GTRSEARCH_COND c = condition(GTR_COND_ITEM);
  c.item_num = 1;
  c.item = &it;
  c.item_order = &order[0];
  return run(name, directory, c);
}

// Runs `body`; returns the reason of the ItlClException it throws (0 for
// none) and its action in *action.
template <class Body>
int reasonOf(Body body, int* action = nullptr, std::string* context = nullptr) {
  try {
    body();
  } catch (ItlClException const& e) {
    if (action != nullptr) *action = e.getAction();
    if (context != nullptr) *context = e.getContext();
    return e.getReasonCode();
  } catch (CosClException const& e) {
    ADD_FAILURE() << "cos error " << static_cast<int>(e.getErrorId()) << " " << e.getCause();
    return -1;
  }
  return 0;
}

}  // namespace kfix

#endif  // TESTS_ITL_INDEX_KERNEL_FIXTURE_HPP
