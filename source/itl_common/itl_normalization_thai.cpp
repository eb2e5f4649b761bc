// itl_normalization_thai.cpp: Thai word breaking and the Thai normaliser.
//
// Thai is written without blanks between words. Before it is indexed, the
// Thai normaliser cuts it into words with ICU's word break iterator for
// th_TH (a dictionary iterator) and writes every segment, words as well as
// runs of blanks and punctuation, followed by one blank. The output of one
// call is the segments of that call's input: a caller that hands the text
// in pieces gets the breaks of each piece.
//
// Progress: a caller loops while input remains, so each call with room
// must consume something, and must not glue two words together across
// calls. Hence a segment is copied only with its blank, except a first
// segment that cannot fit with its blank at all: that one is cut (no
// blank), and its rest starts the next call.
#include <unicode/brkiter.h>
#include <unicode/locid.h>
#include <unicode/unistr.h>
#include <unicode/utf16.h>

#include <cstring>
#include <memory>

#include "cos_exception.hpp"
#include "itl_error.hpp"
#include "itl_normalization.hpp"

void* itlThaiCreateBreakIterator() {
  UErrorCode status = U_ZERO_ERROR;
  icu::Locale thai("th", "TH");
  std::unique_ptr<icu::BreakIterator> iterator(
      icu::BreakIterator::createWordInstance(thai, status));
  if (U_FAILURE(status) || iterator == nullptr) {
    if (!U_FAILURE(status)) status = U_MEMORY_ALLOCATION_ERROR;
    CosClIcuInterface::handleIcuErrorCode(status);
  }
  return iterator.release();
}

void itlThaiDestroyBreakIterator(void* iterator) {
  delete static_cast<icu::BreakIterator*>(iterator);
}

unsigned int itlThaiProcessing(unsigned short* output, unsigned int capacity,
                               unsigned short const* input,
                               unsigned int& inputLength, void* iterator) {
  if (capacity == 0 || inputLength == 0) return 0;
  if (inputLength == 1) {
    output[0] = input[0];
    inputLength = 0;
    return 1;
  }
  icu::BreakIterator& breaker = *static_cast<icu::BreakIterator*>(iterator);
  // A read-only alias; setText takes its own copy.
  icu::UnicodeString text(false, reinterpret_cast<char16_t const*>(input),
                          static_cast<int32_t>(inputLength));
  breaker.setText(text);
  unsigned int start = static_cast<unsigned int>(breaker.first());
  unsigned int written = 0;
  unsigned int consumed = 0;
  for (int32_t next = breaker.next(); next != icu::BreakIterator::DONE;
       next = breaker.next()) {
    unsigned int end = static_cast<unsigned int>(next);
    unsigned int length = end - start;
    if (written + length + 1 > capacity) {
      if (written == 0) {
        // The first segment alone: cut it, keeping surrogate pairs whole.
        unsigned int take = length < capacity ? length : capacity;
        if (take < length && take > 0 && U16_IS_LEAD(input[start + take - 1]) &&
            U16_IS_TRAIL(input[start + take]))
          --take;
        std::memcpy(output, input + start, take * sizeof *input);
        written = take;
        consumed = start + take;
      }
      break;
    }
    std::memcpy(output + written, input + start, length * sizeof *input);
    written += length;
    output[written++] = 0x20;
    consumed = end;
    start = end;
  }
  inputLength -= consumed;
  return written;
}

ItlClNormalizationThai::ItlClNormalizationThai()
    : ItlClNormalization(KIND_THAI),
      iv_pvBreakIterator(itlThaiCreateBreakIterator()) {}

ItlClNormalizationThai::~ItlClNormalizationThai() {
  itlThaiDestroyBreakIterator(iv_pvBreakIterator);
}

unsigned int ItlClNormalizationThai::normalize(
    unsigned short* target, unsigned int capacity,
    unsigned short const* source, unsigned int& sourceLength) const {
  return itlThaiProcessing(target, capacity, source, sourceLength,
                           iv_pvBreakIterator);
}

unsigned int ItlClNormalizationThai::getNormalizedLength(
    char const*, char const*, unsigned int&) const {
  ItlClException("source/itl_common/itl_normalization:1030", 1030,
                 ItlEnReasonCode_Function_not_supported)
      .raise();
}
