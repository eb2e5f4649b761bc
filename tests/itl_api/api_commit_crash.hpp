// Crash runs of every commit of an index through the exported functions,
// shared by the test tests/itl_api/api_commit_crash_test.cpp (one kill
// before each file operation of each kind) and the driver
// bench/crash_driver.cpp --api (any number of kills).
//
// A forked child runs one operation on a copy of a prepared index "ix"
// (directory <base>/ix, working directory <base>/work) and is killed with
// SIGKILL during it. The kinds:
//   update     itlIndexUpdateCommit: two new documents bringing a new field
//              name ("subject") and a new attribute ("size"), one removal,
//              one replacement
//   merge      itlIndexMergeCommit of an index with an update pending
//   migration  itlNameMapMigrationR3Commit: every name to a fixed 32-byte one
//   rename     itlIndexRename "ix" to "iy"
//   copy       itlIndexCopy into <base>/target
//   destroy    itlIndexDestroy
// Moments: the file operations of the operation (counted through the test
// hooks of the library's files, the engine's journal, its commit and its
// block store, armed around the commit call alone) in one run first. A
// kill then either dies just before operation k (precise), or operation k
// signals the parent, which kills after a random delay of up to the time
// the counting run took from that operation to the next.
// After each kill a new index handle must load (itlIndexLoad); every
// document the engine finds has a name that leads back to it, every name
// of the old or new state the maps hold leads to a document the engine
// finds, the field and attribute names resolve (and the engine finds the
// documents of a field and of an attribute by their numbers), and the whole
// is the old or the new state; the next update commits and leaves no
// commit's file behind. Rename: the index is whole under exactly one of the
// two names; copy: the source whole, the target whole or absent (a repeated
// copy then succeeds); destroy: whole or gone, and a repeated destroy
// leaves nothing of the name.
// Header-only; failures come back as text (no gtest assertions), so that a
// plain program can drive it.
#ifndef TESTS_ITL_API_API_COMMIT_CRASH_HPP
#define TESTS_ITL_API_API_COMMIT_CRASH_HPP

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <functional>
#include <map>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "../itl_index/kernel_fixture.hpp"
#include "blocks/voz_ctlgroup.hpp"
#include "build/voz_journal.hpp"
#include "calls/voz_gtrcreate.hpp"
#include "itl_api.h"
#include "itl_file_util.hpp"
#include "ti_crash_child.hpp"
#include "migration_env.hpp"
#include "update_fixture.hpp"

