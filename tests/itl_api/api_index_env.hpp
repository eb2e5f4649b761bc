// Test support for the exported functions that work on an index: an error
// info, a context and an index handle on a created index with its working
// directory in the test's folder, an index search handle on demand, and
// the one function that puts documents into the index and removes them
// (at the kernel level until update handles exist; every test that needs
// documents goes through apifix::update).
#ifndef TESTS_ITL_API_API_INDEX_ENV_HPP
#define TESTS_ITL_API_API_INDEX_ENV_HPP

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "cos_memmgr.hpp"
#include "itl_api.h"
#include "itl_api_index.hpp"
#include "itl_docname_mapping.hpp"
#include "itl_index.hpp"
#include "itl_index_commit.hpp"
#include "itl_index_file.hpp"
#include "itl_kernel_interface.hpp"
#include "ti_test_util.hpp"

namespace apifix {

inline std::string const kTemplate =
    "[IndexId]\nVersion = 4.6\n[Index]\nRespectCase = ON\n"
    "[IndexV4]\nBlockMode = OFF\n";

using Document = std::pair<std::string, std::u16string>;

// One committed update of `index`: the documents of `adds` (name, text)
// go in, the documents named in `removes` go out; `inside` runs within the
// transaction (to name fields and attributes, for example).
inline void update(ItlClIndex& index, std::vector<Document> const& adds,
                   std::vector<std::string> const& removes = {},
                   std::function<void()> const& inside = {}) {
  index.load();
  CosClMemoryPool pool{65536, 65536, 256};
  ItlClKernelInterface& kernel = index.getKernelInterface();
  ItlClDocumentNameMapping& names = index.getDocumentNameMapping();
  ItlClIndexFileMgr& files = index.getIndexFileMgr();
  ItlClIndexCommit::recover(index, true);
  files.notifyStartTransaction();
  kernel.openForUpdate(pool, index.getErrorInfo(), false, nullptr);
  for (Document const& d : adds) {
    _ItlStDocumentId id{d.first.data(),
                        static_cast<uint16_t>(d.first.size())};
    uint64_t number = 0;
    bool isNew = false;
    names.assignDocumentNameToNumber(&id, &number, isNew);
    pool.deleteAll();
    kernel.addingToDocument(number, isNew);
    kernel.addDocumentText(
        reinterpret_cast<unsigned short const*>(d.second.data()),
        static_cast<unsigned>(d.second.size()));
    kernel.endDocument(false);
  }
  for (std::string const& name : removes) {
    _ItlStDocumentId id{name.data(), static_cast<uint16_t>(name.size())};
    uint64_t number = 0;
    bool isNew = false;
    names.assignDocumentNameToNumber(&id, &number, isNew);
    ASSERT_FALSE(isNew) << name;
    names.deleteDocumentName(&id);
    kernel.removeDocument(number);
  }
  if (inside) inside();
  kernel.processUpdate();
  files.notifyEndTransaction();
  ItlClIndexCommit(index).commitUpdate();
}

class Env {
 public:
  // `templ`: the configuration the index is created from.
  explicit Env(char const* tag, std::string const& templ = kTemplate)
      : dir(tag, fastTempParent()) {
    EXPECT_EQ(itlHandleNewErrorInfo(&ei), 0);
    EXPECT_EQ(itlHandleNewContext(&ctx, ei), 0);
    EXPECT_TRUE(writeFile(dir / "t.ini", templ));
    std::filesystem::create_directories(dir / "ix");
    std::filesystem::create_directories(dir / "work");
    EXPECT_EQ(itlHandleNewIndex(ctx, "idx", directory().c_str(), &index), 0);
    EXPECT_EQ(itlIndexCreate(index, (dir / "t.ini").c_str()), 0) << reason();
    EXPECT_EQ(itlIndexSetWorkingDirectory(index, (dir / "work").c_str()), 0)
        << reason();
  }
  ~Env() {
    if (search != nullptr) itlHandleDeleteIndexSearch(&search);
    if (index != nullptr) itlHandleDeleteIndex(&index);
    itlHandleDeleteContext(&ctx);
    itlHandleDeleteErrorInfo(&ei);
  }
  Env(Env const&) = delete;
  Env& operator=(Env const&) = delete;

  std::string directory() const { return dir / "ix"; }
  ItlClIndex& object() const { return *itlApiIndex(index); }
  // A search handle on the index (made once; 0 or the empty-index 4).
  ItlTyIndexSearchHandle openSearch() {
    if (search == nullptr) {
      ItlEnReturnCode rc = itlHandleNewIndexSearch(index, &search);
      EXPECT_TRUE(rc == 0 || rc == 4) << reason();
    }
    return search;
  }
  int reason() const { return itlErrorInfoGetReasonCode(ei); }
  std::string context() const {
    char const* c = itlErrorInfoGetContext(ei);
    return c != nullptr ? c : "";
  }

  TempDir dir;
  ItlTyErrorInfoHandle ei = nullptr;
  ItlTyContextHandle ctx = nullptr;
  ItlTyIndexHandle index = nullptr;
  ItlTyIndexSearchHandle search = nullptr;
};

}  // namespace apifix

#endif  // TESTS_ITL_API_API_INDEX_ENV_HPP
