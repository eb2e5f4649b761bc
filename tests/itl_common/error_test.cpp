// Tests of the error record, the error info and the exception: warning
// threshold, callback, context bytes (labels, inserts, cut), copies and the
// three recording forms.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "cos_exception.hpp"
#include "cos_trace.hpp"
#include "files/voz_status.hpp"
#include "itl_error.hpp"

namespace {

std::string contextOf(ItlClErrorData const& d) {
  return std::string(d.getContext());
}

struct CallbackLog {
  int calls = 0;
  void* lastInfo = nullptr;
  ItlEnReturnCode lastRc = ItlEnReturnCode_Success;
};

void countCall(void* info, void* user) {
  auto* log = static_cast<CallbackLog*>(user);
  ++log->calls;
  log->lastInfo = info;
  log->lastRc = static_cast<ItlClErrorInfo*>(info)->getReturnCode();
}

TEST(ErrorInfo, NewErrorInfoIsClean) {
  ItlClErrorInfo info;
  EXPECT_EQ(info.getReturnCode(), ItlEnReturnCode_Success);
  EXPECT_EQ(info.getReasonCode(), ItlEnReasonCode_Success);
  EXPECT_EQ(info.getAction(), ItlEnErrorAction_Inform);
  EXPECT_STREQ(info.getContext(), "");
  EXPECT_EQ(info.peekVozStatus(), nullptr);
  EXPECT_EQ(info.getOrigin(), nullptr);
  EXPECT_EQ(info.getWarningCount(), 0u);
  EXPECT_EQ(info.getWarningThreshold(), 0u);
  EXPECT_EQ(info.getCallback(), nullptr);
}

TEST(ErrorInfo, ThirdWarningReachesThresholdAndThrows) {
  ItlClErrorInfo info;
  CallbackLog log;
  info.setCallback(countCall, &log);
  info.setWarningThreshold(3);
  EXPECT_EQ(info.setError("o", ItlEnReasonCode_Map_name_not_found,
                          ItlEnReturnCode_Warning, ItlEnErrorAction_Inform),
            ItlEnReturnCode_Warning);
  EXPECT_EQ(info.setError("o", ItlEnReasonCode_Map_name_not_found,
                          ItlEnReturnCode_Warning, ItlEnErrorAction_Inform),
            ItlEnReturnCode_Warning);
  EXPECT_EQ(info.getWarningCount(), 2u);
  info.context(3) << ": left before";
  try {
    info.setError("o", ItlEnReasonCode_Map_name_not_found,
                  ItlEnReturnCode_Warning, ItlEnErrorAction_Inform);
    FAIL() << "no exception at the threshold";
  } catch (ItlClException const& e) {
    EXPECT_EQ(e.getReasonCode(), ItlEnReasonCode_Too_many_warnings);
    EXPECT_EQ(e.getReturnCode(), ItlEnReturnCode_Error);
    EXPECT_EQ(e.getAction(), ItlEnErrorAction_Inform);
    EXPECT_STREQ(e.getSourceFile(), "source/itl_common/itl_error_info:141");
    EXPECT_EQ(e.getLine(), 141u);
    EXPECT_STREQ(e.getContext(), "");
    EXPECT_STREQ(e.getCause(), "");
  }
  EXPECT_EQ(info.getReturnCode(), ItlEnReturnCode_Success);
  EXPECT_EQ(info.getWarningCount(), 0u);
  EXPECT_STREQ(info.getContext(), "");
  EXPECT_EQ(log.calls, 3);  // the callback ran for the throwing call too
  EXPECT_EQ(log.lastInfo, &info);
}

TEST(ErrorInfo, ThresholdZeroCountsWithoutLimit) {
  ItlClErrorInfo info;
  for (int i = 0; i < 100; ++i)
    info.setError("o", ItlEnReasonCode_Map_name_not_found,
                  ItlEnReturnCode_Warning, ItlEnErrorAction_Inform);
  EXPECT_EQ(info.getWarningCount(), 100u);
}

TEST(ErrorInfo, CallbackRunsOnEveryRecordingWhateverTheReturnCode) {
  ItlClErrorInfo info;
  CallbackLog log;
  info.setCallback(countCall, &log);
  info.setError("o", ItlEnReasonCode_Success, ItlEnReturnCode_Success,
                ItlEnErrorAction_Ignore);
  info.setError("o", ItlEnReasonCode_Io_open_error, ItlEnReturnCode_Error,
                ItlEnErrorAction_Inform);
  EXPECT_EQ(log.calls, 2);
  EXPECT_EQ(log.lastRc, ItlEnReturnCode_Error);
  info.setError(CosClException("c", "f:1", 1, CosEnErrorId::FILE_COULD_NOT_COPY,
                               CosEnErrorClass::IO_PROBLEM,
                               CosEnErrorSeverity::NORMAL,
                               CosEnErrorAction::INFORM));
  info.setError(ItlClException("f:2", 2, ItlEnReasonCode_Io_read_error));
  EXPECT_EQ(log.calls, 4);
  info.resetCallback();
  info.setError("o", ItlEnReasonCode_Io_open_error, ItlEnReturnCode_Error,
                ItlEnErrorAction_Inform);
  EXPECT_EQ(log.calls, 4);
}

TEST(ErrorInfo, ResetClearsReturnCodeAndWarningCountOnly) {
  ItlClErrorInfo info;
  info.context(3) << ": f";
  info.setError("origin:1", ItlEnReasonCode_Map_name_not_found,
                ItlEnReturnCode_Warning, ItlEnErrorAction_Inform);
  info.reset();
  EXPECT_EQ(info.getReturnCode(), ItlEnReturnCode_Success);
  EXPECT_EQ(info.getWarningCount(), 0u);
  EXPECT_EQ(info.getReasonCode(), ItlEnReasonCode_Map_name_not_found);
  EXPECT_STREQ(info.getOrigin(), "origin:1");
  EXPECT_EQ(contextOf(info), "File name: f");
}

// ---------------------------------------------------------------------------
// Context text.

TEST(ErrorContext, LinesAreLabelColonValue) {
  struct Case {
    char const* reset;
    int id;
    char const* insert;
    char const* value;
    char const* expected;
  } const cases[] = {
      {"T", 3, nullptr, ": x", "T\n\nFile name: x"},
      {nullptr, 3, nullptr, ": x", "File name: x"},
      {nullptr, 62, "sw.txt", "",
       "Stopword file 'sw.txt' contains invalid character(s) or multiple "
       "entries at line"},
      {nullptr, 94, nullptr, "",
       "(-f <definition file>)\n(-ccsid <code page of definition file>)\n"
       "([-targetDirectory <name of existing directory where thesarus files "
       "will be generated>])\n([-v])\n"},
  };
  for (Case const& c : cases) {
    ItlClErrorData d;
    d.resetContext(c.reset);
    d.context(c.id, c.insert) << c.value;
    EXPECT_EQ(contextOf(d), c.expected) << "message " << c.id;
  }
}

TEST(ErrorContext, SecondLineStartsOnNewLine) {
  ItlClErrorData d;
  d.context(2) << ": idx";
  d.context(4) << ": /dir/";
  d.context(12) << ": " << 42u;
  EXPECT_EQ(contextOf(d), "Index name: idx\nDirectory: /dir/\nDocument number: 42");
}

TEST(ErrorContext, OverflowEndsInDotsAndDropsLaterWrites) {
  ItlClErrorData d;
  std::string longValue(600, 'v');
  d.context(3) << ": " << longValue;
  std::string text = contextOf(d);
  ASSERT_EQ(text.size(), 512u);
  EXPECT_EQ(text.substr(509), "...");
  EXPECT_EQ(text.substr(0, 13), "File name: vv");
  d.context(4) << ": more";  // dropped without error
  EXPECT_EQ(contextOf(d), text);
  d.resetContext("again");
  EXPECT_EQ(contextOf(d), "again\n");
}

TEST(ErrorContext, LineThatFillsExactlyGetsDotsWhenAnotherComes) {
  ItlClErrorData e;
  e.context(3) << ": " << std::string(501, 'w');  // "File name: " is 11
  EXPECT_EQ(e.getContextLength(), 512u);
  EXPECT_EQ(contextOf(e).substr(509), "www");  // complete: nothing was cut
  e.context(4) << ": x";
  EXPECT_EQ(contextOf(e).substr(509), "...");
}

TEST(ErrorContext, CopiedExceptionKeepsAll512Bytes) {
  ItlClException e("f:1", 1, ItlEnReasonCode_Io_write_error);
  e.context(3) << ": " << std::string(700, 'z');
  ItlClException copy(e);
  EXPECT_EQ(std::memcmp(copy.getContext(), e.getContext(), 513), 0);
  EXPECT_EQ(std::strlen(copy.getContext()), 512u);
  EXPECT_EQ(copy.getContextLength(), 512u);
  EXPECT_EQ(copy.getReasonCode(), ItlEnReasonCode_Io_write_error);
  EXPECT_STREQ(copy.getSourceFile(), "f:1");
  // A copy of a short context goes on writing after it.
  ItlClException small("f:2", 2, ItlEnReasonCode_Io_read_error);
  small.context(3) << ": a";
  ItlClException copy2(small);
  copy2.context(4) << ": b";
  EXPECT_EQ(contextOf(copy2), "File name: a\nDirectory: b");
  EXPECT_EQ(contextOf(small), "File name: a");
}

TEST(ErrorContext, ThrownExceptionArrivesWhole) {
  try {
    itlRaise(ITL_SOURCE("source/itl_common/test"), ItlEnReasonCode_Io_open_error,
             3, "/x/y");
  } catch (ItlClException const& e) {
    EXPECT_EQ(contextOf(e), "File name: /x/y");
    EXPECT_EQ(e.getReturnCode(), ItlEnReturnCode_Error);
    EXPECT_EQ(e.getAction(), ItlEnErrorAction_Inform);
    EXPECT_EQ(std::string(e.getSourceFile()).rfind("source/itl_common/test:", 0),
              0u);
    EXPECT_FALSE(e.isCosException());
    return;
  }
  FAIL();
}

// ---------------------------------------------------------------------------
// Engine status copy.

TEST(ErrorStatus, ZerosWhileReturnCodeIsZero) {
  ItlClErrorData d;
  GTRSTATUS* s = d.getVozStatus();
  ASSERT_NE(s, nullptr);
  GTRSTATUS zero;
  std::memset(&zero, 0, sizeof zero);
  EXPECT_EQ(std::memcmp(s, &zero, sizeof zero), 0);
  GTRSTATUS set = zero;
  set.retcode = 9;
  std::strcpy(set.errfname1, "/a");
  d.setVozStatus(set);
  EXPECT_EQ(std::memcmp(d.getVozStatus(), &zero, sizeof zero), 0);
}

// ---------------------------------------------------------------------------
// Recording exceptions.

TEST(ErrorRecording, ExceptionPassesReasonActionContextOriginAndStatus) {
  ItlClErrorInfo info;
  ItlClException e("source/itl_common/x:7", 7, ItlEnReasonCode_Io_rename_error,
                   ItlEnReturnCode_Error, ItlEnErrorAction_Rollback);
  e.context(3) << ": f";
  GTRSTATUS status;
  std::memset(&status, 0, sizeof status);
  status.retcode = 9;
  status.errcode = 77;
  std::strcpy(status.errfname2, "/b");
  e.setVozStatus(status);
  EXPECT_EQ(info.setError(e), ItlEnReturnCode_Error);
  EXPECT_EQ(info.getReasonCode(), ItlEnReasonCode_Io_rename_error);
  EXPECT_EQ(info.getAction(), ItlEnErrorAction_Rollback);
  EXPECT_EQ(contextOf(info), "File name: f");
  EXPECT_STREQ(info.getOrigin(), "source/itl_common/x:7");
  EXPECT_EQ(std::memcmp(info.getVozStatus(), &status, sizeof status), 0);
  // Any other recording zero-fills the stored status.
  info.setError("o", ItlEnReasonCode_Io_open_error, ItlEnReturnCode_Error,
                ItlEnErrorAction_Inform);
  EXPECT_EQ(info.getVozStatus()->retcode, 0);
  EXPECT_EQ(info.getVozStatus()->errfname2[0], '\0');
}

TEST(ErrorRecording, ExceptionWithReturnCodeZeroRecordsNothing) {
  ItlClErrorInfo info;
  info.context(3) << ": old";
  ItlClException e("src:1", 1, ItlEnReasonCode_Io_read_error,
                   ItlEnReturnCode_Success, ItlEnErrorAction_Abort);
  e.context(3) << ": ignored";
  EXPECT_EQ(info.setError(e), ItlEnReturnCode_Success);
  EXPECT_EQ(info.getReasonCode(), ItlEnReasonCode_Success);
  EXPECT_EQ(info.getAction(), ItlEnErrorAction_Ignore);
  EXPECT_STREQ(info.getContext(), "");
  EXPECT_STREQ(info.getOrigin(), "src:1");
}

TEST(ErrorRecording, CosExceptions) {
  struct Case {
    CosEnErrorId id;
    CosEnErrorClass errClass;
    char const* cause;
    ItlEnReasonCode reason;
    char const* context;
  } const cases[] = {
      // An id of 0 is still a failure: unmapped, with the two cos lines.
      {CosEnErrorId::NO_ERROR, CosEnErrorClass::UNKNOWN, "",
       ItlEnReasonCode_Unexpected_cos_rc, "COS Error Id: 0\nCOS Error class: 0"},
      {CosEnErrorId::CPCONVERTER_INVALID_SEQ, CosEnErrorClass::INVALID_DATA,
       "", ItlEnReasonCode_Cpconverter_invalid_sequence, ""},
      {CosEnErrorId::FILE_COULD_NOT_RENAME, CosEnErrorClass::IO_PROBLEM,
       "the cause", ItlEnReasonCode_Io_rename_error, "the cause\n"},
      {CosEnErrorId::PROCESS_COULD_NOT_KILL, CosEnErrorClass::IO_NOT_EXISTENT,
       "why", ItlEnReasonCode_Unexpected_cos_rc,
       "why\n\nCOS Error Id: 1000201\nCOS Error class: 504"},
  };
  for (Case const& c : cases) {
    ItlClErrorInfo info;
    CosClException e(c.cause, "cos/cos_file:12", 12, c.id, c.errClass,
                     CosEnErrorSeverity::NORMAL, CosEnErrorAction::INFORM);
    EXPECT_EQ(info.setError(e), ItlEnReturnCode_Error);
    EXPECT_EQ(info.getReasonCode(), c.reason);
    EXPECT_EQ(info.getAction(), ItlEnErrorAction_Inform);
    EXPECT_EQ(contextOf(info), c.context);
    EXPECT_STREQ(info.getOrigin(), "cos/cos_file:12");
  }
}

// ---------------------------------------------------------------------------
// Trace.

struct TraceRecord {
  CosEnTraceDataType type;
  std::string function, message, data;
};

void collect(void* context, CosEnTraceDetail, uint16_t, CosEnTraceDataType type,
             char const* function, char const* message, void const* data,
             uint32_t length) {
  auto* log = static_cast<std::vector<TraceRecord>*>(context);
  log->push_back({type, function ? function : "", message ? message : "",
                  data ? std::string(static_cast<char const*>(data), length)
                       : std::string()});
}

TEST(ErrorTrace, RaiseAndRecordingAreTracedWhenTheTraceIsOn) {
  std::vector<TraceRecord> log;
  CosClTraceInstance* trace = cosTraceCreateInstance("itltest", "error");
  trace->registerUserCallback(collect, &log);
  trace->activate();
  ASSERT_TRUE(trace->enable());
  ItlClErrorInfo info;
  try {
    itlRaise("source/itl_common/t:5", 5, ItlEnReasonCode_Io_open_error, 3, "f");
  } catch (ItlClException const& e) {
    info.setError(e);
  }
  trace->disable();
  cosTraceDeleteInstance();
  bool raised = false, origin = false, context = false;
  for (TraceRecord const& r : log) {
    if (r.message == "ItlClException" && r.function == "source/itl_common/t:5" &&
        r.data == "File name: f")
      raised = true;
    if (r.message == "origin" && r.data == "source/itl_common/t:5") origin = true;
    if (r.message == "current context" && r.data == "File name: f") context = true;
  }
  EXPECT_TRUE(raised);
  EXPECT_TRUE(origin);
  EXPECT_TRUE(context);
}

}  // namespace
