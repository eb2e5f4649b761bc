// Message catalogues (X/Open catalogue files with a built-in table as the
// fallback), messages with inserts, and the plain-function interface over
// a proxy that returns texts in its own buffer.

#include "cos_message.hpp"

#include <clocale>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <new>

#include "cos_memmgr.hpp"

namespace {

char const kMissing[] = "???";
char const kNoEntryText[] = "UNABLE TO LOAD MESSAGE #%1 FROM CATALOG: ";
char const kNoCatalogText[] = "UNABLE TO LOAD MESSAGE CATALOG: ";

// Appends `text` to out[n..], at most up to `max` characters in all.
void appendText(char* out, unsigned& n, unsigned max, char const* text) {
  while (*text != '\0' && n < max) out[n++] = *text++;
}

}  // namespace

// ---------------------------------------------------------------------------
// CosClMessageCatalog

CosClMessageCatalog::CosClMessageCatalog(CosClFilenameABase const& fileName)
    : CosClFile(fileName), iv_hCatalog((nl_catd)-1), iv_bOpen(false),
      iv_bDefault(false), iv_ppszTable(nullptr), iv_uTableCount(0) {
  m_clName.setNewExtension("cat");
  init();
}

CosClMessageCatalog::CosClMessageCatalog(char const* fileName)
    : CosClMessageCatalog(CosClFilename(fileName)) {}

CosClMessageCatalog::CosClMessageCatalog()
    : CosClFile(CosClFilename(""), "cat"), iv_hCatalog((nl_catd)-1),
      iv_bOpen(false), iv_bDefault(true), iv_ppszTable(nullptr),
      iv_uTableCount(0) {
  init();
}

CosClMessageCatalog::~CosClMessageCatalog() {
  if (iv_bOpen) catclose(iv_hCatalog);
}

void CosClMessageCatalog::init() {
  if (iv_bOpen) catclose(iv_hCatalog);
  iv_bOpen = false;
  char const* name = m_clName.getAsCString();
  // The default catalogue names no file; a cut name is never opened.
  if (iv_bDefault || m_clName.isTooLong()) return;
  setlocale(LC_ALL, "");
  iv_hCatalog = catopen(name, NL_CAT_LOCALE);
  if (iv_hCatalog == (nl_catd)-1) {
    if (setlocale(LC_ALL, "C") == nullptr) return;
    iv_hCatalog = catopen(name, NL_CAT_LOCALE);
    if (iv_hCatalog == (nl_catd)-1) return;
  }
  if (catgets(iv_hCatalog, 1, 1, nullptr) == nullptr) {
    catclose(iv_hCatalog);
    iv_hCatalog = (nl_catd)-1;
    return;
  }
  iv_bOpen = true;
}

void CosClMessageCatalog::useStringTable(char const* const* table,
                                         unsigned count) {
  iv_ppszTable = table;
  iv_uTableCount = table ? count : 0;
}

// ---------------------------------------------------------------------------
// CosClMessage

unsigned CosClMessage::replaceVars(char* out, unsigned outMax,
                                   char const* templ, char const* const* args,
                                   unsigned argCount) {
  unsigned n = 0;
  char const* p = templ ? templ : "";
  while (*p != '\0' && n < outMax) {
    if (*p != '%') {
      out[n++] = *p++;
      continue;
    }
    ++p;
    if (*p == '%') {
      out[n++] = '%';
      ++p;
      continue;
    }
    unsigned number = 0;
    bool digits = false;
    while (*p >= '0' && *p <= '9') {
      if (number < 1000) number = number * 10 + (unsigned)(*p - '0');
      digits = true;
      ++p;
    }
    char const* insert = kMissing;
    if (digits && number >= 1 && number <= argCount && args != nullptr &&
        args[number - 1] != nullptr)
      insert = args[number - 1];
    appendText(out, n, outMax, insert);
  }
  out[n] = '\0';
  return n;
}

CosClMessage::CosClMessage(CosClMessageCatalog const& catalog, unsigned number)
    : iv_rclCatalog(catalog), iv_pszText(iv_szInline), iv_uNumber(number),
      iv_bLoaded(false) {
  iv_szInline[0] = '\0';
  loadMessage(nullptr);
}

