/* itl_codes.h: the code sets and callback types of the index library.
 *
 * Compiles as C99 and as C++: the exported headers (headers/itl_api) and
 * the C++ classes of the library include this one definition. Every
 * index-library failure is described by a return code (what an exported
 * function returns), a reason code (what went wrong) and an action (what
 * the caller should do about it). These numbers reach callers and are
 * stored by their programs: never renumber them. Numbers of
 * ItlEnReasonCode that are not listed are unassigned.
 *
 * Also here: the list types of the lists handed to callers, the sort order
 * of a caller's ranking callback, the attribute types of the name maps, the
 * Unicode normalisation modes of an index and the forms of the callbacks a
 * caller registers on an error info or a context.
 *
 * Under C++ every enumeration has the fixed base int32_t; under C it is an
 * int (32 bits on every platform we build for).
 */
#ifndef ITL_CODES_H
#define ITL_CODES_H

#ifdef __cplusplus
#include <cstdint>
#define ITL_ENUM_BASE : int32_t
#else
#include <stdbool.h>
#include <stdint.h>
#define ITL_ENUM_BASE
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* What an exported function returns. */
typedef enum ItlEnReturnCode ITL_ENUM_BASE {
  ItlEnReturnCode_Success = 0,
  ItlEnReturnCode_Warning = 4,
  ItlEnReturnCode_Error = 8,
  ItlEnReturnCode_Error_Handle = 16,
} ItlEnReturnCode;

/* What the caller should do about the last error. Ordered: Rollback or
 * stronger is a value of 100003 or more. */
typedef enum ItlEnErrorAction ITL_ENUM_BASE {
  ItlEnErrorAction_Ignore = 100000,
  ItlEnErrorAction_Inform = 100001,
  ItlEnErrorAction_ReProcessDocument = 100002,
  ItlEnErrorAction_Rollback = 100003,
  ItlEnErrorAction_Terminate = 100004,
  ItlEnErrorAction_Abort = 100005,
} ItlEnErrorAction;

