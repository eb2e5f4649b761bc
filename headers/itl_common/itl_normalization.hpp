// itl_normalization.hpp: character normalisation of document and query
// text.
//
// Before text is indexed or a query term is looked up, its UTF-16 units are
// normalised the way the index is configured: not at all (plain copy), by
// Unicode normalisation (NFC or NFKC), by folding accented Latin letters
// U+00C0..U+0233 to plain ones and expanding umlauts and ligatures to two
// letters (a fixed table), or by both; Thai text (language 120) has its
// words separated by blanks instead. The factory chooses the class from
// the index's three settings, the document's CCSID and its language.
//
// normalize() works on caller buffers without allocating: it writes at most
// `capacity` units, returns how many it wrote and leaves in `sourceLength`
// the number of source units not consumed (a piece whose output does not fit
// stays unconsumed, so callers loop on the rest). getNormalizeUnicodeFactor()
// is the usual growth of one unit (3); single characters can grow more under
// NFKC (U+FDFA gives 18 units), which the loop absorbs.
//
// Normalisers are allocated through CosClMemoryManager and freed with
// destroyNormalizer(). Failures raise ItlClException (ICU failures through
// the cos error mapping); the Thai normaliser cannot say how long one
// character becomes (getNormalizedLength raises reason 47).
//
// Thai word breaking (itlThai*) lies here too, beside the only normaliser
// that needs it, and calls ICU's dictionary word break iterator directly;
// the thesaurus library and the text layer call the same functions.
#ifndef ITL_NORMALIZATION_HPP
#define ITL_NORMALIZATION_HPP

#include <cstdint>

#include "itl_codes.hpp"

class CosClCCSID;
class CosClLanguage;
struct UNormalizer2;

// The folding table: one row per character U+00C0..U+0233 (character,
// first replacement, second replacement or 0), built from
// gs_castNormalisationTuples for one choice of the two settings.
class ItlClNormalizationTable {
 public:
  static constexpr uint16_t FIRST = 0x00C0;
  static constexpr uint16_t LAST = 0x0233;
  static constexpr unsigned ROWS = LAST - FIRST + 1;  // 372

  // Accent removal off: rows with one replacement map to themselves.
  // Umlaut normalisation off: rows with two replacements map to themselves.
  ItlClNormalizationTable(bool accentRemoval, bool umlautNormalization);

  static bool covers(uint32_t c) { return c >= FIRST && c <= LAST; }
  // REQUIRES: covers(c).
  uint16_t first(uint32_t c) const { return iv_ausRows[c - FIRST][1]; }
  uint16_t second(uint32_t c) const { return iv_ausRows[c - FIRST][2]; }

  // The character lies in the table and becomes two units.
  bool utf16CharResultsInTwoCodePoints(unsigned short c) const {
    return covers(c) && second(c) != 0;
  }
  // The same for the UTF-8 character at `utf8`.
  bool utf8CharResultsInTwoCodePointsImp(char const* utf8) const;

  bool getAccentRemoval() const { return iv_bAccentRemoval; }
  bool getUmlautNormalization() const { return iv_bUmlautNormalization; }

 private:
  bool iv_bAccentRemoval;
  bool iv_bUmlautNormalization;
  uint16_t iv_ausRows[ROWS][3];
};

// The constant folding table (character, first, second or 0). Its rows are
// what indexes were built with: never change one, odd rows included.
extern uint16_t const gs_castNormalisationTuples[ItlClNormalizationTable::ROWS][3];

class ItlClNormalization {
 public:
  // Kind flags.
  static constexpr uint32_t KIND_UNICODE = 1;
  static constexpr uint32_t KIND_THAI = 2;
  static constexpr uint32_t KIND_TABLE = 4;

  virtual ~ItlClNormalization();
  ItlClNormalization(ItlClNormalization const&) = delete;
  ItlClNormalization& operator=(ItlClNormalization const&) = delete;

  virtual unsigned int getNormalizeUnicodeFactor() const { return 3; }
  // See the file comment.
  virtual unsigned int normalize(unsigned short* target, unsigned int capacity,
                                 unsigned short const* source,
                                 unsigned int& sourceLength) const = 0;
  // Sets `byteLength` to the length of the UTF-8 sequence at `character`
  // and returns the number of UTF-16 units that character becomes. A
  // combining mark may combine with the character before it; only bytes
  // from `textStart` on are read (a mark at the start counts alone). A
  // truncated sequence (its lead byte followed too soon by the NUL or by a
  // byte that continues nothing) is one unit of the bytes up to there: the
  // length never crosses the text's NUL.
  // REQUIRES: textStart <= character.
  virtual unsigned int getNormalizedLength(char const* textStart,
                                           char const* character,
                                           unsigned int& byteLength) const = 0;
  // The same for a character at the start of a text.
  unsigned int getNormalizedLength(char const* character,
                                   unsigned int& byteLength) const {
    return getNormalizedLength(character, character, byteLength);
  }

