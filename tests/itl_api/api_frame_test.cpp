// Tests of the frame of the exported functions: the frame table through the
// real functions, the shared handlers with stand-in bodies (exceptions,
// warning threshold, handle makers, the rollback step), the error-info
// getters, every code's name and itlGetInfo.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "calls/voz_message.hpp"
#include "files/voz_status.hpp"
#include "itl_api.h"
#include "itl_api_frame.hpp"

namespace {

struct CallbackLog {
  int calls = 0;
};

void countError(void*, void* user) { ++static_cast<CallbackLog*>(user)->calls; }

unsigned int rankA(unsigned int v, void*) { return v; }
unsigned int rankB(unsigned int v, void*) { return v + 1; }

bool numberCb(unsigned short const*, unsigned int, char const*, char const*,
              void*, double*, bool*, unsigned int*) {
  return false;
}

bool dateCb(unsigned short const*, unsigned int, char const*, char const*,
            void*, unsigned short*, unsigned short*, unsigned short*, bool*,
            unsigned int*) {
  return false;
}

// An error info and a context made through the API, deleted at the end.
class ApiFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(itlHandleNewErrorInfo(&ei), ItlEnReturnCode_Success);
    ASSERT_EQ(itlHandleNewContext(&ctx, ei), ItlEnReturnCode_Success);
    ASSERT_EQ(itlErrorInfoRegisterCallback(ei, countError, &log), 0);
  }
  void TearDown() override {
    if (ctx != nullptr) {
      EXPECT_EQ(itlHandleDeleteContext(&ctx), 0);
    }
    EXPECT_EQ(itlHandleDeleteErrorInfo(&ei), 0);
    EXPECT_EQ(ei, nullptr);
  }
  ItlClErrorInfo& info() { return *itlApiErrorInfo(ei); }
  // Return code, reason, action as the getters report them.
  std::string codes() {
    std::ostringstream s;
    s << itlErrorInfoGetReturnCode(ei) << "/" << itlErrorInfoGetReasonCode(ei)
      << "/" << itlErrorInfoGetAction(ei);
    return s.str();
  }

  ItlTyErrorInfoHandle ei = nullptr;
  ItlTyContextHandle ctx = nullptr;
  CallbackLog log;
};

// ---------------------------------------------------------------------------
// The frame through the real functions.

TEST_F(ApiFixture, FrameTableOfRealFunctions) {
  ItlTyContextHandle nullContext = nullptr;
  ItlTyContextHandle made = reinterpret_cast<ItlTyContextHandle>(&log);
  int user = 0;
  ASSERT_EQ(itlContextRegisterRankingCallback(ctx, rankA, ItlEnSortOrder_Ascending, &user), 0);
  // A recorded error that rows with "nothing recorded" must leave alone.
  info().setError("earlier:1", ItlEnReasonCode_Io_read_error,
                  ItlEnReturnCode_Error, ItlEnErrorAction_Rollback);
  log.calls = 0;
  struct Row {
    char const* what;
    std::function<int()> call;
    int rc;
    char const* codes;  // null: nothing recorded
    int callbacks;
  };
  std::vector<Row> rows = {
      {"date callback on a null context",
       [&] { return itlContextRegisterDateCallback(nullptr, dateCb, &user); },
       16, nullptr, 0},
      {"new context on a null error info",
       [&] { return itlHandleNewContext(&made, nullptr); }, 16, nullptr, 0},
      {"new context into a null pointer",
       [&] { return itlHandleNewContext(nullptr, ei); }, 8, "8/1/100001", 1},
      {"null number callback",
       [&] { return itlContextRegisterNumberCallback(ctx, nullptr, &user); },
       8, "8/25/100001", 1},
      {"ranking order 2",
       [&] {
         return itlContextRegisterRankingCallback(
             ctx, rankB, static_cast<ItlEnSortOrder>(2), &user);
       },
       8, "8/25/100001", 1},
      {"delete through a pointer to null",
       [&] { return itlHandleDeleteContext(&nullContext); }, 16, nullptr, 0},
      {"delete through a null pointer",
       [&] { return itlHandleDeleteContext(nullptr); }, 16, nullptr, 0},
      {"good date callback", [&] {
         return itlContextRegisterDateCallback(ctx, dateCb, &user);
       }, 0, "0/0/100000", 0},
  };
  for (Row const& row : rows) {
    SCOPED_TRACE(row.what);
    info().setError("earlier:1", ItlEnReasonCode_Io_read_error,
                    ItlEnReturnCode_Error, ItlEnErrorAction_Rollback);
    log.calls = 0;
    EXPECT_EQ(row.call(), row.rc);
    EXPECT_EQ(log.calls, row.callbacks);
    if (row.codes == nullptr) {
      EXPECT_EQ(codes(), "8/17/100003");
      EXPECT_STREQ(itlErrorInfoGetOrigin(ei), "earlier:1");
    } else {
      EXPECT_EQ(codes(), row.codes);
      if (row.rc != 0) {
        EXPECT_EQ(std::string(itlErrorInfoGetOrigin(ei))
                      .rfind("source/itl_api/itl_api_context:", 0),
                  0u)
            << itlErrorInfoGetOrigin(ei);
      }
    }
  }
  // The refused ranking callback left the first one in place.
  EXPECT_EQ(itlApiContext(ctx)->getRankingCallback(), &rankA);
  EXPECT_EQ(made, reinterpret_cast<ItlTyContextHandle>(&log));
  EXPECT_EQ(nullContext, nullptr);
  EXPECT_EQ(itlIndexSearchGetTimes(nullptr, static_cast<ItlEnTimingSearchType>(7)), 0.0);
  EXPECT_EQ(itlIndexSearchGetTimes(nullptr, ItlEnTimingSearchType_First), 0.0);
}

