// Trace configuration: the resource key, the record filter, the settings
// block and the trace environment, which reads the "<KEY>_TRACE_..."
// variables once, owns the ring buffer and names the trace file.

#include <unistd.h>

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>

#include "cos_envvar.hpp"
#include "cos_file.hpp"
#include "cos_memmgr.hpp"
#include "cos_string.hpp"
#include "cos_trace.hpp"

namespace {

// The characters a resource key keeps; others map to kKeyChars[c % 65].
char const kKeyChars[] =
    "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789_-@";
unsigned const kKeyCharCount = 65;

// Builds an object of type T in memory of the memory manager.
template <class T, class... A>
T* newThroughManager(A&&... args) {
  void* p = CosClMemoryManager::allocate((unsigned)sizeof(T));
  try {
    return new (p) T(static_cast<A&&>(args)...);
  } catch (...) {
    CosClMemoryManager::free(p);
    throw;
  }
}

template <class T>
void deleteThroughManager(T* object) {
  if (object == nullptr) return;
  object->~T();
  CosClMemoryManager::free(object);
}

}  // namespace

// ---------------------------------------------------------------------------
// CosClResourceKeyABase

CosClResourceKeyABase::CosClResourceKeyABase(char const* prefix,
                                             char const* key,
                                             char const* instance)
    : iv_uLength(0), iv_pszKey(iv_szText) {
  iv_szText[0] = '\0';
  if (prefix != nullptr) {
    size_t n = strnlen(prefix, MAX_TEXT);
    memcpy(iv_szText, prefix, n);
    iv_szText[n] = '\0';
    iv_uLength = (uint32_t)n;
  }
  // The key starts after the prefix's ':'.
  uint32_t keyStart = iv_uLength > 0 ? iv_uLength + 1 : 0;
  if (key != nullptr) add(key);
  iv_pszKey = iv_szText + (keyStart < iv_uLength ? keyStart : iv_uLength);
  if (instance != nullptr) add(instance);
}

CosClResourceKeyABase::CosClResourceKeyABase(CosClResourceKeyABase const& o)
    : iv_uLength(o.iv_uLength), iv_pszKey(iv_szText + (o.iv_pszKey - o.iv_szText)) {
  memcpy(iv_szText, o.iv_szText, sizeof iv_szText);
}

CosClResourceKeyABase& CosClResourceKeyABase::operator=(
    CosClResourceKeyABase const& o) {
  iv_uLength = o.iv_uLength;
  memcpy(iv_szText, o.iv_szText, sizeof iv_szText);
  iv_pszKey = iv_szText + (o.iv_pszKey - o.iv_szText);
  return *this;
}

CosClResourceKeyABase::~CosClResourceKeyABase() = default;

void CosClResourceKeyABase::add(char const* part) {
  if (iv_uLength > 0 && iv_uLength < MAX_TEXT) iv_szText[iv_uLength++] = ':';
  for (; *part != '\0' && iv_uLength < MAX_TEXT; ++part) {
    unsigned char c = (unsigned char)*part;
    char out;
    if (c == '/')
      out = ':';
    else if (c != 0 && memchr(kKeyChars, c, kKeyCharCount) != nullptr)
      out = (char)c;
    else
      out = kKeyChars[c % kKeyCharCount];
    iv_szText[iv_uLength++] = out;
  }
  iv_szText[iv_uLength] = '\0';
}

bool CosClResourceKeyABase::matches(char const* text) const {
  return text != nullptr && strncmp(iv_szText, text, iv_uLength) == 0;
}

// ---------------------------------------------------------------------------
// CosClTraceFilter

CosClTraceFilter::CosClTraceFilter()
    : iv_uDetail((uint32_t)CosEnTraceDetail::LOW), iv_uProcessId(0),
      iv_uThreadId(0) {
  enableAllComponentIds();
}

void CosClTraceFilter::setDetail(char const* text) {
  if (text == nullptr) iv_uDetail = 0;
  else if (strncmpi(text, "HIGH", 4) == 0) iv_uDetail = 3;
  else if (strncmpi(text, "MED", 3) == 0) iv_uDetail = 2;
  else if (strncmpi(text, "LOW", 3) == 0) iv_uDetail = 1;
  else iv_uDetail = 0;
}

char const* CosClTraceFilter::getDetailAsCString(uint32_t level) {
  static char const* const names[] = {"OFF", "LOW", "MED", "HIGH"};
  return level < 4 ? names[level] : nullptr;
}

void CosClTraceFilter::enableAllComponentIds() {
  memset(iv_aucCompIds, 0xFF, sizeof iv_aucCompIds);
}

void CosClTraceFilter::disableAllComponentIds() {
  memset(iv_aucCompIds, 0, sizeof iv_aucCompIds);
}

void CosClTraceFilter::enableComponentId(uint8_t id) {
  iv_aucCompIds[id / 8] |= (uint8_t)(1u << (id % 8));
}

void CosClTraceFilter::disableComponentId(uint8_t id) {
  iv_aucCompIds[id / 8] &= (uint8_t)~(1u << (id % 8));
}