CosClMessage::CosClMessage(CosClMessageCatalog const& catalog, unsigned number,
                           char const* a1, char const* a2, char const* a3,
                           char const* a4, char const* a5, char const* a6,
                           char const* a7, char const* a8, char const* a9,
                           char const* a10)
    : iv_rclCatalog(catalog), iv_pszText(iv_szInline), iv_uNumber(number),
      iv_bLoaded(false) {
  iv_szInline[0] = '\0';
  char const* args[COS_MESSAGE_ARGS] = {a1, a2, a3, a4, a5,
                                        a6, a7, a8, a9, a10};
  loadMessage(args);
}

CosClMessage::CosClMessage(CosClMessageCatalog const& catalog, unsigned number,
                           char const* const* args)
    : iv_rclCatalog(catalog), iv_pszText(iv_szInline), iv_uNumber(number),
      iv_bLoaded(false) {
  iv_szInline[0] = '\0';
  loadMessage(args);
}

CosClMessage::CosClMessage(CosClMessage const& other)
    : iv_rclCatalog(other.iv_rclCatalog), iv_pszText(iv_szInline),
      iv_uNumber(other.iv_uNumber), iv_bLoaded(other.iv_bLoaded) {
  iv_szInline[0] = '\0';
  setText(other.iv_pszText, (unsigned)strlen(other.iv_pszText));
}

CosClMessage& CosClMessage::operator=(CosClMessage const& other) {
  if (this == &other) return *this;
  freeText();
  setText(other.iv_pszText, (unsigned)strlen(other.iv_pszText));
  iv_uNumber = other.iv_uNumber;
  iv_bLoaded = other.iv_bLoaded;
  return *this;
}

CosClMessage::~CosClMessage() { freeText(); }

void CosClMessage::freeText() {
  if (iv_pszText != iv_szInline) CosClMemoryManager::free(iv_pszText);
  iv_pszText = iv_szInline;
  iv_szInline[0] = '\0';
}

void CosClMessage::setText(char const* text, unsigned length) {
  if (length <= INLINE_MAX) {
    memcpy(iv_szInline, text, length);
    iv_szInline[length] = '\0';
    iv_pszText = iv_szInline;
    return;
  }
  char* heap = (char*)CosClMemoryManager::allocate(length + 1);
  memcpy(heap, text, length);
  heap[length] = '\0';
  iv_pszText = heap;
}

char const* CosClMessage::setNewMessageId(unsigned number) {
  iv_uNumber = number;
  return loadMessage(nullptr);
}

char const* CosClMessage::setNewMessageId(unsigned number, char const* a1,
                                          char const* a2, char const* a3,
                                          char const* a4, char const* a5,
                                          char const* a6, char const* a7,
                                          char const* a8, char const* a9,
                                          char const* a10) {
  char const* args[COS_MESSAGE_ARGS] = {a1, a2, a3, a4, a5,
                                        a6, a7, a8, a9, a10};
  iv_uNumber = number;
  return loadMessage(args);
}

char const* CosClMessage::loadMessage(char const* const* args) {
  char const* all[COS_MESSAGE_ARGS];
  for (unsigned i = 0; i < COS_MESSAGE_ARGS; ++i)
    all[i] = (args != nullptr && args[i] != nullptr) ? args[i] : kMissing;
  freeText();
  iv_bLoaded = false;

  char const* templ = nullptr;
  char const* fallback;
  if (iv_rclCatalog.isOpen()) {
    templ = catgets(iv_rclCatalog.getHandle(), 1, (int)iv_uNumber, nullptr);
    fallback = kNoEntryText;
  } else {
    if (iv_rclCatalog.getStringTable() != nullptr &&
        iv_uNumber < iv_rclCatalog.getStringTableCount())
      templ = iv_rclCatalog.getStringTable()[iv_uNumber];
    fallback = kNoCatalogText;
  }

  char buffer[COS_MESSAGE_MAX + 1];
  unsigned n;
  if (templ != nullptr) {
    n = replaceVars(buffer, COS_MESSAGE_MAX, templ, all, COS_MESSAGE_ARGS);
    iv_bLoaded = true;
  } else {
    char number[16];
    snprintf(number, sizeof number, "%u", iv_uNumber);
    char const* numberArg[1] = {number};
    n = replaceVars(buffer, COS_MESSAGE_MAX, fallback, numberArg, 1);
    appendText(buffer, n, COS_MESSAGE_MAX, iv_rclCatalog.getAsCString());
    buffer[n] = '\0';
  }
  setText(buffer, n);
  return iv_pszText;
}

