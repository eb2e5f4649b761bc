// itl_highlighter.cpp: ItlClHighlighter (see the header for the units each
// step counts in).
//
// Both character-to-byte conversions use one table per text, not cursors
// that only move forward: hits whose extents overlap or nest (a later one
// starting before an earlier one ends) each get their own offsets, and no
// step can go negative or wrap.
#include "itl_highlighter.hpp"

#include <cstring>
#include <new>

#include "calls/voz_gtrhit.hpp"
#include "cos_ccsid.hpp"
#include "files/voz_records_create.hpp"
#include "files/voz_status.hpp"
#include "itl_documentmodels.hpp"
#include "itl_error.hpp"
#include "itl_highlight_list.hpp"
#include "itl_hitlist.hpp"
#include "itl_name_maps.hpp"
#include "itl_normalization.hpp"
#include "itl_offset_mapper.hpp"
#include "itl_text_collector.hpp"
#include "itl_voz_interface.hpp"

#define HL_SOURCE "source/itl_dl/itl_highlighter"

namespace {

constexpr unsigned int kPoolThreshold = 4096;

uint32_t atLeastPage(uint32_t bytes) { return bytes < 4096 ? 4096 : bytes; }

// An array from the memory manager, freed on every way out.
template <class T>
class ScopedArray {
 public:
  explicit ScopedArray(uint32_t count)
      : iv_p(static_cast<T*>(CosClMemoryManager::allocate(
            static_cast<unsigned int>(sizeof(T) * (count == 0 ? 1 : count))))) {
    std::memset(static_cast<void*>(iv_p), 0, sizeof(T) * (count == 0 ? 1 : count));
  }
  ~ScopedArray() { CosClMemoryManager::free(iv_p); }
  ScopedArray(ScopedArray const&) = delete;
  ScopedArray& operator=(ScopedArray const&) = delete;
  T* get() const { return iv_p; }
  T& operator[](uint32_t i) const { return iv_p[i]; }

 private:
  T* iv_p;
};

struct NormalizerGuard {
  ItlClNormalization* normalizer;
  ~NormalizerGuard() { ItlClNormalization::destroyNormalizer(normalizer); }
};

// Length of the UTF-8 character at `p` (`left` bytes there, at least 1):
// its lead byte's length cut before the first byte that continues nothing
// or at the end; a byte that leads nothing is one character.
uint32_t stepUtf8(unsigned char const* p, uint32_t left) {
  unsigned char lead = p[0];
  uint32_t want = lead < 0xC2 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3
                  : lead < 0xF5 ? 4 : 1;
  uint32_t n = 1;
  while (n < want && n < left && (p[n] & 0xC0) == 0x80) ++n;
  return n;
}

[[noreturn]] void raise(char const* origin, unsigned line,
                        ItlEnReasonCode reason) {
  ItlClException(origin, line, reason).raise();
}

}  // namespace

ItlClHighlighter::ItlClHighlighter(ItlClHighlighterIndexPort& index,
                                   unsigned int truncation,
                                   unsigned int maximumTruncation)
    : iv_rclIndex(index),
      iv_bInitialised(false),
      iv_uiTruncation(truncation),
      iv_uiMaximumTruncation(maximumTruncation),
      iv_clPool(atLeastPage(index.getPoolFirstSize()),
                atLeastPage(index.getPoolGrowthSize()), kPoolThreshold),
      iv_clSelection(10) {}

ItlClHighlighter::~ItlClHighlighter() = default;

void ItlClHighlighter::init() {
  iv_rclIndex.load();
  iv_bInitialised = true;
}

void ItlClHighlighter::addField(char const* name) {
  unsigned short number = 1;
  iv_rclIndex.getFieldNameMap().mapFieldNameToNumber(name, number);
  if (number != 1 && number != 0) iv_clSelection.add(number);
}