void CosClTraceFilter::setComponentIdSet(uint32_t low, uint32_t high,
                                         bool enable) {
  if (low == 0) return;
  if (high == 0) high = low;
  if (high > 255) high = 255;
  for (uint32_t id = low; id <= high; ++id) {
    if (enable) enableComponentId((uint8_t)id);
    else disableComponentId((uint8_t)id);
  }
}

void CosClTraceFilter::enableComponentIds(char const* text) {
  if (text == nullptr || *text == '\0') return;
  uint32_t low = 0, high = 0;
  bool toHigh = false, enable = true;
  char const* p = text;
  while (*p != '\0') {
    if (isdigit((unsigned char)*p)) {
      char* end;
      long v = strtol(p, &end, 10);
      uint32_t value = v < 0 ? 0 : v > 65535 ? 65535 : (uint32_t)v;
      (toHigh ? high : low) = value;
      p = end;
      continue;
    }
    switch (*p) {
      case '.': toHigh = true; break;
      case '*': low = 1; high = 255; break;
      case '+': enable = true; break;
      case '-': enable = false; break;
      case ',':
        setComponentIdSet(low, high, enable);
        low = high = 0;
        toHigh = false;
        enable = true;
        break;
      default: break;
    }
    ++p;
  }
  setComponentIdSet(low, high, enable);
}

bool CosClTraceFilter::usesCompIdFilter() const {
  for (unsigned id = 1; id < 256; ++id)
    if (!isComponentIdEnabled((uint8_t)id)) return true;
  return false;
}

void CosClTraceFilter::setProcessId(char const* text) {
  iv_uProcessId = text ? (uint32_t)atol(text) : 0;
}

void CosClTraceFilter::setThreadId(char const* text) {
  iv_uThreadId = text ? (uint32_t)atol(text) : 0;
}

// ---------------------------------------------------------------------------
// CosClTraceSettings

CosClTraceSettings::CosClTraceSettings() : iv_pstBlock(&iv_stBlock) { init(); }

CosClTraceSettings::CosClTraceSettings(_CosStTraceSettingsBlock* block)
    : iv_pstBlock(block ? block : &iv_stBlock) {
  new (&iv_pstBlock->filter) CosClTraceFilter();
  init();
}

void CosClTraceSettings::init() {
  iv_pstBlock->marker = MARKER;
  iv_pstBlock->flags = COS_TRACE_FLAG_COMPRESS | COS_TRACE_FLAG_AUTOSAVE;
}

void CosClTraceSettings::initComponentIds(char const* text) {
  if (text == nullptr || *text == '\0') return;
  filter().disableAllComponentIds();
  filter().enableComponentIds(text);
}

// ---------------------------------------------------------------------------
// CosClTraceEnvironment

char const* const CosClTraceEnvironment::DEFAULT_INSTANCE_NAME =
    "COSTRACEINSTANCE0";
char const* const CosClTraceEnvironment::DEFAULT_FORMAT =
    "%f%n   P: %p, T: %s, D: %l, C: %c%n   Data: %m (%x: %d%n)";

CosClTraceEnvironment::CosClTraceEnvironment(char const* key,
                                             char const* instanceName,
                                             bool controller)
    : iv_clKey(key ? key : "", instanceName ? instanceName
                                            : DEFAULT_INSTANCE_NAME),
      iv_pclBufferManager(nullptr), iv_pclSettings(nullptr),
      iv_uBufferSize(COS_TRACE_BUFSIZE_DEFAULT),
      iv_uProcessId((uint32_t)getpid()), iv_pucBuffer(nullptr),
      iv_bActive(false), iv_bShared(false), iv_bController(controller),
      iv_uExpanded(0), iv_uStored(0) {
  iv_szFormat[0] = '\0';
  if (key == nullptr) key = "";
  try {
    iv_pclSettings = newThroughManager<CosClTraceSettings>();
    determineSettingsFromEnvVars(key);
    iv_pucBuffer = (uint8_t*)CosClMemoryManager::allocate(iv_uBufferSize);
    memset(iv_pucBuffer, 0, iv_uBufferSize);
    iv_pclBufferManager = newThroughManager<CosClTraceBufferManager>(
        iv_clKey, (void*)iv_pucBuffer, iv_uBufferSize);
  } catch (...) {
    CosClMemoryManager::free(iv_pucBuffer);
    deleteThroughManager(iv_pclSettings);
    throw;
  }
  if (iv_pclSettings->hasFlag(COS_TRACE_FLAG_AUTOSAVE)) {
    iv_pclBufferManager->setOverflowHandler(&cosTraceBufferOverflowHandler,
                                            this);
    if (!iv_bController && iv_pclSettings->hasFlag(COS_TRACE_FLAG_AUTOCLEAR)) {
      CosClFile file(iv_clFileName);
      file.remove();  // a missing file is no error
    }
  }
}

CosClTraceEnvironment::~CosClTraceEnvironment() {
  iv_pclBufferManager->flush();
  if (iv_pclSettings->hasFlag(COS_TRACE_FLAG_AUTOSAVE))
    iv_pclBufferManager->setOverflowHandler(nullptr, nullptr);
  if (!iv_bShared) CosClMemoryManager::free(iv_pucBuffer);
  deleteThroughManager(iv_pclBufferManager);
  deleteThroughManager(iv_pclSettings);
}

