// itl_api_codes.cpp: the names of the return codes, actions and reasons
// as static texts, for the code-to-name functions of the error info.
#include "itl_api_codes.hpp"

#include <cstddef>

namespace {

struct CodeName {
  int32_t code;
  char const* name;
};

// Sorted by code.
CodeName const kReturnCodes[] = {
    {0, "ItlEnReturnCode_Success"},
    {4, "ItlEnReturnCode_Warning"},
    {8, "ItlEnReturnCode_Error"},
    {16, "ItlEnReturnCode_Error_Handle"},
};

// Sorted by code.
CodeName const kActions[] = {
    {100000, "ItlEnErrorAction_Ignore"},
    {100001, "ItlEnErrorAction_Inform"},
    {100002, "ItlEnErrorAction_ReProcessDocument"},
    {100003, "ItlEnErrorAction_Rollback"},
    {100004, "ItlEnErrorAction_Terminate"},
    {100005, "ItlEnErrorAction_Abort"},
};

// Sorted by code.
CodeName const kReasons[] = {
    {0, "ItlEnReasonCode_Success"},
    {1, "ItlEnReasonCode_Invalid_handle"},
    {2, "ItlEnReasonCode_Out_of_memory"},
    {3, "ItlEnReasonCode_Permission_denied"},
    {4, "ItlEnReasonCode_Operation_not_supported"},
    {5, "ItlEnReasonCode_Operation_not_enabled"},
    {6, "ItlEnReasonCode_Invalid_calling_sequence"},
    {7, "ItlEnReasonCode_Unexpected_error"},
    {8, "ItlEnReasonCode_Invalid_language"},
    {9, "ItlEnReasonCode_Language_not_supported"},
    {10, "ItlEnReasonCode_Invalid_ccsid"},
    {11, "ItlEnReasonCode_Ccsid_not_supported"},
    {12, "ItlEnReasonCode_Invalid_docid"},
    {13, "ItlEnReasonCode_Document_format_not_supported"},
    {14, "ItlEnReasonCode_Invalid_document_format"},
    {15, "ItlEnReasonCode_Io_access_denied"},
    {16, "ItlEnReasonCode_Io_open_error"},
    {17, "ItlEnReasonCode_Io_read_error"},
    {18, "ItlEnReasonCode_Io_write_error"},
    {19, "ItlEnReasonCode_Io_seek_error"},
    {20, "ItlEnReasonCode_Io_tell_error"},
    {21, "ItlEnReasonCode_Io_close_error"},
    {22, "ItlEnReasonCode_Io_rename_error"},
    {23, "ItlEnReasonCode_Io_remove_error"},
    {24, "ItlEnReasonCode_Io_mkdir_error"},
    {25, "ItlEnReasonCode_Invalid_argument"},
    {26, "ItlEnReasonCode_Directory_not_found"},
    {27, "ItlEnReasonCode_Unexpected_voz_rc"},
    {28, "ItlEnReasonCode_Unexpected_cos_rc"},
    {29, "ItlEnReasonCode_Empty_document"},
    {30, "ItlEnReasonCode_Argument_not_supported"},
    {31, "ItlEnReasonCode_Invalid_date_attribute"},
    {32, "ItlEnReasonCode_Invalid_number_attribute"},
    {33, "ItlEnReasonCode_Invalid_string_attribute"},
    {35, "ItlEnReasonCode_Invalid_utf8_char"},
    {36, "ItlEnReasonCode_Attribute_truncated"},
    {38, "ItlEnReasonCode_Too_many_warnings"},
    {39, "ItlEnReasonCode_Stackoverflow"},
    {40, "ItlEnReasonCode_Too_many_items"},
    {46, "ItlEnReasonCode_Iterator_invalid"},
    {47, "ItlEnReasonCode_Function_not_supported"},
    {48, "ItlEnReasonCode_Stopwordfile_not_found"},
    {49, "ItlEnReasonCode_Stopwordfile_empty"},
    {50, "ItlEnReasonCode_Stopwordfile_contains_invalid_data"},
    {100, "ItlEnReasonCode_Index_not_found"},
    {101, "ItlEnReasonCode_Index_invalid_name"},
    {102, "ItlEnReasonCode_Index_invalid_directory"},
    {103, "ItlEnReasonCode_Index_corrupted"},
    {104, "ItlEnReasonCode_Index_already_exists"},
    {109, "ItlEnReasonCode_Index_rollback_required"},
    {110, "ItlEnReasonCode_Index_ini_file_missing_section"},
    {111, "ItlEnReasonCode_Index_ini_file_missing_option"},
    {112, "ItlEnReasonCode_Index_ini_file_invalid_option_data"},
    {113, "ItlEnReasonCode_Index_ini_file_invalid_version"},
    {200, "ItlEnReasonCode_Docmodel_invalid_name"},
    {201, "ItlEnReasonCode_Docmodel_invalid_field_name"},
    {202, "ItlEnReasonCode_Docmodel_model_unknown"},
    {203, "ItlEnReasonCode_Docmodel_model_already_exists"},
    {204, "ItlEnReasonCode_Docmodel_models_overflow"},
    {205, "ItlEnReasonCode_Docmodel_item_overflow"},
    {206, "ItlEnReasonCode_Docmodel_invalid_parameter"},
    {207, "ItlEnReasonCode_Docmodel_invalid_parameter_value"},
    {208, "ItlEnReasonCode_Docmodel_missing_parameter"},
    {209, "ItlEnReasonCode_Docmodel_syntax_error"},
    {210, "ItlEnReasonCode_Docmodel_xpath_invalid"},
    {211, "ItlEnReasonCode_Docmodel_xpath_invalid_axis"},
    {212, "ItlEnReasonCode_Docmodel_xpath_invalid_nodetest"},
    {213, "ItlEnReasonCode_Docmodel_mdx_file_corrupted"},
    {214, "ItlEnReasonCode_Docmodel_mox_file_corrupted"},
    {215, "ItlEnReasonCode_Docmodel_nested_attributes"},
    {216, "ItlEnReasonCode_Docmodel_tag_too_long"},
    {217, "ItlEnReasonCode_Docmodel_duplicate_field_definition"},
    {218, "ItlEnReasonCode_Docmodel_duplicate_attr_definition"},
    {300, "ItlEnReasonCode_Docmap_corrupted"},
    {301, "ItlEnReasonCode_Docmap_invalid_docnumber"},
    {302, "ItlEnReasonCode_Docmap_invalid_docid"},
    {303, "ItlEnReasonCode_Docmap_docid_not_found"},
    {304, "ItlEnReasonCode_Docmap_docnumber_not_found"},
    {305, "ItlEnReasonCode_Docmap_docnumber_overflow"},
    {306, "ItlEnReasonCode_Docmap_duplicate_docid"},
    {340, "ItlEnReasonCode_Invalid_term_strength"},
    {341, "ItlEnReasonCode_Invalid_relation_number"},
    {342, "ItlEnReasonCode_Invalid_relation_type"},
    {343, "ItlEnReasonCode_Specified_phrase_too_long"},
    {344, "ItlEnReasonCode_Unexpected_end_of_file"},
    {345, "ItlEnReasonCode_Version_conflict_detected"},
    {346, "ItlEnReasonCode_Buffer_overflow"},
    {347, "ItlEnReasonCode_Invalid_name"},
    {348, "ItlEnReasonCode_Term_not_found"},
    {349, "ItlEnReasonCode_Empty_definition_file"},
    {350, "ItlEnReasonCode_Resource_does_not_exist"},
    {351, "ItlEnReasonCode_No_block_start_in_definition_file"},
    {352, "ItlEnReasonCode_Relationship_specified_incorrectly"},
    {353, "ItlEnReasonCode_Relationship_number_out_of_range"},
    {360, "ItlEnReasonCode_Invalid_single_character_mask"},
    {361, "ItlEnReasonCode_Invalid_multiple_character_mask"},
    {362, "ItlEnReasonCode_Too_many_operands_for_operator"},
    {363, "ItlEnReasonCode_Invalid_operator"},
    {364, "ItlEnReasonCode_Invalid_rank_formula"},
    {365, "ItlEnReasonCode_Invalid_proximity_identifier"},
    {366, "ItlEnReasonCode_Query_under_construction"},
    {367, "ItlEnReasonCode_Invalid_search_scope_specified"},
    {368, "ItlEnReasonCode_Invalid_call_to_add_field_name"},
    {369, "ItlEnReasonCode_Index_compliance_rule_restored"},
    {370, "ItlEnReasonCode_Masking_not_supported"},
    {371, "ItlEnReasonCode_Empty_query"},
    {372, "ItlEnReasonCode_Invalid_min_comparison"},
    {373, "ItlEnReasonCode_Invalid_max_comparison"},
    {374, "ItlEnReasonCode_Empty_index"},
    {375, "ItlEnReasonCode_Invalid_usage_of_operator_mode"},
    {380, "ItlEnReasonCode_Search_threshold_met"},
    {381, "ItlEnReasonCode_Query_contains_stop_words"},
    {401, "ItlEnReasonCode_Map_corrupted"},
    {402, "ItlEnReasonCode_Map_invalid_name"},
    {403, "ItlEnReasonCode_Map_name_not_found"},
    {404, "ItlEnReasonCode_Map_out_of_range"},
    {500, "ItlEnReasonCode_Cpconverter_invalid_sequence"},
    {501, "ItlEnReasonCode_Cpconverter_too_big"},
    {502, "ItlEnReasonCode_Cpconverter_incomplete"},
    {503, "ItlEnReasonCode_Cpconverter_bad_descr"},
    {600, "ItlEnReasonCode_Xmlparser_async_entity"},
    {602, "ItlEnReasonCode_Xmlparser_bad_char_ref"},
    {603, "ItlEnReasonCode_Xmlparser_binary_entity_ref"},
    {604, "ItlEnReasonCode_Xmlparser_can_not_create_expat"},
    {605, "ItlEnReasonCode_Xmlparser_duplicate_attribute"},
    {607, "ItlEnReasonCode_Xmlparser_external_entity_ref"},
    {608, "ItlEnReasonCode_Xmlparser_invalid_token"},
    {609, "ItlEnReasonCode_Xmlparser_junk_after_doc_element"},
    {610, "ItlEnReasonCode_Xmlparser_misplaced_xml_pi"},
    {611, "ItlEnReasonCode_Xmlparser_no_elements"},
    {612, "ItlEnReasonCode_Xmlparser_no_memory"},
    {614, "ItlEnReasonCode_Xmlparser_param_entity_ref"},
    {615, "ItlEnReasonCode_Xmlparser_partial_char"},
    {616, "ItlEnReasonCode_Xmlparser_recursive_entity_ref"},
    {617, "ItlEnReasonCode_Xmlparser_syntax_error"},
    {618, "ItlEnReasonCode_Xmlparser_tag_mismatch"},
    {619, "ItlEnReasonCode_Xmlparser_unclosed_cdata_section"},
    {620, "ItlEnReasonCode_Xmlparser_unclosed_token"},
    {621, "ItlEnReasonCode_Xmlparser_undefined_entity"},
    {622, "ItlEnReasonCode_Xmlparser_unexpected_error"},
    {631, "ItlEnReasonCode_Htmlparser_invalid_meta_statement"},
    {632, "ItlEnReasonCode_Htmlparser_undefined_entity"},
    {650, "ItlEnReasonCode_Gpp_same_start_tags"},
    {651, "ItlEnReasonCode_Gpp_start_tag_contains_other"},
    {652, "ItlEnReasonCode_Gpp_end_tags_conflict"},
    {653, "ItlEnReasonCode_Gpp_end_tag_pending"},
    {654, "ItlEnReasonCode_Gpp_no_model_used"},
    {670, "ItlEnReasonCode_Unable_to_load_INSO_library"},
    {671, "ItlEnReasonCode_Unable_to_load_procedure"},
    {672, "ItlEnReasonCode_INSO_error"},
    {673, "ItlEnReasonCode_INSO_unexpected_data"},
    {700, "ItlEnReasonCode_Highlight_occurrences_not_sorted"},
    {701, "ItlEnReasonCode_Highlight_occurrences_invalid_data"},
};

template <size_t N>
char const* lookUp(CodeName const (&table)[N], int32_t code) {
  size_t low = 0, high = N;
  while (low < high) {
    size_t mid = (low + high) / 2;
    if (table[mid].code < code) low = mid + 1;
    else high = mid;
  }
  return low < N && table[low].code == code ? table[low].name : nullptr;
}

}  // namespace

char const* itlApiReturnCodeName(int32_t code) {
  return lookUp(kReturnCodes, code);
}
char const* itlApiActionName(int32_t code) { return lookUp(kActions, code); }
char const* itlApiReasonCodeName(int32_t code) {
  return lookUp(kReasons, code);
}