TEST_F(ApiFixture, ContextRegistersWhatItIsGiven) {
  int user = 0;
  EXPECT_EQ(itlContextRegisterNumberCallback(ctx, numberCb, &user), 0);
  EXPECT_EQ(itlContextRegisterDateCallback(ctx, dateCb, &user), 0);
  EXPECT_EQ(itlContextRegisterSkipDocumentSetCallback(ctx, nullptr, &user), 0);
  EXPECT_EQ(itlContextRegisterRankingCallback(ctx, rankB, ItlEnSortOrder_Descending, &user), 0);
  ItlClContext& c = *itlApiContext(ctx);
  EXPECT_EQ(c.getNumberCallback(), &numberCb);
  EXPECT_TRUE(c.getNumberFlag());
  EXPECT_EQ(c.getDateCallback(), &dateCb);
  EXPECT_TRUE(c.getDateFlag());
  EXPECT_EQ(c.getDateUserData(), &user);
  EXPECT_EQ(c.getRankingSortOrder(), ItlEnSortOrder_Descending);
  EXPECT_EQ(&c.getErrorInfo(), &info());
}

// ---------------------------------------------------------------------------
// The shared handlers with stand-in bodies.

TEST_F(ApiFixture, HandlersRecordEachKindOfException) {
  // An ItlClException as it stands, engine status included.
  ItlEnReturnCode rc = itlApiGuarded(info(), "handler:1", [] {
    ItlClException e("source/itl_index/x:7", 7, ItlEnReasonCode_Index_corrupted,
                     ItlEnReturnCode_Error, ItlEnErrorAction_Terminate);
    e.context(2) << ": idx";
    GTRSTATUS s{};
    s.retcode = 12;
    s.errcode = 345;
    e.setVozStatus(s);
    throw e;
  });
  EXPECT_EQ(rc, ItlEnReturnCode_Error);
  EXPECT_EQ(codes(), "8/103/100004");
  EXPECT_STREQ(itlErrorInfoGetContext(ei), "Index name: idx");
  EXPECT_STREQ(itlErrorInfoGetOrigin(ei), "source/itl_index/x:7");
  EXPECT_EQ(itlErrorInfoGetVOZCode(ei), 12);
  EXPECT_EQ(itlErrorInfoGetVOZStatus(ei)->errcode, 345);
  EXPECT_EQ(log.calls, 1);

  // A services-layer exception through the mapping: 1001001 is memory.
  rc = itlApiGuarded(info(), "handler:2", [] {
    throw CosClException("", "cos/x:1", 1, static_cast<CosEnErrorId>(1001001),
                         static_cast<CosEnErrorClass>(0),
                         static_cast<CosEnErrorSeverity>(0),
                         static_cast<CosEnErrorAction>(0));
  });
  EXPECT_EQ(rc, ItlEnReturnCode_Error);
  EXPECT_EQ(codes(), "8/2/100001");
  EXPECT_EQ(itlErrorInfoGetVOZCode(ei), 0);  // no stale engine status

  // Anything else: reason 7 with the handler's origin.
  rc = itlApiGuarded(info(), "source/itl_api/test:3", [] { throw 42; });
  EXPECT_EQ(rc, ItlEnReturnCode_Error);
  EXPECT_EQ(codes(), "8/7/100001");
  EXPECT_STREQ(itlErrorInfoGetOrigin(ei), "source/itl_api/test:3");
  EXPECT_EQ(log.calls, 3);
}