void ItlClHighlighter::runParser(ItlClParserABase& parser,
                                 ItlEnParserModus modus, char const* document,
                                 unsigned int length, unsigned short ccsid,
                                 char const* modelName,
                                 ItlClTextCollector* collector,
                                 ItlClDocumentOffsetMapper* mapper) {
  iv_clScanner.reset();
  iv_clScanner.setInputText(iv_clPool, document, length, CosClCCSID(ccsid));
  parser.startDocument(modus, nullptr, collector, mapper, modelName);
  try {
    parser.processDocument(iv_clScanner);
  } catch (...) {
    parser.endDocument();
    iv_clScanner.reset();
    throw;
  }
  parser.endDocument();
}

void ItlClHighlighter::processDocument(
    char const* document, unsigned int length, ItlEnDocumentFormat format,
    unsigned short ccsid, char const* modelName,
    ItlStOccurrence const* occurrences, unsigned int count,
    ItlClHighlightList*& list) {
  ItlClErrorInfo& errorInfo = iv_rclIndex.getErrorInfo();
  // Only these two formats have an offset mapper.
  if (format != ItlEnDocumentFormat_Text && format != ItlEnDocumentFormat_Xml)
    raise(ITL_SOURCE(HL_SOURCE), ItlEnReasonCode_Document_format_not_supported);
  ItlClParserABase* parser = nullptr;
  if (!iv_clParserFactory.selectParser(errorInfo, format, nullptr,
                                       iv_rclIndex.getDocumentModels(),
                                       parser) ||
      parser == nullptr)
    raise(ITL_SOURCE(HL_SOURCE), ItlEnReasonCode_Document_format_not_supported);

  NormalizerGuard normalizer{iv_rclIndex.createNormalizer(CosClCCSID(ccsid))};
  if (normalizer.normalizer == nullptr)
    normalizer.normalizer = ItlClNormalization::createDefaultNormalizer();
  ItlClNormalization const& norm = *normalizer.normalizer;

  // Pass 1: the text the index would hold, normalised, in UTF-8.
  ItlClTextCollector collector(iv_rclIndex.getFieldNameMap(), norm);
  collector.init(length);
  runParser(*parser, ItlEnParserModus_Highlight, document, length, ccsid,
            modelName, &collector, nullptr);

  ItlClHitlist hits(count);
  createTargetHitlist(occurrences, count, norm, collector.getOutputBuffer(),
                      collector.getBytesUsed(), hits);

  // Pass 2: the hits carried back onto the document's characters.
  ItlClDocumentOffsetMapper* mapper;
  void* memory = CosClMemoryManager::allocate(
      format == ItlEnDocumentFormat_Xml
          ? static_cast<unsigned int>(sizeof(ItlClDocumentOffsetMapperXml))
          : static_cast<unsigned int>(sizeof(ItlClDocumentOffsetMapperText)));
  try {
    if (format == ItlEnDocumentFormat_Xml)
      mapper = new (memory) ItlClDocumentOffsetMapperXml(
          hits, iv_rclIndex.getFieldNameMap(), iv_clSelection);
    else
      mapper = new (memory) ItlClDocumentOffsetMapperText(hits);
  } catch (...) {
    CosClMemoryManager::free(memory);
    throw;
  }
  struct MapperGuard {
    ItlClDocumentOffsetMapper* mapper;
    ~MapperGuard() {
      mapper->~ItlClDocumentOffsetMapper();
      CosClMemoryManager::free(mapper);
    }
  } mapperGuard{mapper};
  mapper->setNormalizer(&norm);
  runParser(*parser, ItlEnParserModus_OffsetMapping, document, length, ccsid,
            modelName, nullptr, mapper);
  mapper->finishPass();

  // Characters the parser dropped ahead of the text it mapped (a byte-order
  // mark the scanner left) lie before the mapper's offsets.
  uint32_t leading = 0;
  unsigned short const* source = mapper->getSourceBuffer();
  unsigned short const* convertedEnd = iv_clScanner.getConvertedEnd();
  unsigned short const* converted =
      convertedEnd == nullptr
          ? nullptr
          : convertedEnd - iv_clScanner.getConvertedLength();
  if (source != nullptr && converted != nullptr && source > converted &&
      source <= iv_clScanner.getConvertedEnd())
    leading = ItlClDocumentOffsetMapper::getCharCount(
        converted, static_cast<unsigned int>(source - converted) * 2);

  ItlClHitlist const& mapped = mapper->getMappedHits();
  uint32_t capacity = mapped.getCount() == 0 ? 1 : mapped.getCount();
  void* listMemory = CosClMemoryManager::allocate(
      static_cast<unsigned int>(sizeof(ItlClHighlightList)));
  try {
    list = new (listMemory) ItlClHighlightList(errorInfo, capacity);
  } catch (...) {
    CosClMemoryManager::free(listMemory);
    throw;
  }
  list->init();
  calculateHighlights(*list, document, length, mapped, leading);
  iv_clScanner.reset();
}