namespace accrash {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

enum class Kind { Update, Merge, Migration, Rename, Copy, Destroy };
constexpr Kind kKinds[] = {Kind::Update, Kind::Merge,  Kind::Migration,
                           Kind::Rename, Kind::Copy,   Kind::Destroy};

inline char const* NameOf(Kind kind) {
  switch (kind) {
    case Kind::Update: return "update";
    case Kind::Merge: return "merge";
    case Kind::Migration: return "migration";
    case Kind::Rename: return "rename";
    case Kind::Copy: return "copy";
    case Kind::Destroy: return "destroy";
  }
  return "?";
}

// ---- kill hooks ---------------------------------------------------------

// One count over the hooks of every layer: the operations seen, the one to
// kill at, where the parent waits, and the rename of a commit's mark.
struct HookState {
  int count = 0;
  int killAt = 0;     // 0: count only
  int signalFd = -1;  // -1: die at once; else tell the parent
  int markAt = 0;     // the operation that renamed a mark "<name>.cmt"
  std::vector<Clock::time_point>* times = nullptr;  // counting run
};

inline HookState& Hook() {
  static HookState state;
  return state;
}

inline int OnFileOp(char const* op, char const* path) {
  HookState& h = Hook();
  if (h.times != nullptr) h.times->push_back(Clock::now());
  int n = ++h.count;
  size_t length = path != nullptr ? std::strlen(path) : 0;
  if (h.markAt == 0 && op != nullptr && std::strcmp(op, "rename") == 0 &&
      length > 4 && std::strcmp(path + length - 4, ".cmt") == 0)
    h.markAt = n;
  if (n != h.killAt) return 0;
  if (h.signalFd < 0) raise(SIGKILL);
  char const c = 'k';
  if (write(h.signalFd, &c, 1) != 1) raise(SIGKILL);
  return 0;
}

inline void OnBlockFileOp(void*, char const* what) { OnFileOp(what, ""); }

inline void ArmHooks() {
  Hook().count = 0;
  itlSetFileOpTestHook(OnFileOp);
  voz_JnlSetTestHook(OnFileOp);
  vozSetCommitTestHook(OnFileOp);
  voz_BLKsetFileOpHook(OnBlockFileOp, nullptr);
}

inline void DisarmHooks() {
  itlSetFileOpTestHook(nullptr);
  voz_JnlSetTestHook(nullptr);
  vozSetCommitTestHook(nullptr);
  voz_BLKsetFileOpHook(nullptr, nullptr);
}

// ---- the index ------------------------------------------------------------

inline std::string const kModel =
    "<XMLModel>"
    "<XMLFieldDefinition name='title' locator='title'/>"
    "<XMLFieldDefinition name='subject' locator='subject'/>"
    "</XMLModel>";

// A document of model "xm": every one holds "common" in its title, those
// `withSubject` "topic" in field "subject"; attribute "price" always,
// "size" with `sized`.
inline upfix::Document Doc(std::string const& name, int n, bool withSubject,
                           bool sized) {
  std::string text = "<doc><title>common head w" + std::to_string(n) +
                     "</title>";
  if (withSubject) text += "<subject>topic</subject>";
  text += "<body>words of " + name + "</body></doc>";
  std::vector<upfix::Attribute> attributes = {
      upfix::Attribute::number("price", n)};
  if (sized) attributes.push_back(upfix::Attribute::number("size", n * 2));
  return upfix::Document(name, ItlEnDocumentFormat_Xml, text, 1208, "xm",
                         attributes);
}

inline std::vector<upfix::Document> FirstDocs() {
  std::vector<upfix::Document> docs;
  for (int i = 0; i < 10; ++i)
    docs.push_back(Doc("d" + std::to_string(i), i, false, false));
  return docs;
}

// The update of kind Update (and the one pending before a merge).
inline std::vector<upfix::Document> UpdateDocs() {
  return {Doc("n1", 11, true, true), Doc("n2", 12, true, false),
          Doc("d2", 13, true, true)};
}
inline std::vector<std::string> UpdateRemovals() { return {"d1"}; }

inline std::string MigratedName(std::string const& old) {
  return ("NEW:" + old + std::string(32, '#')).substr(0, 32);
}

// An index handle on `name` in `directory` (working directory
// <base>/work).
struct Handle {
  ItlTyErrorInfoHandle ei = nullptr;
  ItlTyContextHandle ctx = nullptr;
  ItlTyIndexHandle index = nullptr;
  Handle(std::string const& base, char const* name,
         std::string const& directory) {
    itlHandleNewErrorInfo(&ei);
    itlHandleNewContext(&ctx, ei);
    itlHandleNewIndex(ctx, name, directory.c_str(), &index);
    itlIndexSetWorkingDirectory(index, (base + "/work").c_str());
  }
  ~Handle() {
    itlHandleDeleteIndex(&index);
    itlHandleDeleteContext(&ctx);
    itlHandleDeleteErrorInfo(&ei);
  }
  Handle(Handle const&) = delete;
  Handle& operator=(Handle const&) = delete;
  std::string failure(std::string const& what, int rc) const {
    return upfix::describe(ei, what, rc);
  }
};

// ---- what a reader finds -----------------------------------------------------

struct Seen {
  bool exists = false;
  uint64_t count = 0;
  std::set<std::string> names;          // of the documents the engine finds
  std::map<std::string, int> fields;    // resolved names and their numbers
  std::map<std::string, int> attributes;
  std::set<std::string> inSubject;      // "topic" in field "subject"
  std::set<std::string> priced;         // "price" in 0..1000
  bool supp = false;                    // the engine holds a part to merge
  bool operator==(Seen const& o) const {
    return exists == o.exists && count == o.count && names == o.names &&
           supp == o.supp &&
           fields == o.fields && attributes == o.attributes &&
           inSubject == o.inSubject && priced == o.priced;
  }
  bool operator!=(Seen const& o) const { return !(*this == o); }
  std::string text() const {
    if (!exists) return "no index";
    auto list = [](std::set<std::string> const& s) {
      std::string t = "{";
      for (std::string const& n : s) t += (t.size() > 1 ? " " : "") + n;
      return t + "}";
    };
    std::string t = "count " + std::to_string(count) + " names " + list(names);
    for (auto const& [n, no] : fields) t += " field " + n + "=" + std::to_string(no);
    for (auto const& [n, no] : attributes) t += " attr " + n + "=" + std::to_string(no);
    return t + " subject " + list(inSubject) + " priced " + list(priced) +
           (supp ? " supp" : "");
  }
};

// The names of the documents the engine's search found (-retcode: failure).
inline std::set<std::string> NamesOf(ItlTyIndexSearchHandle search,
                                     kfix::Docs const& docs,
                                     std::string* why) {
  std::set<std::string> out;
  for (int32_t d : docs) {
    if (d <= 0) {
      *why = "an engine search failed: " + std::to_string(-d);
      return out;
    }
    ItlStDocumentId id{nullptr, 0};
    if (itlDocMapNumberToId(search, static_cast<uint64_t>(d), &id) != 0) {
      *why = "document " + std::to_string(d) + " the engine finds has no name";
      return out;
    }
    out.insert(std::string(id.pszDocId, id.usDocIdLength));
  }
  return out;
}

// What a new handle on `name` in `directory` finds; `universe`: every name
// the old and the new state may hold. The first fault goes into *why.
inline Seen Observe(std::string const& base, char const* name,
                    std::string const& directory,
                    std::vector<std::string> const& universe,
                    std::string* why) {
  Seen s;
  Handle h(base, name, directory);
  if (h.index == nullptr) {
    *why = "no index handle: " + h.failure("itlHandleNewIndex", 8);
    return s;
  }
  if (!itlIndexIsExistent(h.index)) return s;
  s.exists = true;
  int rc = itlIndexLoad(h.index);
  if (rc != 0) {
    *why = h.failure("itlIndexLoad", rc);
    return s;
  }
  rc = itlIndexObtainNumberOfDocuments(h.index, &s.count);
  if (rc != 0) {
    *why = h.failure("itlIndexObtainNumberOfDocuments", rc);
    return s;
  }
  ItlTyIndexSearchHandle search = nullptr;
  rc = itlHandleNewIndexSearch(h.index, &search);
  if (rc >= 8) {  // an empty index is a warning
    *why = h.failure("itlHandleNewIndexSearch", rc);
    return s;
  }
  std::string engineDir = directory + "/";
  s.supp = fs::exists(engineDir + name + "/Fullsupp");
  kfix::Docs found;
  if (s.count != 0) found = kfix::word(name, engineDir.c_str(), "common");
  s.names = NamesOf(search, found, why);
  // Each name leads back to its document, and no other name the maps hold
  // leads to a document the engine does not find.
  std::set<std::string> probe(universe.begin(), universe.end());
  probe.insert(s.names.begin(), s.names.end());
  for (std::string const& n : probe) {
    if (!why->empty()) break;
    ItlStDocumentId id{n.data(), static_cast<uint16_t>(n.size())};
    ItlTyDocumentNumber number = 0;
    rc = itlDocMapIdToNumber(search, &id, &number);
    if (rc != 0) {
      *why = h.failure("itlDocMapIdToNumber " + n, rc);
    } else if (s.names.count(n) != 0 &&
               (number == 0 || found.count(static_cast<int32_t>(number)) == 0)) {
      *why = "the engine finds \"" + n + "\", whose name leads to " +
             std::to_string(number);
    } else if (s.names.count(n) == 0 && number != 0) {
      *why = "name \"" + n + "\" leads to " + std::to_string(number) +
             ", which the engine does not find";
    }
  }
  for (char const* f : {"title", "subject", "later"}) {
    if (!why->empty()) break;
    ItlTyFieldNumber number = 0;
    rc = itlFieldMapNameToNumber(search, f, &number);
    if (rc == 0) s.fields[f] = number;
    else if (rc != 4) *why = h.failure(std::string("field ") + f, rc);
  }
  for (char const* a : {"price", "size", "later"}) {
    if (!why->empty()) break;
    ItlTyAttributeNumber number = 0;
    rc = itlAttributeMapNameToNumber(search, a, ItlEnAttributeType_Number,
                                     &number);
    if (rc == 0) s.attributes[a] = number;
    else if (rc != 4) *why = h.failure(std::string("attribute ") + a, rc);
  }
  if (why->empty() && s.fields.count("subject") != 0)
    s.inSubject = NamesOf(
        search,
        kfix::word(name, engineDir.c_str(), "topic",
                   static_cast<int16_t>(s.fields["subject"])),
        why);
  if (why->empty() && s.attributes.count("price") != 0)
    s.priced = NamesOf(
        search,
        kfix::range(name, engineDir.c_str(),
                    static_cast<uint16_t>(s.attributes["price"]), 0, 1000),
        why);
  itlHandleDeleteIndexSearch(&search);
  return s;
}

// Files a finished commit must not leave of index `name` in `directory`
// (its own files and its engine's directory).
inline std::string Leftovers(std::string const& directory, char const* name) {
  std::string out;
  std::error_code ec;
  std::string own = std::string(name) + ".", engine = name;
  for (auto it = fs::recursive_directory_iterator(directory, ec);
       !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
    std::string n = it->path().filename().string();
    std::string top = *fs::relative(it->path(), directory).begin();
    if (top != engine && top.rfind(own, 0) != 0) continue;
    if (n.find(".cmt") != std::string::npos ||
        n.find(".#") != std::string::npos || n.rfind("voz.JNL", 0) == 0 ||
        n[0] == '#' || n[0] == '%')
      out += " " + fs::relative(it->path(), directory).string();
  }
  return out;
}

// ---- the operations -----------------------------------------------------------

// Runs the operation of `kind` on the index at `base`, `arm` called just
// before its commit call. Returns "" or the failure.
inline std::string RunOp(Kind kind, std::string const& base,
                         std::function<void()> const& arm) {
  Handle h(base, "ix", base + "/ix");
  int rc = 0;
  switch (kind) {
    case Kind::Update:
      return upfix::addDocuments(h.index, UpdateDocs(), "en_US",
                                 UpdateRemovals(), arm);
    case Kind::Merge: {
      ItlTyIndexMergeHandle merge = nullptr;
      rc = itlHandleNewIndexMerge(h.index, &merge);
      if (rc != 0) return h.failure("itlHandleNewIndexMerge", rc);
      rc = itlIndexMergeProcess(merge);
      if (rc == 0) {
        arm();
        rc = itlIndexMergeCommit(merge);
      }
      itlHandleDeleteIndexMerge(&merge);
      return rc == 0 ? "" : h.failure("merge", rc);
    }
    case Kind::Migration: {
      ItlTyNameMapMigrationHandle m = nullptr;
      rc = itlHandleNewNameMapMigrationR3(h.index, 32, true, &m);
      if (rc != 0) return h.failure("itlHandleNewNameMapMigrationR3", rc);
      rc = itlNameMapMigrationR3Prepare(m);
      if (rc == 0) {
        migenv::walk(m, 64, MigratedName);
        rc = itlNameMapMigrationR3Process(m);
      }
      if (rc == 0) {
        arm();
        rc = itlNameMapMigrationR3Commit(m);
      }
      itlHandleDeleteNameMapMigrationR3(&m);
      return rc == 0 ? "" : h.failure("migration", rc);
    }
    case Kind::Rename:
      arm();
      rc = itlIndexRename(h.index, "iy");
      return rc == 0 ? "" : h.failure("itlIndexRename", rc);
    case Kind::Copy:
      arm();
      rc = itlIndexCopy(h.index, (base + "/target").c_str());
      return rc == 0 ? "" : h.failure("itlIndexCopy", rc);
    case Kind::Destroy:
      arm();
      rc = itlIndexDestroy(h.index);
      return rc == 0 ? "" : h.failure("itlIndexDestroy", rc);
  }
  return "unknown kind";
}

inline void CopyTree(std::string const& from, std::string const& to) {
  fs::remove_all(to);
  fs::copy(from, to, fs::copy_options::recursive);
}

// The prepared index of a kind in <dir>/g, and what a reader finds before
// and after the operation.
struct Golden {
  Kind kind;
  TempDir dir{"api_commit_crash", fastTempParent()};
  std::string base = dir / "g";
  Seen before, after;
  std::vector<std::string> universe;
  int ops = 0, markAt = 0;
  std::vector<long long> gaps;  // microseconds from each operation to the next
  std::string fault;            // "" when the preparation went well