TEST_F(ApiFixture, WarningThresholdCountsWithinOneCall) {
  ASSERT_EQ(itlErrorInfoSetWarningThreshold(ei, 3), 0);
  auto warnings = [this](int n) {
    info().reset();  // what every frame-built call does first
    return itlApiGuarded(info(), "handler:1", [this, n] {
      for (int i = 0; i < n; ++i)
        info().setError("body:1", ItlEnReasonCode_Empty_document,
                        ItlEnReturnCode_Warning, ItlEnErrorAction_Inform);
    });
  };
  EXPECT_EQ(warnings(2), ItlEnReturnCode_Warning);
  EXPECT_EQ(codes(), "4/29/100001");
  EXPECT_EQ(warnings(2), ItlEnReturnCode_Warning);  // the count restarted
  EXPECT_EQ(warnings(3), ItlEnReturnCode_Error);
  EXPECT_EQ(codes(), "8/38/100001");
  // A warning raised as an exception that reaches the threshold in the
  // handler is recorded as reason 38 too.
  ASSERT_EQ(itlErrorInfoSetWarningThreshold(ei, 1), 0);
  info().reset();
  EXPECT_EQ(itlApiGuarded(info(), "handler:1", [] {
              throw ItlClException("x:1", 1, ItlEnReasonCode_Empty_index,
                                   ItlEnReturnCode_Warning);
            }),
            ItlEnReturnCode_Error);
  EXPECT_EQ(codes(), "8/38/100001");
}

struct Tracked {
  static int alive;
  explicit Tracked(int) { ++alive; }
  ~Tracked() { --alive; }
};
int Tracked::alive = 0;

TEST_F(ApiFixture, FailingHandleMakerLeavesNullAndFreesItsObject) {
  auto maker = [this](bool fail, Tracked** out) {
    info().reset();
    *out = nullptr;
    return itlApiGuarded(info(), "handler:1", [&] {
      *out = itlApiMake<Tracked>(
          [fail](Tracked&) {
            if (fail) itlRaise("init:1", 1, ItlEnReasonCode_Index_not_found);
          },
          5);
    });
  };
  Tracked* made = reinterpret_cast<Tracked*>(this);
  EXPECT_EQ(maker(true, &made), ItlEnReturnCode_Error);
  EXPECT_EQ(made, nullptr);
  EXPECT_EQ(Tracked::alive, 0);
  EXPECT_EQ(codes(), "8/100/100001");
  EXPECT_EQ(maker(false, &made), ItlEnReturnCode_Success);
  ASSERT_NE(made, nullptr);
  EXPECT_EQ(Tracked::alive, 1);
  itlApiDestroy(made);
  EXPECT_EQ(Tracked::alive, 0);
}

