// Highlighting real text: files of python3.11-doc's text sources indexed
// with and without umlaut folding; for random words, the occurrences the
// engine's search reports per file are highlighted in that file, and each
// hit's bytes must be the word (in any case), inside a context window that
// lies within the file. Skipped when the package is not installed.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <dirent.h>
#include <fstream>
#include <map>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "highlight_fixture.hpp"
#include "itl_api.h"

namespace {

char const kSources[] = "/usr/share/doc/python3.11/html/_sources";

std::vector<std::string> textFiles(std::string const& dir) {
  std::vector<std::string> out;
  DIR* d = opendir(dir.c_str());
  if (d == nullptr) return out;
  while (dirent* e = readdir(d)) {
    std::string name = e->d_name;
    if (name.size() > 8 && name.compare(name.size() - 8, 8, ".rst.txt") == 0)
      out.push_back(dir + "/" + name);
  }
  closedir(d);
  std::sort(out.begin(), out.end());
  return out;
}

std::string readAll(std::string const& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

// Words of 4 to 12 ASCII letters standing alone (no letter or digit beside).
std::vector<std::string> wordsOf(std::string const& text) {
  std::vector<std::string> out;
  size_t i = 0;
  while (i < text.size()) {
    unsigned char c = static_cast<unsigned char>(text[i]);
    if (!std::isalnum(c) && c < 0x80) {
      ++i;
      continue;
    }
    size_t j = i;
    bool letters = true;
    while (j < text.size() &&
           (std::isalnum(static_cast<unsigned char>(text[j])) ||
            static_cast<unsigned char>(text[j]) >= 0x80)) {
      if (!std::isalpha(static_cast<unsigned char>(text[j]))) letters = false;
      ++j;
    }
    if (letters && j - i >= 4 && j - i <= 12) out.push_back(text.substr(i, j - i));
    i = j;
  }
  return out;
}

std::string lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

TEST(ApiHighlightReal, PythonDocSourcesHighlightTheirWords) {
  std::vector<std::string> files = textFiles(kSources);
  if (files.empty()) GTEST_SKIP() << "python3.11-doc is not installed";
  std::mt19937 rng(testSeed());
  // A dozen files of moderate size.
  std::shuffle(files.begin(), files.end(), rng);
  std::vector<hfix::Doc> docs;
  for (std::string const& f : files) {
    std::string bytes = readAll(f);
    if (bytes.empty() || bytes.size() > 40000) continue;
    docs.push_back({f.substr(f.rfind('/') + 1), bytes});
    if (docs.size() == 12) break;
  }
  ASSERT_FALSE(docs.empty());

  for (bool folding : {false, true}) {
    SCOPED_TRACE(folding ? "umlaut folding" : "no folding");
    hfix::ApiIndex index(
        hfix::iniText(folding ? "UmlautNormalization = ON\n" : ""));
    std::vector<uint64_t> numbers = hfix::addDocuments(index.object(), docs);
    ASSERT_EQ(numbers.size(), docs.size());
    std::map<int32_t, hfix::Doc const*> byNumber;
    for (size_t i = 0; i < docs.size(); ++i)
      byNumber[static_cast<int32_t>(numbers[i])] = &docs[i];

    ItlTyHighlighterHandle h = nullptr;
    ASSERT_EQ(itlHandleNewHighlighter(index.index, 8, 20, &h), 0);
    int checked = 0;
    for (int round = 0; round < 12; ++round) {
      hfix::Doc const& source = docs[rng() % docs.size()];
      std::vector<std::string> words = wordsOf(source.bytes);
      if (words.empty()) continue;
      std::string word = words[rng() % words.size()];
      auto found = hfix::occurrences(index.object(), word);
      EXPECT_FALSE(found.empty()) << word;
      for (auto const& entry : found) {
        auto doc = byNumber.find(entry.first);
        ASSERT_NE(doc, byNumber.end());
        std::string const& bytes = doc->second->bytes;
        ItlTyListHandle list = nullptr;
        ASSERT_EQ(itlHighlighterProcessDocument(
                      h, bytes.data(), static_cast<uint32_t>(bytes.size()),
                      ItlEnDocumentFormat_Text, 1208, nullptr,
                      entry.second.data(),
                      static_cast<uint32_t>(entry.second.size()), &list),
                  0)
            << word << " in " << doc->second->name << ": " << index.reason();
        ItlTyIteratorHandle it = nullptr;
        ASSERT_EQ(itlHandleNewIterator(list, &it), 0);
        uint32_t n = 0;
        for (bool ok = itlListIteratorSetToFirst(it); ok;
             ok = itlListIteratorSetToNext(it, 1), ++n) {
          uint32_t v[5];
          ASSERT_EQ(itlHighlightElementObtainData(it, nullptr, v, v + 1, v + 2,
                                                  v + 3, v + 4),
                    0);
          ASSERT_TRUE(v[3] <= v[1] && v[1] < v[2] && v[2] <= v[4] &&
                      v[4] <= bytes.size())
              << v[1] << " " << v[2] << " " << v[3] << " " << v[4];
          EXPECT_EQ(lower(bytes.substr(v[1], v[2] - v[1])), lower(word))
              << doc->second->name << " at " << v[1];
          ++checked;
        }
        EXPECT_EQ(n, entry.second.size()) << word << " in " << doc->second->name;
        itlHandleDeleteIterator(&it);
        itlHandleDeleteList(&list);
      }
    }
    EXPECT_GT(checked, 0);
    EXPECT_EQ(itlHandleDeleteHighlighter(&h), 0);
  }
}

}  // namespace
