// Test support for the index object: a context, a configuration template,
// an index made through ItlClIndex with documents added through its parts
// (the kernel interface and the document-name map in one transaction),
// and the files of a directory.
#ifndef TESTS_ITL_INDEX_INDEX_FIXTURE_HPP
#define TESTS_ITL_INDEX_INDEX_FIXTURE_HPP

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "cos_memmgr.hpp"
#include "itl_context.hpp"
#include "itl_docname_mapping.hpp"
#include "itl_error.hpp"
#include "itl_index.hpp"
#include "itl_index_commit.hpp"
#include "itl_index_file.hpp"
#include "itl_kernel_interface.hpp"
#include "kernel_fixture.hpp"
#include "ti_test_util.hpp"

namespace ifix {

inline std::string const kTemplate =
    "[IndexId]\nVersion = 4.6\n[Index]\nRespectCase = ON\n"
    "[IndexV4]\nBlockMode = OFF\n";

// Every entry below `dir` (relative paths; directories end in '/').
inline std::set<std::string> tree(std::string const& dir) {
  std::set<std::string> all;
  if (!std::filesystem::exists(dir)) return all;
  for (auto const& e : std::filesystem::recursive_directory_iterator(dir)) {
    std::string p = std::filesystem::relative(e.path(), dir).string();
    all.insert(e.is_directory() ? p + "/" : p);
  }
  return all;
}

struct Env {
  TempDir dir{"index"};
  ItlClErrorInfo errorInfo;
  ItlClContext context{errorInfo};
  std::string templ = dir / "template.ini";
  std::string indexDir = dir / "ix";

  Env() { EXPECT_TRUE(writeFile(templ, kTemplate)); }

  // An index object; with `ownWork` its working directory lies in the
  // test's directory (tests running at once share the temporary
  // directory, where same-named indexes would meet).
  std::unique_ptr<ItlClIndex> open(char const* name = "abc",
                                   std::string const& directory = "",
                                   bool ownWork = true) {
    std::unique_ptr<ItlClIndex> index(new ItlClIndex(
        name, directory.empty() ? indexDir.c_str() : directory.c_str(),
        context));
    index->init();
    if (ownWork) {
      std::filesystem::create_directories(dir / "work");
      index->setWorkingDirectory((dir / "work").c_str());
    }
    return index;
  }
};

// Adds documents "d<i>" with the text `texts[i]` in one committed update.
inline void addDocuments(ItlClIndex& index,
                         std::vector<std::u16string> const& texts) {
  index.load();
  CosClMemoryPool pool{65536, 65536, 256};
  ItlClKernelInterface& kernel = index.getKernelInterface();
  ItlClIndexFileMgr& files = index.getIndexFileMgr();
  files.notifyStartTransaction();
  kernel.openForUpdate(pool, index.getErrorInfo(), false, nullptr);
  for (size_t i = 0; i < texts.size(); ++i) {
    std::string name = "d" + std::to_string(i);
    _ItlStDocumentId id{name.data(), static_cast<uint16_t>(name.size())};
    uint64_t number = 0;
    bool isNew = false;
    index.getDocumentNameMapping().assignDocumentNameToNumber(&id, &number,
                                                              isNew);
    pool.deleteAll();
    kernel.addingToDocument(number, isNew);
    kernel.addDocumentText(
        reinterpret_cast<unsigned short const*>(texts[i].data()),
        static_cast<unsigned>(texts[i].size()));
    kernel.endDocument(false);
  }
  kernel.processUpdate();
  files.notifyEndTransaction();
  ItlClIndexCommit(index).commitUpdate();
}

// Documents of the engine index `name` in `directory` holding `word`.
inline kfix::Docs find(char const* name, std::string const& directory,
                       char const* word) {
  std::string d = directory + "/";
  return kfix::word(name, d.c_str(), word);
}

inline uint64_t documentCount(ItlClIndex& index) {
  uint64_t count = 0;
  index.obtainNumberOfDocuments(count);
  return count;
}

}  // namespace ifix

#endif  // TESTS_ITL_INDEX_INDEX_FIXTURE_HPP