TEST_F(ApiFixture, RollbackStepFiresOnRollbackActions) {
  struct Case {
    char const* what;
    ItlEnErrorAction stored;  // recorded by the body before it throws
    ItlEnErrorAction thrown;
    bool fires;
  };
  Case const cases[] = {
      {"inform alone", ItlEnErrorAction_Inform, ItlEnErrorAction_Inform, false},
      {"stored rollback", ItlEnErrorAction_Rollback, ItlEnErrorAction_Inform, true},
      {"caught rollback", ItlEnErrorAction_Inform, ItlEnErrorAction_Rollback, true},
      {"caught abort", ItlEnErrorAction_Ignore, ItlEnErrorAction_Abort, true},
      {"reprocess", ItlEnErrorAction_ReProcessDocument,
       ItlEnErrorAction_ReProcessDocument, false},
  };
  for (Case const& c : cases) {
    SCOPED_TRACE(c.what);
    info().reset();
    bool fired = false;
    itlApiGuarded(
        info(), "handler:1",
        [&] {
          info().setError("body:1", ItlEnReasonCode_Io_write_error,
                          ItlEnReturnCode_Error, c.stored);
          throw ItlClException("x:1", 1, ItlEnReasonCode_Io_read_error,
                               ItlEnReturnCode_Error, c.thrown);
        },
        [&](ItlClErrorInfo& e, ItlEnErrorAction caught) {
          // Runs before the caught error is recorded.
          EXPECT_EQ(e.getReasonCode(), ItlEnReasonCode_Io_write_error);
          fired = itlApiRollbackIsDue(e, caught);
        });
    EXPECT_EQ(fired, c.fires);
    EXPECT_EQ(itlErrorInfoGetReasonCode(ei), ItlEnReasonCode_Io_read_error);
  }
  // A stored rollback action from an earlier call does not count once the
  // call has reset the return code.
  info().setError("body:1", ItlEnReasonCode_Io_write_error,
                  ItlEnReturnCode_Error, ItlEnErrorAction_Rollback);
  info().reset();
  EXPECT_FALSE(itlApiRollbackIsDue(info(), ItlEnErrorAction_Inform));
  // Other exceptions pass Inform as the caught action.
  ItlEnErrorAction seen = ItlEnErrorAction_Ignore;
  itlApiGuarded(info(), "handler:1", [] { throw 1; },
                [&](ItlClErrorInfo&, ItlEnErrorAction a) { seen = a; });
  EXPECT_EQ(seen, ItlEnErrorAction_Inform);
}

// ---------------------------------------------------------------------------
// Error-info getters.

TEST_F(ApiFixture, GettersHideAnOldErrorAfterAGoodCall) {
  ASSERT_EQ(itlContextRegisterNumberCallback(ctx, nullptr, nullptr), 8);
  std::string origin = itlErrorInfoGetOrigin(ei);
  EXPECT_STREQ(itlErrorInfoGetContext(ei), "");
  ASSERT_EQ(itlContextRegisterNumberCallback(ctx, numberCb, nullptr), 0);
  EXPECT_EQ(itlErrorInfoGetReturnCode(ei), 0);
  EXPECT_EQ(itlErrorInfoGetReasonCode(ei), 0);
  EXPECT_EQ(itlErrorInfoGetAction(ei), 100000);
  EXPECT_STREQ(itlErrorInfoGetContext(ei), "");
  EXPECT_EQ(itlErrorInfoGetOrigin(ei), origin);
  GTRSTATUS* status = itlErrorInfoGetVOZStatus(ei);
  ASSERT_NE(status, nullptr);
  GTRSTATUS zero{};
  EXPECT_EQ(std::memcmp(status, &zero, sizeof zero), 0);
  EXPECT_EQ(itlErrorInfoGetVOZCode(ei), 0);
  EXPECT_STREQ(itlErrorInfoGetReasonCodeAsCString(ei), "ItlEnReasonCode_Success");
  EXPECT_STREQ(itlErrorInfoGetActionAsCString(ei), "ItlEnErrorAction_Ignore");
  EXPECT_STREQ(itlErrorInfoGetReturnCodeAsCString(ei), "ItlEnReturnCode_Success");
}

TEST_F(ApiFixture, CheckAfterAnErrorWithContextCarriesNoStaleLines) {
  itlApiGuarded(info(), "x:1", [] {
    ItlClException e("x:2", 2, ItlEnReasonCode_Index_not_found);
    e.context(4) << ": /nowhere";
    throw e;
  });
  ASSERT_STREQ(itlErrorInfoGetContext(ei), "Directory: /nowhere");
  EXPECT_EQ(itlContextRegisterNumberCallback(ctx, nullptr, nullptr), 8);
  EXPECT_STREQ(itlErrorInfoGetContext(ei), "");
}

