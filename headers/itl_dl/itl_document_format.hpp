// itl_document_format.hpp: the document formats and the field marker of
// the document layer.
//
// ItlEnDocumentFormat names the format of a caller's document and of a
// document model; values pass through the exported functions: never
// renumber. ITL_MODEL_ITEM_FIELD is the type value of a model item that
// defines a field: one past the ItlEnAttributeType values.
#ifndef ITL_DOCUMENT_FORMAT_HPP
#define ITL_DOCUMENT_FORMAT_HPP

#include <cstdint>

#include "itl_codes.hpp"

enum ItlEnDocumentFormat : int32_t {
  ItlEnDocumentFormat_Text = 100000,
  ItlEnDocumentFormat_Html = 100001,
  ItlEnDocumentFormat_Xml = 100002,
  ItlEnDocumentFormat_Structured = 100003,
  ItlEnDocumentFormat_Inso = 100004,
};

// Type of a model item that defines a field (no attribute type set).
constexpr ItlEnAttributeType ITL_MODEL_ITEM_FIELD =
    static_cast<ItlEnAttributeType>(100003);

#endif  // ITL_DOCUMENT_FORMAT_HPP
