/* itl_filter_interface.hpp: what passes between the filter-library parser
 * and the document-filter libraries "libsc_da" (data access) and
 * "libsc_ca" (content access), which are loaded by name at run time.
 *
 * The parser hands the filter a redirected-input record instead of a file:
 * the filter reads the document's bytes only through the record's
 * callbacks, passing the record's address back as their first argument.
 * The filter delivers the document as a sequence of content elements
 * (text, property begin, property end) written into the caller's buffer.
 *
 * Every procedure and callback returns a 32-bit status, 0 for success.
 * Handles are 32-bit numbers chosen by the filter. The records hold named
 * fields in the machine's natural layout; the parser sets the record size
 * of a content element to sizeof(ItlStINSOContentElement).
 *
 * This header compiles as C and as C++; it is shared by the parser and by
 * the test stand-ins of the two libraries (source/filter_standin).
 */
#ifndef ITL_FILTER_INTERFACE_HPP
#define ITL_FILTER_INTERFACE_HPP

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Statuses of the filter's procedures (mapInsoError names them). */
#define ITL_INSO_DAERR_OK 0
#define ITL_INSO_DAERR_FILTERLOADFAILED 2
#define ITL_INSO_DAERR_FILTERNOTAVAIL 4
#define ITL_INSO_DAERR_FILEOPENFAILED 7
#define ITL_INSO_DAERR_BADFILE 9
#define ITL_INSO_DAERR_EMPTYFILE 10
#define ITL_INSO_DAERR_PROTECTEDFILE 11
#define ITL_INSO_DAERR_SUPFILEOPENFAILS 12
#define ITL_INSO_DAERR_BADPARAM 15
#define ITL_INSO_DAERR_UNKNOWN 18
#define ITL_INSO_DAERR_MEMORY 30
#define ITL_INSO_DAERR_EOF 31
#define ITL_INSO_DAERR_ABORT 32
#define ITL_INSO_DAERR_CHARMAPFAILED 33
#define ITL_INSO_DAERR_FILECREATE 34
#define ITL_INSO_DAERR_MORE 35

/* Statuses of the redirected-input callbacks. */
#define ITL_INSO_IOERR_OK 0
#define ITL_INSO_IOERR_BADPARAM (-1)
#define ITL_INSO_IOERR_BADINFOID (-7)
#define ITL_INSO_IOERR_EOF (-9)
#define ITL_INSO_IOERR_UNKNOWNINFO (-10)

/* Document specification type of a redirected-input record. */
#define ITL_INSO_SPEC_REDIRECTED_IO 13u

/* Options of DASetOption: option 1 takes 0x14B00000, option 2 the
 * fallback format for documents the filter cannot identify. */
#define ITL_INSO_OPTION_FILTER_SETTINGS 1u
#define ITL_INSO_OPTION_FILTER_SETTINGS_VALUE 0x14B00000u
#define ITL_INSO_OPTION_FALLBACK_FORMAT 2u

/* Content element types and subtypes. */
#define ITL_INSO_ELEMENT_TEXT 1u
#define ITL_INSO_ELEMENT_PROPERTY_BEGIN 2u
#define ITL_INSO_ELEMENT_PROPERTY_END 3u
#define ITL_INSO_TEXT_CHARACTERS 1u /* UTF-16 text in machine order */
#define ITL_INSO_TEXT_BREAK 2u      /* one break character */
/* Property subtype whose identifier names a document property (1..62);
 * other subtypes s stand for tag (s >> 16) + 63. */
#define ITL_INSO_PROPERTY_DOCUMENT 0x10000u

/* Size of the buffer the parser hands the filter for one element. */
#define ITL_INSO_CONTENT_BUFFER_SIZE 16384u

typedef struct ItlStINSORedirectedIO ItlStINSORedirectedIO;

/* The redirected-input callbacks. `record` is the address of the record
 * handed to DAOpenDocument. */
typedef int32_t (*ItlPfnINSOIOClose)(void* record);
/* Copies up to `size` bytes into `buffer`, stores the count; -9 at the
 * end of the bytes. */
typedef int32_t (*ItlPfnINSOIORead)(void* record, uint8_t* buffer,
                                    uint32_t size, uint32_t* count);
typedef int32_t (*ItlPfnINSOIOWrite)(void* record, uint8_t* buffer,
                                     uint32_t size, uint32_t* count);
/* origin 0 from the start, 1 from the current position, 2 from the end;
 * the position is clamped to the bytes. */
typedef int32_t (*ItlPfnINSOIOSeek)(void* record, uint16_t origin,
                                    int32_t offset);
typedef int32_t (*ItlPfnINSOIOTell)(void* record, uint32_t* offset);
typedef int32_t (*ItlPfnINSOIOGetInfo)(void* record, uint32_t id,
                                       void* data);

/* Redirected-input record: the callbacks, a reserved zero word and the
 * owner the callbacks reach their document through. */
struct ItlStINSORedirectedIO {
  ItlPfnINSOIOClose pfnClose;
  ItlPfnINSOIORead pfnRead;
  ItlPfnINSOIOWrite pfnWrite;
  ItlPfnINSOIOSeek pfnSeek;
  ItlPfnINSOIOTell pfnTell;
  ItlPfnINSOIOGetInfo pfnGetInfo;
  uint32_t uiReserved;  /* 0 */
  void* pOwner;         /* the parser; null: the callbacks refuse */
};

/* One content element, filled by CAReadFirst and CAReadNext. The caller
 * sets size, buffer size and data; the filter writes at most buffer-size
 * bytes to data and reports their count in data size. */
typedef struct ItlStINSOContentElement {
  uint32_t uiSize;        /* sizeof(ItlStINSOContentElement) */
  uint32_t uiFlags;       /* 0 */
  uint32_t uiBufferSize;  /* bytes at pData */
  uint32_t uiType;        /* ITL_INSO_ELEMENT_* */
  uint32_t uiSubtype;     /* text: ITL_INSO_TEXT_*; property: see above */
  uint32_t uiPropertyId;  /* property begin and end */
  uint32_t auiReserved[3];
  uint32_t uiDataSize;    /* bytes delivered (an untrusted count) */
  void* pData;            /* the caller's buffer */
} ItlStINSOContentElement;

/* The nine procedures, by the names the libraries export. */
typedef int32_t (*ItlPfnCAOpenContent)(uint32_t document, uint32_t* content);
typedef int32_t (*ItlPfnCACloseContent)(uint32_t content);
typedef int32_t (*ItlPfnCAReadFirst)(uint32_t content,
                                     ItlStINSOContentElement* element);
typedef int32_t (*ItlPfnCAReadNext)(uint32_t content,
                                    ItlStINSOContentElement* element);
typedef int32_t (*ItlPfnDAInit)(void);
typedef int32_t (*ItlPfnDADeInit)(void);
typedef int32_t (*ItlPfnDAOpenDocument)(uint32_t* document, uint32_t specType,
                                        void* spec, uint32_t flags);
typedef int32_t (*ItlPfnDACloseDocument)(uint32_t document);
typedef int32_t (*ItlPfnDASetOption)(uint32_t document, uint32_t option,
                                     void* value, uint32_t size);

#ifdef __cplusplus
}
#endif

#endif /* ITL_FILTER_INTERFACE_HPP */