TEST(ApiErrorInfo, NullHandlesGiveNeutralValues) {
  EXPECT_EQ(itlErrorInfoGetReturnCode(nullptr), 8);
  EXPECT_EQ(itlErrorInfoGetReasonCode(nullptr), 1);
  EXPECT_EQ(itlErrorInfoGetAction(nullptr), 100001);
  EXPECT_EQ(itlErrorInfoGetContext(nullptr), nullptr);
  EXPECT_EQ(itlErrorInfoGetOrigin(nullptr), nullptr);
  EXPECT_EQ(itlErrorInfoGetVOZStatus(nullptr), nullptr);
  EXPECT_EQ(itlErrorInfoGetVOZCode(nullptr), 0);
  EXPECT_STREQ(itlErrorInfoGetReturnCodeAsCString(nullptr), "ItlEnReturnCode_Error");
  EXPECT_STREQ(itlErrorInfoGetActionAsCString(nullptr), "ItlEnErrorAction_Inform");
  EXPECT_STREQ(itlErrorInfoGetReasonCodeAsCString(nullptr),
               "ItlEnReasonCode_Invalid_handle");
  EXPECT_EQ(itlErrorInfoSetWarningThreshold(nullptr, 3), 8);
  EXPECT_EQ(itlErrorInfoRegisterCallback(nullptr, countError, nullptr), 8);
  EXPECT_EQ(itlHandleNewErrorInfo(nullptr), 8);
  ItlTyErrorInfoHandle none = nullptr;
  EXPECT_EQ(itlHandleDeleteErrorInfo(&none), 8);
  EXPECT_EQ(itlHandleDeleteErrorInfo(nullptr), 8);
  EXPECT_EQ(none, nullptr);
}

TEST_F(ApiFixture, ErrorCallbackIsRemovedByNull) {
  ASSERT_EQ(itlErrorInfoRegisterCallback(ei, nullptr, nullptr), 0);
  EXPECT_EQ(itlContextRegisterNumberCallback(ctx, nullptr, nullptr), 8);
  EXPECT_EQ(log.calls, 0);
}

// ---------------------------------------------------------------------------
// Names of the codes: one table typed from the published list.

