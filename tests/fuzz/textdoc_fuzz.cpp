// Fuzz target: the text document. The first bytes choose the language
// (English or Thai), umlaut folding and the size of a tiny update pool
// (its whole text buffer); the rest is a script of events: text (UTF-16
// units straight from the input, so Thai, lone and paired surrogates),
// delimiters, fields (named, nameless, excluded), attributes of the three
// types and an unknown one, their text, segments and language changes.
// A document always ends; what reaches the port must add up: the
// partitions hold exactly the analysed units, boundaries lie inside the
// text, and nothing is left open.
#include <cstring>
#include <list>
#include <string>
#include <vector>

#include "cos_memmgr.hpp"
#include "fuzz_input.hpp"
#include "itl_error.hpp"
#include "itl_tldocument.hpp"
#include "ti_tl_port.hpp"

extern "C" int LLVMFuzzerTestOneInput(uint8_t const* data, size_t size) {
  FuzzInput in(data, size);
  bool thai = in.flag();
  bool umlaut = in.flag();
  unsigned int poolBytes = 64 + 8 * in.below(64);
  RecordingPort port;
  port.umlaut = umlaut;
  std::vector<uint64_t> memory(poolBytes / 8);
  CosClMemoryPool pool(memory.data(), poolBytes);
  ItlClTlDocument doc(port);
  doc.init(pool);
  TestDocumentId id("fuzz", 0);
  std::list<std::string> names;  // attribute names outlive their attribute
  static char const* const kFields[] = {"A", "B", "", "A"};
  static char const* const kLanguages[] = {"en", "th", "de-CH", "x-all"};
  try {
    doc.startDocument(id, CosClCCSID(1208), CosClLanguage(thai ? "th" : "en"));
    while (in.left() != 0) {
      switch (in.byte() % 9) {
        case 0:
        case 1: {
          std::string bytes = in.take(in.below(80) * 2);
          std::vector<unsigned short> units(bytes.size() / 2);
          if (!units.empty()) std::memcpy(units.data(), bytes.data(), units.size() * 2);
          doc.addText(units.data(), static_cast<unsigned int>(units.size()));
          break;
        }
        case 2:
          doc.addDelimiter();
          break;
        case 3: {
          uint8_t b = in.byte();
          doc.startField(kFields[b % 4], (b & 4) != 0);
          break;
        }
        case 4:
          doc.endField();
          break;
        case 5: {
          uint8_t b = in.byte();
          names.push_back(std::string("attr") + char('0' + b % 3));
          static ItlEnAttributeType const kTypes[] = {
              ItlEnAttributeType_String, ItlEnAttributeType_Number,
              ItlEnAttributeType_Date, static_cast<ItlEnAttributeType>(7)};
          doc.endAttribute();  // one attribute at a time, as parsers do
          doc.startAttribute(names.back().c_str(), kTypes[(b >> 2) % 4], (b & 2) != 0);
          break;
        }
        case 6:
          doc.endAttribute();
          break;
        case 7:
          doc.nextSegment(in.byte());
          break;
        case 8:
          doc.setLanguage(CosClLanguage(kLanguages[in.byte() % 4]));
          break;
      }
    }
    doc.endDocument();
  } catch (ItlClException const& e) {
    // Only the 513th field may fail here.
    FUZZ_CHECK(e.getReasonCode() == ItlEnReasonCode_Stackoverflow);
    doc.reset();
    return 0;
  }
  FUZZ_CHECK(doc.getFieldStack().getDepth() == 0);
  FUZZ_CHECK(!doc.isExcluding());
  size_t units = 0;
  for (std::u16string const& p : port.partitions) units += p.size();
  FUZZ_CHECK(units == doc.getTextAnalysis().getAnalysedUnits());
  for (RecordedField const& f : port.fields)
    FUZZ_CHECK(f.start < f.end && f.end <= port.text.size());
  return 0;
}
