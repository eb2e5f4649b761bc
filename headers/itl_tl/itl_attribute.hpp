// itl_attribute.hpp: the parsers of typed attribute values (DATE, NUMBER,
// STRING).
//
// While a document is indexed, the text document lends the open
// attribute's parser a value buffer of 128 UTF-16 units plus a terminator
// and routes the attribute's text to it. When the attribute ends, the
// parser turns the value into engine items and puts them at the front of
// the kernel interface's item list (ItlClTlIndexPort):
//   - DATE and NUMBER: the context's registered recogniser (or the
//     default one of itl_attribute_callbacks.h) is called again and again
//     on the rest of the value; each valid result becomes a numeric item
//     ('N', the value as a double; a date as codeDate(d, m, y)). A refusal
//     records warning 31 (dates) or 32 (numbers) and ends the value; the
//     items already added stay.
//   - STRING: the whole value, converted to the index code page (UTF-8),
//     becomes one character item ('C', bytes and their 16-bit length).
//     The engine takes at most 128 bytes in such an item and cancels its
//     whole update cycle (118) on a longer one, so a longer value keeps
//     the whole characters within 128 bytes.
// A value longer than 128 units keeps its first 128, a string longer than
// 128 bytes its first whole characters within them; either records
// warning 36, once per value. Warnings go to the context's error info and may reach the
// caller's threshold, which throws ItlClException (reason 38).
#ifndef ITL_ATTRIBUTE_HPP
#define ITL_ATTRIBUTE_HPP

#include <cstdint>

class CosClLanguage;
class ItlClTlIndexPort;

class ItlClAttributeParserABase {
 public:
  // Units a value holds; the lent buffer has one more for the terminator.
  static constexpr unsigned int VALUE_UNITS = 128;

  virtual ~ItlClAttributeParserABase();
  ItlClAttributeParserABase(ItlClAttributeParserABase const&) = delete;
  ItlClAttributeParserABase& operator=(ItlClAttributeParserABase const&) =
      delete;

  // Starts a value: stores the flag, the name (which must outlive the
  // attribute), the number and the buffer; the value is empty; `language`
  // is assigned to the bound language object.
  // REQUIRES: buffer holds VALUE_UNITS + 1 units.
  void startAttribute(char const* name, unsigned short number,
                      CosClLanguage const& language, bool doNotTextIndex,
                      unsigned short* buffer);
  // Appends to the value (see the file comment for the 128-unit limit).
  void addText(unsigned short const* text, unsigned int length);
  // A non-empty value is terminated, parsed and added; an empty one adds
  // nothing.
  void endAttribute();
  // The value, terminated; an empty text when nothing was given.
  unsigned short const* getAttributeTextBuffer() const;

  // One recogniser call on the rest of a value: false refuses the text;
  // else `valid` tells whether `value` holds a value and `consumed` how
  // many units were used.
  class Recogniser {
   public:
    virtual bool recognise(unsigned short const* text, unsigned int length,
                           double& value, bool& valid,
                           unsigned int& consumed) const = 0;

   protected:
    ~Recogniser() = default;
  };

  bool isDoNotTextIndex() const { return iv_bDoNotTextIndex; }
  unsigned int getValueLength() const { return iv_uiLength; }

 protected:
  ItlClAttributeParserABase(ItlClTlIndexPort& port, CosClLanguage& language,
                            bool doNotTextIndex);
  virtual void parseAttributeAndAdd() = 0;

  // The loop of DATE and NUMBER values: calls `recogniser` on the rest of
  // the value until it is used up, consumes nothing or more than is left,
  // or refuses (then warning `reason` at `origin`, context "Callback
  // function failed"); each valid value becomes a numeric item.
  void parseNumericValues(Recogniser const& recogniser, char const* origin,
                          int reason);
  // Records warning 36 at `origin` for the attribute, context "Attribute
  // name" and "Value" (`kept`, the UTF-8 value kept, NUL-terminated). May
  // throw ItlClException (38) when the caller's warning threshold is met.
  void recordTruncated(char const* origin, char const* kept);
  // Takes a numeric item from the pool and adds it.
  void addNumericItem(double value);
  // The language and short territory codes handed to the recognisers.
  char const* languageCode() const;
  char const* territoryCode() const;

  ItlClTlIndexPort& iv_rclPort;
  bool iv_bDoNotTextIndex;
  char const* iv_pszName;
  unsigned short iv_usNumber;
  CosClLanguage& iv_rclLanguage;
  unsigned short* iv_pusBuffer;  // lent; VALUE_UNITS + 1 units
  uint32_t iv_uiLength;          // units of the value, 0..VALUE_UNITS
  bool iv_bTruncated;
};

class ItlClAttributeParserDate : public ItlClAttributeParserABase {
 public:
  ItlClAttributeParserDate(ItlClTlIndexPort& port, CosClLanguage& language,
                           bool doNotTextIndex)
      : ItlClAttributeParserABase(port, language, doNotTextIndex) {}

  // year * 10000 + month * 100 + day; no range check.
  static double codeDate(unsigned short day, unsigned short month,
                         unsigned short year);
  // The inverse of codeDate for days and months up to 99.
  static void decodeDate(double code, unsigned short& day,
                         unsigned short& month, unsigned short& year);

 protected:
  void parseAttributeAndAdd() override;
};

class ItlClAttributeParserNumber : public ItlClAttributeParserABase {
 public:
  ItlClAttributeParserNumber(ItlClTlIndexPort& port, CosClLanguage& language,
                             bool doNotTextIndex)
      : ItlClAttributeParserABase(port, language, doNotTextIndex) {}

 protected:
  void parseAttributeAndAdd() override;
};

class ItlClAttributeParserString : public ItlClAttributeParserABase {
 public:
  // UTF-8 bytes of a string item the engine takes: the item has room for
  // 130 units with its two marks, and a longer one makes the engine cancel
  // its whole update cycle (118). The update's own string attributes obey
  // the same limit.
  static constexpr uint32_t MAX_VALUE_BYTES = 128;

  ItlClAttributeParserString(ItlClTlIndexPort& port, CosClLanguage& language,
                             bool doNotTextIndex)
      : ItlClAttributeParserABase(port, language, doNotTextIndex) {}

  // Bytes of the longest prefix of the UTF-8 `value` (`length` bytes) that
  // holds at most MAX_VALUE_BYTES and ends at a whole character; `cut`
  // tells whether anything was left out.
  static uint32_t keptValueBytes(char const* value, uint32_t length,
                                 bool& cut);

 protected:
  // A converter failure throws ItlClException (the mapped cos error).
  void parseAttributeAndAdd() override;
};

#endif  // ITL_ATTRIBUTE_HPP