char const kReasonList[] =
    "0 Success, 1 Invalid_handle, 2 Out_of_memory, 3 Permission_denied, 4"
    " Operation_not_supported, 5 Operation_not_enabled, 6 "
    "Invalid_calling_sequence, 7 Unexpected_error, 8 Invalid_language, 9 "
    "Language_not_supported, 10 Invalid_ccsid, 11 Ccsid_not_supported, 12"
    " Invalid_docid, 13 Document_format_not_supported, 14 "
    "Invalid_document_format, 15 Io_access_denied, 16 Io_open_error, 17 "
    "Io_read_error, 18 Io_write_error, 19 Io_seek_error, 20 "
    "Io_tell_error, 21 Io_close_error, 22 Io_rename_error, 23 "
    "Io_remove_error, 24 Io_mkdir_error, 25 Invalid_argument, 26 "
    "Directory_not_found, 27 Unexpected_voz_rc, 28 Unexpected_cos_rc, 29 "
    "Empty_document, 30 Argument_not_supported, 31 "
    "Invalid_date_attribute, 32 Invalid_number_attribute, 33 "
    "Invalid_string_attribute, 35 Invalid_utf8_char, 36 "
    "Attribute_truncated, 38 Too_many_warnings, 39 Stackoverflow, 40 "
    "Too_many_items, 46 Iterator_invalid, 47 Function_not_supported, 48 "
    "Stopwordfile_not_found, 49 Stopwordfile_empty, 50 "
    "Stopwordfile_contains_invalid_data, "
    "100 Index_not_found, 101 Index_invalid_name, 102 "
    "Index_invalid_directory, 103 Index_corrupted, 104 "
    "Index_already_exists, 109 Index_rollback_required, 110 "
    "Index_ini_file_missing_section, 111 Index_ini_file_missing_option, "
    "112 Index_ini_file_invalid_option_data, 113 "
    "Index_ini_file_invalid_version, "
    "200 Docmodel_invalid_name, 201 Docmodel_invalid_field_name, 202 "
    "Docmodel_model_unknown, 203 Docmodel_model_already_exists, 204 "
    "Docmodel_models_overflow, 205 Docmodel_item_overflow, 206 "
    "Docmodel_invalid_parameter, 207 Docmodel_invalid_parameter_value, "
    "208 Docmodel_missing_parameter, 209 Docmodel_syntax_error, 210 "
    "Docmodel_xpath_invalid, 211 Docmodel_xpath_invalid_axis, 212 "
    "Docmodel_xpath_invalid_nodetest, 213 Docmodel_mdx_file_corrupted, "
    "214 Docmodel_mox_file_corrupted, 215 Docmodel_nested_attributes, 216"
    " Docmodel_tag_too_long, 217 Docmodel_duplicate_field_definition, 218"
    " Docmodel_duplicate_attr_definition, "
    "300 Docmap_corrupted, 301 Docmap_invalid_docnumber, 302 "
    "Docmap_invalid_docid, 303 Docmap_docid_not_found, 304 "
    "Docmap_docnumber_not_found, 305 Docmap_docnumber_overflow, 306 "
    "Docmap_duplicate_docid, "
    "340 Invalid_term_strength, 341 Invalid_relation_number, 342 "
    "Invalid_relation_type, 343 Specified_phrase_too_long, 344 "
    "Unexpected_end_of_file, 345 Version_conflict_detected, 346 "
    "Buffer_overflow, 347 Invalid_name, 348 Term_not_found, 349 "
    "Empty_definition_file, 350 Resource_does_not_exist, 351 "
    "No_block_start_in_definition_file, 352 "
    "Relationship_specified_incorrectly, 353 "
    "Relationship_number_out_of_range, "
    "360 Invalid_single_character_mask, 361 "
    "Invalid_multiple_character_mask, 362 Too_many_operands_for_operator,"
    " 363 Invalid_operator, 364 Invalid_rank_formula, 365 "
    "Invalid_proximity_identifier, 366 Query_under_construction, 367 "
    "Invalid_search_scope_specified, 368 Invalid_call_to_add_field_name, "
    "369 Index_compliance_rule_restored, 370 Masking_not_supported, 371 "
    "Empty_query, 372 Invalid_min_comparison, 373 Invalid_max_comparison,"
    " 374 Empty_index, 375 Invalid_usage_of_operator_mode, 380 "
    "Search_threshold_met, 381 Query_contains_stop_words, "
    "401 Map_corrupted, 402 Map_invalid_name, 403 Map_name_not_found, 404"
    " Map_out_of_range, "
    "500 Cpconverter_invalid_sequence, 501 Cpconverter_too_big, 502 "
    "Cpconverter_incomplete, 503 Cpconverter_bad_descr, "
    "600 Xmlparser_async_entity, 602 Xmlparser_bad_char_ref, 603 "
    "Xmlparser_binary_entity_ref, 604 Xmlparser_can_not_create_expat, 605"
    " Xmlparser_duplicate_attribute, 607 Xmlparser_external_entity_ref, "
    "608 Xmlparser_invalid_token, 609 Xmlparser_junk_after_doc_element, "
    "610 Xmlparser_misplaced_xml_pi, 611 Xmlparser_no_elements, 612 "
    "Xmlparser_no_memory, 614 Xmlparser_param_entity_ref, 615 "
    "Xmlparser_partial_char, 616 Xmlparser_recursive_entity_ref, 617 "
    "Xmlparser_syntax_error, 618 Xmlparser_tag_mismatch, 619 "
    "Xmlparser_unclosed_cdata_section, 620 Xmlparser_unclosed_token, 621 "
    "Xmlparser_undefined_entity, 622 Xmlparser_unexpected_error, "
    "631 Htmlparser_invalid_meta_statement, 632 "
    "Htmlparser_undefined_entity, "
    "650 Gpp_same_start_tags, 651 Gpp_start_tag_contains_other, 652 "
    "Gpp_end_tags_conflict, 653 Gpp_end_tag_pending, 654 "
    "Gpp_no_model_used, "
    "670 Unable_to_load_INSO_library, 671 Unable_to_load_procedure, 672 "
    "INSO_error, 673 INSO_unexpected_data, "
    "700 Highlight_occurrences_not_sorted, 701 "
    "Highlight_occurrences_invalid_data, ";

