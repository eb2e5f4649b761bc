// A test driver of both map directions and the deleted list through
// update transactions, the way the document-name mapping drives them:
// working copies, assignment, the end of the transaction (append, sort,
// merge) and a commit that renames the working copies into place.
#ifndef TESTS_ITL_INDEX_DOCMAP_PAIR_HPP
#define TESTS_ITL_INDEX_DOCMAP_PAIR_HPP

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <memory>
#include <string>

#include "itl_deleted_docs.hpp"
#include "itl_docmap_dex.hpp"
#include "itl_docmap_dix.hpp"
#include "itl_docmap_sort.hpp"
#include "itl_index_location.hpp"
#include "ti_test_util.hpp"

namespace docmap_test {

class MapPair {
 public:
  MapPair(std::string const& indexDir, std::string const& workDir,
          uint16_t size, bool fixed)
      : iv_index(indexDir), iv_work(workDir), iv_size(size), iv_fixed(fixed) {
    mkdir(indexDir.c_str(), 0700);
    mkdir(workDir.c_str(), 0700);
    location.reset(new ItlClIndexLocation("ix", indexDir.c_str(),
                                          workDir.c_str()));
    reopenObjects();
  }

  std::string idx(char const* ext) const { return iv_index + "/ix" + ext; }
  // Working files carry the location's tag after the index name.
  std::string work(char const* ext) const {
    return iv_work + "/" + location->getWorkBaseName() + ext;
  }

  void reopenObjects() {
    del.reset();
    dex.reset();
    dix.reset();
    dix.reset(new ItlClDix(*location));
    dix->setMaxDocNameSize(iv_size, iv_fixed);
    dex.reset(new ItlClDex(*location));
    dex->setMaxDocNameSize(iv_size, iv_fixed);
    del.reset(new ItlClDeletedDocs(*location));
  }

  // Working copies of every existing map file, then update access.
  void begin() {
    for (auto p : {std::make_pair(".did", ".xid"), std::make_pair(".dii", ".xii"),
                   std::make_pair(".ded", ".xed"), std::make_pair(".dei", ".xei"),
                   std::make_pair(".del", ".xel")}) {
      unlink(work(p.second).c_str());
      if (exists(idx(p.first))) writeFile(work(p.second), readFile(idx(p.first)));
    }
    dix->access4Update();
    dix->loadIndexTable();
    dex->access4Update();
    bool exists;
    dex->access4Read(exists);
    dex->loadIndexTable();
    del->access4Update();
  }

  uint64_t assign(std::string const& name) {
    _ItlStDocumentId id{name.data(), static_cast<uint16_t>(name.size())};
    uint64_t number = 0;
    dix->assignNumber(&id, &number);
    ++dix->indexControl().ulDocumentCount;
    ++iv_assigned;
    return number;
  }

  void remove(std::string const& name) {
    _ItlStDocumentId id{name.data(), static_cast<uint16_t>(name.size())};
    del->deleteDocument(*dex, &id);
  }

  // The end of an update (append) or of a merge (rebuild without the
  // deleted numbers), then the commit.
  void end(bool merge = false) {
    if (merge) {
      del->updateDeletionBuffer();
      dix->mergeIntoNewFullTemp(*del);
      dix->writeTempDataBlock(true);
      dix->addTempDataToIndexFile(true, false);
      iv_assigned = 1;  // the rebuilt pairs go to the name map
      unlink(work(".xed").c_str());
      dex->dataControl().uiBlockCount = 0;
    } else {
      dix->writeTempDataBlock(true);
      dix->addTempDataToIndexFile(false, false);
    }
    dix->writeControlRecord(-1);
    dix->closeTempFile();
    ItlClDocMapSort sort;
    uint32_t inBuffer = 0;
    if (merge && !exists(work(".tdm"))) writeFile(work(".tdm"), "");
    if (iv_assigned > 0) {
      int rc = sort.sortTempDex(work(".tdm").c_str(), work(".sdm").c_str(),
                                dex->getSeqEntrySize(), iv_size);
      if (rc != 0) throw rc;
      inBuffer = sort.getEntriesInBuffer();
    }
    if (iv_assigned > 0 || merge)
      dex->addTempDataToIndexFiles(work(".sdm").c_str(), work(".ted").c_str(),
                                   sort.getBuffer(), inBuffer, true);
    else
      dex->writeControlRecord(-1);
    if (!merge) {
      del->updateDeletionBuffer();
      del->writeDeletionBuffer();
    }
    dix->reset();
    dex->reset();
    del->reset();
    for (auto p : {std::make_pair(".xid", ".did"), std::make_pair(".xii", ".dii"),
                   std::make_pair(".xed", ".ded"), std::make_pair(".xei", ".dei"),
                   std::make_pair(".xel", ".del")})
      if (exists(work(p.first))) std::rename(work(p.first).c_str(), idx(p.second).c_str());
    if (merge) unlink(idx(".del").c_str());
    for (char const* e : {".tdm", ".sdm", ".ted"}) unlink(work(e).c_str());
    iv_assigned = 0;
  }

  // Read access to the committed maps.
  void read() {
    bool exists;
    dix->access4Read(exists);
    dix->loadIndexTable();
    dex->access4Read(exists);
    dex->loadIndexTable();
    del->access4Read();
  }

  std::string name(uint64_t number) {
    std::string buffer(iv_size, '\0');
    uint16_t length = 0;
    dix->obtainDocName(number, &length, &buffer[0]);
    return buffer.substr(0, length);
  }

  uint64_t number(std::string const& name) {
    _ItlStDocumentId id{name.data(), static_cast<uint16_t>(name.size())};
    uint64_t n = 0;
    dex->obtainDocNumber(&id, &n, *del);
    return n;
  }

  std::unique_ptr<ItlClIndexLocation> location;
  std::unique_ptr<ItlClDix> dix;
  std::unique_ptr<ItlClDex> dex;
  std::unique_ptr<ItlClDeletedDocs> del;

 private:
  std::string iv_index, iv_work;
  uint16_t iv_size;
  bool iv_fixed;
  uint32_t iv_assigned = 0;
};

}  // namespace docmap_test

#endif  // TESTS_ITL_INDEX_DOCMAP_PAIR_HPP