void CosClTraceEnvironment::flush() { iv_pclBufferManager->flush(); }

void CosClTraceEnvironment::add(CosClTraceEntry const& entry) {
  iv_pclBufferManager->write(entry);
  if (iv_pclSettings->hasFlag(COS_TRACE_FLAG_AUTOFLUSH)) flush();
}

void CosClTraceEnvironment::setFormatString(char const* text) {
  if (text == nullptr) text = "";
  size_t n = strnlen(text, FORMAT_MAX);
  memcpy(iv_szFormat, text, n);
  iv_szFormat[n] = '\0';
}

double CosClTraceEnvironment::getCompressionRate() const {
  if (iv_uExpanded == 0 || iv_uStored == 0) return 0.0;
  return (double)iv_uStored / (double)iv_uExpanded;
}

namespace {

// `<KEY>` in upper case followed by `suffix`.
std::string variableName(char const* key, char const* suffix) {
  std::string name(key);
  for (char& c : name) c = (char)toupper((unsigned char)c);
  return name + suffix;
}

// The buffer size for a "_TRACE_BUFSIZE" value in KB, clamped to
// 4096..16777216 bytes (computed in 64 bits: no wrap-around).
uint32_t bufferSizeFromText(char const* text) {
  long long kb = atoll(text);
  if (kb >= (long long)(COS_TRACE_BUFSIZE_MAX / 1024)) return COS_TRACE_BUFSIZE_MAX;
  long long bytes = kb * 1024;
  if (bytes < (long long)COS_TRACE_BUFSIZE_MIN + 1) return COS_TRACE_BUFSIZE_MIN;
  return (uint32_t)bytes;
}

}  // namespace

void CosClTraceEnvironment::determineSettingsFromEnvVars(char const* key) {
  CosClEnvironmentVariableQueryOnly var;
  auto read = [&](char const* suffix) -> char const* {
    var.setNewName(variableName(key, suffix).c_str());
    return var.getValue();
  };
  auto enabled = [&](char const* suffix) {
    var.setNewName(variableName(key, suffix).c_str());
    return var.hasValueEnabled();
  };
  CosClTraceSettings& s = *iv_pclSettings;
  iv_bActive = enabled("_TRACE_ACTIVE");
  if (char const* v = read("_TRACE_DETAIL")) s.setDetailLevel(v);
  if (enabled("_TRACE_AUTOSAVE")) s.setFlag(COS_TRACE_FLAG_AUTOSAVE);
  if (enabled("_TRACE_AUTOFLUSH")) s.setFlag(COS_TRACE_FLAG_AUTOFLUSH);
  if (enabled("_TRACE_AUTOCLEAR")) s.setFlag(COS_TRACE_FLAG_AUTOCLEAR);
  if (enabled("_TRACE_COMPRESS")) s.setFlag(COS_TRACE_FLAG_COMPRESS);
  if (char const* v = read("_TRACE_COMPSET")) s.initComponentIds(v);
  if (char const* v = read("_TRACE_BUFSIZE")) iv_uBufferSize = bufferSizeFromText(v);
  if (char const* v = read("_TRACE_FILE")) {
    iv_clFileName.init(v);
  } else {
    std::string name = cosGetTmpDirectory();
    if (name.empty() || name.back() != '/') name += '/';
    name += key;
    name += "trace.trc";
    iv_clFileName.init(name.c_str());
  }
  char const* format = read("_TRACE_FORMAT");
  setFormatString(format ? format : DEFAULT_FORMAT);
  if (enabled("_TRACE_VERBOSE")) {
    s.setFlag(COS_TRACE_FLAG_VERBOSE);
    reportSettings(key);
  }
}

void CosClTraceEnvironment::reportSettings(char const* key) const {
  CosClTraceSettings const& s = *iv_pclSettings;
  auto line = [](char const* label, std::string const& value) {
    printf("[COS: TRACE: %s%s]\n", label, value.c_str());
  };
  auto flag = [&](uint32_t f) { return std::string(s.hasFlag(f) ? "1" : "0"); };
  line("key: ", key);
  line("active: ", iv_bActive ? "1" : "0");
  line("resource key: ", iv_clKey.getAsCString());
  line("compression: ", flag(COS_TRACE_FLAG_COMPRESS));
  line("autosave: ", flag(COS_TRACE_FLAG_AUTOSAVE));
  line("autoflush: ", flag(COS_TRACE_FLAG_AUTOFLUSH));
  line("autoclear: ", flag(COS_TRACE_FLAG_AUTOCLEAR));
  line("detail: ", std::to_string((uint32_t)s.filter().getDetail()));
  line("buffersize: ", std::to_string(iv_uBufferSize));
  line("process id: ", std::to_string(iv_uProcessId));
  line("format: ", iv_szFormat);
  line("file: ", iv_clFileName.getAsCString());
  line("sharedMemory: ", iv_bShared ? "1" : "0");
  fflush(stdout);
}