  explicit Golden(Kind k) : kind(k) {
    fault = prepare();
    if (!fault.empty()) return;
    std::vector<std::string> names = {"n1", "n2", "next"};
    for (int i = 0; i < 10; ++i) names.push_back("d" + std::to_string(i));
    for (std::string const& n : names)
      for (std::string const& m : {n, MigratedName(n)}) universe.push_back(m);
    before = observe(base, &fault);
    if (!fault.empty()) return;
    std::string probe = dir / "probe";
    CopyTree(base, probe);
    std::vector<Clock::time_point> times;
    Hook() = HookState{};
    Hook().times = &times;
    fault = RunOp(kind, probe, ArmHooks);
    DisarmHooks();
    times.push_back(Clock::now());
    ops = Hook().count;
    markAt = Hook().markAt;
    Hook() = HookState{};
    if (!fault.empty()) return;
    for (size_t i = 0; i + 1 < times.size(); ++i)
      gaps.push_back(std::chrono::duration_cast<std::chrono::microseconds>(
                         times[i + 1] - times[i])
                         .count());
    if (ops == 0) fault = "no file operation counted";
    after = kind == Kind::Rename ? observeAt(probe, "iy", probe + "/ix", &fault)
            : kind == Kind::Copy ? observeAt(probe, "ix", probe + "/target", &fault)
                                 : observe(probe, &fault);
    if (fault.empty() && before == after &&
        (kind == Kind::Update || kind == Kind::Migration))
      fault = "the operation changed nothing: " + before.text();
  }