/* Why an operation failed (153 named values between 0 and 701). */
typedef enum ItlEnReasonCode ITL_ENUM_BASE {
  ItlEnReasonCode_Success = 0,
  ItlEnReasonCode_Invalid_handle = 1,
  ItlEnReasonCode_Out_of_memory = 2,
  ItlEnReasonCode_Permission_denied = 3,
  ItlEnReasonCode_Operation_not_supported = 4,
  ItlEnReasonCode_Operation_not_enabled = 5,
  ItlEnReasonCode_Invalid_calling_sequence = 6,
  ItlEnReasonCode_Unexpected_error = 7,
  ItlEnReasonCode_Invalid_language = 8,
  ItlEnReasonCode_Language_not_supported = 9,
  ItlEnReasonCode_Invalid_ccsid = 10,
  ItlEnReasonCode_Ccsid_not_supported = 11,
  ItlEnReasonCode_Invalid_docid = 12,
  ItlEnReasonCode_Document_format_not_supported = 13,
  ItlEnReasonCode_Invalid_document_format = 14,
  ItlEnReasonCode_Io_access_denied = 15,
  ItlEnReasonCode_Io_open_error = 16,
  ItlEnReasonCode_Io_read_error = 17,
  ItlEnReasonCode_Io_write_error = 18,
  ItlEnReasonCode_Io_seek_error = 19,
  ItlEnReasonCode_Io_tell_error = 20,
  ItlEnReasonCode_Io_close_error = 21,
  ItlEnReasonCode_Io_rename_error = 22,
  ItlEnReasonCode_Io_remove_error = 23,
  ItlEnReasonCode_Io_mkdir_error = 24,
  ItlEnReasonCode_Invalid_argument = 25,
  ItlEnReasonCode_Directory_not_found = 26,
  ItlEnReasonCode_Unexpected_voz_rc = 27,
  ItlEnReasonCode_Unexpected_cos_rc = 28,
  ItlEnReasonCode_Empty_document = 29,
  ItlEnReasonCode_Argument_not_supported = 30,
  ItlEnReasonCode_Invalid_date_attribute = 31,
  ItlEnReasonCode_Invalid_number_attribute = 32,
  ItlEnReasonCode_Invalid_string_attribute = 33,
  ItlEnReasonCode_Invalid_utf8_char = 35,
  ItlEnReasonCode_Attribute_truncated = 36,
  ItlEnReasonCode_Too_many_warnings = 38,
  ItlEnReasonCode_Stackoverflow = 39,
  ItlEnReasonCode_Too_many_items = 40,
  ItlEnReasonCode_Iterator_invalid = 46,
  ItlEnReasonCode_Function_not_supported = 47,
  ItlEnReasonCode_Stopwordfile_not_found = 48,
  ItlEnReasonCode_Stopwordfile_empty = 49,
  ItlEnReasonCode_Stopwordfile_contains_invalid_data = 50,
  ItlEnReasonCode_Index_not_found = 100,
  ItlEnReasonCode_Index_invalid_name = 101,
  ItlEnReasonCode_Index_invalid_directory = 102,
  ItlEnReasonCode_Index_corrupted = 103,
  ItlEnReasonCode_Index_already_exists = 104,
  ItlEnReasonCode_Index_rollback_required = 109,
  ItlEnReasonCode_Index_ini_file_missing_section = 110,
  ItlEnReasonCode_Index_ini_file_missing_option = 111,
  ItlEnReasonCode_Index_ini_file_invalid_option_data = 112,
  ItlEnReasonCode_Index_ini_file_invalid_version = 113,
  ItlEnReasonCode_Docmodel_invalid_name = 200,
  ItlEnReasonCode_Docmodel_invalid_field_name = 201,
  ItlEnReasonCode_Docmodel_model_unknown = 202,
  ItlEnReasonCode_Docmodel_model_already_exists = 203,
  ItlEnReasonCode_Docmodel_models_overflow = 204,
  ItlEnReasonCode_Docmodel_item_overflow = 205,
  ItlEnReasonCode_Docmodel_invalid_parameter = 206,
  ItlEnReasonCode_Docmodel_invalid_parameter_value = 207,
  ItlEnReasonCode_Docmodel_missing_parameter = 208,
  ItlEnReasonCode_Docmodel_syntax_error = 209,
  ItlEnReasonCode_Docmodel_xpath_invalid = 210,
  ItlEnReasonCode_Docmodel_xpath_invalid_axis = 211,
  ItlEnReasonCode_Docmodel_xpath_invalid_nodetest = 212,
  ItlEnReasonCode_Docmodel_mdx_file_corrupted = 213,
  ItlEnReasonCode_Docmodel_mox_file_corrupted = 214,
  ItlEnReasonCode_Docmodel_nested_attributes = 215,
  ItlEnReasonCode_Docmodel_tag_too_long = 216,
  ItlEnReasonCode_Docmodel_duplicate_field_definition = 217,
  ItlEnReasonCode_Docmodel_duplicate_attr_definition = 218,
  ItlEnReasonCode_Docmap_corrupted = 300,
  ItlEnReasonCode_Docmap_invalid_docnumber = 301,
  ItlEnReasonCode_Docmap_invalid_docid = 302,
  ItlEnReasonCode_Docmap_docid_not_found = 303,
  ItlEnReasonCode_Docmap_docnumber_not_found = 304,
  ItlEnReasonCode_Docmap_docnumber_overflow = 305,
  ItlEnReasonCode_Docmap_duplicate_docid = 306,
  ItlEnReasonCode_Invalid_term_strength = 340,
  ItlEnReasonCode_Invalid_relation_number = 341,
  ItlEnReasonCode_Invalid_relation_type = 342,
  ItlEnReasonCode_Specified_phrase_too_long = 343,
  ItlEnReasonCode_Unexpected_end_of_file = 344,
  ItlEnReasonCode_Version_conflict_detected = 345,
  ItlEnReasonCode_Buffer_overflow = 346,
  ItlEnReasonCode_Invalid_name = 347,
  ItlEnReasonCode_Term_not_found = 348,
  ItlEnReasonCode_Empty_definition_file = 349,
  ItlEnReasonCode_Resource_does_not_exist = 350,
  ItlEnReasonCode_No_block_start_in_definition_file = 351,
  ItlEnReasonCode_Relationship_specified_incorrectly = 352,
  ItlEnReasonCode_Relationship_number_out_of_range = 353,
  ItlEnReasonCode_Invalid_single_character_mask = 360,
  ItlEnReasonCode_Invalid_multiple_character_mask = 361,
  ItlEnReasonCode_Too_many_operands_for_operator = 362,
  ItlEnReasonCode_Invalid_operator = 363,
  ItlEnReasonCode_Invalid_rank_formula = 364,
  ItlEnReasonCode_Invalid_proximity_identifier = 365,
  ItlEnReasonCode_Query_under_construction = 366,
  ItlEnReasonCode_Invalid_search_scope_specified = 367,
  ItlEnReasonCode_Invalid_call_to_add_field_name = 368,
  ItlEnReasonCode_Index_compliance_rule_restored = 369,
  ItlEnReasonCode_Masking_not_supported = 370,
  ItlEnReasonCode_Empty_query = 371,
  ItlEnReasonCode_Invalid_min_comparison = 372,
  ItlEnReasonCode_Invalid_max_comparison = 373,
  ItlEnReasonCode_Empty_index = 374,
  ItlEnReasonCode_Invalid_usage_of_operator_mode = 375,
  ItlEnReasonCode_Search_threshold_met = 380,
  ItlEnReasonCode_Query_contains_stop_words = 381,
  ItlEnReasonCode_Map_corrupted = 401,
  ItlEnReasonCode_Map_invalid_name = 402,
  ItlEnReasonCode_Map_name_not_found = 403,
  ItlEnReasonCode_Map_out_of_range = 404,
  ItlEnReasonCode_Cpconverter_invalid_sequence = 500,
  ItlEnReasonCode_Cpconverter_too_big = 501,
  ItlEnReasonCode_Cpconverter_incomplete = 502,
  ItlEnReasonCode_Cpconverter_bad_descr = 503,
  ItlEnReasonCode_Xmlparser_async_entity = 600,
  ItlEnReasonCode_Xmlparser_bad_char_ref = 602,
  ItlEnReasonCode_Xmlparser_binary_entity_ref = 603,
  ItlEnReasonCode_Xmlparser_can_not_create_expat = 604,
  ItlEnReasonCode_Xmlparser_duplicate_attribute = 605,
  ItlEnReasonCode_Xmlparser_external_entity_ref = 607,
  ItlEnReasonCode_Xmlparser_invalid_token = 608,
  ItlEnReasonCode_Xmlparser_junk_after_doc_element = 609,
  ItlEnReasonCode_Xmlparser_misplaced_xml_pi = 610,
  ItlEnReasonCode_Xmlparser_no_elements = 611,
  ItlEnReasonCode_Xmlparser_no_memory = 612,
  ItlEnReasonCode_Xmlparser_param_entity_ref = 614,
  ItlEnReasonCode_Xmlparser_partial_char = 615,
  ItlEnReasonCode_Xmlparser_recursive_entity_ref = 616,
  ItlEnReasonCode_Xmlparser_syntax_error = 617,
  ItlEnReasonCode_Xmlparser_tag_mismatch = 618,
  ItlEnReasonCode_Xmlparser_unclosed_cdata_section = 619,
  ItlEnReasonCode_Xmlparser_unclosed_token = 620,
  ItlEnReasonCode_Xmlparser_undefined_entity = 621,
  ItlEnReasonCode_Xmlparser_unexpected_error = 622,
  ItlEnReasonCode_Htmlparser_invalid_meta_statement = 631,
  ItlEnReasonCode_Htmlparser_undefined_entity = 632,
  ItlEnReasonCode_Gpp_same_start_tags = 650,
  ItlEnReasonCode_Gpp_start_tag_contains_other = 651,
  ItlEnReasonCode_Gpp_end_tags_conflict = 652,
  ItlEnReasonCode_Gpp_end_tag_pending = 653,
  ItlEnReasonCode_Gpp_no_model_used = 654,
  ItlEnReasonCode_Unable_to_load_INSO_library = 670,
  ItlEnReasonCode_Unable_to_load_procedure = 671,
  ItlEnReasonCode_INSO_error = 672,
  ItlEnReasonCode_INSO_unexpected_data = 673,
  ItlEnReasonCode_Highlight_occurrences_not_sorted = 700,
  ItlEnReasonCode_Highlight_occurrences_invalid_data = 701,
} ItlEnReasonCode;

