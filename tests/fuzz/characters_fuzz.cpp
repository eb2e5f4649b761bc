// Fuzz target: the character layer for all 37 code-page codes. The input
// chooses the code, the flags and the output sizes, then gives the raw text
// (with a short continuation text) and a string of units from nowhere (a
// damaged key). Every routine runs over buffers of exactly the size it is
// given, so the sanitizers see any access outside them: conversion into
// units (plain and flat, through the line and document normalisers too),
// unnormalising, stepping character by character, cutting units and raw
// text into parts, blank stripping, case marks and alternative characters.
// Lengths must stay within their capacities and every walk must advance.

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "calls/voz_normline.hpp"
#include "calls/voz_rawcut.hpp"
#include "characters/voz_cpinfo.hpp"
#include "characters/voz_cut.hpp"
#include "fuzz_input.hpp"

namespace {

typedef std::vector<uint8_t> Bytes;

Bytes bytesOf(std::string const& s) { return Bytes(s.begin(), s.end()); }

// The first byte of a buffer. An empty one is given as the end of a live
// one-byte allocation, as callers pass it (never null), so that any read
// or write of it is still seen by the address sanitizer.
uint8_t* at(Bytes const& b) {
  static uint8_t* const block = new uint8_t[1];
  return b.empty() ? block + 1 : const_cast<uint8_t*>(b.data());
}

// The units of `text` converted into a buffer of `cap` bytes.
Bytes convert(VOZ_CPINFO cp, Bytes const& text, Bytes& cont, bool flat,
              uint8_t ctl, int32_t cap, GTRCREATEPARM const* parm) {
  Bytes out(cap);
  int32_t len = cap;
  uint8_t state = 0;
  VOZ_CONTTEXT ct{at(cont), at(cont) + cont.size()};
  uint8_t const* s = at(text);
  if (flat)
    vozCHconvertFlat(cp, s, s + text.size(), cont.empty() ? nullptr : &ct, ctl,
                     at(out), &len, nullptr, &state);
  else
    vozCHconvert(cp, s, s + text.size(), cont.empty() ? nullptr : &ct, ctl,
                 at(out), &len, nullptr, parm, &state);
  FUZZ_CHECK(len >= 0 && len <= cap);
  out.resize(len);
  return out;
}

void unnormalize(VOZ_CPINFO cp, Bytes const& units, uint8_t flag, int32_t cap) {
  Bytes text(cap);
  int32_t written = -1;
  uint8_t state = flag >> 1 & 1;
  vozCHunnormalize(cp, at(units), at(units) + units.size(), flag & 1,
                   at(text), cap, &written, &state);
  FUZZ_CHECK(written >= 0 && written <= cap);
  GTRSTATUS st{};
  int32_t outLen = -1;
  vozUnnormalizeLine(cp, at(units), (int32_t)units.size(), at(text), cap,
                     &outLen, flag, &st);
  FUZZ_CHECK(outLen >= 0 && outLen <= cap);
}

void walkText(uint8_t code, Bytes const& text, Bytes& cont, uint8_t ctl,
              GTRCREATEPARM const* parm) {
  uint8_t const* s = at(text);
  uint8_t const* e = s + text.size();
  uint8_t state = 0;
  for (uint8_t const* p = s; p < e;) {
    uint8_t const* next = nullptr;
    vozCHpointNextChar(code, p, &next, e, nullptr, ctl, parm, &state);
    FUZZ_CHECK(next > p && next <= e);
    p = next;
  }
  for (int rule = 0; rule < 2; ++rule) {
    state = 0;
    VOZ_CONTTEXT ct{at(cont), at(cont) + cont.size()};
    size_t steps = 0;
    for (uint8_t const* p = s; p < e;) {
      uint8_t const *ps = nullptr, *pe = nullptr, *next = nullptr;
      uint8_t stateAtEnd = 0;
      int32_t n = Func_CutIntoPartRaw[rule](p, e, cont.empty() ? nullptr : &ct,
                                            code, ctl, &ps, &pe, &next, parm,
                                            &state, &stateAtEnd);
      FUZZ_CHECK(n >= 0);  // runs of letters stop at 128, other stretches do not
      FUZZ_CHECK(ps >= p && ps <= pe && pe <= e && next >= p && next <= e);
      FUZZ_CHECK(++steps <= 2 * text.size() + 2);
      if (next == p && n == 0) break;
      p = next;
    }
  }
  uint8_t const *first = nullptr, *last = nullptr;
  for (uint8_t option : {uint8_t(0), VOZ_STRIP_LEADING_ALL,
                         uint8_t(VOZ_STRIP_LEADING_ALL | VOZ_STRIP_TRAILING)}) {
    state = 0;
    vozCHstripBlank(s, e, code, option, &first, &last, &state);
    FUZZ_CHECK((first == nullptr) == (last == nullptr));
    FUZZ_CHECK(first == nullptr || (first >= s && first <= last && last <= e));
  }
  if (!text.empty()) {
    uint8_t const* next = nullptr;
    state = 0;
    vozCHIsFirstSBCSLetter(code, s, &next, e, nullptr, ctl, parm, &state);
  }
}

void walkUnits(VOZ_CPINFO cp, Bytes units, GTRCREATEPARM const* parm) {
  int16_t width = vozCHlen(cp);
  for (int rule = 0; rule < 2; ++rule) {
    Bytes copy = units;
    uint8_t* u = at(copy);
    uint8_t* const end = u + copy.size();
    while (u < end) {
      uint8_t *ps = nullptr, *pe = nullptr, *next = u;
      Func_CutIntoPart[rule](u, end, width, &ps, &pe, &next);
      FUZZ_CHECK(next > u && next <= end);
      u = next;
    }
  }
  int32_t offset = 0;
  vozCHpointFirstBlank(cp, at(units), &offset, (int32_t)units.size());
  size_t whole = units.size() / width * width;
  for (size_t i = 0; i < whole; i += width) {
    uint8_t const* unit = at(units) + i;
    vozCHgetSBCSchar(cp, unit);
    vozCHsentenceEnd(cp, unit);
    vozCHwordStart(cp, at(units), unit);
    vozCHalphaNum(cp, unit);
  }
  if (whole > 0) {
    uint8_t state = 0;
    vozCHIsLastSBCSLetter(cp, units[0], at(units) + whole - width, width, 0,
                          parm, &state);
  }
  Bytes marked(units.begin(), units.begin() + whole);
  vozCHgetFuncSeemAsSameUnit(cp.code)(at(marked), (int32_t)marked.size(), width);
  vozCHcaseInsensAlpha(at(marked), (int32_t)marked.size(), width);

  RTRVWORDEXT word{};
  GTRSTATUS status{};
  Bytes wordUnits(units.begin(), units.begin() + (whole > 240 ? 240 : whole));
  word.wi.type = 'W';
  word.wi.wordp = at(wordUnits);
  word.wi.wordlen = (int16_t)wordUnits.size();
  word.wi.precision = units.size() % 2 ? 100 : 80;
  vozCHsetAlterChar(cp, &word, &status);
  vozCHsetAlterCharTerm(&word);
}

void normalizeWhole(VOZ_CPINFO cp, Bytes const& text, uint8_t mode, int32_t cap,
                    GTRCREATEPARM const* parm) {
  Bytes out(cap);
  int32_t len = -1;
  GTRSTATUS st{};
  vozNormalizeLine(cp, at(text), (int32_t)text.size(), at(out), cap, &len,
                   mode, parm, &st);
  FUZZ_CHECK(len >= 0 && len <= cap);
  uint8_t* units = nullptr;
  int32_t unitLen = 0;
  GTRSTATUS docSt{};
  vozNormalizeDoc(at(text), (int32_t)text.size(), cp, mode, &units, &unitLen,
                  nullptr, parm, &docSt);
  FUZZ_CHECK(unitLen >= 0);
  free(units);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(uint8_t const* data, size_t size) {
  if (size > 4096) return 0;
  FuzzInput in(data, size);
  VOZ_CPINFO cp{};
  cp.code = (uint8_t)(1 + in.byte() % VOZ_CP_MAX);
  vozCHsetCPInfo(&cp);
  uint8_t flags = in.byte();
  uint8_t mode = in.byte();
  uint8_t capByte = in.byte();
  size_t contLen = in.byte() % 4;
  size_t unitsLen = in.byte();
  GTRCREATEPARM parm{};
  parm.specialLength = flags & 2 ? 3 : 0;
  parm.specialLetters[0] = '#';
  parm.specialLetters[1] = '-';
  parm.specialLetters[2] = '!';
  parm.digitsAsLetters = flags & 4 ? 1 : 0;
  GTRCREATEPARM const* parmp = flags & 8 ? &parm : nullptr;
  uint8_t ctl = flags & 16 ? 1 : 0;

  Bytes units = bytesOf(in.take(unitsLen));
  Bytes cont = bytesOf(in.take(contLen));
  Bytes text = bytesOf(in.rest());
  int16_t width = vozCHlen(cp);
  // Room for every unit (and a little more), or a short buffer.
  int32_t ample = (int32_t)text.size() * 2 * width + 16;
  int32_t cap = capByte < 128 ? ample : capByte - 128;

  Bytes converted = convert(cp, text, cont, false, ctl, cap, parmp);
  Bytes flat = convert(cp, text, cont, true, ctl, cap, parmp);
  unnormalize(cp, converted, flags >> 5, cap);
  unnormalize(cp, units, flags >> 5, capByte % 64);
  walkText(cp.code, text, cont, ctl, parmp);
  walkUnits(cp, converted, parmp);
  walkUnits(cp, units, parmp);
  normalizeWhole(cp, text, mode, cap, parmp);
  return 0;
}
