// cos_random.hpp: pseudo-random numbers (Jenkins' IBAA, 256-word state).
//
// Used for temporary file names; not for anything that needs secrecy. The
// sequence depends only on the seed given to init(): the two accumulators
// start from 0 at construction and at every init(), so equal seeds give
// equal sequences.
#ifndef COS_RANDOM_HPP
#define COS_RANDOM_HPP

#include <cstdint>

class CosClRandomNumberGenerator {
  public:
    static constexpr uint32_t ALPHA = 8;
    static constexpr uint32_t SIZE = 1u << ALPHA;  // words of state and results

    // Seeds itself with the microseconds part of the time of day.
    CosClRandomNumberGenerator();

    // Restarts the sequence: memory words from a Park-Miller chain started
    // at `seed` with its lowest bit set, accumulators 0, then one IBAA pass;
    // 256 results are then available.
    void init(uint32_t seed);

    // The next result word. Results are handed out from the last word down
    // to the first; when none is left, one IBAA pass refills all 256.
    uint32_t getRandomNumber();
    // The next result r scaled to 0..limit: floor(r / 4294967295 * limit);
    // `limit` itself comes only from r = 4294967295.
    uint32_t getRandomNumber(uint32_t limit);

    // One IBAA pass over the state, refilling the 256 result words.
    void ibaa();

  private:
    uint32_t iv_auiMemory[SIZE];
    uint32_t iv_auiResults[SIZE];
    uint32_t iv_uiAccumulator = 0;  // "a": rotated left by 19 each step
    uint32_t iv_uiLastResult = 0;   // "b": the previous result
    uint32_t iv_uiAvailable = 0;    // result words not yet handed out
};

#endif  // COS_RANDOM_HPP
