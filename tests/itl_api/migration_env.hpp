// Test support of the document-map migration: an index whose maps are
// filled through the exported name-map tools, a cursor walk that renames
// every entry through a function, and lookups through a fresh index
// object.
#ifndef TESTS_ITL_API_MIGRATION_ENV_HPP
#define TESTS_ITL_API_MIGRATION_ENV_HPP

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "itl_api.h"
#include "itl_docname_mapping.hpp"
#include "itl_error.hpp"
#include "itl_index.hpp"
#include "itl_index_config.hpp"
#include "update_fixture.hpp"

namespace migenv {

// Assigns (or, with `assign` false, deletes) every name, then commits.
inline std::string nameMap(ItlTyIndexHandle index,
                           std::vector<std::string> const& names,
                           bool assign) {
  for (std::string const& n : names) {
    int rc = itlNameMapProcess(index, n.data(),
                               static_cast<uint16_t>(n.size()), assign);
    if (rc != 0)
      return upfix::describe(upfix::errorInfoOf(index), "process " + n, rc);
  }
  int rc = itlNameMapFinalize(index);
  return rc == 0 ? ""
                 : upfix::describe(upfix::errorInfoOf(index), "finalize", rc);
}

// Walks the cursor from the first entry: each old name visited is handed
// to `rename`, whose non-empty answer is set as the entry's new name.
// Returns the old names in cursor order; a failing call fails the test.
inline std::vector<std::string> walk(
    ItlTyNameMapMigrationHandle m, uint16_t oldLength,
    std::function<std::string(std::string const&)> const& rename) {
  std::vector<std::string> seen;
  EXPECT_EQ(itlNameMapMigrationR3SetCursorToFirst(m), 0);
  bool valid = true;
  std::string buffer(oldLength, '\0');
  while (valid) {
    uint16_t length = 0;
    EXPECT_EQ(itlNameMapMigrationR3ObtainCurrentName(m, &buffer[0], &length),
              0);
    if (length == 0) break;  // a map without entries
    std::string old = buffer.substr(0, length);
    seen.push_back(old);
    std::string now = rename(old);
    if (!now.empty()) {
      uint16_t n = static_cast<uint16_t>(now.size());
      EXPECT_EQ(itlNameMapMigrationR3SetCurrentName(m, now.data(), &n), 0)
          << old << " -> " << now;
    }
    EXPECT_EQ(itlNameMapMigrationR3SetCursorToNext(m), 0);
    EXPECT_EQ(itlNameMapMigrationR3CursorIsValid(m, &valid), 0);
    if (seen.size() > 1000000) break;
  }
  return seen;
}

// Lookups through an index object (loaded on first use).
struct Lookup {
  ItlClIndex& index;
  explicit Lookup(ItlTyIndexHandle handle) : index(*itlApiIndex(handle)) {
    index.load();
  }
  // The name's number; 0 when the map does not hold it live.
  uint64_t number(std::string const& name) {
    ItlClDocumentNameMapping& map = index.getDocumentNameMapping();
    map.access4Read();
    _ItlStDocumentId id{name.data(), static_cast<uint16_t>(name.size())};
    uint64_t n = 0;
    map.getDex().obtainDocNumber(&id, &n, map.getDeletedDocs());
    return n;
  }
  // The number's name; "" with the reason in `reason` when none.
  std::string name(uint64_t number, int* reason = nullptr) {
    uint16_t size = index.getConfig().getMaxDocIDLength();
    std::string buffer(size, '\0');
    _ItlStDocumentId id{buffer.data(), size};
    try {
      index.getDocumentNameMapping().mapNumberToDocumentName(number, &id);
    } catch (ItlClException const& e) {
      if (reason != nullptr) *reason = e.getReasonCode();
      return "";
    }
    return buffer.substr(0, id.usDocIdLength);
  }
};

}  // namespace migenv

#endif  // TESTS_ITL_API_MIGRATION_ENV_HPP