  uint32_t getKindFlags() const { return iv_uiKindFlags; }
  // 0 none, 1 NFC, 2 NFKC.
  virtual int32_t getUnicodeMode() const { return 0; }
  // The folding table, null when there is none.
  virtual ItlClNormalizationTable const* getTable() const { return nullptr; }

  // Length of the UTF-8 sequence that starts with `lead`: below 0x80 1,
  // 110xxxxx 2, 1110xxxx 3, 11110xxx 4, 111110xx 5, anything else 1.
  static unsigned int utf8SequenceLength(unsigned char lead);
  // The same for the sequence at `character`, cut before the first byte
  // that is no continuation byte: a sequence truncated by the text's NUL
  // (or by another character) ends there, and a caller stepping by the
  // length never passes the terminator.
  static unsigned int utf8SequenceLength(char const* character);

  // The normaliser for the index settings (mode 0, 1 or 2 and the two
  // folding switches), the CCSID and the language; null for another mode.
  // The mode counts only for UCS-2 and UTF-8 (1208) text. The Thai language
  // (120) gets the Thai normaliser, whatever the settings. Free the result
  // with destroyNormalizer.
  static ItlClNormalization* createNormalizer(int32_t mode, bool umlaut,
                                              bool accentRemoval,
                                              CosClCCSID const& ccsid,
                                              CosClLanguage const& language);
  // The same, but returns `current` when a fresh choice would make the
  // same normaliser (kind, Unicode mode, table settings; for Thai any
  // normaliser whose flags hold KIND_THAI), else destroys it
  // and makes the new one. For another mode, and on a failure, `current` is
  // left alone and null returned (or the exception passed on).
  static ItlClNormalization* createNormalizer(int32_t mode, bool umlaut,
                                              bool accentRemoval,
                                              CosClCCSID const& ccsid,
                                              CosClLanguage const& language,
                                              ItlClNormalization* current);
  // A plain-copy normaliser.
  static ItlClNormalization* createDefaultNormalizer();
  // Destroys and frees; null is allowed.
  static void destroyNormalizer(ItlClNormalization* normalizer);

 protected:
  explicit ItlClNormalization(uint32_t kindFlags) : iv_uiKindFlags(kindFlags) {}

 private:
  uint32_t iv_uiKindFlags;
};

// Plain copy (flags 0, factor 1).
class ItlClNormalizationMemcopy : public ItlClNormalization {
 public:
  ItlClNormalizationMemcopy() : ItlClNormalization(0) {}
  using ItlClNormalization::getNormalizedLength;
  unsigned int getNormalizeUnicodeFactor() const override { return 1; }
  unsigned int normalize(unsigned short* target, unsigned int capacity,
                         unsigned short const* source,
                         unsigned int& sourceLength) const override;
  unsigned int getNormalizedLength(char const* textStart,
                                   char const* character,
                                   unsigned int& byteLength) const override;
};

// Table folding (flags 4).
class ItlClNormalizationTableBased : public ItlClNormalization {
 public:
  ItlClNormalizationTableBased(bool accentRemoval, bool umlautNormalization)
      : ItlClNormalization(KIND_TABLE),
        iv_clTable(accentRemoval, umlautNormalization) {}
  using ItlClNormalization::getNormalizedLength;
  unsigned int normalize(unsigned short* target, unsigned int capacity,
                         unsigned short const* source,
                         unsigned int& sourceLength) const override;
  unsigned int getNormalizedLength(char const* textStart,
                                   char const* character,
                                   unsigned int& byteLength) const override;
  ItlClNormalizationTable const* getTable() const override {
    return &iv_clTable;
  }

 private:
  ItlClNormalizationTable iv_clTable;
};

// Unicode normalisation, NFC (mode 1) or NFKC (mode 2); flags 1 (0 for
// another mode, which normalises nothing).
class ItlClNormalizationUnicode : public ItlClNormalization {
 public:
  explicit ItlClNormalizationUnicode(int32_t mode);
  using ItlClNormalization::getNormalizedLength;
  unsigned int normalize(unsigned short* target, unsigned int capacity,
                         unsigned short const* source,
                         unsigned int& sourceLength) const override;
  unsigned int getNormalizedLength(char const* textStart,
                                   char const* character,
                                   unsigned int& byteLength) const override;
  int32_t getUnicodeMode() const override { return iv_iMode; }