/* Kind of a list behind a list handle. */
typedef enum ItlEnListType ITL_ENUM_BASE {
  ItlEnListType_ArrayBasedList = 100001,
  ItlEnListType_ResultList = 100002,
  ItlEnListType_CallbackRankedResultList = 100003,
  ItlEnListType_HighlightList = 100004,
} ItlEnListType;

/* Order of the values a caller's ranking callback returns. */
typedef enum ItlEnSortOrder ITL_ENUM_BASE {
  ItlEnSortOrder_Ascending = 0,
  ItlEnSortOrder_Descending = 1,
} ItlEnSortOrder;

/* Type of a document attribute; selects the name map that numbers it. */
typedef enum ItlEnAttributeType ITL_ENUM_BASE {
  ItlEnAttributeType_String = 100000,
  ItlEnAttributeType_Number = 100001,
  ItlEnAttributeType_Date = 100002,
} ItlEnAttributeType;

/* The format of a caller's document and of a document model. */
typedef enum ItlEnDocumentFormat ITL_ENUM_BASE {
  ItlEnDocumentFormat_Text = 100000,
  ItlEnDocumentFormat_Html = 100001,
  ItlEnDocumentFormat_Xml = 100002,
  ItlEnDocumentFormat_Structured = 100003,
  ItlEnDocumentFormat_Inso = 100004,
} ItlEnDocumentFormat;

