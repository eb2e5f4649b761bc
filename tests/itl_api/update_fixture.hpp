// Test support: documents into an index through the exported update and
// document-id functions, and an index made through the exported index
// functions.
//
//   upfix::ApiIndex ix;                       // error info, context, index
//   std::string failure = upfix::addDocuments(ix.index, {
//       {"d1", ItlEnDocumentFormat_Text, "some words"},
//       {"d2", ItlEnDocumentFormat_Html, "<p>more</p>", 1208, "",
//        {upfix::Attribute::number("price", 12.5),
//         upfix::Attribute::date("day", 24, 12, 2020),
//         upfix::Attribute::string("author", "Ann")}}});
//   EXPECT_EQ(failure, "");
//
// addDocuments runs one transaction (attributes of a document, then the
// document, for each document in order; the removals of `removed`;
// process; `beforeCommit` when given; commit) and returns ""
// or a description of the first call that returned 8 or 16 (warnings are
// accepted); after a failure the transaction is rolled back.
#ifndef TESTS_ITL_API_UPDATE_FIXTURE_HPP
#define TESTS_ITL_API_UPDATE_FIXTURE_HPP

#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "itl_api.h"
#include "itl_api_index.hpp"
#include "ti_test_util.hpp"

namespace upfix {

struct Attribute {
  std::string name;
  ItlEnAttributeType type = ItlEnAttributeType_String;
  std::string text;          // STRING: the value's bytes in `ccsid`
  ItlTyCCSID ccsid = 1208;   // STRING only
  double numeric = 0;        // NUMBER
  uint16_t day = 0, month = 0, year = 0;  // DATE

  static Attribute string(std::string name, std::string text,
                          ItlTyCCSID ccsid = 1208) {
    Attribute a;
    a.name = std::move(name);
    a.type = ItlEnAttributeType_String;
    a.text = std::move(text);
    a.ccsid = ccsid;
    return a;
  }
  static Attribute number(std::string name, double value) {
    Attribute a;
    a.name = std::move(name);
    a.type = ItlEnAttributeType_Number;
    a.numeric = value;
    return a;
  }
  static Attribute date(std::string name, uint16_t day, uint16_t month,
                        uint16_t year) {
    Attribute a;
    a.name = std::move(name);
    a.type = ItlEnAttributeType_Date;
    a.day = day;
    a.month = month;
    a.year = year;
    return a;
  }
};

struct Document {
  std::string name;
  ItlEnDocumentFormat format = ItlEnDocumentFormat_Text;
  std::string bytes;
  ItlTyCCSID ccsid = 1208;   // 0: guessed by the library
  std::string model;         // empty: none
  std::vector<Attribute> attributes;

