// voz_stem.cpp -- marking of stems and the judgement of keys.
//
// The marking strips every suffix of the table that ends the word and
// records each stem that remains (and passes its check) as a mark; a stem
// marked 'O' is marked in turn, so a plural of a derived word is reduced
// to its root. A key shares a stem with the search word when the search
// word begins with one of the key's stems (or the whole key) and carries a
// mark at that length.
#include "calls/voz_stem.hpp"

#include <cstring>

namespace {

// Called for every stem that the marking produces: true stops the marking.
struct StemSink {
    virtual bool onStem(int32_t k) = 0;
    virtual ~StemSink() = default;
};

// Marks the stems of the suffix row `row` at the word length L.
bool markRow(const uint8_t* letters, int32_t L, const VOZSUFFIX& row,
             uint8_t* marks, StemSink* sink) {
    const int32_t base = L - (int32_t)strlen(row.suffix);
    for (int type = 0; type < VOZ_STEM_TYPES; ++type) {
        const char* ending = Gobi1[type][row.type];
        if (ending == nullptr || !vozTailMatch(letters, base, ending))
            continue;
        const int32_t k = base - (int32_t)strlen(ending);
        if (StemType[type] != nullptr && !StemType[type](letters, k, row.type))
            continue;
        if (k < 3) continue;
        if (marks[k - 1] != 'O') marks[k - 1] = Connect[type][row.type] ? 'O' : 'Y';
        if (sink != nullptr && sink->onStem(k)) return true;
    }
    return false;
}

// Marks the stems of the first `count` letters; true when the sink stopped
// it.
bool markStems(const uint8_t* letters, int32_t count, uint8_t* marks,
               StemSink* sink) {
    memset(marks, 0, (size_t)count);
    if (count < 1) return false;
    marks[count - 1] = 'Y';
    int32_t L = count;
    while (L > 0) {
        for (const VOZSUFFIX& row : Gobi0) {
            if (vozTailMatch(letters, L, row.suffix) &&
                markRow(letters, L, row, marks, sink))
                return true;
        }
        do {
            --L;
        } while (L > 0 && marks[L - 1] != 'O');
    }
    return false;
}

// True when the word begins with the first k letters of `letters` and has
// a mark at k-1.
bool wordHasStem(const uint8_t* letters, int32_t k, const uint8_t* word,
                 int32_t wordCount, const uint8_t* wordMarks) {
    return k >= 1 && k <= wordCount && wordMarks[k - 1] != 0 &&
           memcmp(letters, word, (size_t)k) == 0;
}

struct JudgeSink : StemSink {
    const uint8_t* key;
    const uint8_t* word;
    int32_t wordCount;
    const uint8_t* wordMarks;
    bool onStem(int32_t k) override {
        return wordHasStem(key, k, word, wordCount, wordMarks);
    }
};

void stemFailure(GTRSTATUS* st) {
    voz_setStatus(st, VOZ_RC_INCONSISTENT, VOZ_EC_STEM);
}

int32_t analyseWord(STEMCTL* sc, int16_t width, int32_t* prefixLen,
                    GTRSTATUS* st) {
    if (sc->word == nullptr || sc->length < width ||
        sc->length > VOZ_STEM_MAX_BYTES) {
        stemFailure(st);
        return 0;
    }
    sc->count = vozUnnormalizeAlpha(sc->word, sc->length, sc->letters, width);
    markStems(sc->letters, sc->count, sc->marks, nullptr);
    if (voz_Failed(st)) return 0;
    int32_t first = 0;
    while (first < sc->count - 1 && sc->marks[first] == 0) ++first;
    if (prefixLen != nullptr) *prefixLen = (first + 1) * width;
    return 0;
}

}  // namespace

int32_t vozTailMatch(const uint8_t* letters, int32_t length,
                     const char* pattern) {
    const int32_t n = (int32_t)strlen(pattern);
    if (n == 0) return 1;
    if (length <= n) return 0;
    const uint8_t* tail = letters + length - n;
    for (int32_t i = 0; i < n; ++i) {
        if (pattern[i] != '!' && tail[i] != (uint8_t)pattern[i]) return 0;
    }
    return 1;
}

int32_t vozUnnormalizeAlpha(const uint8_t* units, int32_t length,
                            uint8_t* letters, int16_t width) {
    if (width < 2) return 0;
    int32_t n = 0;
    for (int32_t off = 0; off + width <= length; off += width)
        letters[n++] = units[off + width - 2];
    return n;
}

int32_t vozUnnormalizeCompressedAlpha(const uint8_t* units, int32_t length,
                                      uint8_t* letters, int16_t width) {
    if (width < 2) return 0;
    int32_t n = 0;
    for (int32_t off = 0; off + width <= length; off += width) {
        const uint8_t b = units[off + 1];
        letters[n++] = b < 64 ? b : (uint8_t)(64 + (b & 63));
    }
    return n;
}

int32_t vozJudgeStem(const uint8_t* keyLetters, int32_t keyCount,
                     uint8_t* scratch, const uint8_t* wordLetters,
                     int32_t wordCount, const uint8_t* wordMarks,
                     GTRSTATUS*) {
    if (wordLetters == nullptr || wordMarks == nullptr || keyCount < 1)
        return 0;
    if (wordHasStem(keyLetters, keyCount, wordLetters, wordCount, wordMarks))
        return 1;
    JudgeSink sink;
    sink.key = keyLetters;
    sink.word = wordLetters;
    sink.wordCount = wordCount;
    sink.wordMarks = wordMarks;
    return markStems(keyLetters, keyCount, scratch, &sink) ? 1 : 0;
}

int32_t vozStemming(STEMCTL* sc, int16_t width, int32_t* prefixLen,
                    const uint8_t* key, int32_t keyLen, int32_t compressed,
                    GTRSTATUS* st) {
    if (sc == nullptr || width < 2 || width > 3) {
        stemFailure(st);
        return 0;
    }
    if (key == nullptr) return analyseWord(sc, width, prefixLen, st);
    if (keyLen < 0 || keyLen > VOZ_STEM_MAX_BYTES) {
        stemFailure(st);
        return 0;
    }
    if (sc->count < 0 || sc->count > VOZ_STEM_MAX_LETTERS) {
        stemFailure(st);  // the record holds no analysed word
        return 0;
    }
    uint8_t letters[VOZ_STEM_MAX_LETTERS];
    uint8_t scratch[VOZ_STEM_MAX_LETTERS];
    const int32_t n =
        compressed ? vozUnnormalizeCompressedAlpha(key, keyLen, letters, width)
                   : vozUnnormalizeAlpha(key, keyLen, letters, width);
    return vozJudgeStem(letters, n, scratch, sc->letters, sc->count,
                        sc->marks, st);
}