  Seen observe(std::string const& at, std::string* why) const {
    return observeAt(at, "ix", at + "/ix", why);
  }
  Seen observeAt(std::string const& at, char const* name,
                 std::string const& directory, std::string* why) const {
    return Observe(at, name, directory, universe, why);
  }

 private:
  std::string prepare() {
    for (char const* d : {"ix", "work", "target"})
      fs::create_directories(base + "/" + d);
    writeFile(dir / "template.ini",
              "[IndexId]\nVersion = 4.6\n[Index]\nRespectCase = ON\n"
              "MaxDocumentIDLength = 64\n[IndexV4]\nBlockMode = OFF\n");
    Handle h(base, "ix", base + "/ix");
    int rc = itlIndexCreate(h.index, (dir / "template.ini").c_str());
    if (rc != 0) return h.failure("itlIndexCreate", rc);
    rc = itlIndexAddDocumentModel(h.index, "xm", kModel.data(),
                                  static_cast<uint32_t>(kModel.size()));
    if (rc != 0) return h.failure("itlIndexAddDocumentModel", rc);
    std::string failure = upfix::addDocuments(h.index, FirstDocs());
    if (!failure.empty() || kind == Kind::Update) return failure;
    if (kind == Kind::Migration)
      return upfix::addDocuments(h.index, {}, "en_US", {"d3"});
    return upfix::addDocuments(h.index, UpdateDocs(), "en_US",
                               UpdateRemovals());
  }
};

// The next update on `name` in `directory` commits: a document with the
// field "subject" and the new field "later" and attribute "later", found
// afterwards with everything `now` held, and nothing of a commit left.
inline void NextUpdate(Golden const& g, std::string const& base,
                       char const* name, std::string const& directory,
                       Seen const& now, bool migrated, std::string* why) {
  std::string next = migrated ? MigratedName("next") : "next";
  {
    Handle h(base, name, directory);
    std::string text =
        "<doc><title>common</title><subject>topic</subject>"
        "<later>late</later></doc>";
    std::string model =
        "<XMLModel><XMLFieldDefinition name='subject' locator='subject'/>"
        "<XMLFieldDefinition name='title' locator='title'/>"
        "<XMLFieldDefinition name='later' locator='later'/></XMLModel>";
    int rc = itlIndexAddDocumentModel(h.index, "xl", model.data(),
                                      static_cast<uint32_t>(model.size()));
    if (rc != 0) {
      *why = "the next update: " + h.failure("itlIndexAddDocumentModel", rc);
      return;
    }
    std::string failure = upfix::addDocuments(
        h.index, {upfix::Document(next, ItlEnDocumentFormat_Xml, text, 1208,
                                  "xl",
                                  {upfix::Attribute::number("price", 99),
                                   upfix::Attribute::number("later", 1)})});
    if (!failure.empty()) {
      *why = "the next update failed: " + failure;
      return;
    }
  }
  Seen s = g.observeAt(base, name, directory, why);
  if (!why->empty()) {
    *why = "after the next update: " + *why;
    return;
  }
  std::set<std::string> names = now.names;
  names.insert(next);
  if (s.names != names || s.count != now.count + 1 ||
      s.fields.count("later") == 0 || s.attributes.count("later") == 0 ||
      s.inSubject.count(next) == 0 || s.priced.count(next) == 0)
    *why = "after the next update: " + s.text();
  else if (std::string left = Leftovers(directory, name); !left.empty())
    *why = "left after the next update:" + left;
}

// What the next open finds after a kill: -1 no index (destroy) or no copy,
// 0 the old state, 1 the new. Checks it whole, then runs the next update.
// The first fault goes into *why.
inline int CheckAfterKill(Golden const& g, std::string const& base,
                          bool nextUpdate, std::string* why) {
  std::string ix = base + "/ix", target = base + "/target";
  auto oneOf = [&](Seen const& s, char const* where) {
    if (!why->empty()) return -1;
    if (s == g.before) return 0;
    if (s == g.after) return 1;
    *why = std::string(where) + ": neither old nor new\n  found " + s.text() +
           "\n  old   " + g.before.text() + "\n  new   " + g.after.text();
    return -1;
  };
  switch (g.kind) {
    case Kind::Update:
    case Kind::Merge:
    case Kind::Migration: {
      Seen s = g.observe(base, why);
      int found = oneOf(s, "the index");
      if (found >= 0 && nextUpdate)
        NextUpdate(g, base, "ix", ix, s,
                   g.kind == Kind::Migration && found == 1, why);
      return found;
    }
    case Kind::Rename: {
      // The new name first: its object finishes a pending rename.
      Seen renamed = g.observeAt(base, "iy", ix, why);
      Seen old = g.observeAt(base, "ix", ix, why);
      if (!why->empty()) return -1;
      if (renamed.exists == old.exists) {
        *why = std::string("the index is found under ") +
               (old.exists ? "both names" : "neither name");
        return -1;
      }
      Seen const& s = renamed.exists ? renamed : old;
      if (oneOf(s, renamed.exists ? "under the new name" : "under the old name") < 0)
        return -1;
      if (nextUpdate)
        NextUpdate(g, base, renamed.exists ? "iy" : "ix", ix, s, false, why);
      return renamed.exists ? 1 : 0;
    }
    case Kind::Copy: {
      Seen source = g.observe(base, why);
      if (oneOf(source, "the source") < 0) return -1;
      Seen copy = g.observeAt(base, "ix", target, why);
      if (!why->empty()) return -1;
      int found = copy.exists ? 1 : 0;
      if (copy.exists && copy != g.after) {
        *why = "the copy is not whole: " + copy.text();
        return -1;
      }
      if (!nextUpdate) return found;
      if (!copy.exists) {
        std::string failure = RunOp(Kind::Copy, base, [] {});
        if (!failure.empty()) {
          *why = "the repeated copy failed: " + failure;
          return -1;
        }
        copy = g.observeAt(base, "ix", target, why);
        if (why->empty() && copy != g.after)
          *why = "the repeated copy: " + copy.text();
        if (!why->empty()) return -1;
      }
      NextUpdate(g, base, "ix", target, copy, false, why);
      return found;
    }
    case Kind::Destroy: {
      Seen s = g.observe(base, why);
      if (!why->empty()) return -1;
      int found = s.exists ? 0 : 1;
      if (s.exists && oneOf(s, "the index") < 0) return -1;
      if (!nextUpdate) return found;
      {
        Handle h(base, "ix", ix);
        int rc = itlIndexDestroy(h.index);
        if (rc != 0 && (s.exists || itlErrorInfoGetReasonCode(h.ei) !=
                                        ItlEnReasonCode_Index_not_found)) {
          *why = "the repeated destroy: " + h.failure("itlIndexDestroy", rc);
          return -1;
        }
      }
      std::string left;
      for (auto const& e : fs::directory_iterator(ix)) {
        std::string n = e.path().filename().string();
        if (n == "ix" || n.rfind("ix.", 0) == 0) left += " " + n;
      }
      if (!left.empty()) {
        *why = "left of the destroyed index:" + left;
        return -1;
      }
      // The name serves a new, empty index.
      {
        Handle h(base, "ix", ix);
        int rc = itlIndexCreate(h.index, (g.dir / "template.ini").c_str());
        if (rc == 0)
          rc = itlIndexAddDocumentModel(h.index, "xm", kModel.data(),
                                        static_cast<uint32_t>(kModel.size()));
        if (rc != 0) {
          *why = "create after the destroy: " + h.failure("itlIndexCreate", rc);
          return -1;
        }
      }
      Seen empty = g.observe(base, why);
      if (why->empty() && (empty.count != 0 || !empty.names.empty()))
        *why = "the new index is not empty: " + empty.text();
      if (why->empty()) NextUpdate(g, base, "ix", ix, empty, false, why);
      return found;
    }
  }
  return -1;
}

// ---- the kills ------------------------------------------------------------------

struct Tally {
  int operations = 0;  // file operations counted in one operation
  int kills = 0;
  int sawNothing = 0;  // destroy: gone; copy: no copy
  int sawOld = 0;
  int sawNew = 0;
  int finished = 0;    // operations that ended before their delayed kill
};

// One kill: the child runs the operation on a fresh copy of the golden
// index at <golden dir>/run and dies before operation `k` (`delay` < 0) or
// `delay` microseconds after it. Checks what it left. Returns "" or the
// fault.
inline std::string KillOnce(Golden const& g, int k, long long delay,
                            bool nextUpdate, Tally* t) {
  std::string run = g.dir / "run";
  CopyTree(g.base, run);
  bool const precise = delay < 0;
  int fds[2];
  if (pipe(fds) != 0) return "no pipe";
  pid_t pid = fork();
  if (pid < 0) return "no fork";
  if (pid == 0) {
    close(fds[0]);
    Hook() = HookState{};
    Hook().killAt = k;
    Hook().signalFd = precise ? -1 : fds[1];
    std::string failure = RunOp(g.kind, run, ArmHooks);
    DisarmHooks();
    _exit(failure.empty() ? 0 : 1);
  }
  close(fds[1]);
  int const status = tiReapKilledChild(pid, fds[0], precise, delay);
  bool const killed = WIFSIGNALED(status);
  std::string where = std::string(NameOf(g.kind)) + ": killed " +
                      (precise ? "before" : std::to_string(delay) + " us after") +
                      " operation " + std::to_string(k) + " of " +
                      std::to_string(g.ops) + ": ";
  if (!killed && WEXITSTATUS(status) != 0) return where + "the operation failed by itself";
  if (!killed && precise) return where + "the operation ended before it";
  std::string why;
  int found = CheckAfterKill(g, run, nextUpdate || !killed, &why);
  if (!why.empty()) return where + why;
  if (!killed) {
    ++t->finished;
    if (found != 1 && g.kind != Kind::Merge)
      return where + "the operation ended, yet the index is not the new one";
    return "";
  }
  ++t->kills;
  // A precise kill after the mark's rename leaves the new state.
  if (precise && g.markAt > 0 &&
      (g.kind == Kind::Update || g.kind == Kind::Migration) &&
      (k > g.markAt) != (found == 1))
    return where + "the mark was " + (k > g.markAt ? "" : "not ") +
           "written, yet the state is " + (found == 1 ? "the new" : "the old");
  if (found < 0 || (g.kind == Kind::Destroy && found == 1) ||
      (g.kind == Kind::Copy && found == 0))
    ++t->sawNothing;
  else if (found == 0)
    ++t->sawOld;
  else
    ++t->sawNew;
  return "";
}

// The precise kill points of the test: every operation in the plain build;
// a sanitized build runs each child many times slower, so it interrupts
// every fourth, the first, the last two and all around the mark (the
// plain build still covers every one).
#if defined(__SANITIZE_ADDRESS__)
constexpr int kPreciseStride = 4;
#else
constexpr int kPreciseStride = 1;
#endif

inline std::vector<int> PreciseOperations(Golden const& g) {
  std::vector<int> at;
  for (int k = 1; k <= g.ops; ++k)
    if (k % kPreciseStride == 0 || k == 1 || k >= g.ops - 1 ||
        (g.markAt > 0 && k >= g.markAt - 2 && k <= g.markAt + 2))
      at.push_back(k);
  return at;
}

// With `everyOperation` (the test): one kill before each operation of
// PreciseOperations, then `kills` at random delays; the next update after
// every third precise kill, those around the mark and every random one.
// Else (the driver) `kills` kills, the even attempts before an operation
// (spread evenly from a random start), the odd at a random delay after a
// random operation, each followed by the next update. Returns the first
// fault ("").
inline std::string RunKills(Kind kind, int kills, std::mt19937& rng, Tally* t,
                            bool everyOperation) {
  Golden g(kind);
  if (!g.fault.empty()) return std::string(NameOf(kind)) + ": " + g.fault;
  t->operations = g.ops;
  std::vector<int> precise = everyOperation ? PreciseOperations(g) : std::vector<int>();
  int const preciseCount = static_cast<int>(precise.size());
  int const planned = kills + preciseCount;
  uint32_t const ops = static_cast<uint32_t>(g.ops);
  uint32_t const start = rng() % ops;
  for (int attempt = 0; t->kills < planned && attempt < 3 * planned + g.ops; ++attempt) {
    bool exact = everyOperation ? attempt < preciseCount : attempt % 2 == 0;
    int k = 0;
    if (everyOperation && exact) k = precise[static_cast<size_t>(attempt)];
    else if (exact) k = 1 + static_cast<int>((start + static_cast<uint32_t>(attempt / 2)) % ops);
    else k = 1 + static_cast<int>(rng() % ops);
    long long delay = exact ? -1
                            : static_cast<long long>(
                                  rng() % static_cast<uint64_t>(g.gaps[static_cast<size_t>(k - 1)] + 1));
    bool next = !everyOperation || !exact || attempt % 3 == 0 ||
                (g.markAt > 0 && k >= g.markAt - 2 && k <= g.markAt + 2) ||
                k >= g.ops - 1;
    std::string why = KillOnce(g, k, delay, next, t);
    if (!why.empty()) return why;
  }
  if (t->kills < planned) return std::string(NameOf(kind)) + ": too few kills landed";
  return "";
}

}  // namespace accrash

#endif  // TESTS_ITL_API_API_COMMIT_CRASH_HPP