  Document(std::string n, ItlEnDocumentFormat f, std::string b,
           ItlTyCCSID c = 1208, std::string m = "",
           std::vector<Attribute> a = {})
      : name(std::move(n)),
        format(f),
        bytes(std::move(b)),
        ccsid(c),
        model(std::move(m)),
        attributes(std::move(a)) {}
};

// "<what> rc=<rc> reason=<reason> context=<context>" of the last call.
inline std::string describe(ItlTyErrorInfoHandle ei, std::string const& what,
                            int rc) {
  char const* context = ei != nullptr ? itlErrorInfoGetContext(ei) : nullptr;
  return what + " rc=" + std::to_string(rc) + " reason=" +
         std::to_string(ei != nullptr ? itlErrorInfoGetReasonCode(ei) : 0) +
         " context=" + (context != nullptr ? context : "");
}

// The error info of `index`'s context (the one its handles record in).
inline ItlTyErrorInfoHandle errorInfoOf(ItlTyIndexHandle index) {
  if (index == nullptr) return nullptr;
  return reinterpret_cast<ItlTyErrorInfoHandle>(
      &itlApiIndex(index)->getErrorInfo());
}

inline std::string addDocuments(
    ItlTyIndexHandle index, std::vector<Document> const& docs,
    char const* language = "en_US",
    std::vector<std::string> const& removed = {},
    std::function<void()> const& beforeCommit = nullptr) {
  ItlTyErrorInfoHandle ei = errorInfoOf(index);
  ItlTyIndexUpdateHandle update = nullptr;
  int rc = itlHandleNewIndexUpdate(index, &update);
  if (rc >= 8) return describe(ei, "itlHandleNewIndexUpdate", rc);
  ItlTyDocumentIDHandle id = nullptr;
  rc = itlHandleNewDocumentID(index, &id);
  if (rc >= 8) {
    itlHandleDeleteIndexUpdate(&update);
    return describe(ei, "itlHandleNewDocumentID", rc);
  }
  std::string failure;
  for (Document const& d : docs) {
    std::string where = "document \"" + d.name + "\": ";
    rc = itlDocumentIDSetName(id, d.name.data(),
                              static_cast<uint32_t>(d.name.size()));
    if (rc >= 8) {
      failure = describe(ei, where + "itlDocumentIDSetName", rc);
      break;
    }
    for (Attribute const& a : d.attributes) {
      switch (a.type) {
        case ItlEnAttributeType_Number:
          rc = itlIndexUpdateSetNumberAttribute(update, id, a.name.c_str(),
                                                a.numeric);
          break;
        case ItlEnAttributeType_Date:
          rc = itlIndexUpdateSetDateAttribute(update, id, a.name.c_str(),
                                              a.day, a.month, a.year);
          break;
        default:
          rc = itlIndexUpdateSetStringAttribute(
              update, id, a.name.c_str(), a.text.data(),
              static_cast<uint32_t>(a.text.size()), a.ccsid);
          break;
      }
      if (rc >= 8) {
        failure = describe(ei, where + "attribute " + a.name, rc);
        break;
      }
    }
    if (!failure.empty()) break;
    ItlTyCCSID ccsid = d.ccsid;
    // A buffer that is never null, also for an empty document.
    char const* bytes = d.bytes.empty() ? "" : d.bytes.data();
    rc = itlIndexUpdateDocument(update, id, d.format,
                                d.model.empty() ? nullptr : d.model.c_str(),
                                bytes, static_cast<uint32_t>(d.bytes.size()),
                                &ccsid, language);
    if (rc >= 8) {
      failure = describe(ei, where + "itlIndexUpdateDocument", rc);
      break;
    }
  }
  for (size_t i = 0; failure.empty() && i < removed.size(); ++i) {
    std::string const& name = removed[i];
    rc = itlDocumentIDSetName(id, name.data(),
                              static_cast<uint32_t>(name.size()));
    if (rc < 8) rc = itlIndexUpdateRemoveDocument(update, id);
    if (rc >= 8) failure = describe(ei, "removal of \"" + name + "\"", rc);
  }
  if (failure.empty()) {
    rc = itlIndexUpdateProcess(update);
    if (rc >= 8) failure = describe(ei, "itlIndexUpdateProcess", rc);
  }
  if (failure.empty()) {
    if (beforeCommit) beforeCommit();
    rc = itlIndexUpdateCommit(update);
    if (rc >= 8) failure = describe(ei, "itlIndexUpdateCommit", rc);
  }
  if (!failure.empty()) itlIndexUpdateRollback(update);
  itlHandleDeleteDocumentID(&id);
  itlHandleDeleteIndexUpdate(&update);
  return failure;
}

// An error info, a context and an index handle "ix" in a fresh directory,
// created from a template (RespectCase ON, BlockMode OFF, plus `extra`
// lines of [Index]); its working directory lies in the same directory
// unless `ownWorkingDirectory` is false (then it is the default, the
// temporary directory).
struct ApiIndex {
  TempDir dir{"api_update", fastTempParent()};
  ItlTyErrorInfoHandle ei = nullptr;
  ItlTyContextHandle ctx = nullptr;
  ItlTyIndexHandle index = nullptr;
  std::string name = "ix";

  bool ownWorkingDirectory = true;

  explicit ApiIndex(std::string const& extra = "", bool ownWork = true)
      : ownWorkingDirectory(ownWork) {
    itlHandleNewErrorInfo(&ei);
    itlHandleNewContext(&ctx, ei);
    writeFile(dir / "template.ini",
              "[IndexId]\nVersion = 4.6\n[Index]\nRespectCase = ON\n" + extra +
                  "[IndexV4]\nBlockMode = OFF\n");
    open();
    itlIndexCreate(index, (dir / "template.ini").c_str());
  }
  ~ApiIndex() { close(); itlHandleDeleteContext(&ctx); itlHandleDeleteErrorInfo(&ei); }
  ApiIndex(ApiIndex const&) = delete;
  ApiIndex& operator=(ApiIndex const&) = delete;

  // A new index handle on the same index (the old one deleted).
  void reopen() {
    close();
    open();
  }
  void open() {
    itlHandleNewIndex(ctx, name.c_str(), dir.path().c_str(), &index);
    if (ownWorkingDirectory)
      itlIndexSetWorkingDirectory(index, dir.path().c_str());
  }
  void close() {
    if (index != nullptr) itlHandleDeleteIndex(&index);
  }
  uint64_t count() const {
    uint64_t n = 0;
    itlIndexObtainNumberOfDocuments(index, &n);
    return n;
  }
  int reason() const { return itlErrorInfoGetReasonCode(ei); }
  int action() const { return itlErrorInfoGetAction(ei); }
  std::string context() const {
    char const* c = itlErrorInfoGetContext(ei);
    return c != nullptr ? c : "";
  }
};

}  // namespace upfix

#endif  // TESTS_ITL_API_UPDATE_FIXTURE_HPP
