// sc_standin.hpp: what the two stand-in filter libraries share (private to
// this folder): the toy document as the data-access library reads it, the
// counters both keep for the tests, and the control procedures they export
// besides the filter interface.
//
// Toy format, one line per element (lines end in "\n"; a "\r" before it is
// dropped):
//   @status <procedure> <n>   only before the first other line: the
//                             procedure fails with status n for this
//                             document (CAReadFirst and CAReadNext: n
//                             ends the content in place of status 31)
//   @begin <id> [<subtype>]   property begin (subtype 0x10000 by default)
//   @end [<id> [<subtype>]]   property end
//   @size <n>                 the next text element reports data size n
//   @pad <n>                  the next text element ends in n zero units
//   @break <unit>             a break element of that UTF-16 unit
//   @element <type> <subtype> <id>   an element without data
//   anything else             a text element (UTF-8 line as UTF-16; long
//                             lines split into elements of at most 8192
//                             units), then a break element U+000A when
//                             the line ended in "\n"; an empty line gives
//                             the break element only
// Numbers take C notation (0x... hexadecimal).
#ifndef SC_STANDIN_HPP
#define SC_STANDIN_HPP

#include <cstdint>
#include <string>
#include <vector>

#include "itl_filter_interface.hpp"

// One element of a toy document.
struct ScStElement {
  uint32_t type;
  uint32_t subtype;
  uint32_t propertyId;
  std::vector<uint16_t> units;  // text or break data
  bool hasReportedSize;         // "@size": report this size
  uint32_t reportedSize;
};

// An injected status of one procedure.
struct ScStInjection {
  std::string procedure;
  int32_t status;
};

// A document opened by DAOpenDocument.
struct ScStDocument {
  std::vector<ScStElement> elements;
  std::vector<ScStInjection> injections;
  uint32_t bytesRead;  // through the redirected input
};

// Counters of one library; the tests read them through scStandinCounters.
struct ScStStandinCounters {
  int32_t init;          // DAInit calls
  int32_t deInit;        // DADeInit calls
  int32_t openCalls;     // DAOpenDocument calls
  int32_t opens;         // documents opened
  int32_t closes;        // DACloseDocument calls for open documents
  int32_t openDocuments; // open now
  int32_t setOptions;    // DASetOption calls
  uint32_t option1;      // last value of option 1
  uint32_t option2;      // last value of option 2
  int32_t contentOpens;  // CAOpenContent successes
  int32_t contentCloses; // CACloseContent calls for open contents
  int32_t openContents;  // open now
  int32_t reads;         // CAReadFirst and CAReadNext calls
};

extern "C" {
// This library's counters.
ScStStandinCounters* scStandinCounters();
// Clears the counters and the process-wide injections.
void scStandinReset();
// Process-wide injection (DAInit, DADeInit): `procedure` returns `status`
// until the next reset. Exported by the data-access library.
void scStandinInjectStatus(char const* procedure, int32_t status);
// The open document of `handle` or null. Exported by the data-access
// library; the content-access library finds it through its soname.
ScStDocument const* scStandinFindDocument(uint32_t handle);
}

// The injected status of `procedure` in `document`, or `otherwise`.
int32_t scStandinInjected(ScStDocument const& document, char const* procedure,
                          int32_t otherwise);

#endif  // SC_STANDIN_HPP
