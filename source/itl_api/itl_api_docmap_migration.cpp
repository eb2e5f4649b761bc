// itl_api_docmap_migration.cpp: the exported document-map migration
// (itl_api_docmap_migration.h) over ItlClDocMapMigration, on the API frame:
// a null handle returns 16, the error info of the index's context is reset,
// argument checks record 25, and whatever the work throws is recorded
// (never thrown). The cursor functions share the frame, so that a failure
// of theirs (a damaged map) comes back as a code too.
#include "itl_api_docmap_migration.h"

#include "itl_api_frame.hpp"
#include "itl_api_index.hpp"
#include "itl_docmap_migration.hpp"
#include "itl_index.hpp"

#define ITL_MIG_POS ITL_API_POS("itl_api_docmap_migration")

namespace {

ItlClDocMapMigration* objectOf(ItlTyNameMapMigrationHandle handle) {
  return reinterpret_cast<ItlClDocMapMigration*>(handle);
}

// One step on a handle: 16 for null, else the reset and the guarded step.
template <class Step>
ItlEnReturnCode runStep(ItlTyNameMapMigrationHandle migration,
                        char const* origin, Step&& step) {
  if (migration == nullptr) return ItlEnReturnCode_Error_Handle;
  ItlClDocMapMigration& object = *objectOf(migration);
  ItlClErrorInfo& errorInfo = object.getErrorInfo();
  itlApiReset(errorInfo);
  return itlApiGuarded(errorInfo, origin, [&] { step(object); });
}

// A step with a checked pointer argument: null records 25.
template <class Step>
ItlEnReturnCode runChecked(ItlTyNameMapMigrationHandle migration,
                           bool argumentsOk, char const* origin,
                           Step&& step) {
  if (migration == nullptr) return ItlEnReturnCode_Error_Handle;
  ItlClDocMapMigration& object = *objectOf(migration);
  ItlClErrorInfo& errorInfo = object.getErrorInfo();
  itlApiReset(errorInfo);
  if (!argumentsOk)
    return itlApiCheckFailed(errorInfo, origin,
                             ItlEnReasonCode_Invalid_argument);
  return itlApiGuarded(errorInfo, origin, [&] { step(object); });
}

}  // namespace

ItlEnReturnCode itlHandleNewNameMapMigrationR3(
    ItlTyIndexHandle indexHandle, uint16_t newLength, bool fixedSize,
    ItlTyNameMapMigrationHandle* migration) {
  ItlClApiTrace trace(ITL_MIG_POS);
  trace.dump(CosEnTraceDataType::UINT16, "newLength", &newLength, 2);
  trace.boolean("fixedSize", fixedSize);
  if (indexHandle == nullptr) return ItlEnReturnCode_Error_Handle;
  ItlClIndex& index = *itlApiIndex(indexHandle);
  ItlClErrorInfo& errorInfo = index.getErrorInfo();
  itlApiReset(errorInfo);
  if (migration == nullptr)
    return itlApiCheckFailed(errorInfo, ITL_MIG_POS,
                             ItlEnReasonCode_Invalid_handle);
  *migration = nullptr;
  if (newLength == 0 || newLength > ItlClDocMapMigration::MAX_NAME_LENGTH)
    return itlApiCheckFailed(errorInfo, ITL_MIG_POS,
                             ItlEnReasonCode_Invalid_argument);
  return itlApiGuarded(errorInfo, ITL_MIG_POS, [&] {
    index.load();
    ItlClDocMapMigration* made = itlApiMake<ItlClDocMapMigration>(
        ItlClNoInit(), &index, errorInfo, index.getLocation(),
        index.getConfig(), newLength, fixedSize);
    *migration = reinterpret_cast<ItlTyNameMapMigrationHandle>(made);
  });
}

