// Tests of the library's trace switches through a caller's trace callback:
// what each exported function writes (entry, argument records, exit), that
// tracing never changes a call's outcome, and the environment switch.
//
// The trace instance is process-wide: every test starts and ends without
// one.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "itl_api.h"
#include "itl_api_frame.hpp"

namespace {

struct Record {
  uint32_t detail;
  uint16_t component;
  uint32_t type;
  std::string function;
  std::string label;
  std::string data;
};

void collect(void* user, uint32_t detail, uint16_t component, uint32_t type,
             char const* function, char const* label, void const* data,
             uint32_t length) {
  auto* records = static_cast<std::vector<Record>*>(user);
  records->push_back({detail, component, type, function ? function : "",
                      label ? label : "",
                      data ? std::string(static_cast<char const*>(data), length)
                           : std::string()});
}

int32_t asInt32(std::string const& data) {
  int32_t v = 0;
  if (data.size() == 4) std::memcpy(&v, data.data(), 4);
  return v;
}

class ApiTrace : public ::testing::Test {
 protected:
  void SetUp() override {
    CosClTraceInstance::deleteInstance();
    ASSERT_EQ(itlHandleNewErrorInfo(&ei), 0);
  }
  void TearDown() override {
    EXPECT_EQ(itlTraceDisable(ei), 0);
    CosClTraceInstance::deleteInstance();
    EXPECT_EQ(itlHandleDeleteErrorInfo(&ei), 0);
  }
  void traceOn() {
    ASSERT_EQ(itlTraceRegisterCallback(collect, &records, ei), 0);
    ASSERT_EQ(itlTraceEnable(ei), 0);
    records.clear();
  }

