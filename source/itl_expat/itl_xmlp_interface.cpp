// itl_xmlp_interface.cpp: Expat's error codes as index-library codes, and
// parsers whose memory comes from the cos memory manager.
#include "itl_xmlp_interface.hpp"

#include "cos_memmgr.hpp"

namespace {

// Searched in this order; the first match wins.
ItlClXmlPInterface::Pair const gs_astXmlPReasonMap[ItlClXmlPInterface::kPairCount] = {
    {XML_ERROR_NONE, ItlEnReasonCode_Success},
    {XML_ERROR_NO_MEMORY, ItlEnReasonCode_Out_of_memory},
    {XML_ERROR_SYNTAX, ItlEnReasonCode_Xmlparser_syntax_error},
    {XML_ERROR_NO_ELEMENTS, ItlEnReasonCode_Xmlparser_no_elements},
    {XML_ERROR_INVALID_TOKEN, ItlEnReasonCode_Xmlparser_invalid_token},
    {XML_ERROR_UNCLOSED_TOKEN, ItlEnReasonCode_Xmlparser_unclosed_token},
    {XML_ERROR_PARTIAL_CHAR, ItlEnReasonCode_Xmlparser_partial_char},
    {XML_ERROR_TAG_MISMATCH, ItlEnReasonCode_Xmlparser_tag_mismatch},
    {XML_ERROR_DUPLICATE_ATTRIBUTE, ItlEnReasonCode_Xmlparser_duplicate_attribute},
    {XML_ERROR_JUNK_AFTER_DOC_ELEMENT, ItlEnReasonCode_Xmlparser_junk_after_doc_element},
    {XML_ERROR_PARAM_ENTITY_REF, ItlEnReasonCode_Xmlparser_param_entity_ref},
    {XML_ERROR_UNDEFINED_ENTITY, ItlEnReasonCode_Xmlparser_undefined_entity},
    {XML_ERROR_RECURSIVE_ENTITY_REF, ItlEnReasonCode_Xmlparser_recursive_entity_ref},
    {XML_ERROR_ASYNC_ENTITY, ItlEnReasonCode_Xmlparser_async_entity},
    {XML_ERROR_BAD_CHAR_REF, ItlEnReasonCode_Xmlparser_bad_char_ref},
    {XML_ERROR_BINARY_ENTITY_REF, ItlEnReasonCode_Xmlparser_binary_entity_ref},
    {XML_ERROR_ATTRIBUTE_EXTERNAL_ENTITY_REF, ItlEnReasonCode_Xmlparser_external_entity_ref},
    {XML_ERROR_MISPLACED_XML_PI, ItlEnReasonCode_Xmlparser_misplaced_xml_pi},
    {XML_ERROR_UNCLOSED_CDATA_SECTION, ItlEnReasonCode_Xmlparser_unclosed_cdata_section},
};

XML_Memory_Handling_Suite const gs_stCosMemorySuite = {&cosMalloc, &cosRealloc,
                                                        &cosFree};

}  // namespace

ItlEnErrorAction ItlClXmlPInterface::getItlActionForXmlP(XML_Error) {
  return ItlEnErrorAction_ReProcessDocument;
}

ItlEnReturnCode ItlClXmlPInterface::getItlReturnCodeForXmlP(XML_Error code) {
  return code == XML_ERROR_NONE ? ItlEnReturnCode_Success
                                : ItlEnReturnCode_Warning;
}

ItlEnReasonCode ItlClXmlPInterface::getItlReasonCodeForXmlPRc(XML_Error code) {
  for (Pair const& p : gs_astXmlPReasonMap)
    if (p.xmlError == code) return p.reason;
  return ItlEnReasonCode_Xmlparser_unexpected_error;
}

ItlClXmlPInterface::Pair const* ItlClXmlPInterface::getPairs() {
  return gs_astXmlPReasonMap;
}

XML_Parser itlExpatCreateParser(char const* encoding) {
  return XML_ParserCreate_MM(encoding, &gs_stCosMemorySuite, nullptr);
}