// ---------------------------------------------------------------------------
// Plain-function interface.

class CosClMessageCatalogProxy {
 public:
  CosClMessageCatalogProxy(CosClMessageCatalog* catalog, bool owns)
      : iv_bOwns(owns), iv_pclCatalog(catalog) {
    iv_szBuffer[0] = '\0';
  }
  ~CosClMessageCatalogProxy() {
    if (iv_bOwns && iv_pclCatalog != nullptr) {
      iv_pclCatalog->~CosClMessageCatalog();
      CosClMemoryManager::free(iv_pclCatalog);
    }
  }
  CosClMessageCatalogProxy(CosClMessageCatalogProxy const&) = delete;
  CosClMessageCatalogProxy& operator=(CosClMessageCatalogProxy const&) = delete;

  CosClMessageCatalog& catalog() { return *iv_pclCatalog; }
  // Copies `text` (cut to the buffer) and returns the buffer.
  char const* keep(char const* text) {
    size_t n = strnlen(text, COS_MESSAGE_MAX);
    memcpy(iv_szBuffer, text, n);
    iv_szBuffer[n] = '\0';
    return iv_szBuffer;
  }

 private:
  bool iv_bOwns;
  CosClMessageCatalog* iv_pclCatalog;
  char iv_szBuffer[COS_MESSAGE_MAX + 1];
};

namespace {

// Builds a T through the memory manager (the constructors used here do
// not throw; only the allocation can).
template <class T, class... A>
T* newThroughManager(A&&... args) {
  return new (CosClMemoryManager::allocate((unsigned)sizeof(T)))
      T(static_cast<A&&>(args)...);
}

void deleteProxy(CosClMessageCatalogProxy* proxy) {
  proxy->~CosClMessageCatalogProxy();
  CosClMemoryManager::free(proxy);
}

CosClMessageCatalogProxy* ownedProxy(char const* name) {
  CosClMessageCatalog* catalog =
      newThroughManager<CosClMessageCatalog>(name ? name : "");
  try {
    return newThroughManager<CosClMessageCatalogProxy>(catalog, true);
  } catch (...) {
    catalog->~CosClMessageCatalog();
    CosClMemoryManager::free(catalog);
    throw;
  }
}

}  // namespace

CosMsgCatHandle cosMsgCatOpen(char const* name) {
  CosClMessageCatalogProxy* proxy = ownedProxy(name);
  if (proxy->catalog().isOpen()) return proxy;
  deleteProxy(proxy);
  return nullptr;
}

CosMsgCatHandle cosMsgCatOpenAttach(CosClMessageCatalog* catalog) {
  if (catalog == nullptr || !catalog->isOpen()) return nullptr;
  return newThroughManager<CosClMessageCatalogProxy>(catalog, false);
}

CosMsgCatHandle cosMsgCatOpenOrUseStringTable(char const* name,
                                              char const* const* table,
                                              unsigned count) {
  CosClMessageCatalogProxy* proxy = ownedProxy(name);
  proxy->catalog().useStringTable(table, count);
  return proxy;
}

bool cosMsgCatIsValid(CosMsgCatHandle handle, unsigned number) {
  if (handle == nullptr) return false;
  CosClMessage message(handle->catalog(), number);
  return message.isLoaded();
}

char const* cosMsgCatGet(CosMsgCatHandle handle, unsigned number) {
  if (handle == nullptr) return "";
  CosClMessage message(handle->catalog(), number);
  return handle->keep(message.getText());
}

char const* cosMsgCatGetVar(CosMsgCatHandle handle, unsigned number, ...) {
  if (handle == nullptr) return "";
  char const* args[COS_MESSAGE_ARGS] = {};
  va_list list;
  va_start(list, number);
  for (unsigned i = 0; i < COS_MESSAGE_ARGS; ++i) {
    char const* a = va_arg(list, char const*);
    if (a == nullptr) break;
    args[i] = a;
  }
  va_end(list);
  CosClMessage message(handle->catalog(), number, args);
  return handle->keep(message.getText());
}

void cosMsgCatClose(CosMsgCatHandle handle) {
  if (handle != nullptr) deleteProxy(handle);
}