  ItlTyErrorInfoHandle ei = nullptr;
  std::vector<Record> records;
};

TEST_F(ApiTrace, EnableWritesEntryIdentityAndExit) {
  ASSERT_EQ(itlTraceRegisterCallback(collect, &records, ei), 0);
  EXPECT_TRUE(records.empty());  // not enabled yet
  ASSERT_EQ(itlTraceEnable(ei), 0);
  ASSERT_EQ(records.size(), 3u);
  EXPECT_EQ(records[0].type, 1u);
  EXPECT_EQ(records[0].function.rfind("source/itl_api/itl_api_library:", 0), 0u);
  EXPECT_EQ(records[1].detail, 1u);
  EXPECT_EQ(records[1].type, 8u);
  EXPECT_EQ(records[1].label, "Zorvath ITL API (PFX:vqx)");
  EXPECT_EQ(records[1].data, "20-itlR3-86a-May  4 2010");
  EXPECT_EQ(records[2].type, 2u);
  EXPECT_EQ(records[2].function, records[0].function);
}

TEST_F(ApiTrace, GetInfoTracesItsArgument) {
  traceOn();
  EXPECT_STREQ(itlGetInfo(ItlEnInfoType_BuildDate), "May  4 2010");
  ASSERT_EQ(records.size(), 3u);
  EXPECT_EQ(records[0].type, 1u);
  EXPECT_EQ(records[1].label, "ItlEnInfoType");
  EXPECT_EQ(records[1].type, 15u);
  EXPECT_EQ(records[1].data.size(), 4u);
  EXPECT_EQ(asInt32(records[1].data), 100003);
  EXPECT_EQ(records[2].type, 2u);
  for (Record const& r : records) {
    EXPECT_EQ(r.detail, 3u);
    EXPECT_EQ(r.component, 3u);
  }
}

TEST_F(ApiTrace, NullHandleCallIsTracedAndNameGetterIsSilent) {
  traceOn();
  EXPECT_EQ(itlContextRegisterRankingCallback(nullptr, nullptr,
                                              ItlEnSortOrder_Descending, nullptr),
            16);
  ASSERT_EQ(records.size(), 3u);
  EXPECT_EQ(records[1].label, "ItlEnSortOrder");
  EXPECT_EQ(asInt32(records[1].data), 1);
  records.clear();
  EXPECT_STREQ(itlErrorInfoGetReasonCodeAsCString(ei), "ItlEnReasonCode_Success");
  EXPECT_STREQ(itlErrorInfoGetReasonCodeAsCString(nullptr),
               "ItlEnReasonCode_Invalid_handle");
  EXPECT_TRUE(records.empty());
  // Handles are traced as 8-byte addresses.
  itlApiGuarded(*itlApiErrorInfo(ei), "x:1", [this] {
    ItlClApiTrace trace("source/itl_api/test:1");
    trace.address("handle", ei);
  });
  ASSERT_EQ(records.size(), 3u);
  EXPECT_EQ(records[1].type, 7u);
  EXPECT_EQ(records[1].data.size(), 8u);
}

TEST_F(ApiTrace, RaisedExceptionIsATextRecordWithItsContext) {
  traceOn();
  ItlEnReturnCode rc = itlApiGuarded(*itlApiErrorInfo(ei), "x:1", [] {
    ItlClException e("source/itl_index/x:9", 9, ItlEnReasonCode_Index_not_found);
    e.context(2) << ": idx";
    e.raise();
  });
  EXPECT_EQ(rc, 8);
  bool found = false;
  for (Record const& r : records) {
    if (r.label == "ItlClException") {
      found = true;
      EXPECT_EQ(r.type, 8u);
      EXPECT_EQ(r.function, "source/itl_index/x:9");
      EXPECT_EQ(r.data, "Index name: idx");
    }
  }
  EXPECT_TRUE(found);
}

TEST_F(ApiTrace, DisableStopsRecordsAndNullCallbackIsRefused) {
  traceOn();
  EXPECT_EQ(itlTraceRegisterCallback(nullptr, nullptr, ei), 8);
  EXPECT_EQ(itlErrorInfoGetReasonCode(ei), 25);
  EXPECT_EQ(itlTraceRegisterCallback(collect, nullptr, nullptr), 16);
  EXPECT_EQ(itlTraceEnable(nullptr), 16);
  EXPECT_EQ(itlTraceDisable(nullptr), 16);
  EXPECT_EQ(itlMemoryHandlerRegisterCallback(nullptr, nullptr, nullptr, nullptr), 16);
  ASSERT_EQ(itlTraceDisable(ei), 0);
  ASSERT_FALSE(records.empty());
  EXPECT_EQ(records.back().type, 2u);  // disable's own exit
  records.clear();
  itlGetInfo(ItlEnInfoType_Version);
  EXPECT_EQ(itlContextRegisterDateCallback(nullptr, nullptr, nullptr), 16);
  EXPECT_TRUE(records.empty());
}

TEST_F(ApiTrace, DisableWithoutEnableCreatesTheInstance) {
  EXPECT_EQ(itlTraceDisable(ei), 0);
  EXPECT_NE(CosClTraceInstance::getSingleton(), nullptr);
  EXPECT_EQ(gs_pclCosTraceInstance, nullptr);
}

// One script of good calls and failures; each step's outcome as text.
std::vector<std::string> runScript() {
  ItlTyErrorInfoHandle ei = nullptr;
  std::vector<std::string> out;
  if (itlHandleNewErrorInfo(&ei) != 0) return out;
  ItlTyContextHandle ctx = nullptr;
  auto note = [&](int rc) {
    char const* origin = itlErrorInfoGetOrigin(ei);
    out.push_back(std::to_string(rc) + "|" +
                  std::to_string(itlErrorInfoGetReasonCode(ei)) + "|" +
                  std::to_string(itlErrorInfoGetAction(ei)) + "|" +
                  itlErrorInfoGetContext(ei) + "|" + (origin ? origin : "-"));
  };
  note(itlHandleNewContext(&ctx, ei));
  note(itlHandleNewContext(nullptr, ei));
  note(itlContextRegisterNumberCallback(ctx, nullptr, nullptr));
  note(itlContextRegisterRankingCallback(ctx, nullptr,
                                         static_cast<ItlEnSortOrder>(5), nullptr));
  note(itlContextRegisterSkipDocumentSetCallback(ctx, nullptr, nullptr));
  note(itlErrorInfoSetWarningThreshold(ei, 2));
  ItlClErrorInfo& info = *itlApiErrorInfo(ei);
  itlApiReset(info);
  note(itlApiGuarded(info, "source/itl_api/script:1", [&] {
    info.setError("w:1", ItlEnReasonCode_Empty_document, ItlEnReturnCode_Warning,
                  ItlEnErrorAction_Inform);
  }));
  itlApiReset(info);
  note(itlApiGuarded(info, "source/itl_api/script:2", [&] {
    for (int i = 0; i < 2; ++i)
      info.setError("w:2", ItlEnReasonCode_Empty_document,
                    ItlEnReturnCode_Warning, ItlEnErrorAction_Inform);
  }));
  itlApiReset(info);
  note(itlApiGuarded(info, "source/itl_api/script:3", [] {
    ItlClException e("source/itl_index/x:3", 3, ItlEnReasonCode_Index_not_found);
    e.context(4) << ": /nowhere";
    e.raise();
  }));
  itlApiReset(info);
  note(itlApiGuarded(info, "source/itl_api/script:4", [] { throw 3; }));
  note(itlHandleDeleteContext(&ctx));
  itlHandleDeleteErrorInfo(&ei);
  return out;
}

TEST_F(ApiTrace, TracingNeverChangesOutcomes) {
  std::vector<std::string> off = runScript();
  traceOn();
  std::vector<std::string> on = runScript();
  EXPECT_GT(records.size(), 20u);
  EXPECT_EQ(off, on);
  EXPECT_EQ(off.size(), 11u);
}

TEST_F(ApiTrace, EnvironmentSwitchTurnsRecordsOnAtRegistration) {
  pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    CosClTraceInstance::deleteInstance();
    setenv("ZORVATH_TAVRIX_VOZ_TRACE_ACTIVE", "yes", 1);
    std::vector<Record> seen;
    int rc = itlTraceRegisterCallback(collect, &seen, ei);
    size_t afterRegistration = seen.size();
    itlGetInfo(ItlEnInfoType_Version);
    _exit(rc == 0 && afterRegistration == 2 && seen.size() == 5 ? 0 : 1);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
}

}  // namespace