void ItlClHighlighter::createTargetHitlist(ItlStOccurrence const* occurrences,
                                           unsigned int count,
                                           ItlClNormalization const& normalizer,
                                           char const* text,
                                           unsigned int bytes,
                                           ItlClHitlist& hits) const {
  ScopedArray<OCC> occs(count);
  int64_t previous = -1;
  for (unsigned int i = 0; i < count; ++i) {
    ItlStOccurrence const& o = occurrences[i];
    if (static_cast<int64_t>(o.iPosition) <= previous)
      raise(ITL_SOURCE(HL_SOURCE),
            ItlEnReasonCode_Highlight_occurrences_not_sorted);
    if (o.iDocument < 0 || o.iPosition < 0 || o.usLength == 0 ||
        o.ucWeight > 100 || o.ucWordRule > 1)
      raise(ITL_SOURCE(HL_SOURCE),
            ItlEnReasonCode_Highlight_occurrences_invalid_data);
    previous = o.iPosition;
    occs[i].docno = o.iDocument;
    occs[i].pos = o.iPosition;
    occs[i].len = o.usLength;
    occs[i].weight = o.ucWeight;
    occs[i].match = o.ucWordRule;
  }
  ScopedArray<HITOFFSET> offsets(count);
  GTRHCREATEPARM create;
  std::memset(&create, 0, sizeof create);
  iv_rclIndex.fillCreateParm(create);
  GTRSTATUS status;
  std::memset(&status, 0, sizeof status);
  // An empty collection is text without positions: every hit is not found.
  static uint8_t const kNothing = 0;
  uint8_t const* collected =
      bytes == 0 ? &kNothing : reinterpret_cast<uint8_t const*>(text);
  GTRgetHitinfoExt(collected, static_cast<int32_t>(bytes),
                   static_cast<int32_t>(count), occs.get(), 0, offsets.get(),
                   &create, &status);
  if (status.retcode != 0)
    ItlClVozInterface::handleVozError(ITL_SOURCE(HL_SOURCE), status);

  ScopedArray<int32_t> starts(count);
  ScopedArray<int32_t> ends(count);
  for (unsigned int i = 0; i < count; ++i) {
    starts[i] = offsets[i].start;
    ends[i] = offsets[i].end;
  }
  fillTargetHitlist(normalizer, text, bytes, starts.get(), ends.get(), count,
                    hits);
}