TEST_F(ApiFixture, EveryCodeNameReadsBack) {
  struct Named {
    int32_t code;
    std::string name;
  };
  std::vector<Named> reasons;
  std::istringstream list(kReasonList);
  std::string number, name;
  while (list >> number >> name) {
    name.pop_back();  // the comma
    reasons.push_back({std::stoi(number), "ItlEnReasonCode_" + name});
  }
  ASSERT_EQ(reasons.size(), 153u);
  for (Named const& r : reasons) {
    info().setError("x:1", static_cast<ItlEnReasonCode>(r.code),
                    ItlEnReturnCode_Error, ItlEnErrorAction_Inform);
    EXPECT_EQ(itlErrorInfoGetReasonCodeAsCString(ei), r.name) << r.code;
  }
  Named const returns[] = {{0, "ItlEnReturnCode_Success"},
                           {4, "ItlEnReturnCode_Warning"},
                           {8, "ItlEnReturnCode_Error"},
                           {16, "ItlEnReturnCode_Error_Handle"}};
  for (Named const& r : returns) {
    info().setError("x:1", ItlEnReasonCode_Io_read_error,
                    static_cast<ItlEnReturnCode>(r.code),
                    ItlEnErrorAction_Inform);
    EXPECT_EQ(itlErrorInfoGetReturnCodeAsCString(ei), r.name);
  }
  Named const actions[] = {{100000, "ItlEnErrorAction_Ignore"},
                           {100001, "ItlEnErrorAction_Inform"},
                           {100002, "ItlEnErrorAction_ReProcessDocument"},
                           {100003, "ItlEnErrorAction_Rollback"},
                           {100004, "ItlEnErrorAction_Terminate"},
                           {100005, "ItlEnErrorAction_Abort"}};
  for (Named const& a : actions) {
    info().setError("x:1", ItlEnReasonCode_Io_read_error,
                    ItlEnReturnCode_Error,
                    static_cast<ItlEnErrorAction>(a.code));
    EXPECT_EQ(itlErrorInfoGetActionAsCString(ei), a.name);
  }
  for (int32_t unnamed : {34, 37, 702, -1}) {
    info().setError("x:1", static_cast<ItlEnReasonCode>(unnamed),
                    ItlEnReturnCode_Error, ItlEnErrorAction_Inform);
    EXPECT_EQ(itlErrorInfoGetReasonCodeAsCString(ei), nullptr) << unnamed;
  }
  info().setError("x:1", ItlEnReasonCode_Io_read_error,
                  static_cast<ItlEnReturnCode>(5),
                  static_cast<ItlEnErrorAction>(99999));
  EXPECT_EQ(itlErrorInfoGetReturnCodeAsCString(ei), nullptr);
  EXPECT_EQ(itlErrorInfoGetActionAsCString(ei), nullptr);
}

// ---------------------------------------------------------------------------
// Library information.

TEST(ApiLibrary, GetInfoTexts) {
  EXPECT_STREQ(itlGetInfo(static_cast<ItlEnInfoType>(100000)), "Zorvath ITL API (PFX:vqx)");
  EXPECT_STREQ(itlGetInfo(static_cast<ItlEnInfoType>(100001)), "20");
  EXPECT_STREQ(itlGetInfo(static_cast<ItlEnInfoType>(100002)), "itlR3-86a");
  EXPECT_STREQ(itlGetInfo(static_cast<ItlEnInfoType>(100003)), "May  4 2010");
  EXPECT_STREQ(itlGetInfo(static_cast<ItlEnInfoType>(100005)), itlGetEngineType());
  for (int multi : {100004, 42}) {
    char const* text = itlGetInfo(static_cast<ItlEnInfoType>(multi));
    ASSERT_NE(text, nullptr);
    EXPECT_GE(std::count(text, text + std::strlen(text), '\n'), 2) << multi;
  }
  EXPECT_EQ(itlGetInfo(static_cast<ItlEnInfoType>(43)), nullptr);
  EXPECT_EQ(itlGetInfo(static_cast<ItlEnInfoType>(99999)), nullptr);
}

}  // namespace