/* Unicode normalisation of an index's text ("UnicodeNormalization"). */
typedef enum ItlEnUnicodeNormalization ITL_ENUM_BASE {
  ItlEnUnicodeNormalization_None = 0,
  ItlEnUnicodeNormalization_NFC = 1,
  ItlEnUnicodeNormalization_NFKC = 2,
} ItlEnUnicodeNormalization;

/* Operators of a query, added in postfix order; NOT is unary and negates
 * the operand or operator added last. */
typedef enum ItlEnOperator ITL_ENUM_BASE {
  ItlEnOperator_And = 0,
  ItlEnOperator_Or = 1,
  ItlEnOperator_AndNot = 2,
  ItlEnOperator_Not = 3,
} ItlEnOperator;

/* How strictly an operator is applied; written S, F and P in the engine's
 * expression. P is for AND only. */
typedef enum ItlEnOperatorMode ITL_ENUM_BASE {
  ItlEnOperatorMode_Strict = 0,
  ItlEnOperatorMode_Fuzzy = 1,
  ItlEnOperatorMode_Proximity = 2,
} ItlEnOperatorMode;

/* The bounds of a numeric or date attribute condition: 0 and 1 for the
 * lower bound, 2 and 3 for the upper bound. */
typedef enum ItlEnAttributeComparison ITL_ENUM_BASE {
  ItlEnAttributeComparison_GreaterThan = 0,
  ItlEnAttributeComparison_GreaterOrEqual = 1,
  ItlEnAttributeComparison_LessThan = 2,
  ItlEnAttributeComparison_LessOrEqual = 3,
} ItlEnAttributeComparison;

/* A CCSID as callers give it (0: none given). */
typedef uint16_t ItlTyCCSID;
/* Matching level of a search term, 1..100 (100: exact). */
typedef uint16_t ItlTyPrecision;
/* Rank weight of a search term or field, 0 or more. */
typedef int16_t ItlTyRankWeight;

/* The skip-document-set record of the search core. */
typedef struct ITLSKIPDATA ITLSKIPDATA;

/* Called with the error info and the user data on every recording of an
 * error into an error info. */
typedef void (*ItlTyErrorCallback)(void* errorInfo, void* userData);
/* Ranking: a value and the user data -> the rank value. */
typedef unsigned int (*ItlTyRankingCallback)(unsigned int value, void* user);
/* Skip-document-set decision: the record and the user data. */
typedef unsigned int (*ItlTySkipDocumentSetCallback)(ITLSKIPDATA* data,
                                                     void* user);
/* Date recogniser: UTF-16 text and its length in units, two texts, the user
 * data; out: three date parts, a flag and a count. */
typedef bool (*ItlTyDateCallback)(unsigned short const* text,
                                  unsigned int length, char const* text1,
                                  char const* text2, void* user,
                                  unsigned short* part1,
                                  unsigned short* part2,
                                  unsigned short* part3, bool* flag,
                                  unsigned int* count);
/* Number recogniser: UTF-16 text and its length, two texts, the user data;
 * out: the value, a flag and a count. */
typedef bool (*ItlTyNumberCallback)(unsigned short const* text,
                                    unsigned int length, char const* text1,
                                    char const* text2, void* user,
                                    double* value, bool* flag,
                                    unsigned int* count);

#ifdef __cplusplus
}
#endif

#endif /* ITL_CODES_H */