void ItlClHighlighter::fillTargetHitlist(ItlClNormalization const& normalizer,
                                         char const* text, unsigned int bytes,
                                         int32_t const* starts,
                                         int32_t const* ends,
                                         unsigned int count,
                                         ItlClHitlist& target) {
  for (unsigned int i = 0; i < count; ++i)
    if (starts[i] < 0 || static_cast<uint32_t>(starts[i]) > bytes)
      raise(ITL_SOURCE(HL_SOURCE),
            ItlEnReasonCode_Highlight_occurrences_invalid_data);
  // at[k]: byte offset of collected character k; cum[k]: normalised
  // characters before it (k = 0..chars, at[chars] = bytes).
  ScopedArray<uint32_t> at(bytes + 1);
  ScopedArray<uint32_t> cum(bytes + 1);
  uint32_t chars = 0;
  for (uint32_t b = 0; b < bytes; ++chars) {
    unsigned int length = 0;
    unsigned int width = normalizer.getNormalizedLength(text, text + b, length);
    uint32_t step = stepUtf8(reinterpret_cast<unsigned char const*>(text + b),
                             bytes - b);
    at[chars] = b;
    cum[chars + 1] = cum[chars] + width;
    b += step;
  }
  at[chars] = bytes;
  // The character holding byte b: the largest k with at[k] <= b.
  auto charOf = [&](uint32_t b) {
    uint32_t lo = 0, hi = chars;
    while (lo < hi) {
      uint32_t mid = lo + (hi - lo + 1) / 2;
      if (at[mid] <= b)
        lo = mid;
      else
        hi = mid - 1;
    }
    return lo;
  };
  for (unsigned int i = 0; i < count; ++i) {
    uint32_t s = static_cast<uint32_t>(starts[i]);
    uint32_t e = ends[i] < starts[i] ? s : static_cast<uint32_t>(ends[i]);
    if (e > bytes) e = bytes;
    uint32_t ks = charOf(s);
    uint32_t ke = charOf(e);
    if (at[ke] < e) ++ke;  // an end inside a character takes it whole
    uint32_t start = cum[ks];
    uint32_t end = cum[ke];
    target.add(ItlEnDocPartType_None, start, end > start ? end - start : 0);
  }
}

void ItlClHighlighter::calculateHighlights(ItlClHighlightList& list,
                                           char const* document,
                                           unsigned int length,
                                           ItlClHitlist const& mapped,
                                           uint32_t leading) const {
  uint32_t base = iv_clScanner.getSkippedBytes();
  if (base > length) base = length;
  unsigned char const* text =
      reinterpret_cast<unsigned char const*>(document) + base;
  uint32_t bytes = length - base;
  // pos[k]: byte offset of document character k from base (k = 0..chars).
  ScopedArray<uint32_t> pos(bytes + 1);
  uint32_t chars = 0;
  for (uint32_t b = 0; b < bytes; ++chars) {
    pos[chars] = b;
    b += stepUtf8(text + b, bytes - b);
  }
  pos[chars] = bytes;
  auto blankAt = [&](uint32_t k) { return text[pos[k]] <= 0x20; };
  uint32_t extra = iv_uiMaximumTruncation > iv_uiTruncation
                       ? iv_uiMaximumTruncation - iv_uiTruncation
                       : 0;

  for (uint32_t i = 0; i < mapped.getCount(); ++i) {
    ItlClHitinfo const& hit = mapped.get(i);
    uint64_t start = static_cast<uint64_t>(hit.getOffset()) + leading;
    if (start >= chars) continue;  // the document ends before the hit
    uint64_t end = start + hit.getLength();
    if (end > chars) end = chars;
    uint32_t s = static_cast<uint32_t>(start);
    uint32_t e = static_cast<uint32_t>(end);

    // Context start: the start of the word that holds the character
    // `truncation` before the hit, but no more than `extra` further back.
    uint32_t contextStart = 0;
    if (s > iv_uiTruncation) {
      uint32_t d = s - iv_uiTruncation;
      uint32_t limit = d > extra ? d - extra : 0;
      uint32_t word = d;
      if (!blankAt(d))
        while (word > 0 && !blankAt(word - 1)) --word;
      contextStart = word < limit ? limit : word;
    }
    // Context end: `truncation` behind the hit, on to the end of a word
    // that goes on there, but no more than `extra` further.
    uint64_t c = static_cast<uint64_t>(e) + iv_uiTruncation;
    uint32_t contextEnd = chars;
    if (c < chars) {
      uint64_t stop = c + extra < chars ? c + extra : chars;
      uint32_t k = static_cast<uint32_t>(c);
      while (k < stop && !blankAt(k)) ++k;
      contextEnd = k;
    }

    ItlClHighlightElement* element = list.newElement();
    if (element == nullptr) break;  // never: one slot per mapped hit
    element->iv_enPartType = hit.getPartType();
    element->iv_uiHitStart = base + pos[s];
    element->iv_uiHitEnd = base + pos[e];
    element->iv_uiContextStart = base + pos[contextStart];
    element->iv_uiContextEnd = base + pos[contextEnd];
  }
}