ItlEnReturnCode itlHandleDeleteNameMapMigrationR3(
    ItlTyNameMapMigrationHandle* migration) {
  ItlClApiTrace trace(ITL_MIG_POS);
  if (migration == nullptr || *migration == nullptr)
    return ItlEnReturnCode_Error_Handle;
  ItlClDocMapMigration* object = objectOf(*migration);
  ItlClErrorInfo& errorInfo = object->getErrorInfo();
  itlApiReset(errorInfo);
  return itlApiGuarded(errorInfo, ITL_MIG_POS, [&] {
    *migration = nullptr;
    itlApiDestroy(object);
  });
}

ItlEnReturnCode itlNameMapMigrationR3Prepare(
    ItlTyNameMapMigrationHandle migration) {
  ItlClApiTrace trace(ITL_MIG_POS);
  return runStep(migration, ITL_MIG_POS,
                 [](ItlClDocMapMigration& m) { m.prepare(); });
}

ItlEnReturnCode itlNameMapMigrationR3SetCursorToFirst(
    ItlTyNameMapMigrationHandle migration) {
  ItlClApiTrace trace(ITL_MIG_POS);
  return runStep(migration, ITL_MIG_POS,
                 [](ItlClDocMapMigration& m) { m.setCursorToFirst(); });
}

ItlEnReturnCode itlNameMapMigrationR3CursorIsValid(
    ItlTyNameMapMigrationHandle migration, bool* valid) {
  ItlClApiTrace trace(ITL_MIG_POS);
  return runChecked(migration, valid != nullptr, ITL_MIG_POS,
                    [&](ItlClDocMapMigration& m) { *valid = m.isCursorValid(); });
}

ItlEnReturnCode itlNameMapMigrationR3ObtainCurrentName(
    ItlTyNameMapMigrationHandle migration, char* buffer, uint16_t* length) {
  ItlClApiTrace trace(ITL_MIG_POS);
  return runChecked(migration, buffer != nullptr && length != nullptr,
                    ITL_MIG_POS, [&](ItlClDocMapMigration& m) {
                      m.obtainCurrentName(buffer, *length);
                    });
}

ItlEnReturnCode itlNameMapMigrationR3SetCurrentName(
    ItlTyNameMapMigrationHandle migration, char const* name,
    uint16_t const* length) {
  ItlClApiTrace trace(ITL_MIG_POS);
  if (migration != nullptr && length != nullptr)
    trace.dump(CosEnTraceDataType::UINT16, "length", length, 2);
  ItlClDocMapMigration* object =
      migration != nullptr ? objectOf(migration) : nullptr;
  // A name the new maps cannot hold is refused here, before anything is
  // buffered.
  bool ok = name != nullptr && length != nullptr && *length != 0 &&
            object != nullptr && *length <= object->getNewLength() &&
            (!object->getNamesHaveFixedSize() ||
             *length == object->getNewLength());
  return runChecked(migration, ok, ITL_MIG_POS, [&](ItlClDocMapMigration& m) {
    m.setCurrentName(name, *length);
  });
}

ItlEnReturnCode itlNameMapMigrationR3SetCursorToNext(
    ItlTyNameMapMigrationHandle migration) {
  ItlClApiTrace trace(ITL_MIG_POS);
  return runStep(migration, ITL_MIG_POS,
                 [](ItlClDocMapMigration& m) { m.setCursorToNext(); });
}

ItlEnReturnCode itlNameMapMigrationR3Process(
    ItlTyNameMapMigrationHandle migration) {
  ItlClApiTrace trace(ITL_MIG_POS);
  return runStep(migration, ITL_MIG_POS,
                 [](ItlClDocMapMigration& m) { m.process(); });
}

ItlEnReturnCode itlNameMapMigrationR3Commit(
    ItlTyNameMapMigrationHandle migration) {
  ItlClApiTrace trace(ITL_MIG_POS);
  return runStep(migration, ITL_MIG_POS,
                 [](ItlClDocMapMigration& m) { m.commit(); });
}

ItlEnReturnCode itlNameMapMigrationR3Rollback(
    ItlTyNameMapMigrationHandle migration) {
  ItlClApiTrace trace(ITL_MIG_POS);
  return runStep(migration, ITL_MIG_POS,
                 [](ItlClDocMapMigration& m) { m.rollback(); });
}
