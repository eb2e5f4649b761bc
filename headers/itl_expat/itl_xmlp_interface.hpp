// itl_xmlp_interface.hpp: the seam between Expat and the index library.
//
// ItlClXmlPInterface maps Expat's error codes onto the index library's
// return code, reason code and action (static operations only; no state).
// ItlClExpatGuard keeps exceptions out of Expat's C frames: a callback runs
// its body through guard.run(); an exception is caught and kept, the parse
// is stopped (XML_StopParser), and the caller of XML_Parse calls
// rethrowIfFailed() right after XML_Parse returns, before it reads Expat's
// error code (which would only say "aborted").
// itlExpatCreateParser() creates a parser for a fixed encoding whose memory
// comes from the cos memory manager.
#ifndef ITL_XMLP_INTERFACE_HPP
#define ITL_XMLP_INTERFACE_HPP

#include <expat.h>

#include <exception>

#include "itl_codes.hpp"

class ItlClXmlPInterface {
 public:
  // 100002 (reprocess the document) for every code.
  static ItlEnErrorAction getItlActionForXmlP(XML_Error code);
  // 0 for XML_ERROR_NONE, 4 (warning) for every other code.
  static ItlEnReturnCode getItlReturnCodeForXmlP(XML_Error code);
  // The reason of the first of the 19 pairs whose Expat code matches;
  // 622 (Xmlparser_unexpected_error) for a code not in the table.
  static ItlEnReasonCode getItlReasonCodeForXmlPRc(XML_Error code);

  // The table, for tests: kPairCount rows {Expat code, reason}.
  struct Pair {
    XML_Error xmlError;
    ItlEnReasonCode reason;
  };
  static constexpr unsigned kPairCount = 19;
  static Pair const* getPairs();
};

// Creates a parser for `encoding` (no namespace processing) whose memory
// comes from cosMalloc, cosRealloc and cosFree. Null when Expat cannot make
// one; free it with XML_ParserFree.
XML_Parser itlExpatCreateParser(char const* encoding);

// Carries an exception from an Expat callback past XML_Parse. One guard per
// parse; not copyable.
class ItlClExpatGuard {
 public:
  explicit ItlClExpatGuard(XML_Parser parser = nullptr)
      : iv_pParser(parser) {}
  ItlClExpatGuard(ItlClExpatGuard const&) = delete;
  ItlClExpatGuard& operator=(ItlClExpatGuard const&) = delete;

  void setParser(XML_Parser parser) { iv_pParser = parser; }

  // Runs `body`; after a failure (this call's or an earlier one's) it does
  // nothing. An exception is kept and the parser stopped; nothing leaves.
  template <class F>
  void run(F&& body) noexcept {
    if (iv_pException) return;
    try {
      body();
    } catch (...) {
      iv_pException = std::current_exception();
      if (iv_pParser != nullptr) XML_StopParser(iv_pParser, XML_FALSE);
    }
  }

  bool failed() const { return static_cast<bool>(iv_pException); }
  // Throws the kept exception (once) when a callback failed.
  void rethrowIfFailed() {
    if (iv_pException) {
      std::exception_ptr e = iv_pException;
      iv_pException = nullptr;
      std::rethrow_exception(e);
    }
  }

 private:
  XML_Parser iv_pParser;              // not owned
  std::exception_ptr iv_pException;   // the first failure of a callback
};

#endif  // ITL_XMLP_INTERFACE_HPP
