// Real documents: the HTML pages of python3.11-doc through the update
// handles in transactions of 100; skipped when the package is absent.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "update_fixture.hpp"

namespace {

std::string const kPages = "/usr/share/doc/python3.11/html";

TEST(ApiUpdatePydoc, HtmlPagesInTransactionsOf100) {
  namespace fs = std::filesystem;
  if (!fs::is_directory(kPages)) GTEST_SKIP() << "python3.11-doc absent";
  std::vector<std::string> pages;
  for (auto const& e : fs::recursive_directory_iterator(kPages))
    if (e.is_regular_file() && e.path().extension() == ".html")
      pages.push_back(fs::relative(e.path(), kPages).string());
  std::sort(pages.begin(), pages.end());
  ASSERT_FALSE(pages.empty());
#ifdef __SANITIZE_ADDRESS__
  // The sanitizers slow indexing some twenty times: the first 40 pages.
  if (pages.size() > 40) pages.resize(40);
#endif
  upfix::ApiIndex ix;
  ItlTyIndexUpdateHandle update = nullptr;
  ItlTyDocumentIDHandle id = nullptr;
  ASSERT_EQ(itlHandleNewIndexUpdate(ix.index, &update), 0);
  ASSERT_EQ(itlHandleNewDocumentID(ix.index, &id), 0);
  auto finish = [&] {
    int rc = itlIndexUpdateProcess(update);
    EXPECT_LT(rc, 8) << upfix::describe(ix.ei, "process", rc);
    rc = itlIndexUpdateCommit(update);
    EXPECT_LT(rc, 8) << upfix::describe(ix.ei, "commit", rc);
  };
  for (size_t i = 0; i < pages.size(); ++i) {
    std::ifstream in(kPages + "/" + pages[i], std::ios::binary);
    std::stringstream bytes;
    bytes << in.rdbuf();
    std::string text = bytes.str();
    ASSERT_EQ(itlDocumentIDSetName(id, pages[i].data(),
                                   static_cast<uint32_t>(pages[i].size())),
              0);
    ItlTyCCSID ccsid = 1208;
    int rc = itlIndexUpdateDocument(update, id, ItlEnDocumentFormat_Html,
                                    nullptr, text.data(),
                                    static_cast<uint32_t>(text.size()),
                                    &ccsid, "en_US");
    ASSERT_LT(rc, 8) << upfix::describe(ix.ei, pages[i], rc);
    if ((i + 1) % 100 == 0) finish();
  }
  finish();
  EXPECT_EQ(itlHandleDeleteDocumentID(&id), 0);
  EXPECT_EQ(itlHandleDeleteIndexUpdate(&update), 0);
  ix.reopen();
  EXPECT_EQ(ix.count(), pages.size());
}

}  // namespace
