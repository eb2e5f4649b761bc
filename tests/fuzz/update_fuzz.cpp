// Fuzz target of the update handles: the input drives a sequence of update
// calls on a fresh index (documents of every format with fuzzed bytes,
// CCSID and language; attributes; removals; process, commit, rollback).
// Checked: no crash or leak, every call answers 0, 4 or 8, and after each
// commit the index counts the documents of a model kept here (names added
// and not removed by committed transactions).
#include <cstdio>
#include <cstdlib>
#include <set>
#include <string>

#include "fuzz_index.hpp"
#include "itl_api.h"
#include "itl_api_docid.hpp"

namespace {

char const* const kNames[] = {"a", "b", "c", "d", "e", "f"};
char const* const kLanguages[] = {"en", "en_US", "de_DE", "th", "xx_YY", ""};
ItlTyCCSID const kCcsids[] = {0, 1208, 819, 500, 1200, 65000, 37, 1252};
ItlEnDocumentFormat const kFormats[] = {
    ItlEnDocumentFormat_Text, ItlEnDocumentFormat_Html,
    ItlEnDocumentFormat_Xml, ItlEnDocumentFormat_Structured,
    ItlEnDocumentFormat_Inso};

struct Run {
  ItlTyErrorInfoHandle ei = nullptr;
  ItlTyContextHandle ctx = nullptr;
  ItlTyIndexHandle index = nullptr;
  ItlTyIndexUpdateHandle update = nullptr;
  ItlTyDocumentIDHandle id = nullptr;
  ~Run() {
    itlHandleDeleteDocumentID(&id);
    itlHandleDeleteIndexUpdate(&update);
    if (index != nullptr) itlIndexDestroy(index);
    itlHandleDeleteIndex(&index);
    itlHandleDeleteContext(&ctx);
    itlHandleDeleteErrorInfo(&ei);
  }
};

void answered(int rc) { FUZZ_CHECK(rc == 0 || rc == 4 || rc == 8); }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(uint8_t const* data, size_t size) {
  static int counter = 0;
  FuzzInput in(data, size);
  std::string const& dir = fuzzidx::scratchDir();
  std::string name = "u" + std::to_string(++counter);
  fuzzidx::writeFile(dir + "/t.ini",
                     "[IndexId]\nVersion = 4.6\n[Index]\nRespectCase = ON\n"
                     "[IndexV4]\nBlockMode = OFF\n");
  Run r;
  FUZZ_CHECK(itlHandleNewErrorInfo(&r.ei) == 0);
  FUZZ_CHECK(itlHandleNewContext(&r.ctx, r.ei) == 0);
  FUZZ_CHECK(itlHandleNewIndex(r.ctx, name.c_str(), dir.c_str(), &r.index) ==
             0);
  FUZZ_CHECK(itlIndexSetWorkingDirectory(r.index, dir.c_str()) == 0);
  FUZZ_CHECK(itlIndexCreate(r.index, (dir + "/t.ini").c_str()) == 0);
  FUZZ_CHECK(itlHandleNewIndexUpdate(r.index, &r.update) == 0);
  FUZZ_CHECK(itlHandleNewDocumentID(r.index, &r.id) == 0);
  ItlClIndexUpdate& update = *itlApiIndexUpdate(r.update);

  std::set<std::string> committed, pending;
  auto rollback = [&] {
    FUZZ_CHECK(itlIndexUpdateRollback(r.update) == 0);
    pending = committed;
  };
  for (int step = 0; step < 16 && in.left() > 0; ++step) {
    std::string doc = kNames[in.below(6)];
    itlDocumentIDSetName(r.id, doc.data(), 1);
    int rc = 0;
    switch (in.below(9)) {
      case 0:
      case 1:
      case 2: {
        ItlEnDocumentFormat format = kFormats[in.below(5)];
        ItlTyCCSID ccsid = in.flag() ? static_cast<ItlTyCCSID>(in.below(65536))
                                     : kCcsids[in.below(8)];
        char const* language = kLanguages[in.below(6)];
        std::string bytes = in.take(in.below(256));
        rc = itlIndexUpdateDocument(r.update, r.id, format, nullptr,
                                    bytes.data(),
                                    static_cast<uint32_t>(bytes.size()),
                                    &ccsid, language);
        if (rc < 8) pending.insert(doc);
        break;
      }
      case 3:
        rc = itlIndexUpdateRemoveDocument(r.update, r.id);
        if (rc == 0) pending.erase(doc);
        break;
      case 4:
        rc = itlIndexUpdateSetDateAttribute(
            r.update, r.id, "d", static_cast<uint16_t>(in.below(40)),
            static_cast<uint16_t>(in.below(15)),
            static_cast<uint16_t>(in.below(65536)));
        break;
      case 5: {
        double value = static_cast<double>(in.below(65536)) - 30000.5;
        rc = itlIndexUpdateSetNumberAttribute(r.update, r.id, "n", value);
        break;
      }
      case 6: {
        std::string value = in.take(in.below(300));
        rc = itlIndexUpdateSetStringAttribute(
            r.update, r.id, in.flag() ? "s" : "t", value.data(),
            static_cast<uint32_t>(value.size()), kCcsids[in.below(8)]);
        break;
      }
      case 7:
        rc = itlIndexUpdateProcess(r.update);
        break;
      default:
        if (in.flag()) {
          rollback();
          continue;
        }
        rc = itlIndexUpdateCommit(r.update);
        if (rc == 0) {
          committed = pending;
          uint64_t count = 0;
          FUZZ_CHECK(itlIndexObtainNumberOfDocuments(r.index, &count) == 0);
          FUZZ_CHECK(count == committed.size());
        }
        break;
    }
    answered(rc);
    if (std::getenv("UPDATE_FUZZ_TRACE") != nullptr)
      std::fprintf(stderr, "step %d doc %s rc %d reason %d rollback %d\n",
                   step, doc.c_str(), rc, itlErrorInfoGetReasonCode(r.ei),
                   update.isRollbackRequired() ? 1 : 0);
    // A call that leaves a rollback due: the model forgets the transaction
    // when the rollback comes.
    if (rc == 8 && update.isRollbackRequired()) rollback();
  }
  // The last transaction, finished when it can be.
  int processed = itlIndexUpdateProcess(r.update);
  if (std::getenv("UPDATE_FUZZ_TRACE") != nullptr)
    std::fprintf(stderr, "process %d reason %d\n", processed,
                 itlErrorInfoGetReasonCode(r.ei));
  int finished = processed < 8 ? itlIndexUpdateCommit(r.update) : 8;
  if (std::getenv("UPDATE_FUZZ_TRACE") != nullptr)
    std::fprintf(stderr, "commit %d reason %d context %s\n", finished,
                 itlErrorInfoGetReasonCode(r.ei), itlErrorInfoGetContext(r.ei));
  if (finished < 8) {
    committed = pending;
  } else {
    rollback();
  }
  uint64_t count = 0;
  FUZZ_CHECK(itlIndexObtainNumberOfDocuments(r.index, &count) == 0);
  if (std::getenv("UPDATE_FUZZ_TRACE") != nullptr)
    std::fprintf(stderr, "end: count %llu model %zu reason %d\n",
                 static_cast<unsigned long long>(count), committed.size(),
                 itlErrorInfoGetReasonCode(r.ei));
  FUZZ_CHECK(count == committed.size());
  return 0;
}