 protected:
  ItlClNormalizationUnicode(int32_t mode, uint32_t kindFlags);
  // Normalises `length` units into `out` (room `capacity`); returns the
  // units the result needs (more than capacity: nothing usable written).
  unsigned int normalizePiece(unsigned short const* piece, unsigned int length,
                              unsigned short* out, unsigned int capacity) const;
  // The next piece of `source` from `at`: up to the next normalisation
  // boundary (or the end). Returns its end.
  unsigned int pieceEnd(unsigned short const* source, unsigned int at,
                        unsigned int length) const;
  // Length of the normalised stretch at the start of `source` (ICU's quick
  // check); it ends at a normalisation boundary. 0 without a normaliser.
  unsigned int normalizedSpan(unsigned short const* source,
                              unsigned int length) const;
  // `c` starts a new piece.
  bool hasBoundaryBefore(uint32_t c) const;
  // The Unicode result of getNormalizedLength; `single` receives the unit
  // when the character normalises to exactly one unit (else 0).
  unsigned int unicodeLength(char const* textStart, char const* character,
                             unsigned int& byteLength,
                             unsigned short& single) const;

 private:
  int32_t iv_iMode;
  UNormalizer2 const* iv_pNormalizer;  // ICU's shared instance; null: none
};

// Unicode normalisation, then folding of one-unit pieces (flags 5).
class ItlClNormalizationUnicodeAndTableBased : public ItlClNormalizationUnicode {
 public:
  ItlClNormalizationUnicodeAndTableBased(int32_t mode, bool accentRemoval,
                                         bool umlautNormalization)
      : ItlClNormalizationUnicode(mode, KIND_UNICODE | KIND_TABLE),
        iv_clTable(accentRemoval, umlautNormalization) {}
  using ItlClNormalization::getNormalizedLength;
  unsigned int normalize(unsigned short* target, unsigned int capacity,
                         unsigned short const* source,
                         unsigned int& sourceLength) const override;
  unsigned int getNormalizedLength(char const* textStart,
                                   char const* character,
                                   unsigned int& byteLength) const override;
  ItlClNormalizationTable const* getTable() const override {
    return &iv_clTable;
  }

 private:
  // Copies the normalised stretch [at, end) of `source` (`length` units),
  // folding the units that are pieces of their own; stops when the output
  // is full.
  void foldSpan(unsigned short* target, unsigned int capacity,
                unsigned int& written, unsigned short const* source,
                unsigned int length, unsigned int& at, unsigned int end) const;

  ItlClNormalizationTable iv_clTable;
};

// Thai word separation (flags 2, factor 2): normalize() writes the words
// of the source, each followed by one blank while room remains
// (itlThaiProcessing). Owns one word break iterator.
class ItlClNormalizationThai : public ItlClNormalization {
 public:
  // Throws CosClException when ICU cannot make the iterator.
  ItlClNormalizationThai();
  ~ItlClNormalizationThai() override;
  using ItlClNormalization::getNormalizedLength;
  unsigned int getNormalizeUnicodeFactor() const override { return 2; }
  unsigned int normalize(unsigned short* target, unsigned int capacity,
                         unsigned short const* source,
                         unsigned int& sourceLength) const override;
  // Always raises ItlClException: 8, reason 47 (Function_not_supported),
  // action Inform, origin "source/itl_common/itl_normalization:1030".
  unsigned int getNormalizedLength(char const* textStart,
                                   char const* character,
                                   unsigned int& byteLength) const override;

 private:
  void* iv_pvBreakIterator;  // owned; from itlThaiCreateBreakIterator
};

// Thai word breaking with ICU's word break iterator for th_TH.
//
// Creates an iterator; the caller owns it and frees it with
// itlThaiDestroyBreakIterator. A failing ICU status throws CosClException.
void* itlThaiCreateBreakIterator();
// Writes the word segments of `input` (`inputLength` units) into `output`
// (room `capacity` units), each followed by one blank (U+0020); returns the
// units written and leaves in `inputLength` the units not consumed, which
// the caller passes again. Every call with room for two units consumes
// something (one unit of room and a surrogate pair first: nothing):
//   - one unit of input is copied alone, without a blank;
//   - a segment is copied only together with its blank, so words never
//     join across calls; the exception is a first segment that does not fit
//     with its blank: as much of it as fits is copied, without a blank,
//     never between the two units of a surrogate pair;
//   - capacity 0 (or an empty input) writes and consumes nothing.
// Segments of blanks and punctuation are segments too.
unsigned int itlThaiProcessing(unsigned short* output, unsigned int capacity,
                               unsigned short const* input,
                               unsigned int& inputLength, void* iterator);
// Destroys an iterator; null is ignored.
void itlThaiDestroyBreakIterator(void* iterator);

#endif  // ITL_NORMALIZATION_HPP
